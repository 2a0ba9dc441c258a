#include "platform/runtime/datetime.h"

#include <charconv>
#include <cmath>
#include <cstdlib>
#include <ctime>
#include <mutex>
#include <vector>

#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/settings/settings.h"

namespace rt {

namespace {

std::mutex g_clockMutex;
std::function<DateTime()> g_clock;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int DaysInMonth(int y, int m) {
  static const int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

// "yyyy-mm-dd hh:nn:ss" with every field in range.
bool ParseFixedTime(std::string_view s, DateTime* t) {
  if (s.size() != 19 || s[4] != '-' || s[7] != '-' || s[10] != ' ' || s[13] != ':' ||
      s[16] != ':') {
    return false;
  }
  auto field = [&](size_t pos, size_t len, int* out) {
    int v = 0;
    for (size_t i = pos; i < pos + len; ++i) {
      if (s[i] < '0' || s[i] > '9') return false;
      v = v * 10 + (s[i] - '0');
    }
    *out = v;
    return true;
  };
  DateTime r;
  if (!field(0, 4, &r.year) || !field(5, 2, &r.month) || !field(8, 2, &r.day) ||
      !field(11, 2, &r.hour) || !field(14, 2, &r.minute) || !field(17, 2, &r.second)) {
    return false;
  }
  if (r.year < 100 || r.month < 1 || r.month > 12 || r.day < 1 ||
      r.day > DaysInMonth(r.year, r.month) || r.hour > 23 || r.minute > 59 || r.second > 59) {
    return false;
  }
  *t = r;
  return true;
}

// The clock in use: the test clock, else ORN_FIXED_TIME, else the host's
// local time. `fraction` gets the part of a second (0 for fixed clocks).
DateTime ReadClock(double* fraction) {
  *fraction = 0;
  {
    std::lock_guard<std::mutex> lock(g_clockMutex);
    if (g_clock) return g_clock();
  }
  if (const char* fixed = std::getenv("ORN_FIXED_TIME"); fixed && *fixed) {
    DateTime t;
    // A fixed time that does not parse must not silently fall back to the
    // real clock: runs that rely on it would become unrepeatable.
    if (!ParseFixedTime(fixed, &t)) settings::BadSetting("ORN_FIXED_TIME", "a time \"yyyy-mm-dd hh:nn:ss\"", fixed);
    return t;
  }
  timespec ts{};
  clock_gettime(CLOCK_REALTIME, &ts);
  std::tm tm{};
  localtime_r(&ts.tv_sec, &tm);
  *fraction = ts.tv_nsec / 1e9;
  return DateTime{tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday, tm.tm_hour, tm.tm_min, tm.tm_sec};
}

std::string Pad(int v, int width) {
  std::string s = std::to_string(v);
  if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
  return s;
}

int DayOfYear(const DateTime& t) {
  int d = t.day;
  for (int m = 1; m < t.month; ++m) d += DaysInMonth(t.year, m);
  return d;
}

char Lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

DateTime Now() {
  double fraction;
  return ReadClock(&fraction);
}

double Timer() {
  double fraction;
  DateTime t = ReadClock(&fraction);
  return t.hour * 3600.0 + t.minute * 60.0 + t.second + fraction;
}

void SetClockForTest(std::function<DateTime()> clock) {
  std::lock_guard<std::mutex> lock(g_clockMutex);
  g_clock = std::move(clock);
}

std::string Format(const DateTime& t, std::string_view mask) {
  std::string out;
  bool afterHour = false;  // "m" right after an hour token means minutes
  size_t i = 0;
  while (i < mask.size()) {
    char c = Lower(mask[i]);
    size_t n = 1;
    while (i + n < mask.size() && Lower(mask[i + n]) == c) ++n;
    auto unsupported = [&] {
      Raise(kInvalidCall, "Unsupported date mask \"" + std::string(mask) + "\"");
    };
    switch (c) {
      case 'y':
        if (n == 4) out += Pad(t.year, 4);
        else if (n == 2) out += Pad(t.year % 100, 2);
        else if (n == 1) out += std::to_string(DayOfYear(t));
        else unsupported();
        break;
      case 'm':
        if (n > 2) unsupported();
        out += Pad(afterHour ? t.minute : t.month, static_cast<int>(n));
        break;
      case 'd':
        if (n > 2) unsupported();
        out += Pad(t.day, static_cast<int>(n));
        break;
      case 'h':
        if (n > 2) unsupported();
        out += Pad(t.hour, static_cast<int>(n));
        break;
      case 'n':
        if (n > 2) unsupported();
        out += Pad(t.minute, static_cast<int>(n));
        break;
      case 's':
        if (n > 2) unsupported();
        out += Pad(t.second, static_cast<int>(n));
        break;
      default:
        out.append(mask.substr(i, n));
        i += n;
        continue;  // separators keep the hour context: "hh:mm" is minutes
    }
    afterHour = c == 'h';
    i += n;
  }
  return out;
}

std::string GeneralDate(const DateTime& t) {
  bool zeroDate = t.year == 1899 && t.month == 12 && t.day == 30;
  bool midnight = t.hour == 0 && t.minute == 0 && t.second == 0;
  // The runtime leaves out the part that is zero: the date of day 0 and a
  // time of midnight (day 0 at midnight shows the time).
  if (zeroDate) return Format(t, "hh:nn:ss");
  if (midnight) return Format(t, "dd.mm.yyyy");
  return Format(t, "dd.mm.yyyy hh:nn:ss");
}

namespace {

// Decimal digits of |x| rounded half away from zero to `decimals` places,
// read from its 15-significant-digit form (as the runtime formats), split
// into the integer digits (no leading zeros; "" for 0) and the fraction.
void RoundedDigits(double x, int decimals, std::string* intDigits, std::string* fracDigits) {
  x = std::fabs(x);
  std::string digits;
  int pointPos = 1;  // digits before the decimal point
  if (x != 0) {
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::scientific, 14);
    std::string s(buf, res.ptr);  // d.dddddddddddddde+XX
    size_t e = s.find('e');
    digits = s.substr(0, 1) + s.substr(2, e - 2);
    pointPos = std::atoi(s.c_str() + e + 1) + 1;
  } else {
    digits = "0";
  }
  if (pointPos < 1) {
    digits.insert(0, static_cast<size_t>(1 - pointPos), '0');
    pointPos = 1;
  }
  size_t keep = static_cast<size_t>(pointPos + decimals);
  if (digits.size() < keep + 1) digits.append(keep + 1 - digits.size(), '0');
  bool up = digits[keep] >= '5';
  digits.resize(keep);
  if (up) {
    size_t k = keep;
    while (k > 0) {
      --k;
      if (digits[k] == '9') {
        digits[k] = '0';
      } else {
        ++digits[k];
        up = false;
        break;
      }
    }
    if (up) {
      digits.insert(0, "1");
      ++pointPos;
    }
  }
  *intDigits = digits.substr(0, static_cast<size_t>(pointPos));
  *fracDigits = digits.substr(static_cast<size_t>(pointPos));
  size_t nz = intDigits->find_first_not_of('0');
  *intDigits = nz == std::string::npos ? "" : intDigits->substr(nz);
}

struct MaskItem {
  bool placeholder;  // '0' or '#'
  char c;
};

}  // namespace

std::string Format(double x, std::string_view mask) {
  if (mask.empty()) return CStr(x);
  // Split the mask into literal items and placeholders, before and after
  // the first ".".
  std::vector<MaskItem> intPart, fracPart;
  bool seenPoint = false, grouping = false, percent = false;
  for (size_t i = 0; i < mask.size(); ++i) {
    char c = mask[i];
    std::vector<MaskItem>& part = seenPoint ? fracPart : intPart;
    if (c == ';') {
      Raise(kInvalidCall, "Unsupported number mask \"" + std::string(mask) + "\"");
    } else if (c == '0' || c == '#') {
      part.push_back({true, c});
    } else if (c == '.' && !seenPoint) {
      seenPoint = true;
    } else if (c == ',' && !seenPoint) {
      grouping = true;
    } else if (c == '\\' && i + 1 < mask.size()) {
      part.push_back({false, mask[++i]});
    } else if (c == '"') {
      while (++i < mask.size() && mask[i] != '"') part.push_back({false, mask[i]});
    } else {
      if (c == '%') percent = true;
      part.push_back({false, c});
    }
  }
  if (percent) x *= 100;

  int decimals = 0;
  for (const auto& it : fracPart) decimals += it.placeholder;
  std::string intDigits, fracDigits;
  RoundedDigits(x, decimals, &intDigits, &fracDigits);

  // Leading zeros up to the count of placeholders from the first "0" on.
  size_t minDigits = 0;
  bool seenZero = false;
  for (const auto& it : intPart) {
    if (!it.placeholder) continue;
    seenZero = seenZero || it.c == '0';
    if (seenZero) ++minDigits;
  }
  if (intDigits.size() < minDigits) intDigits.insert(0, minDigits - intDigits.size(), '0');
  if (grouping) {
    for (size_t k = intDigits.size(); k > 3; k -= 3) intDigits.insert(k - 3, ",");
  }

  // Integer part right to left: each placeholder takes one digit (and the
  // group separator in front of it); the leftmost one takes all the rest.
  std::string intText;
  size_t firstPlaceholder = intPart.size();
  for (size_t k = 0; k < intPart.size(); ++k) {
    if (intPart[k].placeholder) {
      firstPlaceholder = k;
      break;
    }
  }
  size_t left = intDigits.size();
  for (size_t k = intPart.size(); k-- > 0;) {
    const MaskItem& it = intPart[k];
    if (!it.placeholder) {
      intText.insert(0, 1, it.c);
    } else if (k == firstPlaceholder) {
      intText.insert(0, intDigits.substr(0, left));
      left = 0;
    } else if (left > 0) {
      --left;
      intText.insert(0, 1, intDigits[left]);
      if (left > 0 && intDigits[left - 1] == ',') {
        --left;
        intText.insert(0, 1, ',');
      }
    }
  }
  if (firstPlaceholder == intPart.size()) intText.insert(0, intDigits.substr(0, left));

  // Fraction: "#" places drop their trailing zeros.
  size_t last = fracDigits.size();
  {
    size_t p = fracPart.size();
    while (p > 0 && last > 0) {
      const MaskItem& it = fracPart[p - 1];
      if (it.placeholder) {
        if (it.c != '#' || fracDigits[last - 1] != '0') break;
        --last;
      }
      --p;
    }
  }
  std::string fracText;
  size_t d = 0;
  for (const auto& it : fracPart) {
    if (!it.placeholder) {
      fracText += it.c;
    } else if (d < last) {
      fracText += fracDigits[d++];
    } else {
      ++d;
    }
  }

  bool nonZero = intDigits.find_first_not_of("0,") != std::string::npos ||
                 fracDigits.substr(0, last).find_first_not_of('0') != std::string::npos;
  std::string out = (x < 0 && nonZero) ? "-" : "";
  out += intText;
  if (seenPoint) out += '.';
  out += fracText;
  return out;
}

}  // namespace rt
