// The registry hive reader: a hive that reads must write a text that reads
// again into the same tree, so the program never writes a hive it then
// refuses as damaged.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/registry/hive.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  reg::hive::Node root;
  if (!reg::hive::Parse(orn_fuzz::Text(data, size), &root)) return 0;
  const std::string written = reg::hive::Serialize(root);
  reg::hive::Node again;
  if (!reg::hive::Parse(written, &again)) std::abort();
  if (reg::hive::Serialize(again) != written) std::abort();
  return 0;
}
