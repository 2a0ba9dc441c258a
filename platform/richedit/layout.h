#pragma once
// The rich edit control's deterministic layout, so that line and page breaks
// can be predicted exactly.
//
// Fixed metrics per font size s (in points): every character advances 12·s
// twips (0.6 em, the pitch of the fixed-pitch font the printer draws with), a
// line is 24·s twips high (1.2 em, its tallest character); tab stops stand
// every 720 twips from the line's start. Lines end after "\r" (paragraph) or
// "\v" (line break) and wrap at the last blank or tab that fits; blanks and
// tabs at a line's end hang past the width; a word wider than the whole line
// is cut where it stops fitting, but every line takes at least one character.

#include <cstdint>
#include <vector>

#include "platform/richedit/rtf.h"

namespace win::layout {

struct Line {
  int32_t start = 0;   // first character
  int32_t end = 0;     // one past the last character, breaks and blanks included
  int32_t height = 0;  // twips
};

constexpr int32_t kTabStop = 720;
inline int32_t CharWidth(uint16_t halfPoints) { return 6 * halfPoints; }
inline int32_t LineHeight(uint16_t halfPoints) { return 12 * halfPoints; }

// Lines of text[from, to) for a width in twips.
std::vector<Line> Lines(const rtf::Text& text, int32_t from, int32_t to, int32_t width);

// One stretch of a line drawn with one TextOut: no tabs or breaks inside,
// one font size. x is in twips from the line's start.
struct Run {
  int32_t start = 0, end = 0;
  int32_t x = 0;
  uint16_t size = rtf::kDefaultSize;
};
std::vector<Run> Runs(const rtf::Text& text, const Line& line);

}  // namespace win::layout
