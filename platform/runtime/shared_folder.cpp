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
  const size_t slash = path.find_last_of('/');
  const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
  struct stat st;
  return ::stat(folder.c_str(), &st) == 0 && (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
}

int OpenRetrying(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = ::open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

}  // namespace

int OpenForWriting(const std::string& path, int flags, mode_t mode) {
  if (!InSharedFolder(path)) return OpenRetrying(path, flags, mode);
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
  if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0 ||
      ((flags & O_TRUNC) && ::ftruncate(fd, 0) != 0)) {
    const int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
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
