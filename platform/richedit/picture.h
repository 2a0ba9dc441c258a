#pragma once
// Pictures of the rich edit control: their size on the page and their
// drawing.

#include <cairo.h>

#include <cstdint>
#include <list>
#include <utility>

#include "platform/richedit/document.h"

namespace win::rich {

// The size words of an RTF picture.
struct PictureSizeWords {
  int32_t picw = 0, pich = 0;          // the image's size: pixels, or 0.01 mm for a metafile
  int32_t goalWidth = 0, goalHeight = 0;  // twips
  int32_t scaleX = 100, scaleY = 100;  // percent
  bool metric = false;                 // picw/pich in hundredths of a millimetre
};
// Sets the picture's size in twips: the goal size, else the image's own
// size (a PNG or JPEG file's pixels at 96 per inch), scaled; at most 22
// inches each way.
void SetPictureSize(Picture* picture, const PictureSizeWords& words);

// Pixel size of a PNG or JPEG file; false when the header does not tell.
bool ImagePixels(const Picture& picture, int32_t* width, int32_t* height);

// Pictures ready to draw, kept for the drawings of one layout: a picture is
// decoded once while it stays among the last few drawn. A picture of more
// pixels than the imaging control takes is not decoded at all. On a PDF
// (and a recording of one) a JPEG picture is not decoded: its file goes
// into the PDF as it is. The layout's thread only.
class PictureCache {
 public:
  PictureCache() = default;
  ~PictureCache() { Clear(); }
  PictureCache(const PictureCache&) = delete;
  PictureCache& operator=(const PictureCache&) = delete;
  void Clear();
  // Pictures decoded so far (tests: what drawing cost).
  size_t Decoded() const { return decoded_; }

 private:
  friend void DrawPicture(cairo_t*, const Picture&, double, double, double, double, PictureCache*);
  cairo_surface_t* Surface(const Picture& picture, bool vector);
  struct Kept {
    const Picture* picture;
    bool vector;
    cairo_surface_t* surface;  // null: the picture cannot be drawn
  };
  std::list<Kept> kept_;  // most recent first
  size_t decoded_ = 0;
};

// Draws the picture into the rectangle (user units of `cr`); a picture that
// cannot be decoded, is too large, or is of another kind leaves its space
// empty.
void DrawPicture(cairo_t* cr, const Picture& picture, double x, double y, double width, double height,
                 PictureCache* cache);

}  // namespace win::rich
