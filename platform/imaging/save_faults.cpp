#include "platform/imaging/save_faults.h"

#include <cstdlib>
#include <filesystem>

#include "platform/imaging/pixo_members.h"
#include "platform/settings/settings.h"

namespace imaging {
namespace {

struct Faults {
  int32_t failAt = 0;  // the save that fails, counted from 1; 0 none
  int32_t saves = 0;
};

Faults& State() {
  static Faults f = [] {
    Faults init;
    if (const char* v = std::getenv("ORN_PIXO_FAIL_SAVE"); v && *v) {
      char* end = nullptr;
      const long n = std::strtol(v, &end, 10);
      if (*end != 0 || n < 0 || n > 1000000)
        settings::BadSetting("ORN_PIXO_FAIL_SAVE", "the number of the save that fails, 0 for none", v);
      init.failAt = static_cast<int32_t>(n);
    }
    return init;
  }();
  return f;
}

uintmax_t SizeOf(const std::string& path) {
  std::error_code ec;
  const uintmax_t size = std::filesystem::file_size(path, ec);
  return ec ? 0 : size;
}

}  // namespace

bool TakeSave() {
  Faults& f = State();
  return f.failAt > 0 && ++f.saves == f.failAt;
}

int16_t SaveWithFaults(const std::string& path, const std::function<int16_t()>& write) {
  return WriteWithFault(TakeSave(), path, write);
}

int16_t WriteWithFault(bool fail, const std::string& path, const std::function<int16_t()>& write) {
  if (!fail) return write();
  const uintmax_t before = SizeOf(path);
  write();
  const uintmax_t after = SizeOf(path);
  std::error_code ec;
  if (after > before) std::filesystem::resize_file(path, before + (after - before) / 2, ec);
  return kPixoWriteFailed;
}

void FailSaveForTest(int32_t n) {
  State().failAt = n;
  State().saves = 0;
}

}  // namespace imaging
