#pragma once
// A C stream for the codecs that take one: closed on every way out.

#include <cstdio>

namespace imaging {

struct StdioFile {
  FILE* f;
  ~StdioFile() {
    if (f) std::fclose(f);
  }
  // Closes a stream written to; true when every byte reached the file.
  bool Finish() {
    const bool ok = std::fflush(f) == 0 && !std::ferror(f);
    const bool closed = std::fclose(f) == 0;
    f = nullptr;
    return ok && closed;
  }
};

}  // namespace imaging
