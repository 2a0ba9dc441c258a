#include "platform/msgres/msgres.h"

#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <sstream>

#include "platform/win32/system_texts.h"

namespace msgres {
namespace {

using Catalogue = std::map<uint32_t, std::string>;

constexpr Library kThisModule = 1;

struct State {
  std::mutex lock;
  std::map<Library, std::shared_ptr<const Catalogue>> libraries;
  Library next = 0x10;
};

State& St() {
  static State* state = new State;  // never destroyed: usable during static destruction
  return *state;
}

thread_local uint32_t t_lastError = kSuccess;

std::optional<uint32_t> ParseId(std::string_view word) {
  if (word.empty()) return std::nullopt;
  int base = 10;
  if (word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X')) {
    base = 16;
    word.remove_prefix(2);
  }
  uint64_t value = 0;
  for (char c : word) {
    int digit;
    if (c >= '0' && c <= '9') digit = c - '0';
    else if (base == 16 && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
    else if (base == 16 && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
    else return std::nullopt;
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) return std::nullopt;
  }
  return static_cast<uint32_t>(value);
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\\' && i + 1 < text.size()) {
      char c = text[++i];
      if (c == 'n') out += '\n';
      else if (c == 'r') out += '\r';
      else if (c == 't') out += '\t';
      else if (c == '\\') out += '\\';
      else {
        out += '\\';
        out += c;
      }
    } else {
      out += text[i];
    }
  }
  return out;
}

std::optional<Catalogue> Parse(std::string_view text) {
  Catalogue catalogue;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(pos, end - pos);
    pos = end + 1;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    size_t first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] == '#' || line[first] == ';') continue;
    line.remove_prefix(first);
    size_t gap = line.find_first_of(" \t");
    std::optional<uint32_t> id = ParseId(line.substr(0, gap));
    if (!id) return std::nullopt;
    std::string_view rest = gap == std::string_view::npos ? std::string_view() : line.substr(gap);
    size_t start = rest.find_first_not_of(" \t");
    catalogue[*id] = start == std::string_view::npos ? std::string() : Unescape(rest.substr(start));
  }
  return catalogue;
}

Library Add(std::shared_ptr<const Catalogue> catalogue) {
  State& st = St();
  std::lock_guard<std::mutex> lock(st.lock);
  Library handle = st.next++;
  st.libraries[handle] = std::move(catalogue);
  return handle;
}

}  // namespace

Library LoadLibraryEx(std::string_view path) {
  std::string hostPath(path);
  for (char& c : hostPath)
    if (c == '\\') c = '/';
  std::ifstream in(hostPath, std::ios::binary);
  if (!in) {
    t_lastError = kFileNotFound;
    return 0;
  }
  std::stringstream text;
  text << in.rdbuf();
  std::optional<Catalogue> catalogue = Parse(text.str());
  if (!catalogue) {
    t_lastError = kBadFormat;
    return 0;
  }
  return Add(std::make_shared<const Catalogue>(std::move(*catalogue)));
}

Library LoadBuiltin(std::string_view /*name*/, std::string_view catalogueText) {
  std::optional<Catalogue> catalogue = Parse(catalogueText);
  if (!catalogue) {
    t_lastError = kBadFormat;
    return 0;
  }
  return Add(std::make_shared<const Catalogue>(std::move(*catalogue)));
}

bool FreeLibrary(Library library) {
  State& st = St();
  std::lock_guard<std::mutex> lock(st.lock);
  if (library == kThisModule) return true;
  if (st.libraries.erase(library) == 0) {
    t_lastError = kInvalidHandle;
    return false;
  }
  return true;
}

Library ThisModule() {
  State& st = St();
  std::lock_guard<std::mutex> lock(st.lock);
  if (!st.libraries.count(kThisModule)) st.libraries[kThisModule] = std::make_shared<const Catalogue>();
  return kThisModule;
}

void SetModuleCatalogue(std::string_view catalogueText) {
  std::optional<Catalogue> catalogue = Parse(catalogueText);
  State& st = St();
  std::lock_guard<std::mutex> lock(st.lock);
  st.libraries[kThisModule] = std::make_shared<const Catalogue>(catalogue ? std::move(*catalogue) : Catalogue());
}

bool FormatMessage(Library library, uint32_t id, bool noLineBreaks, std::string* out) {
  if (library == kThisModule) ThisModule();
  std::shared_ptr<const Catalogue> catalogue;
  {
    State& st = St();
    std::lock_guard<std::mutex> lock(st.lock);
    auto it = st.libraries.find(library);
    if (it == st.libraries.end()) {
      t_lastError = kInvalidHandle;
      return false;
    }
    catalogue = it->second;
  }
  auto message = catalogue->find(id);
  if (message == catalogue->end()) {
    t_lastError = kMessageNotFound;
    return false;
  }
  if (!noLineBreaks) {
    *out = message->second + "\r\n";
    return true;
  }
  out->clear();
  const std::string& text = message->second;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    *out += (text[i] == '\n' || text[i] == '\r') ? ' ' : text[i];
  }
  return true;
}

bool FormatSystemMessage(uint32_t error, std::string* out) {
  const char* text = win32::SystemErrorText(error);
  if (!text) {
    t_lastError = kMessageNotFound;
    return false;
  }
  *out = std::string(text) + "\r\n";
  return true;
}

uint32_t LastError() { return t_lastError; }

}  // namespace msgres
