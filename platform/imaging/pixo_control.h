#pragma once
// The imaging control "PIXOLib.PIXO": one image per instance with its view
// state, file loading and saving, edits and drawing, reached by dispatch id
// (members and result codes in pixo_members.h).
//
// Programs call RegisterPixoControl() once at start-up; the forms runtime
// then creates instances with com::CreateControl(kPixoProgId), tells them
// their display size (SetClientSize) and hosts their events. The view is a
// set of numbers (zoom, offsets, rubber band, repaint counts) that
// DumpState() shows and tests read; Paint draws it on a real screen.

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "platform/com/control.h"
#include "platform/forms/operator_input.h"
#include "platform/imaging/pixo_members.h"

typedef struct _cairo cairo_t;

namespace imaging {

class Image;

// Pages read ahead at most at a time.
inline constexpr int32_t kMostPagesAhead = 4;

// Registers the control class under kPixoProgId ("PIXOLib.PIXO").
void RegisterPixoControl();

// A debug mark drawn by DrawShape: kept beside the image, never in its pixels.
struct OverlayShape {
  double x1, y1, x2, y2;  // image pixels
  uint32_t colour;        // &H00BBGGRR
};

class PixoControl : public com::Control, public forms::OperatorInput {
 public:
  PixoControl();
  ~PixoControl() override;
  PixoControl(const PixoControl&) = delete;
  PixoControl& operator=(const PixoControl&) = delete;

  // Members by dispatch id (pixo_members.h). An unknown id, or a kind the
  // member does not have (a put on a method), raises error 438; a wrong
  // argument count raises 5; an argument of the wrong type 13.
  rt::Variant Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) override;

  // The display area from the container; a fitted view (ScaleMode 3) refits.
  void SetClientSize(int32_t widthPx, int32_t heightPx) override;
  std::vector<std::pair<std::string, std::string>> DumpState() const override;

  // The name the journal and the dump show ("L1", "Thumb(2)"); the host sets
  // it. Default "PIXO". Serial numbers count instances from 1 per process.
  void SetInstanceName(std::string name);
  const std::string& InstanceName() const;
  int32_t Serial() const;

  // Screen twips per display pixel for the mouse events' X and Y (default 15).
  void SetTwipsPerPixel(double x, double y);

  // What the user does on the view, positions in display pixels. The control
  // pans (PanEnabled) and tracks the rubber band (RubberBandEnabled and
  // RubberBandActive) itself, then raises the event with X and Y in twips.
  // Ignored while ViewEnabled is False.
  void UserMouseDown(int16_t button, int16_t shift, double xPx, double yPx);
  void UserMouseMove(int16_t button, int16_t shift, double xPx, double yPx);
  void UserMouseUp(int16_t button, int16_t shift, double xPx, double yPx);
  void UserClick();
  void UserDblClick();
  void UserDropFile(const std::string& path);

  // The operator script's mouse, click and drop steps on the hosting form
  // reach the control as user input, so it pans and tracks the rubber band
  // as it does for a real mouse. Positions arrive in twips.
  bool Operate(const forms::OperatorAction& action) override;

  // The image held, null when empty. Valid until the next call that changes it.
  const Image* CurrentImage() const;

  // SaveImageFile(path, format, bits, quality, pageFlag) taken now and
  // done later on other threads: the call copies the image and the page
  // number put (SaveOption266) and counts the save at once, so
  // ORN_PIXO_FAIL_SAVE's n-th save is the n-th taken. `encode` (empty for
  // a format that is not TIFF, and unless `apart`) encodes the page without
  // touching a file, on
  // any thread and at the same time as other pages; `write`, run once after
  // it, writes the file as SaveImageFile would and answers as it would. The
  // writes of one file's pages must run one after the other, in page order.
  // An empty control's write answers kPixoNoImage. The journal has no line
  // for it.
  struct TakenSave {
    std::function<void()> encode;
    std::function<int16_t()> write;
  };
  TakenSave TakeSave(const std::string& path, int16_t format, int16_t bits, int16_t quality,
                     int16_t pageFlag, bool apart) const;
  // Explicit Repaint calls, and paints the control made by itself while
  // AutoRepaint was True (after an image or view change).
  int32_t RepaintCalls() const;
  int32_t AutoPaints() const;
  const std::vector<OverlayShape>& Overlay() const;

  // Reads pages `first` to `first` + `count` - 1 of the file `path` on
  // worker threads, as LoadImageFile(path, bits, page) would, so that those
  // calls, when they come, take their page without decoding it. A page
  // already read ahead is kept, any other page read ahead is dropped; count
  // is held inside 0 .. kMostPagesAhead. A LoadImageFile of a page not read
  // ahead drops them all. A read-ahead never fails: a page it cannot read is
  // read again by its LoadImageFile, which then fails as it would have.
  void ReadAhead(const std::string& path, int16_t bits, int32_t first, int32_t count = 1);
  void DropReadAhead();
  // The pages read ahead (held or being read), in ascending order; and how
  // many loads took their page from a read-ahead.
  std::vector<int32_t> ReadAheadPages() const;
  int32_t ReadAheadsTaken() const;

  // Paints the view on `cr`, one unit per display pixel with the origin at
  // the view's top left corner (pixo_paint.cpp): the background colour, the
  // image at the view's zoom and offsets, the outline of the image's region
  // (a crop), the rubber band while it is active, and the overlay marks.
  void Paint(cairo_t* cr) const;

  struct State;

 private:
  std::unique_ptr<State> s_;
};

// Call journal of every instance: one line per Invoke,
//   L1#3 get 10 ImageWidth -> 640&
//   L1#3 put 154 ScaleMode 3&
//   L2#5 put 513 PaletteEntry(0%) 16777215&
//   L1#3 call 338 LoadImageFile("a.tif", 0%, 1&, 1&) -> 0%
// (name#serial, kind, id, role, index arguments, the value put, the result
// or "-> error <number>"), values typed as the runtime writes them: 3%
// Integer, 3& Long, 2.5# Double, "text", True/False, Empty.
// ORN_PIXO_JOURNAL=<file> appends the lines to that file as well.
void StartJournal();                     // starts (or restarts) an in-memory journal
std::vector<std::string> StopJournal();  // stops it and returns its lines

}  // namespace imaging
