#pragma once
// Test fixtures of the viewer: image files written by the imaging control's
// own save, so a test needs no files of its own.

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/imaging/pixo_calls.h"
#include "platform/imaging/pixo_control.h"
#include "platform/runtime/convert.h"

namespace viewer::testing {

using imaging::Pixo;
using imaging::PixCall;
using imaging::PixPut;

struct PageFixture {
  int32_t width;
  int32_t height;
  int16_t bits;            // bits per pixel in the file: 1, 8 or 24
  int32_t colour = 0xFFFFFF;  // &H00BBGGRR fill
};

// Writes `pages` as one uncompressed TIFF file, page by page.
inline void WriteTiff(const std::string& path, const std::vector<PageFixture>& pages) {
  imaging::PixoControl c;
  for (size_t i = 0; i < pages.size(); ++i) {
    const PageFixture& p = pages[i];
    auto check = [&](const rt::Variant& rc, const char* what) {
      if (rt::CLng(rc) != imaging::kPixoOk)
        throw std::runtime_error(std::string(what) + " failed for " + path + ": " + rt::CStr(rc));
    };
    check(PixCall(c, Pixo::CreateImage, {static_cast<double>(p.width), static_cast<double>(p.height), int16_t{24}}),
          "CreateImage");
    check(PixCall(c, Pixo::FillImage, {p.colour}), "FillImage");
    PixPut(c, Pixo::SaveOption266, static_cast<int16_t>(i + 1));
    check(PixCall(c, Pixo::SaveImageFile,
               {path, int16_t{imaging::kFormatTiff}, p.bits, int16_t{0}, int16_t{1}}),
          "SaveImageFile");
  }
}

}  // namespace viewer::testing
