#pragma once
// A JPEG file with an EXIF orientation: the APP1 segment a camera writes,
// holding one IFD entry (orientation 1 to 8), put right after the start
// marker of a JPEG's bytes.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace orn_test {

inline std::vector<uint8_t> WithExifOrientation(const std::vector<uint8_t>& jpeg, int orientation,
                                                bool littleEndian = false) {
  const uint8_t order = littleEndian ? 'I' : 'M';
  std::vector<uint8_t> t{order, order};
  const auto put = [&](uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) t.push_back(static_cast<uint8_t>(v >> (8 * (littleEndian ? i : bytes - 1 - i))));
  };
  put(42, 2);
  put(8, 4);       // the IFD follows the header
  put(1, 2);       // one entry:
  put(0x0112, 2);  // orientation,
  put(3, 2);       // SHORT,
  put(1, 4);       // one value,
  put(static_cast<uint32_t>(orientation), 2);
  put(0, 2);
  put(0, 4);  // no next IFD
  std::vector<uint8_t> seg{0xFF, 0xE1, 0, 0, 'E', 'x', 'i', 'f', 0, 0};
  seg.insert(seg.end(), t.begin(), t.end());
  const size_t len = seg.size() - 2;
  seg[2] = static_cast<uint8_t>(len >> 8);
  seg[3] = static_cast<uint8_t>(len);
  // Sized once and filled with std::copy: g++ 12 at -O3 takes the inserts
  // into a two-byte vector for overflows.
  std::vector<uint8_t> out(jpeg.size() + seg.size());
  auto at = std::copy(jpeg.begin(), jpeg.begin() + 2, out.begin());
  at = std::copy(seg.begin(), seg.end(), at);
  std::copy(jpeg.begin() + 2, jpeg.end(), at);
  return out;
}

}  // namespace orn_test
