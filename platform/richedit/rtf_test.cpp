// The RTF and plain-text reader and the fixed layout.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/richedit/layout.h"
#include "platform/richedit/rtf.h"

namespace win {
namespace {

TEST(Rtf, TextOfTheDocument) {
  struct Case {
    std::string in;
    std::wstring text;
  };
  std::vector<Case> cases = {
      {"{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}{\\colortbl;\\red0\\green0\\blue0;}Hello\\par World}",
       L"Hello\rWorld"},
      {"{\\rtf1 a\\tab b\\line c}", L"a\tb\vc"},
      {"{\\rtf1 Gr\\'fc\\'dfe \\'80}", L"Grüße €"},
      {"{\\rtf1 \\u8364?x \\uc2\\u8364ab y \\u-200?}", L"€x € y \uFF38"},
      {"{\\rtf1{\\*\\generator W;}{\\info{\\title T}}A{\\pict\\wmetafile8 0102}B{\\*\\unknown zz}C}", L"ABC"},
      {"{\\rtf1 a\\\\b\\{c\\}d\\~e}", L"a\\b{c}d\u00A0e"},
      {"{\\rtf1 a\r\nb\\\nc}", L"ab\rc"},
      {"{\\rtf1 a}}}b", L"a"},
      {"{\\rtf1 open {\\b group", L"open group"},
      {"{\\rtf1 a{\\pict\\bin999 xx}", L"a"},
  };
  for (const auto& c : cases) EXPECT_EQ(rtf::ReadRtf(c.in).text.chars, c.text) << c.in;
}

TEST(Rtf, FontSizesPerCharacter) {
  rtf::Document d = rtf::ReadRtf("{\\rtf1\\fs40 ab{\\fs10 c}d\\plain e}");
  EXPECT_EQ(d.text.chars, L"abcde");
  EXPECT_EQ(d.text.sizes, (std::vector<uint16_t>{40, 40, 10, 40, 20}));
}

TEST(Rtf, EmbeddedObjectsLeaveAMarkAndKeepTheirParts) {
  rtf::Document d = rtf::ReadRtf(
      "{\\rtf1 x{\\object\\objemb{\\*\\objclass Paint.Picture}{\\*\\objdata 0A0b\r\nFF}"
      "{\\result {\\pict 00}pic}}y{\\object{\\result two}}}");
  EXPECT_EQ(d.text.chars, L"x\uFFFCy\uFFFC");
  ASSERT_EQ(d.objects.size(), 2u);
  EXPECT_EQ(d.objects[0].className, "Paint.Picture");
  EXPECT_EQ(d.objects[0].data, (std::vector<uint8_t>{0x0A, 0x0B, 0xFF}));
  EXPECT_EQ(d.objects[0].result.chars, L"pic");
  EXPECT_EQ(d.objects[1].result.chars, L"two");
}

TEST(Plain, LineEndsAndEncodings) {
  struct Case {
    std::string in;
    std::wstring text;
  };
  std::vector<Case> cases = {
      {"a\r\nb\nc\rd", L"a\rb\rc\rd"},
      {"\x80\xE4", L"€ä"},
      {"\xEF\xBB\xBF\xC3\xA4\xE2\x82\xAC", L"ä€"},
      {"\xEF\xBB\xBF\xC3", L"\uFFFD"},
      {"", L""},
  };
  for (const auto& c : cases) EXPECT_EQ(rtf::ReadPlain(c.in).text.chars, c.text) << c.in;
  EXPECT_TRUE(rtf::LooksLikeRtf("{\\RTF1"));
  EXPECT_FALSE(rtf::LooksLikeRtf("{\\rt"));
}

rtf::Text Plain(const std::wstring& s) {
  rtf::Text t;
  for (wchar_t c : s) t.Add(c, rtf::kDefaultSize);
  return t;
}

std::vector<std::pair<int32_t, int32_t>> Spans(const std::vector<layout::Line>& lines) {
  std::vector<std::pair<int32_t, int32_t>> out;
  for (const auto& l : lines) out.emplace_back(l.start, l.end);
  return out;
}

TEST(Layout, LinesWrapAtBlanksAndBreaks) {
  // Ten characters of 10 points are 1200 twips.
  struct Case {
    std::wstring text;
    int32_t width;
    std::vector<std::pair<int32_t, int32_t>> lines;
  };
  std::vector<Case> cases = {
      {L"aaaa bbbb cccc", 1200, {{0, 10}, {10, 14}}},
      {L"abcdefghijkl", 1200, {{0, 10}, {10, 12}}},
      {L"a\r\rb", 1200, {{0, 2}, {2, 3}, {3, 4}}},
      {L"ab", 50, {{0, 1}, {1, 2}}},
      {L"aaaaaaaaaa   b", 1200, {{0, 13}, {13, 14}}},
      {L"a\vb\r", 1200, {{0, 2}, {2, 4}}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Spans(layout::Lines(Plain(c.text), 0, static_cast<int32_t>(c.text.size()), c.width)), c.lines)
        << std::string(c.text.begin(), c.text.end());
  }
}

TEST(Layout, HeightsTabsAndRuns) {
  rtf::Text t = rtf::ReadRtf("{\\rtf1 a\\tab b{\\fs40 C}d}").text;
  auto lines = layout::Lines(t, 0, static_cast<int32_t>(t.chars.size()), 14400);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].height, 480);
  auto runs = layout::Runs(t, lines[0]);
  ASSERT_EQ(runs.size(), 4u);
  EXPECT_EQ(runs[0].x, 0);
  EXPECT_EQ(runs[1].x, 720);  // the tab stop
  EXPECT_EQ(runs[2].x, 840);
  EXPECT_EQ(runs[2].size, 40);
  EXPECT_EQ(runs[3].x, 840 + 240);
  EXPECT_EQ(layout::Lines(t, 3, 2, 100).size(), 0u);
}

}  // namespace
}  // namespace win
