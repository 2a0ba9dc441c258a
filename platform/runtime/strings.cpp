#include "platform/runtime/strings.h"

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

// Letters a-z only: bytes of other characters (UTF-8 sequences among them)
// pass unchanged, so no text is ever broken by a case change.
std::string UCase(std::string_view text) {
  std::string s(text);
  for (char& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

std::string LCase(std::string_view text) {
  std::string s(text);
  for (char& c : s) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return s;
}

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
