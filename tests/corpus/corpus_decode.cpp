// Reads one image file through the imaging control, as the programs do
// (GetFileInfo, then LoadImageFile at 24 bits), and writes what it holds as
// raw R, G, B bytes. Prints one line: the load's result, the information
// call's result, the loaded width and height, and the reported ones.

#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "platform/imaging/image.h"
#include "platform/imaging/pixo_control.h"
#include "platform/imaging/pixo_members.h"
#include "platform/runtime/variant.h"

namespace {

using imaging::Pixo;
using V = rt::Variant;

int32_t Long(const V& v) {
  switch (v.kind()) {
    case V::Kind::Integer: return v.AsInteger();
    case V::Kind::Long: return v.AsLong();
    case V::Kind::Double: return static_cast<int32_t>(v.AsDouble());
    default: return -99999;
  }
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: orn_corpus_decode FILE OUT.rgb\n");
    return 2;
  }
  imaging::RegisterPixoControl();
  auto c = std::dynamic_pointer_cast<imaging::PixoControl>(com::CreateControl(imaging::kPixoProgId));
  if (!c) return 3;
  const std::string path = argv[1];
  auto id = [](Pixo p) { return static_cast<int32_t>(p); };
  const int32_t infoRc = Long(c->Call(id(Pixo::GetFileInfo), {path, 1, 1}));
  const int32_t infoW = infoRc == 0 ? Long(c->Get(id(Pixo::InfoWidth), {})) : 0;
  const int32_t infoH = infoRc == 0 ? Long(c->Get(id(Pixo::InfoHeight), {})) : 0;
  const int32_t rc = Long(c->Call(id(Pixo::LoadImageFile), {path, int16_t{24}, 1, 1}));
  const imaging::Image* img = rc == 0 ? c->CurrentImage() : nullptr;
  const int32_t w = img ? img->width() : 0, h = img ? img->height() : 0;
  if (img) {
    std::ofstream out(argv[2], std::ios::binary);
    for (int32_t y = 0; y < h; ++y) {
      for (int32_t x = 0; x < w; ++x) {
        const imaging::Colour col = img->At(x, y);
        const char rgb[3] = {static_cast<char>(imaging::RedOf(col)), static_cast<char>(imaging::GreenOf(col)),
                             static_cast<char>(imaging::BlueOf(col))};
        out.write(rgb, 3);
      }
    }
  }
  std::printf("%d %d %d %d %d %d\n", rc, infoRc, w, h, infoW, infoH);
  return 0;
}
