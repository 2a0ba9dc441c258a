#pragma once
// Small 24-bit BMP files for tests that hand images to a program.

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>

namespace orn_test {

// The bytes of a 24-bit BMP at 72 dpi whose pixel (x, y), y counted from the
// top, has the grey level grey(x, y); rows are stored bottom-up and padded
// to four bytes with `pad`.
std::string GreyBmp(int32_t width, int32_t height, const std::function<uint8_t(int32_t, int32_t)>& grey,
                    char pad = '\0');
void WriteGreyBmp(const std::filesystem::path& p, int32_t width, int32_t height,
                  const std::function<uint8_t(int32_t, int32_t)>& grey);

}  // namespace orn_test
