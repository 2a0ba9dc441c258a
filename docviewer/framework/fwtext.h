#pragma once
// Text helpers of the module framework.
//
// Wide text (the platform's COM strings and wide buffers) is std::u16string,
// 8-bit text is UTF-8. Formats are printf-style 8-bit texts; their arguments
// are typed (FmtArg), so a conversion that does not fit its argument - or a
// format that asks for more arguments than it got, as a message text from a
// catalogue file may - is a reported failure instead of a read of foreign
// memory.

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace fw {

// One argument of a printf-style format.
class FmtArg {
 public:
  enum class Kind { Int, UInt, Dbl, Str, WStr, Ptr };

  template <class T>
    requires std::integral<T>
  FmtArg(T v) {  // NOLINT: implicit on purpose, arguments are listed plainly
    if constexpr (std::is_signed_v<T> || std::is_same_v<T, bool>) {
      kind_ = Kind::Int;
      i_ = static_cast<int64_t>(v);
    } else {
      kind_ = Kind::UInt;
      u_ = static_cast<uint64_t>(v);
    }
  }
  template <class T>
    requires std::is_enum_v<T>
  FmtArg(T v) : FmtArg(static_cast<std::underlying_type_t<T>>(v)) {}
  template <class T>
    requires std::floating_point<T>
  FmtArg(T v) : kind_(Kind::Dbl), d_(static_cast<double>(v)) {}
  FmtArg(const char* s) : kind_(Kind::Str), s_(s ? s : "(null)") {}
  FmtArg(std::string_view s) : kind_(Kind::Str), s_(s) {}
  FmtArg(const std::string& s) : kind_(Kind::Str), s_(s) {}
  FmtArg(const char16_t* s) : kind_(Kind::WStr), w_(s ? s : u"(null)") {}
  FmtArg(std::u16string_view s) : kind_(Kind::WStr), w_(s) {}
  FmtArg(const std::u16string& s) : kind_(Kind::WStr), w_(s) {}
  FmtArg(const void* p) : kind_(Kind::Ptr), u_(reinterpret_cast<uintptr_t>(p)) {}
  FmtArg(std::nullptr_t) : kind_(Kind::Ptr), u_(0) {}

  Kind kind() const { return kind_; }
  int64_t i() const { return i_; }
  uint64_t u() const { return u_; }
  double d() const { return d_; }
  std::string_view s() const { return s_; }
  std::u16string_view w() const { return w_; }

 private:
  Kind kind_;
  union {
    int64_t i_;
    uint64_t u_;
    double d_;
  };
  std::string_view s_;
  std::u16string_view w_;
};

template <class... A>
std::array<FmtArg, sizeof...(A)> Args(const A&... a) {
  return {FmtArg(a)...};
}

// Fills `format` with `args` into *out (UTF-8). Conversions d i u x X o c s
// p e E f F g G and %%, flags "-+ #0", width and precision (also "*"),
// length modifiers h hh l ll z j t L: with l, ll, z, j, t an integer is taken
// as 64-bit, otherwise as 32-bit, as on the 32-bit platform. %s takes 8-bit
// and wide text alike (also spelled %hs, %ls, %S); its precision counts
// characters. Extra arguments are ignored. Returns false, with *out
// unspecified, when a conversion has no argument or one of another kind, the
// format is malformed, or a width or precision exceeds 4096.
bool Format(std::string* out, std::string_view format, std::span<const FmtArg> args);

// Format with the arguments listed: 8-bit or wide result, "" when the
// format is refused.
template <class... A>
std::string Fmt(std::string_view format, const A&... args) {
  std::string out;
  auto a = Args(args...);
  return Format(&out, format, a) ? out : std::string();
}

std::string Utf8(std::u16string_view text);
std::u16string Wide(std::string_view text);

template <class... A>
std::u16string WFmt(std::string_view format, const A&... args) {
  return Wide(Fmt(format, args...));
}

// `text` when it has at most `max` characters (UTF-16 units; bytes for
// 8-bit text), else its first max-2 characters and "..".
std::u16string Fit(std::u16string text, size_t max);
std::string Fit(std::string text, size_t max);

// The part after the last "/" or "\" (the whole text when it has neither).
std::string_view BaseName(std::string_view path);

// A process-unique 32-bit id of the calling thread, assigned on first use;
// never 0 (free slot) and never 0xFFFFFFFF (the module's own context).
uint32_t CurrentThreadId();
// Milliseconds since an arbitrary start, wrapping at 32 bits.
uint32_t TickCount();

}  // namespace fw
