#include "platform/screen/uri_list.h"

#include <optional>

namespace screen {
namespace {

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::optional<std::string> Decode(std::string_view s) {
  std::string out;
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return std::nullopt;
    const int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
    if (hi < 0 || lo < 0) return std::nullopt;
    const char c = static_cast<char>(hi * 16 + lo);
    if (c == 0) return std::nullopt;
    out += c;
    i += 2;
  }
  return out;
}

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

// The path part of a local file URI; nothing for any other URI.
std::optional<std::string_view> LocalPath(std::string_view uri) {
  if (!StartsWithNoCase(uri, "file:")) return std::nullopt;
  std::string_view rest = uri.substr(5);
  if (rest.substr(0, 2) == "//") {
    rest.remove_prefix(2);
    const size_t slash = rest.find('/');
    if (slash == std::string_view::npos) return std::nullopt;
    const std::string_view host = rest.substr(0, slash);
    if (!host.empty() && !(host.size() == 9 && StartsWithNoCase(host, "localhost"))) return std::nullopt;
    rest.remove_prefix(slash);
  }
  if (rest.empty() || rest[0] != '/') return std::nullopt;
  return rest;
}

}  // namespace

std::vector<std::string> PathsFromUriList(std::string_view list) {
  std::vector<std::string> paths;
  size_t pos = 0;
  while (pos < list.size()) {
    size_t end = list.find('\n', pos);
    if (end == std::string_view::npos) end = list.size();
    std::string_view line = list.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line[0] == '#') continue;
    std::optional<std::string_view> path = LocalPath(line);
    if (!path) continue;
    // A file's own "?" and "#" come escaped; bare ones mark a query or a
    // fragment, which name no file.
    if (path->find_first_of("?#") != std::string_view::npos) continue;
    if (std::optional<std::string> decoded = Decode(*path)) paths.push_back(std::move(*decoded));
  }
  return paths;
}

}  // namespace screen
