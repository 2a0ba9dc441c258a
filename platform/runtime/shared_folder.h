#pragma once
// Files and folders that the programs make in the shared temporary folder
// (/tmp), where any local user may have planted a symbolic link, a file or
// a folder of their own under the name about to be used.

#include <sys/types.h>

#include <string>

namespace rt {

// open(2) for a file about to be written. In a folder that other users may
// write to (group or others have write permission, as on /tmp) a symbolic
// link is not followed (ELOOP), and the file must be a regular file of this
// user (EACCES otherwise: another user's file, a pipe, a device). Elsewhere a
// plain open, except that it never waits: a pipe without a reader fails with
// ENXIO. The descriptor (blocking) closes on exec; -1 and errno on failure.
int OpenForWriting(const std::string& path, int flags, mode_t mode);

// Makes the folder `path` (mode 0700; its parent must exist) when missing.
// True when it then is a folder of this user's, not a symbolic link, that no
// other user can write to: only then may files in it be trusted.
bool MakePrivateFolder(const std::string& path);
// The same test without making it; false when it does not exist.
bool IsPrivateFolder(const std::string& path);

// The folder that holds `path`: "." for a bare name, "/" for a name in the
// root folder.
std::string FolderOf(const std::string& path);

}  // namespace rt
