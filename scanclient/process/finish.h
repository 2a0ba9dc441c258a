#pragma once
// A placement of the finish image: where and how large one sheet is pasted.

#include <cstdint>
#include <optional>
#include <string_view>

namespace quillet {

struct Placement {
  double left = 0, top = 0, width = 0, height = 0;  // pixels in the finish image
  char op = ' ';                                    // '+', '-' or anything (none)
  bool hasOperands = false;                         // the text from column 20 on is not blank
  int32_t first = 0, second = 0;
  bool operator==(const Placement&) const = default;
};

// Reads the fixed columns "LLLL TTTT WWWW HHHH" (+ an operation in column 20
// and two 8-column operands at 21 and 30). nullopt when one of the four
// fields is not numeric: the placement is ignored.
std::optional<Placement> ParsePlacement(std::string_view text);

}  // namespace quillet
