#include "platform/windows/fileio.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <map>

#include "platform/runtime/files.h"
#include "platform/win32/environment.h"
#include "platform/windows/text.h"

namespace win {

namespace {

struct File {
  std::FILE* fp = nullptr;
};

std::map<uintptr_t, File>& Files() {
  static std::map<uintptr_t, File> files;
  return files;
}
uintptr_t g_next = 0x50000;
DWORD g_failAfter = 0;
DWORD g_failError = 0;

DWORD FromErrno(int e) { return ErrorFromErrno(e, ERROR_READ_FAULT); }

File* Find(HANDLE h) {
  auto it = Files().find(reinterpret_cast<uintptr_t>(h));
  if (it == Files().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &it->second;
}

}  // namespace

HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD, void*, DWORD disposition, DWORD, HANDLE) {
  if (!path || !*path) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    return INVALID_HANDLE_VALUE();
  }
  std::string host = win32::HostPath(ToUtf8(path));
  const char* mode = nullptr;
  if (disposition == OPEN_EXISTING && (access & GENERIC_READ) && !(access & GENERIC_WRITE)) mode = "rb";
  if (disposition == CREATE_ALWAYS && (access & GENERIC_WRITE) && !(access & GENERIC_READ)) mode = "wb";
  if (!mode) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_HANDLE_VALUE();
  }
  struct stat st {};
  if (::stat(host.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return INVALID_HANDLE_VALUE();
  }
  // A file to read must be a regular one: a pipe would block here, a
  // device such as /dev/zero would feed the reader without end.
  std::FILE* fp = nullptr;
  if (mode[0] == 'r') {
    const int fd = rt::OpenRegularFile(host);
    if (fd < 0 && errno == ENODEV) {
      SetLastError(ERROR_ACCESS_DENIED);
      return INVALID_HANDLE_VALUE();
    }
    if (fd >= 0 && !(fp = ::fdopen(fd, mode))) ::close(fd);
  } else {
    fp = std::fopen(host.c_str(), mode);
  }
  if (!fp) {
    DWORD err = FromErrno(errno);
    // A missing folder on the way is "path not found", a missing file alone
    // "file not found", as the platform tells them apart.
    if (err == ERROR_FILE_NOT_FOUND) {
      auto slash = host.find_last_of('/');
      if (slash != std::string::npos && slash > 0 && ::stat(host.substr(0, slash).c_str(), &st) != 0)
        err = ERROR_PATH_NOT_FOUND;
    }
    SetLastError(err);
    return INVALID_HANDLE_VALUE();
  }
  uintptr_t id = g_next += 4;
  Files()[id].fp = fp;
  SetLastError(ERROR_SUCCESS);
  return reinterpret_cast<HANDLE>(id);
}

bool ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void*) {
  if (read) *read = 0;
  File* f = Find(file);
  if (!f) return false;
  if (g_failError) {
    if (g_failAfter == 0) {
      SetLastError(g_failError);
      g_failError = 0;
      return false;
    }
    if (toRead > g_failAfter) toRead = g_failAfter;
  }
  size_t got = std::fread(buffer, 1, toRead, f->fp);
  if (got < toRead && std::ferror(f->fp)) {
    SetLastError(ERROR_READ_FAULT);
    return false;
  }
  if (g_failError) g_failAfter -= static_cast<DWORD>(got);
  if (read) *read = static_cast<DWORD>(got);
  SetLastError(ERROR_SUCCESS);
  return true;
}

bool WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void*) {
  if (written) *written = 0;
  File* f = Find(file);
  if (!f) return false;
  size_t put = std::fwrite(buffer, 1, toWrite, f->fp);
  if (put < toWrite) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  if (written) *written = static_cast<DWORD>(put);
  SetLastError(ERROR_SUCCESS);
  return true;
}

DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method) {
  File* f = Find(file);
  if (!f) return INVALID_SET_FILE_POINTER;
  long long offset = distance;
  if (distanceHigh) offset = (static_cast<long long>(*distanceHigh) << 32) | static_cast<uint32_t>(distance);
  int whence = method == FILE_BEGIN ? SEEK_SET : method == FILE_CURRENT ? SEEK_CUR : SEEK_END;
  if (std::fseek(f->fp, static_cast<long>(offset), whence) != 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return INVALID_SET_FILE_POINTER;
  }
  long pos = std::ftell(f->fp);
  if (distanceHigh) *distanceHigh = static_cast<LONG>(static_cast<long long>(pos) >> 32);
  SetLastError(ERROR_SUCCESS);
  return static_cast<DWORD>(pos);
}

bool CloseHandle(HANDLE handle) {
  File* f = Find(handle);
  if (!f) return false;
  std::fclose(f->fp);
  Files().erase(reinterpret_cast<uintptr_t>(handle));
  SetLastError(ERROR_SUCCESS);
  return true;
}

void FailReadForTest(DWORD afterBytes, DWORD error) {
  g_failAfter = afterBytes;
  g_failError = error;
}

}  // namespace win
