// The operator-script parser, and the steps every program's driver shares.

#include <cstdint>
#include <cstdlib>

#include "fuzz/fuzz_input.h"
#include "platform/uiscript/uiscript.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  try {
    for (const uiscript::Step& step : uiscript::ParseScript(orn_fuzz::Text(data, size))) {
      if (step.line < 1) std::abort();
      try {
        uiscript::RunSharedStep(step);
      } catch (const uiscript::ScriptError&) {
        // a bad argument of a shared verb: reported by line, as for a user
      }
    }
  } catch (const uiscript::ScriptError&) {
    // a line that does not parse
  }
  uiscript::AnswerQueue::Instance().Clear();
  return 0;
}
