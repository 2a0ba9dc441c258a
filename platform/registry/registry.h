#pragma once
// The registry stand-in: hives of keys with typed values, kept in one text
// file per hive below the directory named by ORN_REGISTRY_DIR.
//
// The calls follow the platform's registry interface: keys are opened into
// handles, values are read into caller buffers with sizes in and out, and
// every call answers with a platform error code (kSuccess = 0). Key paths use
// "\" between their parts and compare without regard to case.
//
// Every write rewrites its hive file durably (written aside, flushed to the
// disk, renamed, the folder flushed) under an exclusive lock, so two
// processes writing at once lose nothing and a crash or a power cut leaves
// the old hive or the new one. The parsed hive is kept between calls and
// read again only when its file changed.
//
// A hive file that does not parse (damaged, or empty as a crash can leave
// it) is renamed to "<hive file>.damaged", an event record (source "ORN
// registry", a warning) names both files, and the hive starts empty. A hive
// file that cannot be read at all (no permission, or not a regular file)
// answers kBadDb to every call on that hive and is left as it is.
//
// ORN_REGISTRY_DIR names the directory (default: $HOME/.orn-registry, or
// orn-registry-<uid> in $TMPDIR or /tmp without HOME, which must then be a
// folder of this user's that no one else can write, else kAccessDenied);
// each call reads it anew. Keys nest at most 512 levels deep. Hive files
// are text, for example HKEY_LOCAL_MACHINE.hive:
//   ; ORN registry hive, format 1
//   [SOFTWARE\Dornvale\ORN\Trace]
//   "LogType"=dword:00000001
//   @=sz:"the key's default value"
//   "Data"=hex:01,ab
//   ; end of hive
// Strings are quoted with \\ \" \n \r \t \xHH escapes; key paths escape
// control characters and "%" as %HH; other types, and strings whose bytes
// are not text with one closing NUL, are hex(type):bytes.
// Handles are process-local and never reused within a process.
//
// Calls of one process are serialised. A call made while the same thread is
// still inside another - only a processor-exception translator running on
// top of a call that faulted can do that - fails at once with kBusy instead
// of waiting for itself.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace reg {

enum class Hive { ClassesRoot, CurrentUser, LocalMachine, Users };

// Value types with the platform's numbers.
enum ValueType : uint32_t {
  kNone = 0,
  kString = 1,        // REG_SZ: 8-bit text; the stored bytes hold a NUL terminator
  kExpandString = 2,  // REG_EXPAND_SZ
  kBinary = 3,        // REG_BINARY
  kDword = 4,         // REG_DWORD, little-endian 4 bytes
  kMultiString = 7,   // REG_MULTI_SZ
};

// Error codes with the platform's numbers.
enum Status : int32_t {
  kSuccess = 0,
  kFileNotFound = 2,    // key or value does not exist
  kAccessDenied = 5,
  kInvalidHandle = 6,
  kInvalidParameter = 87,
  kBusy = 170,          // a call on a thread already inside one (see below)
  kMoreData = 234,      // the buffer is too small; the needed size is returned
  kNoMoreItems = 259,   // enumeration past the last item
  kBadDb = 1009,        // the hive file is damaged
  kIoFailed = 1016,     // the hive file could not be written
  kKeyDeleted = 1018,   // the key of this handle was deleted meanwhile
};

using Key = uintptr_t;  // 0 = no key

// Opens an existing key. `*out` is 0 on failure.
Status OpenKey(Hive hive, std::string_view path, Key* out);
// Opens a key, creating it and its parents when missing.
Status CreateKey(Hive hive, std::string_view path, Key* out);
// Frees the handle; an unknown handle gives kInvalidHandle. Under
// FailHiveForTest the handle is freed and the test status returned.
Status CloseKey(Key key);

// Reads value `name` ("" = the key's default value). On entry *size is the
// buffer size in bytes (buffer may be null to ask for the size); on return
// the size of the data. kMoreData when the buffer is too small.
Status QueryValue(Key key, std::string_view name, ValueType* type, uint8_t* buffer, uint32_t* size);
Status SetValue(Key key, std::string_view name, ValueType type, const uint8_t* data, uint32_t size);
Status DeleteValue(Key key, std::string_view name);
// `subkey` may be a path below `parent`; a key with sub-keys is refused with
// kAccessDenied. Handles open on the deleted key answer kKeyDeleted.
Status DeleteKey(Key parent, std::string_view subkey);

// Enumerates values by index in their stored order. *nameSize: buffer size in
// characters on entry (including the NUL), name length on return.
Status EnumValue(Key key, uint32_t index, char* name, uint32_t* nameSize, ValueType* type,
                 uint8_t* data, uint32_t* dataSize);
// Sub-keys come in name order without regard to case, as on the platform.
Status EnumKey(Key key, uint32_t index, std::string* name);

// Convenience for code and tests that only need whole values.
Status SetString(Key key, std::string_view name, std::string_view text);
Status SetDword(Key key, std::string_view name, uint32_t value);
Status SetBinary(Key key, std::string_view name, const std::vector<uint8_t>& bytes);

// The directory of the hive files as the calls use it now.
std::string RegistryDirectory();
// The file of a hive in the folder the calls use now.
std::string HiveFile(Hive hive);

// Test hook: makes every call on `hive` fail with `status` (kSuccess undoes it).
void FailHiveForTest(Hive hive, Status status);

}  // namespace reg
