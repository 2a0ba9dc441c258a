#pragma once
// The grey-level histogram of the quality check's sample, its light, dark
// and middle shares, and the text of the check report file "_AC.txt".

#include <array>
#include <cstdint>
#include <string>

namespace quillet {

using Histogram = std::array<int32_t, 256>;

// Shares in percent with one decimal, rounded down. A level above
// `whiteLevel` is light, one below `blackLevel` dark (the levels themselves
// count as middle). Middle is taken from the two rounded shares, so the
// three need not add up to exactly 100. `pixels` must not be 0.
struct Shares {
  double light = 0, dark = 0, mid = 0;
};
Shares ComputeShares(const Histogram& h, int32_t pixels, int16_t whiteLevel, int16_t blackLevel);

// The report: "AutoCheck results:" and the time, the status line of the
// check, 32 lines of eight "ggg=count  , " entries (the count left-aligned
// in six characters), an empty line; CR LF line ends.
std::string CheckReport(const std::string& when, const std::string& status, const Histogram& h);

}  // namespace quillet
