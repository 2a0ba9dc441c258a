#pragma once
// The commit's sheets are encoded on worker threads while the window goes
// on preparing the next sheet; what a save means for the files, the log and
// the boxes stays with the commit (commit.cpp), which takes the results in
// sheet order.
//
// A sheet's save is taken on the window's thread (the image copied, the
// save counted), encoded by a worker, then written into its file's
// temporary. Pages of one file are encoded at once on several workers and
// written one after the other, in page order; a page after a failed one of
// its file is not written. At most as many saves as there are workers wait
// or run at once. A save's copy of the sheet shares the sheet's pixels, and
// an encoded page waits for its turn in an unnamed file, not in memory.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/runtime/durable_file.h"

namespace quillet {

// The workers a commit uses: ORN_WORKERS (a number from 1), else one per
// processor.
int32_t CommitWorkers();

// One output file of the commit, written aside until it is complete.
// Its DurableFile is used by the worker of its pages while they are written
// and by the window's thread once they are done.
struct FileSave {
  rt::DurableFile file;
  std::string aside;    // the temporary's path, "" when it could not be made
  bool failed = false;  // a page failed; set by the worker that wrote it
  int16_t rc = 0;       // the save result that failed the file
  size_t pages = 0;     // pages taken (the window's thread)
  size_t written = 0;   // pages written or passed over (under the queue's lock)
};

// One sheet's save.
struct SheetSave {
  std::shared_ptr<FileSave> file;
  size_t page = 0;                  // its place in the file, from 0
  std::function<void()> encode;     // may be empty: the write does it all
  std::function<int16_t()> write;   // empty when the temporary could not be made or the page not encoded
  // The results, valid once done.
  int16_t rc = 0;
  bool skipped = false;      // a page before it failed: not written, rc is that page's
  int64_t asideSize = -1;    // the temporary's size after the page, -1 when unknown
  bool done = false;
};

class SaveQueue {
 public:
  explicit SaveQueue(int32_t workers);
  // Waits for the saves under way; saves not begun are not written.
  ~SaveQueue();
  SaveQueue(const SaveQueue&) = delete;
  SaveQueue& operator=(const SaveQueue&) = delete;

  // Queues `save` (kept alive by the caller until done), after the saves
  // before it of its file; waits while the workers have as many saves as
  // they take.
  void Add(SheetSave* save);
  // Waits until `save` is done.
  void Wait(const SheetSave* save);
  // True when `save` is done.
  bool Done(const SheetSave* save);

 private:
  void Work();
  static void Write(SheetSave& save);

  std::mutex mu_;
  std::condition_variable changed_;
  std::deque<SheetSave*> queued_;  // in sheet order, taken from the front
  size_t held_ = 0;                // saves queued or under way
  size_t most_;
  bool closing_ = false;
  std::vector<std::thread> threads_;
};

}  // namespace quillet
