// Times of durable writes (rt::WriteFileDurably) against a plain
// open-write-close of the same bytes, and of registry calls on a large hive
// kept parsed against the same call that reads and parses the file.
//   files_bench DIR
// Prints one table: median milliseconds and the ratio to the row's baseline.

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/runtime/durable_file.h"

namespace {

double MedianMs(int runs, const std::function<void()>& work) {
  std::vector<double> ms;
  for (int i = 0; i < runs; ++i) {
    const auto start = std::chrono::steady_clock::now();
    work();
    ms.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

void PlainWrite(const std::string& path, const std::string& bytes) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0 || ::write(fd, bytes.data(), bytes.size()) != static_cast<ssize_t>(bytes.size()) || ::close(fd) != 0) {
    std::perror(path.c_str());
    std::exit(1);
  }
}

void Row(const char* what, double ms, double base) {
  std::printf("%-58s %10.3f %10.4g\n", what, ms, ms / base);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: files_bench DIR\n");
    return 2;
  }
  const std::string dir = argv[1];
  std::printf("%-58s %10s %10s\n", "case", "ms", "ratio");

  struct Size {
    const char* plain;
    const char* durable;
    size_t bytes;
  } sizes[] = {
      {"a 4 KiB file (a hive, a report): plain write", "  the same, durable (aside, flush, rename, folder flush)", 4096},
      {"a 2 MiB file (a saved sheet, a PDF): plain write", "  the same, durable", 2u << 20},
  };
  for (const Size& s : sizes) {
    const std::string bytes(s.bytes, 'x');
    const std::string path = dir + "/file.bin";
    const double plain = MedianMs(15, [&] { PlainWrite(path, bytes); });
    const double durable = MedianMs(15, [&] {
      if (rt::WriteFileDurably(path, bytes) != 0) std::exit(1);
    });
    Row(s.plain, plain, plain);
    Row(s.durable, durable, plain);
  }

  // A hive of 200,000 keys with one value each.
  constexpr int kKeys = 200000;
  setenv("ORN_REGISTRY_DIR", dir.c_str(), 1);
  const std::string hive = reg::HiveFile(reg::Hive::CurrentUser);
  {
    std::ofstream out(hive, std::ios::binary);
    out << "; ORN registry hive, format 1\n";
    char line[96];
    for (int k = 0; k < kKeys; ++k) {
      std::snprintf(line, sizeof line, "[Software\\Bench\\Key%06d]\n\"v\"=dword:%08x\n", k, k);
      out << line;
    }
    out << "; end of hive\n";
  }
  reg::Key key = 0;
  if (reg::OpenKey(reg::Hive::CurrentUser, "Software\\Bench\\Key123456", &key) != reg::kSuccess) return 1;
  auto query = [&] {
    uint8_t data[4];
    uint32_t size = sizeof data;
    if (reg::QueryValue(key, "v", nullptr, data, &size) != reg::kSuccess) std::exit(1);
  };
  // A new time on the file: another process's write, so the call reads it anew.
  int tick = 0;
  const double reread = MedianMs(5, [&] {
    const struct timespec times[2] = {{1000000 + ++tick, 0}, {1000000 + tick, 0}};
    utimensat(AT_FDCWD, hive.c_str(), times, 0);
    query();
  });
  const double kept = MedianMs(101, query);
  const double set = MedianMs(5, [&] {
    if (reg::SetDword(key, "v", static_cast<uint32_t>(++tick)) != reg::kSuccess) std::exit(1);
  });
  char what[96];
  std::snprintf(what, sizeof what, "registry query, hive of %d keys changed since: read anew", kKeys);
  Row(what, reread, reread);
  Row("  the same hive unchanged: kept", kept, reread);
  Row("  a value set: the whole hive written durably", set, reread);
  reg::CloseKey(key);
  return 0;
}
