// One image loader, chosen when the target is built (ORN_FUZZ_CODEC: Bmp,
// Tiff, Jpeg or Png): the description and the pixels of every page. A read
// that fails must leave the caller's image as it was.

#include <algorithm>
#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "platform/imaging/edits.h"
#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"

#define ORN_CODEC_FUNCTION(name) ORN_CODEC_FUNCTION_(name)
#define ORN_CODEC_FUNCTION_(name) imaging::name##Codec

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static orn_fuzz::InputFile file;
  const std::string& path = file.Hold(data, size);
  const imaging::ImageCodec& codec = ORN_CODEC_FUNCTION(ORN_FUZZ_CODEC)();

  imaging::FileInfo info;
  const int16_t rc = codec.ReadInfo(path, 1, info);
  const int32_t pages = rc == imaging::kPixoOk ? std::clamp(info.pageCount, 1, 3) : 1;
  if (rc == imaging::kPixoOk && (info.width <= 0 || info.height <= 0 || info.bits <= 0)) std::abort();
  for (int32_t page = 1; page <= pages; ++page) {
    imaging::Image img;
    img.Create(2, 2, 24);
    imaging::Fill(img, 0x123456);
    const imaging::Image before = img;
    if (codec.Read(path, page, img) != imaging::kPixoOk) {
      if (!(img == before)) std::abort();
    } else if (img.width() <= 0 || img.height() <= 0) {
      std::abort();
    }
  }
  return 0;
}
