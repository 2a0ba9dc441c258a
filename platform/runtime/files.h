#pragma once
// The runtime's file functions. Paths are host paths ("/" between parts).
// Failures raise the runtime's file errors (53 file not found, 75 path/file
// access error, 76 path not found, 70 permission denied).

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/runtime/datetime.h"
#include "platform/runtime/error.h"

namespace rt {

enum FileAttr : int32_t {
  kNormal = 0, kReadOnly = 1, kHidden = 2, kSystem = 4, kDirectory = 16, kArchive = 32,
};

// Dir(path, attributes): the name (without folder) of the first entry that
// matches `path`, whose last part may hold "*" and "?" wildcards; "" when
// none. Normal files always match; hidden ("." names), system and directory
// entries only when their bit is in `attributes`. Dir() continues the last
// search; after it has answered "" (or before any search) it raises 5.
// On this host: wildcards match without regard to case ("*.*" also matches
// names without a dot), a name without wildcards must match exactly; "." and
// ".." are never listed; answers come in byte order of the names; entries
// that are neither files nor folders count as system, files without owner
// write permission as read-only. A path ending in "/" lists the folder.
std::string Dir(std::string_view path, int32_t attributes = kNormal);
std::string Dir();
// True when exactly this path names an existing file (no wildcards).
bool FileExists(std::string_view path);
void MkDir(std::string_view path);   // existing: 75; parent missing: 76
void Kill(std::string_view path);    // one file (no wildcards); missing or a folder: 53
int32_t FileLen(std::string_view path);
// Moves the file `from` to `to` in one step, replacing a file of that name:
// a reader of `to` finds the old file or the new one, never a mix (the
// host's rename; both in one file system). Missing `from`: 53; `to` a
// folder: 75.
void MoveOver(std::string_view from, std::string_view to);
// Appends `line` and CR LF to the file, creating it; opened and closed per call.
void AppendLine(std::string_view path, std::string_view line);
std::string ReadAllText(std::string_view path);
// Replaces the file's content with `text` as a durable write
// (durable_file.h): a reader, a crash or a power cut finds the old content
// or the new, never a part. A read-only file: 70.
void WriteAllText(std::string_view path, std::string_view text);
// The file's last change in local time, to the second (53 when missing).
DateTime FileDateTime(std::string_view path);

// open(2) for reading a file a user or a setting named. Only a regular
// file opens: a folder gives EISDIR, a pipe, a device or a socket ENODEV,
// so that no read blocks in open() or goes on without end (a FIFO,
// /dev/zero). The descriptor closes on exec; -1 and errno on failure.
int OpenRegularFile(const std::string& path);

// Raises the runtime's error for the errno value of a failed file call
// (ENOENT as `missing`, ENOSPC as 61, EIO as 57, EACCES as 70, others 75).
[[noreturn]] void RaiseFileError(int err, int32_t missing = kFileNotFound);

}  // namespace rt
