#pragma once
// The palette entry nearest to a colour, for mapping whole images onto a
// palette: the same answer as Image::NearestIndex (squared RGB distance, the
// lowest index on a tie), found without a pass over the palette per pixel.
//
// Answers are kept in a direct-mapped cache; a colour not in it is searched
// among the entries that can be nearest anywhere in its 16 x 16 x 16 cell of
// the colour cube, a list made the first time the cell is met.

#include <array>
#include <cstdint>
#include <vector>

#include "platform/imaging/image.h"

namespace imaging {

class NearestColour {
 public:
  // `palette` holds at most 256 entries; an empty one maps everything to 0.
  explicit NearestColour(std::vector<Colour> palette);

  uint8_t operator()(Colour c) {
    Slot& s = cache_[(c * 0x9E3779B1u) >> (32 - kCacheBits)];
    if (s.colour != c) s = {c, Search(c)};
    return s.index;
  }

 private:
  static constexpr int kCacheBits = 16;
  static constexpr int kCellShift = 4;  // 16 levels a side
  static constexpr int kCellsPerAxis = 256 >> kCellShift;
  struct Slot {
    Colour colour;  // 0xFFFFFFFF: empty (no colour has bits above 23)
    uint8_t index;
  };

  uint8_t Search(Colour c);
  const std::vector<uint8_t>& Candidates(Colour c);

  std::vector<Colour> palette_;
  std::vector<Slot> cache_;
  std::vector<std::vector<uint8_t>> cells_;  // empty until first met
};

}  // namespace imaging
