#include "platform/forms/text_metrics.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <string>

namespace forms {
namespace {

// Advances of the characters 32 (blank) to 126 ("~") in thousandths of the
// font size: a proportional sans-serif design of this runtime's own.
constexpr int kAdvance[95] = {
    278, 278, 355, 556, 556, 889, 667, 191, 333, 333, 389, 584, 278, 333, 278, 278,  //  !"#$%&'()*+,-./
    556, 556, 556, 556, 556, 556, 556, 556, 556, 556, 278, 278, 584, 584, 584, 556,  // 0-9 :;<=>?
    1015, 667, 667, 722, 722, 667, 611, 778, 722, 278, 500, 667, 556, 833, 722, 778,  // @A-O
    667, 778, 722, 667, 611, 722, 667, 944, 667, 667, 611, 278, 278, 278, 469, 556,   // P-Z [\]^_
    333, 556, 556, 500, 556, 556, 278, 556, 556, 222, 222, 500, 222, 833, 556, 556,   // `a-o
    556, 556, 333, 500, 278, 556, 500, 722, 500, 500, 500, 334, 260, 334, 584,        // p-z {|}~
};
constexpr int kOtherAdvance = 556;
constexpr int kFixedAdvance = 600;
constexpr int kBoldExtra = 40;

bool FixedPitch(std::string_view fontName) {
  std::string lower(fontName);
  std::transform(lower.begin(), lower.end(), lower.begin(), [](unsigned char c) { return std::tolower(c); });
  for (const char* word : {"courier", "mono", "console", "fixedsys", "terminal"})
    if (lower.find(word) != std::string::npos) return true;
  return false;
}

long LineUnits(std::string_view line, bool fixed, bool bold) {
  long units = 0;
  for (unsigned char c : line) {
    if ((c & 0xC0) == 0x80) continue;  // continuation byte of a UTF-8 sequence
    if (fixed) units += kFixedAdvance;
    else units += (c >= 32 && c <= 126 ? kAdvance[c - 32] : kOtherAdvance) + (bold ? kBoldExtra : 0);
  }
  return units;
}

template <class F>
void EachLine(std::string_view text, F f) {
  size_t start = 0;
  for (size_t i = 0; i <= text.size(); ++i) {
    if (i == text.size() || text[i] == '\n' || text[i] == '\r') {
      f(text.substr(start, i - start));
      if (i < text.size() && text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
}

}  // namespace

float TextWidth(std::string_view fontName, float size, bool bold, std::string_view text) {
  bool fixed = FixedPitch(fontName);
  long widest = 0;
  EachLine(text, [&](std::string_view line) { widest = std::max(widest, LineUnits(line, fixed, bold)); });
  return static_cast<float>(std::round(static_cast<double>(widest) * size * 20.0 / 1000.0));
}

float TextHeight(float size, std::string_view text) {
  int lines = 0;
  EachLine(text, [&](std::string_view) { ++lines; });
  return static_cast<float>(lines * std::round(static_cast<double>(size) * 24.0));
}

}  // namespace forms
