#include "platform/runtime/shared_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace rt {

namespace {

// True when users other than the owner may create names in the folder that
// holds `path`.
bool InSharedFolder(const std::string& path) {
  struct stat st;
  return ::stat(FolderOf(path).c_str(), &st) == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

int OpenRetrying(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

// Clears O_NONBLOCK once the open is done; -1 with errno (fd closed) when
// that fails.
int Blocking(int fd) {
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) == 0) return fd;
  const int err = errno;
  ::close(fd);
  errno = err;
  return -1;
}

}  // namespace

int OpenForWriting(const std::string& path, int flags, mode_t mode) {
  if (!InSharedFolder(path)) {
    // Non-blocking: a pipe without a reader (an event log named as a FIFO)
    // fails at once (ENXIO) instead of holding the program in open().
    const int fd = OpenRetrying(path, flags | O_NONBLOCK, mode);
    return fd < 0 ? -1 : Blocking(fd);
  }
  // Non-blocking, so that a planted pipe without a reader cannot hold the
  // program in open(); truncated only once the file is known to be ours.
  const int fd = OpenRetrying(path, (flags & ~O_TRUNC) | O_NOFOLLOW | O_NONBLOCK, mode);
  if (fd < 0) return -1;
  struct stat st;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_uid != ::geteuid()) {
    ::close(fd);
    errno = EACCES;
    return -1;
  }
  if (Blocking(fd) < 0) return -1;
  if ((flags & O_TRUNC) && ::ftruncate(fd, 0) != 0) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

bool IsPrivateFolder(const std::string& path) {
  struct stat st;
  return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool MakePrivateFolder(const std::string& path) {
  if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return false;
  return IsPrivateFolder(path);
}

}  // namespace rt
