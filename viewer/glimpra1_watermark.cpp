// The watermark cell, its tiling over each page, and the caption.

#include "platform/runtime/convert.h"
#include "viewer/glimpra1.h"
#include "viewer/layout.h"
#include "platform/imaging/pixo_calls.h"

namespace viewer {
namespace {

constexpr int32_t kWhite = 0xFFFFFF;
constexpr int32_t kBlack = 0;
constexpr int32_t kWatermarkColor = 246 + 156 * 0x100 + 156 * 0x10000;  // RGB(246,156,156)
constexpr int16_t kTextAngle = 450;        // tenths of a degree
constexpr int16_t kTextAlign = 4;
constexpr int16_t kRegionFromColor = 6;
constexpr double kStartFontSize = 10;
// The font grows until the text spans the cell; no real text needs more
// than this, and a text that never gets wide enough must still end.
constexpr double kMaxFontSize = 1000;

}  // namespace

void Glimpra1::BuildWatermarkCell(const std::string& text) {
  watermarkText_ = text;
  L0.Tag = "100";
  double cell = rt::CDbl(rt::Variant(L0.Tag.Get()));
  PixCall(L0, Pixo::CreateImage, {cell, cell, int16_t{24}});
  PixCall(L0, Pixo::FillImage, {kWhite});

  PixPut(L0, Pixo::TextOption217, int16_t{0});
  PixPut(L0, Pixo::DrawOption164, true);
  PixPut(L0, Pixo::TextLeft, int32_t{0});
  PixPut(L0, Pixo::TextTop, int32_t{0});
  PixPut(L0, Pixo::TextWidth, PixGet(L0, Pixo::ImageWidth));
  PixPut(L0, Pixo::TextHeight, PixGet(L0, Pixo::ImageHeight));
  PixPut(L0, Pixo::TextAngle, kTextAngle);

  rt::Object font = PixGet(L0, Pixo::Font).AsObject();
  auto fontPut = [&](imaging::PixoFont m, rt::Variant v) { font->Put(static_cast<int32_t>(m), std::move(v)); };
  fontPut(imaging::PixoFont::Name, "Arial");
  fontPut(imaging::PixoFont::Bold, true);
  double size = kStartFontSize;
  fontPut(imaging::PixoFont::Size, size);

  double cellWidth = rt::CDbl(PixGet(L0, Pixo::ImageWidth));
  for (;;) {
    double width = rt::CDbl(PixCall(L0, Pixo::TextWidthOf, {text}));
    if (!(cellWidth > width)) break;
    // A text that takes no width would make the font grow for ever.
    if (width <= 0 || size >= kMaxFontSize) break;
    size += 1;
    fontPut(imaging::PixoFont::Size, size);
  }

  PixPut(L0, Pixo::TextAlign, kTextAlign);
  PixPut(L0, Pixo::TextColor, kWatermarkColor);
  PixCall(L0, Pixo::DrawText, {text, int32_t{0}});
}

void Glimpra1::TileWatermark() {
  // On a bitonal page the pale text would vanish: it is drawn over in black,
  // and stays black for the pages after.
  if (rt::CInt(PixGet(L1, Pixo::InfoBits)) == 1) {
    PixPut(L0, Pixo::TextColor, kBlack);
    PixCall(L0, Pixo::DrawText, {watermarkText_, int32_t{0}});
  }
  rt::Variant region = PixCall(L0, Pixo::SetColorRegion, {kRegionFromColor, kWhite});
  int32_t cell = rt::CLng(rt::Variant(L0.Tag.Get()));
  rt::Variant source = PixGet(L0, Pixo::BitmapHandle);
  // A cell without a single text pixel (a text of blanks) has no region, and
  // laying it whole would paint the page white.
  if (rt::CLng(region) == imaging::kPixoOk && cell > 0) {
    for (const Tile& t : TilePlan(State.ShownWidth, State.ShownHeight, cell)) {
      double s = cell;
      PixCall(L1, Pixo::Combine, {static_cast<double>(t.x), static_cast<double>(t.y), s, s, source, 0.0, 0.0, t.flags});
    }
  }
  PixCall(L0, Pixo::FreeRegion);
}

void Glimpra1::UpdateCaption() {
  double zoom = rt::CDbl(PixGet(L1, Pixo::ZoomPercent));
  Caption = CaptionText(State, L1.Tag.Get(), Tag.Get(), zoom);
}

}  // namespace viewer
