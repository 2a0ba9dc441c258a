#include "platform/shm/shm.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <map>
#include <mutex>
#include <string>

namespace shm {
namespace {

struct State {
  std::mutex lock;
  std::map<Mapping, int> mappings;     // handle -> descriptor
  std::map<const void*, size_t> views;  // view -> length
  Mapping next = 0x100;
};

// Made on first use and never destroyed: module objects release their views
// from static destructors.
State& St() {
  static State* state = new State;
  return *state;
}

std::string ObjectName(std::string_view name) {
  const char* prefix = std::getenv("ORN_SHM_PREFIX");
  std::string object = "/";
  if (prefix != nullptr) object += prefix;
  object += name;
  for (size_t i = 1; i < object.size(); ++i)
    if (object[i] == '/' || object[i] == '\\') object[i] = '_';
  return object;
}

Status FromErrno(int e) {
  switch (e) {
    case ENOENT: return kFileNotFound;
    case EACCES: case EPERM: return kAccessDenied;
    case ENOMEM: return kNotEnoughMemory;
    default: return kInvalidParameter;
  }
}

}  // namespace

Status OpenFileMapping(std::string_view name, Mapping* out) {
  *out = 0;
  if (name.empty()) return kInvalidParameter;
  int fd = ::shm_open(ObjectName(name).c_str(), O_RDONLY | O_CLOEXEC, 0);
  if (fd < 0) return FromErrno(errno);
  State& st = St();
  std::lock_guard<std::mutex> lock(st.lock);
  *out = st.next++;
  st.mappings[*out] = fd;
  return kSuccess;
}

Status MapViewOfFile(Mapping mapping, const void** view, size_t* size) {
  *view = nullptr;
  *size = 0;
  State& st = St();
  std::lock_guard<std::mutex> lock(st.lock);
  auto it = st.mappings.find(mapping);
  if (it == st.mappings.end()) return kInvalidHandle;
  struct stat info {};
  if (::fstat(it->second, &info) != 0) return FromErrno(errno);
  if (info.st_size <= 0) return kFileInvalid;
  void* p = ::mmap(nullptr, static_cast<size_t>(info.st_size), PROT_READ, MAP_SHARED, it->second, 0);
  if (p == MAP_FAILED) return kNotEnoughMemory;
  st.views[p] = static_cast<size_t>(info.st_size);
  *view = p;
  *size = static_cast<size_t>(info.st_size);
  return kSuccess;
}

Status UnmapViewOfFile(const void* view) {
  State& st = St();
  std::lock_guard<std::mutex> lock(st.lock);
  auto it = st.views.find(view);
  if (it == st.views.end()) return kInvalidAddress;
  ::munmap(const_cast<void*>(view), it->second);
  st.views.erase(it);
  return kSuccess;
}

Status CloseHandle(Mapping mapping) {
  State& st = St();
  std::lock_guard<std::mutex> lock(st.lock);
  auto it = st.mappings.find(mapping);
  if (it == st.mappings.end()) return kInvalidHandle;
  ::close(it->second);
  st.mappings.erase(it);
  return kSuccess;
}

Status CreateFileMapping(std::string_view name, std::span<const uint8_t> contents) {
  if (name.empty() || contents.empty()) return kInvalidParameter;
  int fd = ::shm_open(ObjectName(name).c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) return FromErrno(errno);
  Status status = kSuccess;
  size_t done = 0;
  while (done < contents.size()) {
    ssize_t n = ::write(fd, contents.data() + done, contents.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      status = kNotEnoughMemory;
      break;
    }
    done += static_cast<size_t>(n);
  }
  ::close(fd);
  return status;
}

Status RemoveFileMapping(std::string_view name) {
  if (::shm_unlink(ObjectName(name).c_str()) != 0) return FromErrno(errno);
  return kSuccess;
}

}  // namespace shm
