#include "platform/win32/profile.h"

#include <algorithm>
#include <fstream>

#include "platform/runtime/strings.h"

namespace win32 {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view TrimView(std::string_view s) {
  size_t b = 0, e = s.size();
  while (b < e && IsSpace(s[b])) ++b;
  while (e > b && IsSpace(s[e - 1])) --e;
  return s.substr(b, e - b);
}

bool SameText(std::string_view a, std::string_view b) {
  return rt::StrComp(a, b, rt::kTextCompare) == 0;
}

// The value of `key` in the first section named `section`; false when the
// file, the section or the key is missing.
bool Lookup(std::string_view section, std::string_view key, std::string_view file,
            std::string* value) {
  std::ifstream in{std::string(file), std::ios::binary};
  if (!in) return false;
  std::string line;
  bool first = true, inSection = false, seenSection = false;
  while (std::getline(in, line)) {
    std::string_view l(line);
    if (first && l.substr(0, 3) == "\xEF\xBB\xBF") l.remove_prefix(3);  // UTF-8 mark
    first = false;
    l = TrimView(l);
    if (l.empty() || l[0] == ';') continue;
    if (l[0] == '[') {
      if (inSection) return false;  // left the section without the key
      size_t close = l.find(']');
      std::string_view name = TrimView(l.substr(1, close == l.npos ? l.npos : close - 1));
      inSection = !seenSection && SameText(name, section);
      seenSection = seenSection || inSection;
      continue;
    }
    if (!inSection) continue;
    size_t eq = l.find('=');
    if (eq == l.npos || !SameText(TrimView(l.substr(0, eq)), key)) continue;
    *value = std::string(TrimView(l.substr(eq + 1)));
    return true;
  }
  return false;
}

}  // namespace

uint32_t GetPrivateProfileString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue, std::string* out,
                                 uint32_t bufferChars, std::string_view file) {
  if (!out) return 0;
  std::string value;
  if (!Lookup(section, key, file, &value)) {
    value = std::string(defaultValue);
  } else if (value.size() >= 2 && (value[0] == '"' || value[0] == '\'') &&
             value.back() == value[0]) {
    value = value.substr(1, value.size() - 2);
  }
  size_t n = bufferChars == 0 ? 0 : std::min<size_t>(value.size(), bufferChars - 1);
  *out = value.substr(0, n);
  return static_cast<uint32_t>(n);
}

}  // namespace win32
