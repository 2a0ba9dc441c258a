#include "docviewer/framework/fwtext.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct FormatCase {
  const char* format;
  std::vector<fw::FmtArg> args;
  const char* expected;  // null: the format must be refused
};

TEST(FwText, FormatFillsTypedArgumentsAndRefusesMismatches) {
  const std::u16string wide = u"Dokument gedruckt \u00fc";
  const FormatCase cases[] = {
      {"AppError (id=%08X)", {0xC0200048u}, "AppError (id=C0200048)"},
      {"%X", {-1}, "FFFFFFFF"},                     // integers are 32-bit without l/ll
      {"%llX", {int64_t{-1}}, "FFFFFFFFFFFFFFFF"},
      {"%04X|%d|%3d|%-3d|", {0x2A, -5, 7, 7}, "002A|-5|  7|7  |"},
      {"%.3s|%5s|%-5s|", {"abcdef", "ab", "cd"}, "abc|   ab|cd   |"},
      {"%s", {wide}, "Dokument gedruckt \xc3\xbc"},
      {"%.2hs/%ls", {u"\u00e4\u00f6\u00fc", "x"}, "\xc3\xa4\xc3\xb6/x"},  // precision counts characters
      {"[%3d] %.*s", {4, 2, "xyz"}, "[  4] xy"},
      {"100%% %c%c", {'O', 'K'}, "100% OK"},
      {"%.2f %g", {1.5, 0.25}, "1.50 0.25"},
      {"%s %d", {"extra", 1, "ignored"}, "extra 1"},
      {"%s", {}, nullptr},
      {"%s", {42}, nullptr},
      {"%d", {"text"}, nullptr},
      {"%n", {nullptr}, nullptr},
      {"50%", {}, nullptr},
      {"%5000d", {1}, nullptr},
      {"%q", {1}, nullptr},
  };
  for (const FormatCase& c : cases) {
    std::string out;
    bool ok = fw::Format(&out, c.format, c.args);
    if (c.expected == nullptr) {
      EXPECT_FALSE(ok) << c.format << " gave " << out;
    } else {
      EXPECT_TRUE(ok) << c.format;
      EXPECT_EQ(out, c.expected) << c.format;
    }
  }
}

TEST(FwText, Utf16ConversionAndFit) {
  const std::u16string text = u"Gr\u00fc\u00dfe \U0001F600";
  EXPECT_EQ(fw::Wide(fw::Utf8(text)), text);
  EXPECT_EQ(fw::Wide("a\xff" "b"), u"a\uFFFDb");         // invalid byte
  EXPECT_EQ(fw::Utf8(std::u16string(1, u'\xD800')), "\xEF\xBF\xBD");  // lone surrogate

  EXPECT_EQ(fw::Fit(std::u16string(u"abcdef"), 6), u"abcdef");
  EXPECT_EQ(fw::Fit(std::u16string(u"abcdefg"), 6), u"abcd..");
  EXPECT_EQ(fw::Fit(std::string("abcdefg"), 6), "abcd..");
  EXPECT_EQ(fw::BaseName("C:\\ORN\\bin/lumoret.cpp"), "lumoret.cpp");
}

}  // namespace
