// The event-log reader: every line of a log file, records it cannot parse
// passed over.

#include <cstdint>

#include "fuzz/fuzz_input.h"
#include "platform/eventlog/eventlog.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static orn_fuzz::InputFile file;
  evlog::ReadLog(file.Hold(data, size));
  return 0;
}
