#include "platform/settings/settings.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace settings {
namespace {

std::string Lower(std::string_view s) {
  std::string out(s);
  for (char& c : out)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return out;
}

std::string_view Trimmed(std::string_view s) {
  const size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

}  // namespace

void BadSetting(std::string_view variable, std::string_view takes, std::string_view value,
                std::string_view detail) {
  std::string line = std::string(variable) + " must be " + std::string(takes) + ", not '" + std::string(value) + "'";
  if (!detail.empty()) line += " (" + std::string(detail) + ")";
  std::fflush(nullptr);
  std::fprintf(stderr, "%s\n", line.c_str());
  std::fflush(stderr);
  // No exit handlers: a setting can be read on any thread and inside static
  // construction, where running destructors would not be safe.
  _exit(124);
}

bool ListNames(const char* variable, std::initializer_list<std::string_view> known, std::string_view word) {
  const char* v = std::getenv(variable);
  if (v == nullptr) return false;
  const std::string_view list(v);
  bool named = false;
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(',', start);
    if (comma == std::string_view::npos) comma = list.size();
    const std::string item = Lower(Trimmed(list.substr(start, comma - start)));
    if (!item.empty()) {
      bool isKnown = false;
      for (std::string_view k : known) isKnown = isKnown || item == k;
      if (!isKnown) {
        std::string words;
        for (std::string_view k : known) words += (words.empty() ? "" : ", ") + std::string(k);
        BadSetting(variable, "a comma list of " + words, list);
      }
      named = named || item == word;
    }
    start = comma + 1;
  }
  return named;
}

}  // namespace settings
