#pragma once
// Inside the imaging control: the state of one instance, shared by the
// control (pixo_control.cpp) and its dispatch table (pixo_dispatch.cpp).

#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/imaging/edits.h"
#include "platform/imaging/image.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_control.h"
#include "platform/imaging/read_ahead.h"
#include "platform/imaging/text.h"
#include "platform/imaging/view.h"

namespace imaging {

// An image with the region selected on it, known process-wide by its handle
// (the value of BitmapHandle). The handle lives as long as the picture.
//
// A page loaded as 24 bits from a file of palette indices (a bitonal scan,
// say) may keep its indices until its pixels are first asked for: a viewer
// paging through such a file then shows each page from the indices, in the
// same colours, and never writes out 24-bit pixels for a page that nobody
// edits, copies or saves.
class Picture {
 public:
  // With `expand`, an indexed `img` stands for its 24-bit expansion.
  Picture(Image img, bool expand) : image_(std::move(img)), expand_(expand && image_.indexed()) {}

  // The image, brought to 24 bits first when it is held for expanding.
  Image& image() const;
  // The image as held, for drawing and for its size: an image held for
  // expanding shows the same colours from its indices.
  const Image& held() const { return image_; }

  Region region;
  int32_t handle = 0;

 private:
  mutable Image image_;
  const bool expand_;
  mutable std::once_flag expanded_;
};

// A new picture holding `img` (with `expand`, see Picture), with a fresh
// handle.
std::shared_ptr<Picture> NewPicture(Image img, bool expand = false);
// The picture of a handle; null when no live picture has it.
std::shared_ptr<Picture> FindPicture(int32_t handle);

// The font object of the stock property Font (members PixoFont).
class FontObject : public com::Dispatch {
 public:
  rt::Variant Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) override;
  TextFont face;
};

// The image as painted last (pixo_paint.cpp).
struct ScaledCopy;

struct PixoControl::State {
  explicit State(PixoControl& owner);

  PixoControl& self;
  std::string name = "PIXO";
  int32_t serial = 0;

  std::shared_ptr<Picture> pic;  // null when the instance holds no image
  std::shared_ptr<Picture> cut;  // the copy ImageValue106 keeps
  View view;
  // Members that only hold a value (options, TWAIN settings, flags), by id.
  std::map<int32_t, rt::Variant> stored;
  std::vector<Colour> staged = std::vector<Colour>(256, kBlack);  // PaletteEntry
  FileInfo info;                                                  // GetFileInfo
  std::vector<OverlayShape> overlay;
  std::shared_ptr<FontObject> font = std::make_shared<FontObject>();
  double band[4] = {0, 0, 0, 0};  // rubber band, display pixels
  int32_t repaintCalls = 0;
  int32_t autoPaints = 0;
  // Counts the changes of the image's pixels (a new image, an edit), so a
  // scaled copy made for painting knows when it is out of date.
  uint64_t pixelsVersion = 0;
  std::shared_ptr<ScaledCopy> scaled;
  // The pages LoadImageFile is expected to load next, each on its own
  // worker, so that pages turned quickly are decoded side by side.
  std::array<PageReadAhead, kMostPagesAhead> readAhead;
  int32_t readAheadsTaken = 0;  // loads that found their page read ahead
  double twipsX = 15, twipsY = 15;
  // The last mouse press, display pixels, and the image position then.
  double downX = 0, downY = 0, downDstLeft = 0, downDstTop = 0;
  bool following = false;  // the band follows the drag of this press

  Image* image() { return pic ? &pic->image() : nullptr; }
  const Image* image() const { return pic ? &pic->image() : nullptr; }
  int32_t imageWidth() const { return pic ? pic->held().width() : 0; }
  int32_t imageHeight() const { return pic ? pic->held().height() : 0; }

  // Holds `img` as a new picture (a new handle, no region; with `expand`,
  // see Picture), the view reset.
  void SetImage(Image img, bool expand = false);
  void FreeImage();
  // After an edit of the image in place. A geometry edit (size or
  // orientation) drops the region and the overlay and resets the view.
  void Changed(bool geometry);
  // A change the view shows: one paint when AutoRepaint is on.
  void AutoPaint();

  bool Flag(Pixo id) const;
  int32_t Number(Pixo id) const;
};

// The depths LoadImageFile takes (0: as stored), and the depth it reads the
// file at for one: 24 bits are read as stored and brought to true colour
// when held (see Picture). Shared by the load and its read-ahead, whose
// pages must be the ones the load reads.
inline bool LoadableBits(int32_t bits) { return bits == 0 || bits == 1 || bits == 4 || bits == 8 || bits == 24; }
inline int32_t LoadReadBits(int32_t bits) { return bits == 24 ? 0 : bits; }

// The dispatch table: runs member `dispid`, raising 438 for an unknown id
// or kind. `MemberName` is the role name of an id, "" when unknown.
rt::Variant DispatchMember(PixoControl::State& s, int32_t dispid, com::InvokeKind kind,
                           std::span<rt::Variant> args);
const char* MemberName(int32_t dispid);

// Journal (pixo_journal.cpp).
bool JournalOn();
void JournalWrite(const std::string& line);
std::string JournalValue(const rt::Variant& v);

}  // namespace imaging
