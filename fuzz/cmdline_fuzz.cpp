// The command-line parser of Quillet and Glimpra: a command-line text, and
// the same bytes as the words of a Linux command line (split at NUL) that
// the programs rebuild into a text first.

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "guicommon/cmdline.h"
#include "platform/runtime/error.h"
#include "platform/win32/environment.h"

namespace {

void Parse(std::string_view text) {
  try {
    const int16_t rows = guicommon::ParseCmd(text);
    if (rows < 0 || rows > guicommon::ParamTable::kMaxRows) std::abort();
    for (int r = 1; r <= rows; ++r) guicommon::GetParam(guicommon::Params.Name(r));
  } catch (const rt::RuntimeError& e) {
    // A 33rd parameter is run-time error 9, as the programs expect.
    if (e.number() != rt::kSubscriptOutOfRange) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text = orn_fuzz::Text(data, size);
  Parse(text);
  std::vector<std::string> words;
  for (size_t start = 0; start <= text.size();) {
    size_t end = text.find('\0', start);
    if (end == std::string_view::npos) end = text.size();
    words.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  // The switches Quillet knows, and those of Glimpra.
  Parse(win32::JoinCommandLine(words, {"Z"}));
  Parse(win32::JoinCommandLine(words, {"T", "W", "D", "Z", "P"}));
  return 0;
}
