#include "platform/imaging/read_ahead.h"

#include <sys/stat.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"

namespace imaging {
namespace {

// What tells one file from another of the same name, or from itself
// rewritten: device and inode, size, modification and change times.
struct FileStamp {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = 0;
  timespec mtime{}, ctime{};
  bool known = false;

  bool operator==(const FileStamp& o) const {
    return known && o.known && dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

FileStamp StampOf(const std::string& path) {
  FileStamp s;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return s;
  s.dev = st.st_dev, s.ino = st.st_ino, s.size = st.st_size;
  s.mtime = st.st_mtim, s.ctime = st.st_ctim;
  s.known = true;
  return s;
}

struct Request {
  std::string path;
  int32_t page = 0;
  int32_t bits = 0;
  bool Is(const std::string& p, int32_t pg, int32_t b) const { return page == pg && bits == b && path == p; }
};

}  // namespace

// Everything the worker and the caller share, under `mutex`. `wanted` is the
// read-ahead the caller holds; `generation` numbers it, so a read the
// caller dropped meanwhile is recognised and thrown away by the worker.
struct PageReadAhead::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::thread worker;
  bool stopping = false;

  uint64_t generation = 0;
  std::optional<Request> wanted;  // held or being read
  bool queued = false;            // `wanted` waits for the worker
  bool done = false;              // `wanted` was read: rc, image, stamp
  int16_t rc = kPixoOk;
  Image image;
  FileStamp stamp;

  void Run() {
    std::unique_lock lock(mutex);
    for (;;) {
      changed.wait(lock, [this] { return stopping || queued; });
      if (stopping) return;
      const Request job = *wanted;
      const uint64_t mine = generation;
      queued = false;
      lock.unlock();
      // The stamp is taken before the read: a file changed during the read
      // then differs from it when the page is taken.
      FileStamp before = StampOf(job.path);
      Image img;
      int16_t result = kPixoDamagedFile;
      try {
        result = ReadImageFile(job.path, job.page, job.bits, img);
      } catch (...) {
        // Out of memory, most likely. Thrown out of this thread it would end
        // the program; as a failed read it is met by the in-order read.
      }
      lock.lock();
      if (mine == generation) {
        rc = result;
        image = std::move(img);
        stamp = before;
        done = true;
        changed.notify_all();
      } else {
        // Dropped meanwhile: the pixels go outside the lock.
        lock.unlock();
        img = Image();
        lock.lock();
      }
    }
  }

  // Forgets `wanted`; with the lock held.
  Image Forget() {
    ++generation;
    wanted.reset();
    queued = done = false;
    return std::move(image);
  }
};

PageReadAhead::PageReadAhead() : shared_(std::make_unique<Shared>()) {}

PageReadAhead::~PageReadAhead() {
  {
    std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
    shared_->Forget();
  }
  shared_->changed.notify_all();
  if (shared_->worker.joinable()) shared_->worker.join();
}

void PageReadAhead::Start(const std::string& path, int32_t page, int32_t bits) noexcept {
  Shared& s = *shared_;
  Image old;
  try {
    std::lock_guard lock(s.mutex);
    old = s.Forget();
    if (!s.worker.joinable()) s.worker = std::thread([&s] { s.Run(); });
    s.wanted = Request{path, page, bits};
    s.queued = true;
  } catch (...) {
    // No thread or no memory: no read-ahead, the page is read in order.
    std::lock_guard lock(s.mutex);
    s.Forget();
    return;
  }
  s.changed.notify_all();
}

std::optional<Image> PageReadAhead::Take(const std::string& path, int32_t page, int32_t bits) {
  Shared& s = *shared_;
  std::unique_lock lock(s.mutex);
  if (!s.wanted || !s.wanted->Is(path, page, bits)) {
    Image dropped = s.Forget();
    lock.unlock();
    return std::nullopt;
  }
  s.changed.wait(lock, [&s] { return s.done; });
  const bool ok = s.rc == kPixoOk;
  const FileStamp stamp = s.stamp;
  Image img = s.Forget();
  lock.unlock();
  if (!ok || !(StampOf(path) == stamp)) return std::nullopt;
  return img;
}

void PageReadAhead::Drop() noexcept {
  Image dropped;
  std::lock_guard lock(shared_->mutex);
  dropped = shared_->Forget();
}

bool PageReadAhead::Ready() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->wanted && shared_->done;
}

bool PageReadAhead::Holds(const std::string& path, int32_t page, int32_t bits) const {
  std::lock_guard lock(shared_->mutex);
  return shared_->wanted && shared_->wanted->Is(path, page, bits);
}

int32_t PageReadAhead::page() const {
  std::lock_guard lock(shared_->mutex);
  return shared_->wanted ? shared_->wanted->page : 0;
}

}  // namespace imaging
