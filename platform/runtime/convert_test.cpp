#include "platform/runtime/convert.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/runtime/error_testing.h"

namespace {

using rt::ErrorNumberOf;
using rt::Variant;

TEST(ConvertTest, CIntAndCLngRoundHalfToEvenAndCheckRange) {
  struct Case {
    double x;
    int32_t cint;  // 0 with cintError set means "raises"
    int32_t cintError;
    int32_t clng;
    int32_t clngError;
  } cases[] = {
      {2.5, 2, 0, 2, 0},
      {3.5, 4, 0, 4, 0},
      {-2.5, -2, 0, -2, 0},
      {-3.5, -4, 0, -4, 0},
      {0.49999, 0, 0, 0, 0},
      {1.5000001, 2, 0, 2, 0},
      {32767.4, 32767, 0, 32767, 0},
      {32767.5, 0, 6, 32768, 0},
      {-32768.5, -32768, 0, -32768, 0},
      {-32769, 0, 6, -32769, 0},
      {2147483647.5, 0, 6, 0, 6},
      {-2147483648.5, 0, 6, -2147483647 - 1, 0},
      {std::numeric_limits<double>::infinity(), 0, 6, 0, 6},
      {std::nan(""), 0, 6, 0, 6},
  };
  for (const auto& c : cases) {
    int32_t got = 0;
    EXPECT_EQ(ErrorNumberOf([&] { got = rt::CInt(c.x); }), c.cintError) << c.x;
    if (!c.cintError) {
      EXPECT_EQ(got, c.cint) << c.x;
    }
    EXPECT_EQ(ErrorNumberOf([&] { got = rt::CLng(c.x); }), c.clngError) << c.x;
    if (!c.clngError) {
      EXPECT_EQ(got, c.clng) << c.x;
    }
  }
}

TEST(ConvertTest, VariantConversions) {
  struct Case {
    Variant v;
    double dbl;  // CDbl
    int32_t error;
  } cases[] = {
      {Variant(), 0, 0},
      {Variant(true), -1, 0},
      {Variant(false), 0, 0},
      {Variant(int16_t{-7}), -7, 0},
      {Variant(int32_t{100000}), 100000, 0},
      {Variant(2.5), 2.5, 0},
      {Variant(" 12.5 "), 12.5, 0},
      {Variant("&H1F"), 31, 0},
      {Variant("1e3"), 1000, 0},
      {Variant(""), 0, 13},
      {Variant("12abc"), 0, 13},
      {Variant("1,5"), 0, 13},
      {Variant(rt::Object()), 0, 13},
  };
  for (const auto& c : cases) {
    double got = 0;
    EXPECT_EQ(ErrorNumberOf([&] { got = rt::CDbl(c.v); }), c.error) << rt::CStr(c.dbl);
    if (!c.error) {
      EXPECT_EQ(got, c.dbl);
    }
  }
  EXPECT_EQ(rt::CInt(Variant("12.5")), 12);
  EXPECT_EQ(rt::CInt(Variant(true)), -1);
  EXPECT_EQ(rt::CLng(Variant("70000")), 70000);
  EXPECT_EQ(ErrorNumberOf([] { rt::CInt(Variant("70000")); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { rt::CLng(Variant("x")); }), 13);
  // A C++ bool converts as the runtime's Boolean, not as 1.
  EXPECT_EQ(rt::CInt(true), -1);
  EXPECT_EQ(rt::CLng(false), 0);
}

TEST(ConvertTest, CBool) {
  EXPECT_TRUE(rt::CBool(Variant("true")));
  EXPECT_FALSE(rt::CBool(Variant("FALSE")));
  EXPECT_TRUE(rt::CBool(Variant("1")));
  EXPECT_FALSE(rt::CBool(Variant("0")));
  EXPECT_TRUE(rt::CBool(Variant(0.1)));
  EXPECT_FALSE(rt::CBool(Variant()));
  EXPECT_EQ(ErrorNumberOf([] { rt::CBool(Variant("yes")); }), 13);
}

TEST(ConvertTest, CStrAndStrWriteNumbersAsTheRuntime) {
  struct Case {
    double x;
    const char* cstr;
  } cases[] = {
      {12, "12"},
      {-3, "-3"},
      {2.5, "2.5"},
      {100, "100"},
      {-0.0, "0"},
      {0.1 + 0.2, "0.3"},
      {1.0 / 3, "0.333333333333333"},
      {2.0 / 3, "0.666666666666667"},
      {123456789012345, "123456789012345"},
      {1e15, "1E+15"},
      {1e20, "1E+20"},
      {-1.5e300, "-1.5E+300"},
      {0.0001, "0.0001"},
      {0.00001, "1E-05"},
      {1.5e-7, "1.5E-07"},
      {2147483647, "2147483647"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rt::CStr(c.x), c.cstr);
    std::string str = c.x < 0 ? c.cstr : std::string(" ") + c.cstr;
    EXPECT_EQ(rt::Str(c.x), str);
  }
  EXPECT_EQ(rt::CStr(true), "True");
  EXPECT_EQ(rt::Str(false), "False");
  EXPECT_EQ(rt::CStr(7), "7");
  EXPECT_EQ(rt::CStr(Variant()), "");
  EXPECT_EQ(rt::CStr(Variant(true)), "True");
  EXPECT_EQ(rt::CStr(Variant(int16_t{-32768})), "-32768");
  EXPECT_EQ(rt::CStr(Variant(0.5)), "0.5");
  EXPECT_EQ(rt::CStr(Variant("as is ")), "as is ");
  EXPECT_EQ(ErrorNumberOf([] { rt::CStr(Variant(rt::Object())); }), 13);
}

TEST(ConvertTest, IntRoundsDownFixTowardsZero) {
  struct Case {
    double x, i, f;
  } cases[] = {{2.7, 2, 2}, {-2.5, -3, -2}, {-2.0, -2, -2}, {0.99, 0, 0}, {-0.01, -1, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(rt::Int(c.x), c.i) << c.x;
    EXPECT_EQ(rt::Fix(c.x), c.f) << c.x;
  }
}

TEST(ConvertTest, ValReadsTheLongestLeadingNumber) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"12abc", 12},      {" 1 2", 12},     {"\t-3.5e2x", -350}, {".5", 0.5},
      {"1e", 1},          {"1.2.3", 1.2},   {"1d2", 100},        {"+7", 7},
      {"- 4", -4},        {"1e-2", 0.01},   {"&H1F", 31},        {"&h1f", 31},
      {"&HFFFF", -1},     {"&H8000", -32768}, {"&H10000", 65536}, {"&HFFFFFFFF", -1},
      {"&O17", 15},       {"&Hzz", 0},      {"", 0},             {"abc", 0},
      {"-", 0},           {".", 0},         {"0012", 12},        {"1\n2", 12},
  };
  for (const auto& c : cases) EXPECT_EQ(rt::Val(c.text), c.value) << '"' << c.text << '"';
  EXPECT_TRUE(std::isinf(rt::Val("1e400")));
  EXPECT_EQ(rt::Val("1e-400"), 0);
}

