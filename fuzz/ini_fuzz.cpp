// The profile-string (INI) reader: every section and key named in the file
// is looked up, with buffers of several sizes.

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/win32/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static orn_fuzz::InputFile file;
  const std::string& path = file.Hold(data, size);
  const std::string_view text = orn_fuzz::Text(data, size);

  // Names as they stand in the file: "[name]" and "name=".
  std::set<std::string> sections{""}, keys{""};
  for (size_t start = 0; start < text.size() && sections.size() + keys.size() < 48;) {
    size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    const std::string_view line = text.substr(start, end - start);
    if (const size_t open = line.find('['); open != std::string_view::npos) {
      sections.emplace(line.substr(open + 1, line.find(']', open) - open - 1));
    } else if (const size_t eq = line.find('='); eq != std::string_view::npos) {
      keys.emplace(line.substr(0, eq));
    }
    start = end + 1;
  }
  for (const std::string& section : sections) {
    for (const std::string& key : keys) {
      for (const uint32_t chars : {0u, 1u, 5u, 512u}) {
        std::string value;
        const uint32_t n = win32::GetPrivateProfileString(section, key, "default", &value, chars, path);
        if (n != value.size() || (chars > 0 && n >= chars) || (chars == 0 && n != 0)) std::abort();
      }
    }
  }
  return 0;
}
