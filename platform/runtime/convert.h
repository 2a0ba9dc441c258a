#pragma once
// Number and text conversions with the forms runtime's rules. Decimal point
// is always "." whatever the locale. Overflow raises error 6, text that is
// not a number raises error 13 (type mismatch).

#include <concepts>
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/runtime/variant.h"

namespace rt {

// Round half to even, then range-check: CInt to 16 bits, CLng to 32 bits.
int16_t CInt(double x);
int32_t CLng(double x);
int16_t CInt(const Variant& v);   // Empty = 0; numeric text converts; else 13
int32_t CLng(const Variant& v);
// A Boolean converts as the runtime shows it: true = -1 (without these, a
// C++ bool would silently become 1 through CInt(double)).
template <std::same_as<bool> B>
int16_t CInt(B b) { return b ? -1 : 0; }
template <std::same_as<bool> B>
int32_t CLng(B b) { return b ? -1 : 0; }
double CDbl(const Variant& v);
bool CBool(const Variant& v);     // numbers: non-zero; "True"/"False" text; else 13
// Plain text of a value: numbers without a leading blank ("12", "-3",
// "2.5", "1E+20" as the runtime writes them), Boolean "True"/"False",
// Empty "".
std::string CStr(const Variant& v);
std::string CStr(double x);
template <std::same_as<bool> B>
std::string CStr(B b) { return b ? "True" : "False"; }

// Str: like CStr for numbers, but with one blank in front of non-negative ones.
std::string Str(double x);
template <std::same_as<bool> B>
std::string Str(B b) { return b ? "True" : "False"; }

// Int rounds towards minus infinity, Fix towards zero.
double Int(double x);
double Fix(double x);

// Val reads the longest leading number ("12abc" = 12, " 1 2" = 12, blanks,
// tabs and line feeds skipped anywhere, "&H1F" hex and "&O17" octal, "" = 0);
// never fails. Hex and octal of up to 4 (8) digits are 16-bit (32-bit)
// two's complement as in the runtime: "&HFFFF" = -1. A number beyond the
// double range gives +-infinity, which a later CInt/CLng reports as error 6.
double Val(std::string_view text);
// True when the text is a number as the runtime reads it (blanks at both
// ends allowed, sign, decimals, exponent, "&H" hex); "" is not numeric.
bool IsNumeric(std::string_view text);
bool IsNumeric(const Variant& v);  // Empty and numbers: true; Object: false
// Text arguments would otherwise be ambiguous between the two above.
inline bool IsNumeric(const char* text) { return IsNumeric(std::string_view(text)); }
inline bool IsNumeric(const std::string& text) { return IsNumeric(std::string_view(text)); }

// 16- and 32-bit arithmetic that raises error 6 on overflow.
int16_t AddInt(int16_t a, int16_t b);
int16_t SubInt(int16_t a, int16_t b);
int16_t MulInt(int16_t a, int16_t b);
int32_t AddLong(int32_t a, int32_t b);
int32_t SubLong(int32_t a, int32_t b);
int32_t MulLong(int32_t a, int32_t b);
// Integer division "\" (operands rounded half to even first; 0 divisor = 11).
int32_t IntDiv(double a, double b);

}  // namespace rt