TEST(ConvertTest, IsNumericNeedsTheWholeText) {
  struct Case {
    const char* text;
    bool numeric;
  } cases[] = {
      {" 12 ", true},  {"1.5", true},   {"-1.5E3", true}, {".5", true},    {"5.", true},
      {"&H1F", true},  {"\t3\t", true}, {"+0", true},     {"1d2", true},   {"", false},
      {" ", false},    {"1,5", false},  {"1 2", false},   {"abc", false},  {"1e", false},
      {"+", false},    {".", false},    {"1e400", false}, {"12abc", false}, {"&H", false},
      {"&H100000000", false},
  };
  for (const auto& c : cases) EXPECT_EQ(rt::IsNumeric(c.text), c.numeric) << '"' << c.text << '"';
  EXPECT_TRUE(rt::IsNumeric(Variant()));
  EXPECT_TRUE(rt::IsNumeric(Variant(2.5)));
  EXPECT_TRUE(rt::IsNumeric(Variant(" 9")));
  EXPECT_FALSE(rt::IsNumeric(Variant("x")));
  EXPECT_FALSE(rt::IsNumeric(Variant(rt::Object())));
}

TEST(ConvertTest, CheckedArithmeticRaisesOverflow) {
  EXPECT_EQ(rt::AddInt(32766, 1), 32767);
  EXPECT_EQ(rt::MulInt(-256, 128), -32768);
  EXPECT_EQ(rt::SubLong(-2147483647, 1), -2147483647 - 1);
  EXPECT_EQ(ErrorNumberOf([] { rt::AddInt(32767, 1); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { rt::SubInt(-32768, 1); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { rt::MulInt(256, 128); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { rt::AddLong(2147483647, 1); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { rt::SubLong(-2147483647 - 1, 1); }), 6);
  EXPECT_EQ(ErrorNumberOf([] { rt::MulLong(65536, 32768); }), 6);
}

TEST(ConvertTest, IntDivRoundsOperandsThenTruncates) {
  struct Case {
    double a, b;
    int32_t q, error;
  } cases[] = {
      {7, 2, 3, 0},   {-7, 2, -3, 0},  {2.5, 1, 2, 0},           {3.5, 1, 4, 0},
      {7, 2.5, 3, 0}, {5, 0, 0, 11},   {5, 0.4, 0, 11},          {-2147483648.0, -1, 0, 6},
      {3e9, 1, 0, 6},
  };
  for (const auto& c : cases) {
    int32_t got = 0;
    EXPECT_EQ(ErrorNumberOf([&] { got = rt::IntDiv(c.a, c.b); }), c.error) << c.a << "\\" << c.b;
    if (!c.error) {
      EXPECT_EQ(got, c.q) << c.a << "\\" << c.b;
    }
  }
}

}  // namespace
