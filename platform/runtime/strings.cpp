#include "platform/runtime/strings.h"

#include <locale.h>
#include <wctype.h>

#include <algorithm>

#include "platform/runtime/error.h"

namespace rt {

namespace {

void RequireNonNegative(int32_t n) {
  if (n < 0) Raise(kInvalidCall);
}

}  // namespace

int32_t InStr(int32_t start, std::string_view text, std::string_view find) {
  if (start < 1) Raise(kInvalidCall);
  if (static_cast<size_t>(start) > text.size()) return 0;
  if (find.empty()) return start;
  size_t p = text.find(find, static_cast<size_t>(start - 1));
  return p == std::string_view::npos ? 0 : static_cast<int32_t>(p + 1);
}

int32_t InStrRev(std::string_view text, std::string_view find, int32_t start) {
  if (start == 0 || start < -1) Raise(kInvalidCall);
  int32_t len = Len(text);
  if (start == -1) start = len;
  if (start > len) return 0;
  if (find.empty()) return start;
  // The match must end at or before `start`.
  if (find.size() > static_cast<size_t>(start)) return 0;
  size_t p = text.rfind(find, static_cast<size_t>(start) - find.size());
  return p == std::string_view::npos ? 0 : static_cast<int32_t>(p + 1);
}

std::string Mid(std::string_view text, int32_t start) {
  if (start < 1) Raise(kInvalidCall);
  if (static_cast<size_t>(start) > text.size()) return "";
  return std::string(text.substr(static_cast<size_t>(start - 1)));
}

std::string Mid(std::string_view text, int32_t start, int32_t length) {
  if (start < 1) Raise(kInvalidCall);
  RequireNonNegative(length);
  if (static_cast<size_t>(start) > text.size()) return "";
  return std::string(text.substr(static_cast<size_t>(start - 1), static_cast<size_t>(length)));
}

std::string Left(std::string_view text, int32_t length) {
  RequireNonNegative(length);
  return std::string(text.substr(0, static_cast<size_t>(length)));
}

std::string Right(std::string_view text, int32_t length) {
  RequireNonNegative(length);
  size_t n = std::min(text.size(), static_cast<size_t>(length));
  return std::string(text.substr(text.size() - n));
}

namespace {

// The length of the UTF-8 sequence that starts with `lead` (0: not a lead).
size_t SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return lead >= 0xC2 ? 2 : 0;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return lead <= 0xF4 ? 4 : 0;
  return 0;
}

// Changes the case of every letter of a UTF-8 text the way the platform's
// case mapping does (so "müller" becomes "MÜLLER"). A letter whose other
// case takes another number of bytes keeps its case, and bytes that are not
// UTF-8 pass unchanged: a position found in the changed text is the same
// position in the original one, and no text is broken.
std::string ChangeCase(std::string_view text, bool upper) {
  static const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
  const auto change = [upper](wint_t c) {
    if (utf8 != nullptr) return upper ? towupper_l(c, utf8) : towlower_l(c, utf8);
    if (upper && c >= 'a' && c <= 'z') return c - 'a' + 'A';  // no table: the letters a-z only
    if (!upper && c >= 'A' && c <= 'Z') return c - 'A' + 'a';
    return c;
  };
  std::string s(text);
  for (size_t i = 0; i < s.size();) {
    const auto lead = static_cast<unsigned char>(s[i]);
    const size_t n = SequenceLength(lead);
    if (n == 1 || utf8 == nullptr) {
      if (lead < 0x80) s[i] = static_cast<char>(change(lead));
      ++i;
      continue;
    }
    bool whole = n > 0 && i + n <= s.size();
    wint_t code = n == 2 ? lead & 0x1F : n == 3 ? lead & 0x0F : lead & 0x07;
    for (size_t k = 1; whole && k < n; ++k) {
      const auto next = static_cast<unsigned char>(s[i + k]);
      whole = (next & 0xC0) == 0x80;
      code = (code << 6) | (next & 0x3F);
    }
    if (!whole) {
      ++i;
      continue;
    }
    const wint_t other = change(code);
    const size_t otherLength = other < 0x80 ? 1 : other < 0x800 ? 2 : other < 0x10000 ? 3 : 4;
    if (other != code && otherLength == n) {
      for (size_t k = n - 1; k > 0; --k) {
        s[i + k] = static_cast<char>(0x80 | ((other >> (6 * (n - 1 - k))) & 0x3F));
      }
      const unsigned char leadBits = n == 2 ? 0xC0 : n == 3 ? 0xE0 : 0xF0;
      s[i] = static_cast<char>(leadBits | (other >> (6 * (n - 1))));
    }
    i += n;
  }
  return s;
}

}  // namespace

std::string UCase(std::string_view text) { return ChangeCase(text, true); }

std::string LCase(std::string_view text) { return ChangeCase(text, false); }

std::string LTrim(std::string_view text) {
  size_t b = text.find_first_not_of(' ');
  return b == std::string_view::npos ? "" : std::string(text.substr(b));
}

std::string RTrim(std::string_view text) {
  size_t e = text.find_last_not_of(' ');
  return e == std::string_view::npos ? "" : std::string(text.substr(0, e + 1));
}

std::string Trim(std::string_view text) { return LTrim(RTrim(text)); }

std::string Replace(std::string_view text, std::string_view find, std::string_view with) {
  if (find.empty()) return std::string(text);
  std::string out;
  size_t pos = 0;
  for (size_t p; (p = text.find(find, pos)) != std::string_view::npos; pos = p + find.size()) {
    out.append(text.substr(pos, p - pos));
    out.append(with);
  }
  out.append(text.substr(pos));
  return out;
}

std::string Space(int32_t n) { return String(n, ' '); }

std::string String(int32_t n, char c) {
  RequireNonNegative(n);
  return std::string(static_cast<size_t>(n), c);
}

int32_t Len(std::string_view text) { return static_cast<int32_t>(text.size()); }

int32_t StrComp(std::string_view a, std::string_view b, CompareMethod compare) {
  auto fold = [compare](char c) {
    auto u = static_cast<unsigned char>(c);
    return compare == kTextCompare && u >= 'A' && u <= 'Z' ? u - 'A' + 'a' : u;
  };
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int x = fold(a[i]), y = fold(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

}  // namespace rt
