#include "platform/debugout/debugout.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace dbgout {

void OutputDebugStringA(std::string_view text) {
  const char* path = std::getenv("ORN_DEBUG_OUTPUT");
  if (path == nullptr || *path == '\0') return;
  std::string line(text);
  if (line.empty() || line.back() != '\n') line += '\n';
  int fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) return;
  // One write keeps the line whole; a short write (disk full) is dropped
  // like output nobody listens to.
  ssize_t n;
  do {
    n = ::write(fd, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
  ::close(fd);
}

}  // namespace dbgout
