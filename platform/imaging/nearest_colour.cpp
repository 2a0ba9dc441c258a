#include "platform/imaging/nearest_colour.h"

#include <algorithm>
#include <limits>

namespace imaging {
namespace {

int Squared(int v) { return v * v; }

// Squared distance from level v to the nearest and farthest level of lo..hi.
int Nearer(int v, int lo, int hi) { return v < lo ? Squared(lo - v) : v > hi ? Squared(v - hi) : 0; }
int Farther(int v, int lo, int hi) { return std::max(Squared(v - lo), Squared(v - hi)); }

int Distance(Colour a, Colour b) {
  return Squared(RedOf(a) - RedOf(b)) + Squared(GreenOf(a) - GreenOf(b)) + Squared(BlueOf(a) - BlueOf(b));
}

}  // namespace

NearestColour::NearestColour(std::vector<Colour> palette)
    : palette_(std::move(palette)),
      cache_(size_t{1} << kCacheBits, Slot{0xFFFFFFFFu, 0}),
      cells_(static_cast<size_t>(kCellsPerAxis) * kCellsPerAxis * kCellsPerAxis) {}

// Every entry that is nearest to some colour of the cell: an entry whose
// nearest point of the cell lies farther than the farthest point of another
// entry can never win there. Ties stay in, in index order.
const std::vector<uint8_t>& NearestColour::Candidates(Colour c) {
  const int r = RedOf(c) >> kCellShift, g = GreenOf(c) >> kCellShift, b = BlueOf(c) >> kCellShift;
  std::vector<uint8_t>& cell = cells_[static_cast<size_t>((r * kCellsPerAxis + g) * kCellsPerAxis + b)];
  if (!cell.empty()) return cell;
  const int side = (1 << kCellShift) - 1;
  const int lo[3] = {r << kCellShift, g << kCellShift, b << kCellShift};
  auto channels = [](Colour e) { return std::array<int, 3>{RedOf(e), GreenOf(e), BlueOf(e)}; };
  int bound = std::numeric_limits<int>::max();
  for (Colour e : palette_) {
    const auto v = channels(e);
    int far = 0;
    for (int i = 0; i < 3; ++i) far += Farther(v[i], lo[i], lo[i] + side);
    bound = std::min(bound, far);
  }
  for (size_t i = 0; i < palette_.size(); ++i) {
    const auto v = channels(palette_[i]);
    int near = 0;
    for (int k = 0; k < 3; ++k) near += Nearer(v[k], lo[k], lo[k] + side);
    if (near <= bound) cell.push_back(static_cast<uint8_t>(i));
  }
  return cell;
}

uint8_t NearestColour::Search(Colour c) {
  if (palette_.empty()) return 0;
  int best = 0, bestDistance = std::numeric_limits<int>::max();
  for (uint8_t i : Candidates(c)) {
    const int d = Distance(c, palette_[i]);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
  }
  return static_cast<uint8_t>(best);
}

}  // namespace imaging
