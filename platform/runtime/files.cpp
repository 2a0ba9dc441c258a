#include "platform/runtime/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <mutex>
#include <vector>

#include "platform/runtime/durable_file.h"
#include "platform/runtime/error.h"
#include "platform/runtime/shared_folder.h"

namespace rt {

namespace {

// The runtime's error for a failed system call; `missing` is what ENOENT
// means at this place (a file, or a folder on the way).
[[noreturn]] void RaiseFor(int err, int32_t missing) {
  switch (err) {
    case ENOENT: Raise(missing);
    case ENOTDIR: Raise(kPathNotFound);
    case EACCES:
    case EPERM: Raise(kPermissionDenied);
    case ENOSPC:
    case EDQUOT: Raise(kDiskFull);
    case EIO: Raise(kDeviceIO);
    default: Raise(kPathFileAccess);
  }
}

std::string Str(std::string_view s) { return std::string(s); }

char Fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// "*" any run, "?" one character; letters match without regard to case,
// as names do on the platform.
bool Match(std::string_view pat, std::string_view name) {
  size_t p = 0, n = 0, star = std::string_view::npos, mark = 0;
  while (n < name.size()) {
    if (p < pat.size() && (pat[p] == '?' || Fold(pat[p]) == Fold(name[n]))) {
      ++p;
      ++n;
    } else if (p < pat.size() && pat[p] == '*') {
      star = p++;
      mark = n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++mark;
    } else {
      return false;
    }
  }
  while (p < pat.size() && pat[p] == '*') ++p;
  return p == pat.size();
}

// A pattern ending in ".*" also matches names without an extension
// ("*.*" matches every name).
bool MatchName(std::string_view pat, std::string_view name) {
  if (Match(pat, name)) return true;
  return pat.size() >= 2 && pat.substr(pat.size() - 2) == ".*" &&
         name.find('.') == std::string_view::npos && Match(pat.substr(0, pat.size() - 2), name);
}

// The attributes an entry has on this host: "." names are hidden, entries
// that are neither files nor folders (devices, sockets, pipes) count as
// system, a file without owner write permission is read-only.
int32_t AttributesOf(std::string_view name, const struct stat& st) {
  int32_t a = 0;
  if (S_ISDIR(st.st_mode)) a |= kDirectory;
  else if (!S_ISREG(st.st_mode)) a |= kSystem;
  if (!name.empty() && name[0] == '.') a |= kHidden;
  if (!(st.st_mode & S_IWUSR)) a |= kReadOnly;
  return a;
}

bool Wanted(int32_t has, int32_t asked) {
  int32_t special = has & (kHidden | kSystem | kDirectory);
  return (special & ~asked) == 0;
}

bool HasWildcard(std::string_view s) { return s.find_first_of("*?") != std::string_view::npos; }

struct DirSearch {
  std::mutex mutex;
  std::vector<std::string> names;
  size_t next = 0;
  bool active = false;  // false before the first search and after its "" answer
} g_search;

// The next name of the current search; g_search.mutex must be held.
std::string NextLocked() {
  if (g_search.next < g_search.names.size()) return g_search.names[g_search.next++];
  g_search.active = false;
  return "";
}

int OpenOrRaise(std::string_view path, int flags, int32_t missing) {
  std::string p = Str(path);
  int fd;
  if (flags & (O_WRONLY | O_RDWR)) {
    fd = OpenForWriting(p, flags, 0666);  // Quillet's start-up log lives in /tmp
  } else {
    do {
      fd = ::open(p.c_str(), flags | O_CLOEXEC, 0666);
    } while (fd < 0 && errno == EINTR);
  }
  if (fd < 0) {
    if (errno == EISDIR) Raise(kPathFileAccess);
    RaiseFor(errno, missing);
  }
  return fd;
}

void WriteAllOrRaise(int fd, std::string_view data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      ::close(fd);
      RaiseFor(err, kDeviceIO);
    }
    done += static_cast<size_t>(n);
  }
  if (::close(fd) != 0 && errno != EINTR) RaiseFor(errno, kDeviceIO);
}

}  // namespace

