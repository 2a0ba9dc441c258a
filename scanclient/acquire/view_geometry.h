#pragma once
// The arithmetic of the main view's zoom commands and mouse tools, kept
// apart from the controls: the fit percentages, the crop tag, a document
// type's size rules and the rules that hold the crop band to them.
//
// Units: the band and the view position are display pixels, crop
// rectangles and size rules image pixels, pointer offsets twips.
// Whole numbers come from Round (halves up, as RoundInt, but without its
// 16-bit limit: a zoomed-in view easily exceeds 32767 display pixels).

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillet {

// BackColor of a mode button that is not selected, and of the selected one.
inline constexpr int32_t ToolIdleColor = static_cast<int32_t>(0x8000000FU);
inline constexpr int32_t ToolActiveColor = static_cast<int32_t>(0x80000014U);

// floor(x + 0.5).
double Round(double x);

// The four whole percentages of the fit commands for an image of
// imageW x imageH pixels in a window of windowW x windowH display pixels;
// the "bar" variants leave room for the other direction's scrollbar.
struct FitPercents {
  double width, widthWithBar, height, heightWithBar;
};
FitPercents FitPercentsFor(double windowW, double windowH, double imageW, double imageH);
// The percentage that fit command `index` (0 width, 1 height, 2 page) asks for.
double FitCommandPercent(int16_t index, const FitPercents& f);

struct CropRect {
  int32_t left = 0, top = 0, width = 0, height = 0;
  bool operator==(const CropRect&) const = default;
};
// "llll.tttt-wwww.hhhh", each number with the mask "0000". A value above
// 9999 makes a longer text, which every reader takes for no crop.
std::string CropTagText(const CropRect& r);
// The rectangle of a tag of exactly 19 characters; nullopt for any other
// length (the empty tag is the usual "no crop").
std::optional<CropRect> ReadCropTag(std::string_view tag);

// A document type's Size field: six numbers of four characters at
// positions 1, 6, 11, 16, 21 and 26; the defaults stay for an empty field.
struct SizeRules {
  int32_t aspectX = 0, aspectY = 0;
  int32_t minWidth = 0, minHeight = 0;
  int32_t maxWidth = 9999, maxHeight = 9999;
  // The wanted width-to-height ratio; 0 when the type sets none (either
  // number 0): the band then follows both axes freely.
  double Aspect() const;
};
SizeRules ReadSizeRules(std::string_view field);

// The view as the press found it.
struct CropView {
  double scale = 1;                // image pixels per display pixel
  double left = 0, top = 0;        // image position in the view (ViewLeft, ViewTop)
  double imageWidth = 0, imageHeight = 0;
  double twipsX = 15, twipsY = 15;  // twips per display pixel
};

// The image pixel under a pointer position given in twips.
struct ImagePoint {
  double x, y;
};
ImagePoint ImagePointAt(double xTwips, double yTwips, const CropView& v);

// The rubber band, display pixels.
struct Band {
  double left = 0, top = 0, width = 0, height = 0;
  bool operator==(const Band&) const = default;
};

// The band's size within the type's minimum and maximum on screen; one
// axis out of range resets both.
void LimitBandSize(Band& b, const CropView& v, const SizeRules& r);
// Pushes the band back left and up inside the image, its size unchanged.
void KeepBandInImage(Band& b, const CropView& v);

// The band a press shows: drag kind above 0 the stored rectangle, else a
// band of the minimum size at the pointer (xPx, yPx display pixels).
Band PressBand(int16_t kind, const CropRect& stored, double xPx, double yPx, const CropView& v,
               const SizeRules& r);
// A new band drawn from the press point by (dx, dy) twips, both not
// negative: it keeps the ratio, follows the axis that moved further and is
// cut at the image's edge.
Band DrawBand(Band band, double dx, double dy, const CropView& v, const SizeRules& r);
// The stored rectangle moved by (dx, dy) twips, pushed back inside the image.
Band MoveBand(const CropRect& stored, double dx, double dy, const CropView& v);
// The stored rectangle resized by (dx, dy) twips at its lower right corner.
Band ResizeBand(Band band, const CropRect& stored, double dx, double dy, const CropView& v, const SizeRules& r);

// The rectangle a release stores, image pixels: at least the minimum size
// (growing to the left or up where there is room) and the type's ratio
// within 0.05 (the height follows the width).
CropRect ReleaseRect(const Band& b, const CropView& v, const SizeRules& r);

}  // namespace quillet
