#pragma once
// One file page read on a worker thread while its caller does other work,
// handed over when the same page is loaded next: a viewer reads the page
// after the one on show, so that turning to it costs no decode.
//
// The read is the in-order read (ReadImageFile), so the page handed over is
// the page an in-order read gives. A read-ahead is only a guess: it never
// reports anything; when it failed, was for another page, or the file
// changed since, the caller reads in order as if there had been none and
// meets any error there, in its place.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/imaging/image.h"

namespace imaging {

class PageReadAhead {
 public:
  PageReadAhead();
  // Waits for a read in progress (its result is thrown away).
  ~PageReadAhead();
  PageReadAhead(const PageReadAhead&) = delete;
  PageReadAhead& operator=(const PageReadAhead&) = delete;

  // Starts reading `page` of the file `path` as ReadImageFile(path, page,
  // bits) does; a page held or being read before is dropped. Returns at
  // once. Nothing happens when no worker thread can be had.
  void Start(const std::string& path, int32_t page, int32_t bits) noexcept;
  // The page, when it is the one read ahead (same path, page and bits), the
  // read succeeded and the file is unchanged since (same file, size and
  // time); waits for that read when it still runs. Any read-ahead is used
  // up or dropped by the call, whatever it returns.
  std::optional<Image> Take(const std::string& path, int32_t page, int32_t bits);
  // Forgets the page held; a read in progress goes on, its result unused.
  void Drop() noexcept;
  // True when the page asked for has been read: Take does not wait.
  bool Ready() const;
  // True when this page is held or being read.
  bool Holds(const std::string& path, int32_t page, int32_t bits) const;
  // The page held or being read, 0 when there is none.
  int32_t page() const;

 private:
  struct Shared;
  std::unique_ptr<Shared> shared_;
};

}  // namespace imaging
