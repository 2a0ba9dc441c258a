#include "platform/runtime/datetime.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "platform/runtime/error_testing.h"

namespace {

using rt::DateTime;

class DateTimeTest : public ::testing::Test {
 protected:
  void SetUp() override { unsetenv("ORN_FIXED_TIME"); }
  void TearDown() override {
    rt::SetClockForTest(nullptr);
    unsetenv("ORN_FIXED_TIME");
  }
};

TEST_F(DateTimeTest, DateMasks) {
  const DateTime t{2024, 3, 7, 9, 5, 4};
  struct Case {
    const char* mask;
    const char* text;
  } cases[] = {
      {"yyyy-mm-dd hh:nn:ss", "2024-03-07 09:05:04"},
      {"yyyymmdd hhnnss", "20240307 090504"},
      {"hh:mm", "09:05"},  // m after an hour is the minute
      {"d.m.yy h:n:s", "7.3.24 9:5:4"},
      {"YYYY/MM/DD", "2024/03/07"},
      {"y", "67"},  // day of the year
      {"[yyyy]", "[2024]"},
  };
  for (const auto& c : cases) EXPECT_EQ(rt::Format(t, c.mask), c.text) << c.mask;
  EXPECT_EQ(rt::ErrorNumberOf([&] { rt::Format(t, "dddd"); }), 5);
}

TEST_F(DateTimeTest, GeneralDate) {
  EXPECT_EQ(rt::GeneralDate({2024, 12, 31, 23, 59, 58}), "31.12.2024 23:59:58");
  EXPECT_EQ(rt::GeneralDate({2024, 1, 2, 0, 0, 0}), "02.01.2024");
  EXPECT_EQ(rt::GeneralDate({1899, 12, 30, 12, 0, 1}), "12:00:01");
}

TEST_F(DateTimeTest, ClockIsInjectable) {
  rt::SetClockForTest([] { return DateTime{2001, 2, 3, 4, 5, 6}; });
  EXPECT_EQ(rt::Now(), (DateTime{2001, 2, 3, 4, 5, 6}));
  EXPECT_EQ(rt::Timer(), 4 * 3600 + 5 * 60 + 6);
  rt::SetClockForTest(nullptr);

  setenv("ORN_FIXED_TIME", "2030-06-15 13:14:15", 1);
  EXPECT_EQ(rt::Now(), (DateTime{2030, 6, 15, 13, 14, 15}));
  // The test clock wins over the variable.
  rt::SetClockForTest([] { return DateTime{2001, 2, 3, 4, 5, 6}; });
  EXPECT_EQ(rt::Now().year, 2001);
}

TEST_F(DateTimeTest, BadFixedTimeEndsTheRunNotTheRealClock) {
  for (const char* bad : {"2030-06-15", "2030-13-01 00:00:00", "2023-02-29 00:00:00",
                          "2030-06-15 24:00:00", "2030-06-15T13:14:15", "gestern"}) {
    setenv("ORN_FIXED_TIME", bad, 1);
    EXPECT_EXIT(rt::Now(), ::testing::ExitedWithCode(124),
                std::string("^ORN_FIXED_TIME must be a time \"yyyy-mm-dd hh:nn:ss\", not '") + bad + "'\n$")
        << bad;
  }
  setenv("ORN_FIXED_TIME", "2024-02-29 23:59:59", 1);
  EXPECT_EQ(rt::Now(), (DateTime{2024, 2, 29, 23, 59, 59}));
}

TEST_F(DateTimeTest, RealClockIsPlausible) {
  DateTime t = rt::Now();
  EXPECT_GE(t.year, 2024);
  double s = rt::Timer();
  EXPECT_GE(s, 0);
  EXPECT_LT(s, 86400);
}

TEST(NumberFormatTest, Masks) {
  struct Case {
    double x;
    const char* mask;
    const char* text;
  } cases[] = {
      {7, "0000", "0007"},
      {12345, "0000", "12345"},
      {0, "0000", "0000"},
      {5, "000", "005"},
      {2.5, "0000", "0003"},  // half away from zero
      {-2.5, "0000", "-0003"},
      {3.14159, "0.00", "3.14"},
      {2.675, "0.00", "2.68"},  // decimal, not binary, halves
      {0.125, "0.00", "0.13"},
      {-0.001, "0.00", "0.00"},  // no "-0.00"
      {9.999, "0.00", "10.00"},
      {12.34, "#0.0", "12.3"},
      {0.25, "#0.0", "0.3"},
      {0.5, "#.00", ".50"},
      {1.5, "0.##", "1.5"},
      {1, "0.##", "1."},
      {1234567.891, "#,##0.00", "1,234,567.89"},
      {123, "#,##0", "123"},
      {0, "#,##0", "0"},
      {0.256, "0%", "26%"},
      {42, "\"n=\"0", "n=42"},
      {1e20, "0", "100000000000000000000"},
      {3, "", "3"},
  };
  for (const auto& c : cases) EXPECT_EQ(rt::Format(c.x, c.mask), c.text) << c.x << " " << c.mask;
  EXPECT_EQ(rt::ErrorNumberOf([] { rt::Format(1.0, "0;(0)"); }), 5);
}

}  // namespace
