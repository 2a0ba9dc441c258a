#include "platform/runtime/convert.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "platform/runtime/error.h"

namespace rt {

namespace {

// Round half to even without depending on the floating-point rounding mode.
double RoundHalfEven(double x) {
  double f = std::floor(x);
  double diff = x - f;
  if (diff > 0.5) return f + 1;
  if (diff < 0.5) return f;
  return std::fmod(f, 2.0) == 0 ? f : f + 1;
}

int16_t CheckedInt(int32_t r) {
  if (r < std::numeric_limits<int16_t>::min() || r > std::numeric_limits<int16_t>::max()) {
    Raise(kOverflow);
  }
  return static_cast<int16_t>(r);
}

template <typename T>
T RoundToRange(double x) {
  if (std::isnan(x)) Raise(kOverflow);
  double r = RoundHalfEven(x);
  if (r < static_cast<double>(std::numeric_limits<T>::min()) ||
      r > static_cast<double>(std::numeric_limits<T>::max())) {
    Raise(kOverflow);
  }
  return static_cast<T>(r);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsHexDigit(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
int DigitValue(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return c - 'A' + 10;
}
bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// "H.." / "O.." after a "&" at *pos: the value with the runtime's 16/32-bit
// two's complement reading; false when there are no digits.
bool ReadRadix(std::string_view s, size_t* pos, double* value) {
  if (*pos >= s.size()) return false;
  char kind = s[*pos];
  int base;
  if (kind == 'h' || kind == 'H') {
    base = 16;
  } else if (kind == 'o' || kind == 'O') {
    base = 8;
  } else {
    return false;
  }
  size_t i = *pos + 1;
  double v = 0;
  size_t digits = 0;
  while (i < s.size() && (base == 16 ? IsHexDigit(s[i]) : (s[i] >= '0' && s[i] <= '7'))) {
    v = v * base + DigitValue(s[i]);
    ++i;
    ++digits;
  }
  if (digits == 0) return false;
  if (v <= 0xFFFF && (base == 16 ? digits <= 4 : digits <= 6)) {
    if (v >= 0x8000) v -= 0x10000;
  } else if (v <= 0xFFFFFFFF) {
    if (v >= 2147483648.0) v -= 4294967296.0;
  }
  *pos = i;
  *value = v;
  return true;
}

// Reads [sign] digits [. digits] [E|D [sign] digits] from `s` at *pos, as long
// as it goes; returns false when no digit was read.
bool ReadDecimal(std::string_view s, size_t* pos, double* value, bool wholeText) {
  size_t i = *pos;
  std::string buf;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  size_t mantissaDigits = 0;
  while (i < s.size() && IsDigit(s[i])) {
    buf += s[i++];
    ++mantissaDigits;
  }
  if (i < s.size() && s[i] == '.') {
    size_t j = i + 1;
    std::string frac;
    while (j < s.size() && IsDigit(s[j])) frac += s[j++];
    if (mantissaDigits > 0 || !frac.empty()) {
      buf += '.';
      buf += frac;
      mantissaDigits += frac.size();
      i = j;
    }
  }
  if (mantissaDigits == 0) return false;
  if (i < s.size() && (s[i] == 'e' || s[i] == 'E' || s[i] == 'd' || s[i] == 'D')) {
    size_t j = i + 1;
    std::string exp = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exp += s[j++];
    size_t expDigits = 0;
    while (j < s.size() && IsDigit(s[j])) {
      exp += s[j++];
      ++expDigits;
    }
    if (expDigits > 0) {
      buf += exp;
      i = j;
    } else if (wholeText) {
      return false;  // "1E" is not a number, though Val reads its 1
    }
  }
  double v = 0;
  auto res = std::from_chars(buf.data(), buf.data() + buf.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    // Too large or too small: tell them apart by the exponent's sign.
    bool tiny = buf.find("e-") != std::string::npos;
    v = tiny ? 0.0 : std::numeric_limits<double>::infinity();
  }
  *value = negative ? -v : v;
  *pos = i;
  return true;
}

// Parses the whole of `text` (blanks at both ends allowed) as a number.
bool ParseWhole(std::string_view text, double* value) {
  size_t b = 0, e = text.size();
  while (b < e && IsBlank(text[b])) ++b;
  while (e > b && IsBlank(text[e - 1])) --e;
  std::string_view s = text.substr(b, e - b);
  if (s.empty()) return false;
  size_t pos = 0;
  double v = 0;
  if (s[0] == '&') {
    pos = 1;
    if (!ReadRadix(s, &pos, &v) || pos != s.size()) return false;
    if (v > 4294967295.0) return false;  // beyond 32 bits: overflow, not a number
  } else {
    if (!ReadDecimal(s, &pos, &v, true) || pos != s.size()) return false;
  }
  if (!std::isfinite(v)) return false;
  *value = v;
  return true;
}

double NumberFromText(const std::string& text) {
  double v = 0;
  if (!ParseWhole(text, &v)) Raise(kTypeMismatch);
  return v;
}

}  // namespace

int16_t CInt(double x) { return RoundToRange<int16_t>(x); }
int32_t CLng(double x) { return RoundToRange<int32_t>(x); }

double CDbl(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Empty: return 0;
    case Variant::Kind::Boolean: return v.AsBool() ? -1 : 0;
    case Variant::Kind::Integer: return v.AsInteger();
    case Variant::Kind::Long: return v.AsLong();
    case Variant::Kind::Double: return v.AsDouble();
    case Variant::Kind::String: return NumberFromText(v.AsString());
    case Variant::Kind::Object: break;
  }
  Raise(kTypeMismatch);
}

int16_t CInt(const Variant& v) {
  if (v.kind() == Variant::Kind::Integer) return v.AsInteger();
  return CInt(CDbl(v));
}

int32_t CLng(const Variant& v) {
  if (v.kind() == Variant::Kind::Long) return v.AsLong();
  return CLng(CDbl(v));
}

bool CBool(const Variant& v) {
  if (v.kind() == Variant::Kind::Boolean) return v.AsBool();
  if (v.kind() == Variant::Kind::String) {
    const std::string& s = v.AsString();
    std::string u;
    for (char c : s) u += static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
    if (u == "TRUE") return true;
    if (u == "FALSE") return false;
  }
  return CDbl(v) != 0;
}

std::string CStr(double x) {
  if (x == 0) return "0";  // also -0
  // Fifteen significant digits, trailing zeros dropped, exponent form below
  // 0.0001 and from 1E+15 on: the C "%.15G" rule, which is also the runtime's.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, x, std::chars_format::general, 15);
  std::string s(buf, res.ptr);
  for (char& c : s) {
    if (c == 'e') c = 'E';
  }
  return s;
}

std::string CStr(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Empty: return "";
    case Variant::Kind::Boolean: return v.AsBool() ? "True" : "False";
    case Variant::Kind::Integer: return std::to_string(v.AsInteger());
    case Variant::Kind::Long: return std::to_string(v.AsLong());
    case Variant::Kind::Double: return CStr(v.AsDouble());
    case Variant::Kind::String: return v.AsString();
    case Variant::Kind::Object: break;
  }
  Raise(kTypeMismatch);
}

std::string Str(double x) {
  std::string s = CStr(x);
  return x < 0 ? s : " " + s;
}

double Int(double x) { return std::floor(x); }
double Fix(double x) { return std::trunc(x); }

double Val(std::string_view text) {
  std::string s;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  }
  size_t pos = 0;
  double v = 0;
  if (!s.empty() && s[0] == '&') {
    pos = 1;
    return ReadRadix(s, &pos, &v) ? v : 0;
  }
  return ReadDecimal(s, &pos, &v, false) ? v : 0;
}

