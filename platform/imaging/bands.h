#pragma once

// Work over a large image split in bands run side by side: one core alone
// copies a sheet's pixels slower than memory can deliver them.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <system_error>
#include <thread>
#include <vector>

namespace imaging {

// Runs `part`(from, to) over 0..n in bands, on threads of their own when
// the work reads at least 8 MB; a band a thread could not be started for
// runs here. The bands write apart, so the result is the same; what a band
// throws is thrown here once every band has ended.
template <typename Part>
void InBands(int32_t n, size_t bytes, const Part& part) {
  constexpr size_t kBandedFrom = size_t{8} << 20, kBytesABand = size_t{4} << 20;
  const auto most = static_cast<size_t>(std::clamp(std::thread::hardware_concurrency(), 1u, 4u));
  const auto bands = static_cast<int32_t>(
      std::min({bytes < kBandedFrom ? size_t{1} : bytes / kBytesABand, most, static_cast<size_t>(std::max(n, 1))}));
  auto from = [&](int32_t b) { return static_cast<int32_t>(int64_t{n} * b / bands); };
  std::vector<std::exception_ptr> failed(static_cast<size_t>(bands));
  // Room made before any thread starts: a vector that grew later could
  // throw past threads still running, which ends the program.
  std::vector<std::thread> threads;
  threads.reserve(static_cast<size_t>(bands - 1));
  std::vector<int32_t> here{0};
  here.reserve(static_cast<size_t>(bands));
  for (int32_t b = 1; b < bands; ++b) {
    try {
      threads.emplace_back([&, b] {
        try {
          part(from(b), from(b + 1));
        } catch (...) {
          failed[static_cast<size_t>(b)] = std::current_exception();
        }
      });
    } catch (const std::system_error&) {
      here.push_back(b);
    }
  }
  for (const int32_t b : here) {
    try {
      part(from(b), from(b + 1));
    } catch (...) {
      failed[static_cast<size_t>(b)] = std::current_exception();
    }
  }
  for (std::thread& t : threads) t.join();
  for (const std::exception_ptr& e : failed) {
    if (e) std::rethrow_exception(e);
  }
}

}  // namespace imaging
