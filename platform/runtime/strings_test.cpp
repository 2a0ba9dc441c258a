#include "platform/runtime/strings.h"

#include <gtest/gtest.h>

#include "platform/runtime/error_testing.h"

namespace {

using rt::ErrorNumberOf;

TEST(StringsTest, InStr) {
  struct Case {
    int32_t start;
    const char* text;
    const char* find;
    int32_t pos;
  } cases[] = {
      {1, "abcabc", "bc", 2}, {3, "abcabc", "bc", 5}, {6, "abcabc", "bc", 0},
      {1, "abc", "x", 0},     {1, "abc", "", 1},      {3, "abc", "", 3},
      {4, "abc", "", 0},      {1, "", "", 0},         {1, "abc", "abcd", 0},
      {1, "aXb", "x", 0},  // case-sensitive
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rt::InStr(c.start, c.text, c.find), c.pos) << c.start << " " << c.text << " " << c.find;
  }
  EXPECT_EQ(rt::InStr("hello", "l"), 3);
  EXPECT_EQ(ErrorNumberOf([] { rt::InStr(0, "abc", "a"); }), 5);
}

TEST(StringsTest, InStrRev) {
  struct Case {
    const char* text;
    const char* find;
    int32_t start;
    int32_t pos;
  } cases[] = {
      {"a\\b\\c", "\\", -1, 4}, {"a\\b\\c", "\\", 3, 2}, {"a\\b\\c", "\\", 1, 0},
      {"abcabc", "abc", 5, 1},  {"abcabc", "abc", 6, 4}, {"abc", "", -1, 3},
      {"abc", "", 2, 2},        {"abc", "x", 10, 0},     {"", "a", -1, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rt::InStrRev(c.text, c.find, c.start), c.pos) << c.text << " " << c.find << " " << c.start;
  }
  EXPECT_EQ(ErrorNumberOf([] { rt::InStrRev("abc", "a", 0); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { rt::InStrRev("abc", "a", -2); }), 5);
}

TEST(StringsTest, MidLeftRight) {
  EXPECT_EQ(rt::Mid("0012.0034-0056.0078", 6, 4), "0034");
  EXPECT_EQ(rt::Mid("abc", 2), "bc");
  EXPECT_EQ(rt::Mid("abc", 2, 10), "bc");
  EXPECT_EQ(rt::Mid("abc", 4), "");
  EXPECT_EQ(rt::Mid("abc", 9, 1), "");
  EXPECT_EQ(rt::Mid("abc", 1, 0), "");
  EXPECT_EQ(rt::Left("abc", 2), "ab");
  EXPECT_EQ(rt::Left("abc", 9), "abc");
  EXPECT_EQ(rt::Right("abc", 2), "bc");
  EXPECT_EQ(rt::Right("abc", 9), "abc");
  EXPECT_EQ(rt::Right("abc", 0), "");
  EXPECT_EQ(ErrorNumberOf([] { rt::Mid("abc", 0); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { rt::Mid("abc", 1, -1); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { rt::Left("abc", -1); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { rt::Right("abc", -1); }), 5);
}

TEST(StringsTest, CaseTrimAndBuilders) {
  EXPECT_EQ(rt::UCase("Ja, yes 1"), "JA, YES 1");
  EXPECT_EQ(rt::LCase("MiXed"), "mixed");
  EXPECT_EQ(rt::UCase("\xC3\xA4x"), "\xC3\x84X");      // äx -> ÄX
  EXPECT_EQ(rt::UCase("m\xC3\xBCller"), "M\xC3\x9CLLER");  // müller -> MÜLLER
  EXPECT_EQ(rt::LCase("\xC3\x96L"), "\xC3\xB6l");         // ÖL -> öl
  EXPECT_EQ(rt::UCase("stra\xC3\x9F" "e"), "STRA\xC3\x9F" "E");  // ß has no one-letter capital
  EXPECT_EQ(rt::UCase("\xCE\xB1\xCF\x89"), "\xCE\x91\xCE\xA9");  // αω -> ΑΩ
  EXPECT_EQ(rt::UCase("\xC4\xB1"), "\xC4\xB1");   // ı: its capital I has another length
  EXPECT_EQ(rt::UCase("a\xFC" "b\xC3"), "A\xFC" "B\xC3");  // bytes that are not UTF-8 pass
  EXPECT_EQ(rt::Trim("  a b  "), "a b");
  EXPECT_EQ(rt::Trim("\ta\t"), "\ta\t");  // blanks only
  EXPECT_EQ(rt::LTrim("  a  "), "a  ");
  EXPECT_EQ(rt::RTrim("  a  "), "  a");
  EXPECT_EQ(rt::Trim("   "), "");
  EXPECT_EQ(rt::Replace("a{X}b{X}", "{X}", "-"), "a-b-");
  EXPECT_EQ(rt::Replace("aaa", "aa", "b"), "ba");
  EXPECT_EQ(rt::Replace("abc", "", "x"), "abc");
  EXPECT_EQ(rt::Space(3), "   ");
  EXPECT_EQ(rt::String(2, '*'), "**");
  EXPECT_EQ(rt::Len("abc"), 3);
  EXPECT_EQ(ErrorNumberOf([] { rt::Space(-1); }), 5);
  EXPECT_EQ(ErrorNumberOf([] { rt::String(-1, 'x'); }), 5);
}

TEST(StringsTest, StrComp) {
  struct Case {
    const char* a;
    const char* b;
    int32_t binary, text;
  } cases[] = {
      {"abc", "abc", 0, 0},  {"ABC", "abc", -1, 0}, {"abc", "abd", -1, -1},
      {"ab", "abc", -1, -1}, {"b", "A", 1, 1},      {"", "", 0, 0},
      {"\xC3", "a", 1, 1},  // bytes above 127 sort after ASCII
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rt::StrComp(c.a, c.b), c.binary) << c.a << " " << c.b;
    EXPECT_EQ(rt::StrComp(c.a, c.b, rt::kTextCompare), c.text) << c.a << " " << c.b;
  }
}

}  // namespace
