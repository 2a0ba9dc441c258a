#pragma once
// Date and time: the runtime's Date value, the clock and the Format masks.
//
// The clock is injectable: tests fix the time with SetClockForTest, and the
// environment variable ORN_FIXED_TIME="yyyy-mm-dd hh:nn:ss" fixes it for a
// whole program run (any other value ends the run with 124).

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace rt {

struct DateTime {
  int year = 1899, month = 12, day = 30, hour = 0, minute = 0, second = 0;
  bool operator==(const DateTime&) const = default;
};

DateTime Now();
// Seconds since midnight with fractions, as the runtime's Timer.
double Timer();
void SetClockForTest(std::function<DateTime()> clock);  // nullptr = real clock

// Format with a date mask: yyyy, yy, mm (month, or minute after h/hh),
// m, dd, d, hh, h, nn, n, ss, s; other characters copied
// ("yyyy-mm-dd hh:nn:ss", "yyyymmdd hhnnss").
std::string Format(const DateTime& t, std::string_view mask);
// The general date-and-time text: "dd.mm.yyyy hh:nn:ss" of the system
// locale of the kit's installations; a time of exactly midnight shows the
// date alone.
std::string GeneralDate(const DateTime& t);

// Format with a number mask: "0" digit or zero, "#" digit or nothing, "."
// decimal point, "," thousands separator; "0000" pads to four digits,
// "0.00" keeps two decimals (half away from zero).
std::string Format(double x, std::string_view mask);

}  // namespace rt
