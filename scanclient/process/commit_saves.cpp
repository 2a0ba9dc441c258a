#include "scanclient/process/commit_saves.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/imaging/pixo_members.h"
#include "platform/settings/settings.h"

namespace quillet {

int32_t CommitWorkers() {
  if (const char* v = std::getenv("ORN_WORKERS"); v && *v) {
    char* end = nullptr;
    const long n = std::strtol(v, &end, 10);
    if (*end != 0 || n < 1 || n > 1024) settings::BadSetting("ORN_WORKERS", "a number of workers from 1 to 1024", v);
    return static_cast<int32_t>(n);
  }
  return static_cast<int32_t>(std::max(1u, std::thread::hardware_concurrency()));
}

SaveQueue::SaveQueue(int32_t workers) : most_(static_cast<size_t>(std::max(1, workers))) {
  for (size_t i = 0; i < most_; ++i) threads_.emplace_back([this] { Work(); });
}

SaveQueue::~SaveQueue() {
  {
    std::lock_guard<std::mutex> lock(mu_);
    closing_ = true;
    for (SheetSave* s : queued_) {
      s->encode = nullptr;
      s->write = nullptr;
      s->done = true;
    }
    queued_.clear();
  }
  changed_.notify_all();
  for (std::thread& t : threads_) t.join();
}

void SaveQueue::Add(SheetSave* save) {
  std::unique_lock<std::mutex> lock(mu_);
  changed_.wait(lock, [this] { return held_ < most_; });
  ++held_;
  queued_.push_back(save);
  changed_.notify_all();
}

void SaveQueue::Wait(const SheetSave* save) {
  std::unique_lock<std::mutex> lock(mu_);
  changed_.wait(lock, [save] { return save->done; });
}

bool SaveQueue::Done(const SheetSave* save) {
  std::lock_guard<std::mutex> lock(mu_);
  return save->done;
}

// Saves are taken in sheet order, so a page waiting for its turn waits for
// pages that other workers took before it, the first of which waits for
// nothing.
void SaveQueue::Work() {
  std::unique_lock<std::mutex> lock(mu_);
  for (;;) {
    changed_.wait(lock, [this] { return closing_ || !queued_.empty(); });
    if (queued_.empty()) return;
    SheetSave* s = queued_.front();
    queued_.pop_front();
    lock.unlock();
    if (s->encode) {
      try {
        s->encode();
      } catch (...) {
        // Out of memory, most likely: thrown out of this thread it would end
        // the program; without a page to write the save fails (Write).
        s->write = nullptr;
      }
    }
    lock.lock();
    changed_.wait(lock, [s] { return s->file->written == s->page; });
    lock.unlock();
    Write(*s);
    lock.lock();
    ++s->file->written;
    s->encode = nullptr;
    s->write = nullptr;  // the sheet's copy goes now
    s->done = true;
    --held_;
    changed_.notify_all();
  }
}

void SaveQueue::Write(SheetSave& s) {
  FileSave& f = *s.file;
  if (f.failed) {
    s.skipped = true;
    s.rc = f.rc;
    return;
  }
  // A temporary that cannot be made, a page not encoded, a page the seam
  // fails, or a page that does not reach the file fail the save like a
  // failed write.
  s.rc = imaging::kPixoWriteFailed;
  if (s.write && !f.aside.empty()) {
    try {
      s.rc = s.write();
    } catch (...) {
      s.rc = imaging::kPixoWriteFailed;  // as for the encoding above
    }
  }
  if (s.rc == 0 && f.file.Wrote() != 0) s.rc = imaging::kPixoWriteFailed;
  if (s.rc == 0) {
    std::error_code ec;
    const auto size = std::filesystem::file_size(f.aside, ec);
    if (!ec) s.asideSize = static_cast<int64_t>(size);
  } else {
    f.failed = true;
    f.rc = s.rc;
  }
}

}  // namespace quillet
