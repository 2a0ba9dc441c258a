#include "tests/support/bmp_file.h"

#include <fstream>

namespace orn_test {

std::string GreyBmp(int32_t width, int32_t height, const std::function<uint8_t(int32_t, int32_t)>& grey, char pad) {
  const int32_t row = (width * 3 + 3) / 4 * 4;
  std::string b = "BM";
  auto u16 = [&b](uint32_t v) { b.append({static_cast<char>(v & 0xFF), static_cast<char>((v >> 8) & 0xFF)}); };
  auto u32 = [&u16](uint32_t v) {
    u16(v & 0xFFFF);
    u16(v >> 16);
  };
  u32(static_cast<uint32_t>(54 + row * height));
  u32(0);
  u32(54);
  u32(40);
  u32(static_cast<uint32_t>(width));
  u32(static_cast<uint32_t>(height));
  u16(1);
  u16(24);
  u32(0);  // no compression
  u32(static_cast<uint32_t>(row * height));
  u32(2835);  // 72 dpi
  u32(2835);
  u32(0);
  u32(0);
  for (int32_t r = 0; r < height; ++r) {
    const int32_t y = height - 1 - r;
    for (int32_t x = 0; x < width; ++x) b.append(3, static_cast<char>(grey(x, y)));
    b.append(static_cast<size_t>(row - width * 3), pad);
  }
  return b;
}

void WriteGreyBmp(const std::filesystem::path& p, int32_t width, int32_t height,
                  const std::function<uint8_t(int32_t, int32_t)>& grey) {
  std::ofstream(p, std::ios::binary) << GreyBmp(width, height, grey);
}

}  // namespace orn_test