bool IsNumeric(std::string_view text) {
  double v;
  return ParseWhole(text, &v);
}

bool IsNumeric(const Variant& v) {
  switch (v.kind()) {
    case Variant::Kind::Empty: return true;  // Empty reads as 0
    case Variant::Kind::String: return IsNumeric(std::string_view(v.AsString()));
    case Variant::Kind::Object: return false;
    default: return true;
  }
}

int16_t AddInt(int16_t a, int16_t b) { return CheckedInt(static_cast<int32_t>(a) + b); }
int16_t SubInt(int16_t a, int16_t b) { return CheckedInt(static_cast<int32_t>(a) - b); }
int16_t MulInt(int16_t a, int16_t b) { return CheckedInt(static_cast<int32_t>(a) * b); }

int32_t AddLong(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_add_overflow(a, b, &r)) Raise(kOverflow);
  return r;
}
int32_t SubLong(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_sub_overflow(a, b, &r)) Raise(kOverflow);
  return r;
}
int32_t MulLong(int32_t a, int32_t b) {
  int32_t r;
  if (__builtin_mul_overflow(a, b, &r)) Raise(kOverflow);
  return r;
}

int32_t IntDiv(double a, double b) {
  int32_t x = CLng(a);
  int32_t y = CLng(b);
  if (y == 0) Raise(kDivisionByZero);
  if (x == std::numeric_limits<int32_t>::min() && y == -1) Raise(kOverflow);
  return x / y;
}

}  // namespace rt
