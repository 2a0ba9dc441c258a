#pragma once
// What the fuzz targets share: the input as text, and the input as a file
// for code that reads files by name.

#include <sys/mman.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace orn_fuzz {

inline std::string_view Text(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// An anonymous memory file named by its /proc path: no disk traffic and no
// name in a shared folder, however many inputs a run tries.
class InputFile {
 public:
  InputFile() : fd_(memfd_create("orn-fuzz-input", MFD_CLOEXEC)) {
    if (fd_ < 0) std::abort();
    path_ = "/proc/self/fd/" + std::to_string(fd_);
  }
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile() { close(fd_); }

  // Replaces the file's bytes; the path stays the same.
  const std::string& Hold(const uint8_t* data, size_t size) {
    if (ftruncate(fd_, 0) != 0) std::abort();
    for (size_t done = 0; done < size;) {
      const ssize_t n = pwrite(fd_, data + done, size - done, static_cast<off_t>(done));
      if (n <= 0) std::abort();
      done += static_cast<size_t>(n);
    }
    return path_;
  }

 private:
  int fd_;
  std::string path_;
};

}  // namespace orn_fuzz
