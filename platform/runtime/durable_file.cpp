#include "platform/runtime/durable_file.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdlib>

#include "platform/runtime/shared_folder.h"
#include "platform/settings/settings.h"

namespace rt {

namespace {

struct StepName {
  DurableStep step;
  const char* name;
};
constexpr StepName kStepNames[] = {
    {DurableStep::kCreate, "create"}, {DurableStep::kWrite, "write"},         {DurableStep::kSyncFile, "sync"},
    {DurableStep::kRename, "rename"}, {DurableStep::kSyncFolder, "syncdir"},
};

// ORN_DURABLE_KILL: the process ends at the n-th step of one kind.
class KillAtStep : public DurableFaults {
 public:
  KillAtStep() {
    const char* v = std::getenv("ORN_DURABLE_KILL");
    if (!v || !*v) return;
    const std::string text = v;
    const size_t colon = text.find(':');
    bool known = false;
    for (const StepName& s : kStepNames) {
      if (colon != std::string::npos && text.compare(0, colon, s.name) == 0) {
        step_ = s.step;
        known = true;
      }
    }
    char* end = nullptr;
    const long n = known ? std::strtol(text.c_str() + colon + 1, &end, 10) : 0;
    if (!known || *end != 0 || n < 1) {
      settings::BadSetting("ORN_DURABLE_KILL", "STEP:N, STEP one of create, write, sync, rename, syncdir, N from 1",
                           text);
    }
    at_ = n;
  }
  int Before(DurableStep step, const std::string&) override {
    if (at_ > 0 && step == step_ && ++seen_ == at_) ::kill(::getpid(), SIGKILL);
    return 0;
  }
  bool Watches(DurableStep step) const { return at_ > 0 && step == step_; }

 private:
  DurableStep step_ = DurableStep::kCreate;
  long at_ = 0;
  std::atomic<long> seen_{0};
};

std::atomic<DurableFaults*> g_faults{nullptr};

KillAtStep& FromVariable() {
  static KillAtStep fromVariable;
  return fromVariable;
}

int Fault(DurableStep step, const std::string& name) {
  if (DurableFaults* f = g_faults.load()) return f->Before(step, name);
  return FromVariable().Before(step, name);
}

// Whether anything asks about `step`: only then is a write cut in two.
bool Watched(DurableStep step) { return g_faults.load() != nullptr || FromVariable().Watches(step); }

std::string BaseOf(const std::string& name) {
  const size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

bool SameFile(const struct stat& a, const struct stat& b) { return a.st_dev == b.st_dev && a.st_ino == b.st_ino; }

// "<base>.part" or "<base>.<digits and dots>.part": a temporary of `base`.
bool IsAsideOf(std::string_view entry, std::string_view base) {
  constexpr std::string_view kPart = ".part";
  if (entry.size() < base.size() + kPart.size() || entry.substr(0, base.size()) != base) return false;
  if (entry.substr(entry.size() - kPart.size()) != kPart) return false;
  std::string_view middle = entry.substr(base.size(), entry.size() - base.size() - kPart.size());
  if (middle.empty()) return true;
  if (middle[0] != '.' || middle.size() < 2) return false;
  for (char c : middle.substr(1)) {
    if (c != '.' && (c < '0' || c > '9')) return false;
  }
  return true;
}

int LockRetrying(int fd, int op) {
  int r;
  do {
    r = ::flock(fd, op);
  } while (r != 0 && errno == EINTR);
  return r;
}

int WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return errno;
    if (n == 0) return EIO;
    data += n;
    size -= static_cast<size_t>(n);
  }
  return 0;
}

std::atomic<unsigned> g_serial{0};

}  // namespace

DurableFaults* SetDurableFaults(DurableFaults* faults) { return g_faults.exchange(faults); }

DurableFile::~DurableFile() { Discard(); }

