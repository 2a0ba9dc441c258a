#include "guicommon/cmdline.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/runtime/error.h"

namespace guicommon {
namespace {

using Rows = std::vector<std::pair<std::string, std::string>>;

Rows TableRows() {
  Rows rows;
  for (int r = 1; r <= ParamTable::kMaxRows && !Params.Name(r).empty(); ++r) {
    rows.emplace_back(Params.Name(r), Params.Value(r));
  }
  return rows;
}

struct ParseCase {
  const char* input;
  Rows rows;
  const char* positional;  // row 0's value cell
};

void PrintTo(const ParseCase& c, std::ostream* os) { *os << '"' << c.input << '"'; }

class ParseCmdTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseCmdTest, FillsSortedRows) {
  const ParseCase& c = GetParam();
  int16_t n = ParseCmd(c.input);
  EXPECT_EQ(n, static_cast<int16_t>(c.rows.size()));
  EXPECT_EQ(TableRows(), c.rows);
  EXPECT_EQ(Params.Name(0), " " + std::to_string(c.rows.size()));
  EXPECT_EQ(Params.Value(0), c.positional);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ParseCmdTest,
    ::testing::Values(
        ParseCase{"DEMO 12 /z=9 /Trace", {{"1", "DEMO"}, {"2", "12"}, {"TRACE", "1"}, {"Z", "9"}}, " 2"},
        ParseCase{"", {}, " 0"},
        ParseCase{"   ", {}, " 0"},
        ParseCase{"\"a b\"", {{"1", "a"}, {"2", "b"}}, " 2"},
        ParseCase{"\"\"a b\"\"", {{"1", "a b"}}, " 1"},
        ParseCase{"\"", {}, " 0"},
        ParseCase{"a=b", {{"1B", "a"}}, " 1"},
        ParseCase{"/A=B=C", {{"AC", "B"}}, " 0"},
        ParseCase{"/x/y", {{"X", "1"}, {"Y", "1"}}, " 0"},
        ParseCase{"/x=", {{"X", "1"}}, " 0"},
        ParseCase{"x,y z", {{"1", "x"}, {"2", "y"}, {"3", "z"}}, " 3"},
        ParseCase{",,,", {}, " 0"},
        ParseCase{"/Out=Mixed", {{"OUT", "Mixed"}}, " 0"},
        // Quoting makes "/", "=", blank and "," ordinary; a tab always is.
        ParseCase{"/OUT=\"/tmp/a b,c=d\" x\ty", {{"1", "x\ty"}, {"OUT", "/tmp/a b,c=d"}}, " 1"},
        // Ordinal order: "10" before "2", "Z" before "ZOOM".
        ParseCase{"a b c d e f g h i j /zoom=3 /z=1",
                  {{"1", "a"}, {"10", "j"}, {"2", "b"}, {"3", "c"}, {"4", "d"}, {"5", "e"},
                   {"6", "f"}, {"7", "g"}, {"8", "h"}, {"9", "i"}, {"Z", "1"}, {"ZOOM", "3"}},
                  " 10"}));

TEST(ParseCmd, ThirtyTwoRowsFitAndTheThirtyThirdFails) {
  std::string text;
  for (int i = 0; i < 32; ++i) text += "/P" + std::to_string(i) + " ";
  EXPECT_EQ(ParseCmd(text), 32);
  EXPECT_EQ(GetParam("P31"), "1");

  try {
    ParseCmd(text + "extra");
    FAIL() << "a 33rd row must fail";
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number(), rt::kSubscriptOutOfRange);
  }
  EXPECT_EQ(Params.Name(0), "");
  EXPECT_EQ(GetParam("P1"), "");
  EXPECT_EQ(GetParam(""), "");
}

struct LookupCase {
  const char* input;
  const char* key;
  const char* value;
};

void PrintTo(const LookupCase& c, std::ostream* os) { *os << '"' << c.input << "\" " << c.key; }

class GetParamTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(GetParamTest, LastPrefixMatchWins) {
  ParseCmd(GetParam().input);
  EXPECT_EQ(guicommon::GetParam(GetParam().key), GetParam().value);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, GetParamTest,
    ::testing::Values(LookupCase{"DEMO 12 /z=9 /Trace", "1", "DEMO"},
                      LookupCase{"DEMO 12 /z=9 /Trace", "z", "9"},
                      LookupCase{"DEMO 12 /z=9 /Trace", "3", ""},
                      LookupCase{"/Out=Mixed", "out ", "Mixed"},
                      LookupCase{"/Z=1 /ZOOM=5", "Z", "5"},
                      LookupCase{"/Z=1 /ZOOM=5", "ZOOMX", ""},
                      LookupCase{"a b c d e f g h i j k", "1", "k"},  // row "11" sorts after "1"
                      LookupCase{"a /m=2 /b=3", "", "2"},              // empty key: the last row
                      LookupCase{"", "1", ""}));

TEST(GetParam, SameNameTwiceGivesTheValueTheSortLeavesLast) {
  // Exchanging rows 1 and 3 puts "/X=second" in front of "/X=first".
  ParseCmd("/X=first /X=second /A");
  EXPECT_EQ(TableRows(), (Rows{{"A", "1"}, {"X", "second"}, {"X", "first"}}));
  EXPECT_EQ(GetParam("X"), "first");
}

}  // namespace
}  // namespace guicommon
