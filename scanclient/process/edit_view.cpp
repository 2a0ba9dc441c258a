#include "scanclient/process/edit_view.h"

#include "platform/imaging/pixo_calls.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"

namespace quillet {

int16_t ShownSheet(Quillet1& w) { return rt::CInt(rt::Variant(w.L1.Tag.Get())); }

bool HoldsImage(forms::OleControl& c) { return rt::CLng(PixGet(c, imaging::Pixo::BitmapHandle)) != 0; }

std::optional<CropRect> ParseCropTag(std::string_view tag) {
  if (rt::Len(tag) != 19) return std::nullopt;
  return CropRect{rt::Val(rt::Mid(tag, 1, 4)), rt::Val(rt::Mid(tag, 6, 4)), rt::Val(rt::Mid(tag, 11, 4)),
                  rt::Val(rt::Mid(tag, 16, 4))};
}

double SampleScale(int16_t longest, int16_t w, int16_t h) {
  const double sx = rt::Int(static_cast<double>(longest) / w * 100) / 100;
  const double sy = rt::Int(static_cast<double>(longest) / h * 100) / 100;
  return sx < sy ? sx : sy;
}

}  // namespace quillet