std::string Dir(std::string_view path, int32_t attributes) {
  size_t slash = path.rfind('/');
  std::string folder = slash == std::string_view::npos ? "." : Str(path.substr(0, slash + 1));
  std::string pattern = Str(slash == std::string_view::npos ? path : path.substr(slash + 1));
  if (pattern.empty()) pattern = "*";

  std::vector<std::string> found;
  if (!HasWildcard(pattern)) {
    struct stat st;
    if (::stat(Str(path.empty() ? "." : path).c_str(), &st) == 0 &&
        Wanted(AttributesOf(pattern, st), attributes) && pattern != "." && pattern != "..") {
      found.push_back(pattern);
    }
  } else if (DIR* d = ::opendir(folder.c_str())) {
    while (dirent* e = ::readdir(d)) {
      std::string name = e->d_name;
      if (name == "." || name == ".." || !MatchName(pattern, name)) continue;
      struct stat st;
      if (::stat((folder + (folder.back() == '/' ? "" : "/") + name).c_str(), &st) != 0) continue;
      if (Wanted(AttributesOf(name, st), attributes)) found.push_back(name);
    }
    ::closedir(d);
    // Host directories come in no fixed order; sorted answers keep runs
    // repeatable.
    std::sort(found.begin(), found.end());
  }

  std::lock_guard<std::mutex> lock(g_search.mutex);
  g_search.names = std::move(found);
  g_search.next = 0;
  g_search.active = true;
  return NextLocked();
}

std::string Dir() {
  std::lock_guard<std::mutex> lock(g_search.mutex);
  // Continuing without a search, or after it answered "", is invalid.
  if (!g_search.active) Raise(kInvalidCall);
  return NextLocked();
}

bool FileExists(std::string_view path) {
  struct stat st;
  return !HasWildcard(path) && ::stat(Str(path).c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void MkDir(std::string_view path) {
  if (::mkdir(Str(path).c_str(), 0777) != 0) {
    if (errno == EEXIST) Raise(kPathFileAccess);
    RaiseFor(errno, kPathNotFound);
  }
}

void Kill(std::string_view path) {
  std::string p = Str(path);
  struct stat st;
  if (::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) Raise(kFileNotFound);
  if (::unlink(p.c_str()) != 0) RaiseFor(errno, kFileNotFound);
}

void MoveOver(std::string_view from, std::string_view to) {
  if (::rename(Str(from).c_str(), Str(to).c_str()) != 0) RaiseFor(errno, kFileNotFound);
}

int32_t FileLen(std::string_view path) {
  struct stat st;
  if (::stat(Str(path).c_str(), &st) != 0) RaiseFor(errno, kFileNotFound);
  if (S_ISDIR(st.st_mode)) Raise(kFileNotFound);
  if (st.st_size > INT32_MAX) Raise(kOverflow);
  return static_cast<int32_t>(st.st_size);
}

void AppendLine(std::string_view path, std::string_view line) {
  // One write of the whole line on an O_APPEND descriptor: two processes
  // appending to the same file never mix their lines.
  std::string data = Str(line) + "\r\n";
  WriteAllOrRaise(OpenOrRaise(path, O_WRONLY | O_CREAT | O_APPEND, kPathNotFound), data);
}

std::string ReadAllText(std::string_view path) {
  const int fd = OpenRegularFile(Str(path));
  if (fd < 0) {
    if (errno == EISDIR) Raise(kPathFileAccess);
    RaiseFor(errno, kFileNotFound);
  }
  std::string out;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      int err = errno;
      ::close(fd);
      if (err == EISDIR) Raise(kPathFileAccess);
      RaiseFor(err, kDeviceIO);
    }
    if (n == 0) break;
    out.append(buf, static_cast<size_t>(n));
  }
  ::close(fd);
  return out;
}

void WriteAllText(std::string_view path, std::string_view text) {
  const std::string p = Str(path);
  // A file of the name must be one this user could open for writing: not
  // read-only, nor (in a folder others write to) a planted link, pipe or
  // another user's file, though the rename would replace any of them.
  const int fd = OpenForWriting(p, O_WRONLY, 0666);
  if (fd >= 0) {
    ::close(fd);
  } else if (errno != ENOENT) {
    if (errno == EISDIR) Raise(kPathFileAccess);
    RaiseFor(errno, kPathNotFound);
  }
  if (const int e = WriteFileDurably(p, text)) RaiseFor(e, kPathNotFound);
}

void RaiseFileError(int err, int32_t missing) { RaiseFor(err, missing); }

int OpenRegularFile(const std::string& path) {
  int fd;
  do {
    fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  } while (fd < 0 && errno == EINTR);
  if (fd < 0) return -1;
  struct stat st;
  int err = 0;
  if (::fstat(fd, &st) != 0) err = errno;
  else if (S_ISDIR(st.st_mode)) err = EISDIR;
  else if (!S_ISREG(st.st_mode)) err = ENODEV;
  else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0) err = errno;
  if (err) {
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

DateTime FileDateTime(std::string_view path) {
  struct stat st;
  if (::stat(Str(path).c_str(), &st) != 0) RaiseFor(errno, kFileNotFound);
  if (S_ISDIR(st.st_mode)) Raise(kFileNotFound);
  struct tm local;
  if (::localtime_r(&st.st_mtime, &local) == nullptr) Raise(kOverflow);
  return DateTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

}  // namespace rt
