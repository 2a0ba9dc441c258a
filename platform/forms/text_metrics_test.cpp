#include "platform/forms/text_metrics.h"

#include <gtest/gtest.h>

namespace forms {
namespace {

TEST(TextMetrics, WidthFollowsTheDocumentedAdvances) {
  struct Case {
    const char* font;
    float size;
    bool bold;
    const char* text;
    float twips;
  } cases[] = {
      {"MS Sans Serif", 8.25f, false, "", 0},
      {"Arial", 10, false, "i", 44},            // 222 * 10 * 20 / 1000 = 44.4
      {"Arial", 10, false, "W", 189},           // 944 -> 188.8
      {"Arial", 10, false, "OK", 289},          // (778 + 667) * 0.2
      {"Arial", 10, true, "OK", 305},           // + 2 * 40 -> 305
      {"Arial", 12, false, "Hello", 547},       // 722+556+222+222+556 = 2278 -> 546.72
      {"Courier New", 10, true, "iW", 240},     // fixed pitch: 2 * 600
      {"Arial", 10, false, "ab\r\nabcd\nx", 434},  // widest line: a b c d = 556+556+500+556
      {"Arial", 10, false, "\xC3\xA4", 111},    // one UTF-8 character: 556
  };
  for (const Case& c : cases)
    EXPECT_EQ(TextWidth(c.font, c.size, c.bold, c.text), c.twips) << c.font << " " << c.size << " '" << c.text << "'";
}

TEST(TextMetrics, HeightCountsLines) {
  EXPECT_EQ(TextHeight(10, "x"), 240);
  EXPECT_EQ(TextHeight(8.25f, "a\nb\r\nc"), 3 * 198);
  EXPECT_EQ(TextHeight(10, ""), 240);
}

}  // namespace
}  // namespace forms
