// orn-setup: writes the registry entries a fresh installation of the suite's
// programs needs, as the suite's installer does on the platform:
//   HKEY_LOCAL_MACHINE\SYSTEM\CurrentControlSet\Services\EventLog\Application\ORN4
//       EventMessageFile = the message catalogue (ORN4.msg)
//   HKEY_LOCAL_MACHINE\SOFTWARE\Dornvale\ORN\SysParam
//       LogLevel = 4 (warnings and errors reach the event log), unless set
// Without them every start of Lumoret logs two warnings: no message library
// and no SysParam key.
//   orn-setup [CATALOGUE]   default: ORN4.msg beside this program (a build),
//                           else ../share/orn/ORN4.msg from it (an installation)
//   orn-setup --help
// Exit code 0 when both are in place, 1 otherwise (a line on stderr says why),
// 2 for a bad command line.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/registry/registry.h"

namespace {

namespace fs = std::filesystem;

constexpr const char* kEventSourceKey = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\ORN4";
constexpr const char* kSysParamKey = "SOFTWARE\\Dornvale\\ORN\\SysParam";
constexpr uint32_t kDefaultLogLevel = 4;

fs::path OwnFolder() {
  std::error_code ignored;
  return fs::read_symlink("/proc/self/exe", ignored).parent_path();
}

// What the administrator can do about a failure, naming the file or folder.
std::string Fix(reg::Status status) {
  const std::string hive = reg::HiveFile(reg::Hive::LocalMachine);
  switch (status) {
    case reg::kBadDb:
      return "the hive file " + hive +
             " cannot be read: it is not a regular file or not readable; move it away (a damaged hive is set "
             "aside by itself) and run orn-setup again";
    case reg::kAccessDenied:
    case reg::kIoFailed:
      return "the folder " + reg::RegistryDirectory() + " or the hive file " + hive +
             " cannot be written: give this user write access (or set ORN_REGISTRY_DIR) and run orn-setup again";
    default: return "in " + reg::RegistryDirectory();
  }
}

bool Fail(const std::string& what, reg::Status status) {
  std::fprintf(stderr, "orn-setup: %s (registry error %d): %s\n", what.c_str(), static_cast<int>(status),
               Fix(status).c_str());
  return false;
}

bool RegisterCatalogue(const fs::path& catalogue) {
  reg::Key key = 0;
  reg::Status status = reg::CreateKey(reg::Hive::LocalMachine, kEventSourceKey, &key);
  if (status != reg::kSuccess) return Fail("cannot create the event source key", status);
  status = reg::SetString(key, "EventMessageFile", catalogue.string());
  reg::CloseKey(key);
  if (status != reg::kSuccess) return Fail("cannot write EventMessageFile", status);
  std::printf("HKEY_LOCAL_MACHINE\\%s: EventMessageFile = %s\n", kEventSourceKey, catalogue.c_str());
  return true;
}

bool DefaultLogLevel() {
  reg::Key key = 0;
  reg::Status status = reg::CreateKey(reg::Hive::LocalMachine, kSysParamKey, &key);
  if (status != reg::kSuccess) return Fail("cannot create the SysParam key", status);
  uint8_t data[4];
  uint32_t size = sizeof data;
  reg::ValueType type = reg::kNone;
  // A level an administrator chose stays.
  if (reg::QueryValue(key, "LogLevel", &type, data, &size) == reg::kSuccess && type == reg::kDword) {
    reg::CloseKey(key);
    std::printf("HKEY_LOCAL_MACHINE\\%s: LogLevel kept\n", kSysParamKey);
    return true;
  }
  status = reg::SetDword(key, "LogLevel", kDefaultLogLevel);
  reg::CloseKey(key);
  if (status != reg::kSuccess) return Fail("cannot write LogLevel", status);
  std::printf("HKEY_LOCAL_MACHINE\\%s: LogLevel = %u\n", kSysParamKey, kDefaultLogLevel);
  return true;
}

}  // namespace

constexpr const char* kUsage = "usage: orn-setup [CATALOGUE]\n";
constexpr const char* kHelp =
    "Writes the registry entries the ORN desk kit's programs need into the\n"
    "registry of the user who runs it (ORN_REGISTRY_DIR, by default\n"
    "~/.orn-registry): the message catalogue of the event source ORN4 and the\n"
    "log level 4 in SysParam (a level already set stays). Every user runs it\n"
    "once before the first start of Lumoret; running it again changes nothing.\n"
    "\n"
    "  CATALOGUE  the message catalogue ORN4.msg (default: beside orn-setup,\n"
    "             else ../share/orn/ORN4.msg from its folder)\n"
    "\n"
    "Exit status: 0 when both entries are in place, 1 when not, 2 for a bad\n"
    "command line.\n";

int main(int argc, char** argv) {
  if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
    std::printf("%s\n%s", kUsage, kHelp);
    return 0;
  }
  if (argc > 2 || (argc == 2 && argv[1][0] == '-')) {
    std::fprintf(stderr, "%sorn-setup --help tells more.\n", kUsage);
    return 2;
  }
  std::error_code error;
  fs::path given = argc == 2 ? fs::path(argv[1]) : OwnFolder() / "ORN4.msg";
  if (argc == 1 && !fs::exists(given)) given = (OwnFolder() / ".." / "share" / "orn" / "ORN4.msg").lexically_normal();
  const fs::path catalogue = fs::absolute(given, error);
  if (error || !fs::is_regular_file(catalogue)) {
    std::fprintf(stderr, "orn-setup: no message catalogue at %s\n", catalogue.c_str());
    return 1;
  }
  const bool catalogueDone = RegisterCatalogue(catalogue);
  const bool levelDone = DefaultLogLevel();
  return catalogueDone && levelDone ? 0 : 1;
}