int DurableFile::Create(std::string name, mode_t mode) {
  Discard();
  name_ = std::move(name);
  if (int e = Fault(DurableStep::kCreate, name_)) return e;
  RemoveStaleAsides(name_);
  for (int attempt = 0; attempt < 100; ++attempt) {
    std::string aside = name_ + "." + std::to_string(::getpid()) + "." + std::to_string(++g_serial) + ".part";
    // O_EXCL: never a file of another process (or another user's link).
    int fd = ::open(aside.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return errno;
    if (LockRetrying(fd, LOCK_EX) != 0) {
      const int e = errno;
      ::unlink(aside.c_str());
      ::close(fd);
      return e;
    }
    // Between the open and the lock another process may have found the
    // file unlocked and removed it as stale: then take another name.
    struct stat mine, named;
    if (::fstat(fd, &mine) == 0 && ::stat(aside.c_str(), &named) == 0 && SameFile(mine, named)) {
      fd_ = fd;
      aside_ = std::move(aside);
      return 0;
    }
    ::close(fd);
  }
  return EEXIST;
}

int DurableFile::Write(std::string_view bytes) {
  if (fd_ < 0) return EBADF;
  if (!Watched(DurableStep::kWrite)) return WriteAll(fd_, bytes.data(), bytes.size());
  const size_t half = bytes.size() / 2;
  if (int e = WriteAll(fd_, bytes.data(), half)) return e;
  if (int e = Fault(DurableStep::kWrite, name_)) return e;
  return WriteAll(fd_, bytes.data() + half, bytes.size() - half);
}

int DurableFile::Wrote() { return fd_ < 0 ? EBADF : Fault(DurableStep::kWrite, name_); }

int DurableFile::Commit() {
  if (fd_ < 0) return EBADF;
  int e = Fault(DurableStep::kSyncFile, name_);
  // EINVAL: a file system that keeps no data to flush.
  if (!e && ::fsync(fd_) != 0 && errno != EINVAL) e = errno;
  if (!e) e = Fault(DurableStep::kRename, name_);
  // The lock is still held: no second instance takes the file for stale.
  if (!e && ::rename(aside_.c_str(), name_.c_str()) != 0) e = errno;
  if (e) {
    Discard();
    return e;
  }
  ::close(fd_);
  fd_ = -1;
  aside_.clear();
  // Without this the rename may be lost at a power cut, leaving the old
  // file (or none) under the name though the program reported it saved.
  if (int f = Fault(DurableStep::kSyncFolder, name_)) return f;
  const int dir = ::open(FolderOf(name_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dir < 0) return errno;
  e = ::fsync(dir) != 0 && errno != EINVAL ? errno : 0;
  ::close(dir);
  return e;
}

void DurableFile::Discard() {
  if (fd_ >= 0) {
    ::unlink(aside_.c_str());
    ::close(fd_);
  }
  fd_ = -1;
  aside_.clear();
}

int WriteFileDurably(const std::string& name, std::string_view bytes, mode_t mode) {
  DurableFile file;
  int e = file.Create(name, mode);
  if (!e) e = file.Write(bytes);
  if (!e) e = file.Commit();
  return e;
}

void RemoveStaleAsides(const std::string& name) {
  const std::string folder = FolderOf(name);
  const std::string base = BaseOf(name);
  DIR* d = ::opendir(folder.c_str());
  if (!d) return;
  while (const dirent* entry = ::readdir(d)) {
    if (!IsAsideOf(entry->d_name, base)) continue;
    const int fd = ::openat(::dirfd(d), entry->d_name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) continue;
    struct stat opened, named;
    // Locked: its writer is at work. Held while removing, so that the name
    // removed is the file tested.
    if (::fstat(fd, &opened) == 0 && S_ISREG(opened.st_mode) && LockRetrying(fd, LOCK_EX | LOCK_NB) == 0 &&
        ::fstatat(::dirfd(d), entry->d_name, &named, AT_SYMLINK_NOFOLLOW) == 0 && SameFile(opened, named)) {
      ::unlinkat(::dirfd(d), entry->d_name, 0);
    }
    ::close(fd);
  }
  ::closedir(d);
}

}  // namespace rt
