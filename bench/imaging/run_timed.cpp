// Runs a command several times and prints its median wall time and its
// largest peak memory:
//
//   run_timed RUNS COMMAND [ARG ...] [--less COMMAND [ARG ...]]
//   -> "<median seconds> <peak KiB> <exit status of the last run>"
//
// With --less the two commands run in turn, and the seconds are the median
// of the differences of each pair (the first less the second): a pair runs
// under the same conditions, so the difference stays meaningful when the
// machine's speed drifts. The peak is the first command's.
// One run (or pair) more goes first and is not counted (it fills the file
// cache). The commands inherit the environment; their output goes to
// /dev/null.

#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

extern char** environ;

namespace {

struct Run {
  double seconds = 0;
  long peakKiB = 0;
  int status = -1;
};

Run Once(char** argv) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Run r;
  const auto start = std::chrono::steady_clock::now();
  pid_t pid = 0;
  if (posix_spawnp(&pid, argv[0], &actions, nullptr, argv, environ) != 0) {
    std::fprintf(stderr, "run_timed: cannot start %s\n", argv[0]);
    std::exit(2);
  }
  int status = 0;
  struct rusage usage {};
  wait4(pid, &status, 0, &usage);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  r.peakKiB = usage.ru_maxrss;
  r.status = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  posix_spawn_file_actions_destroy(&actions);
  return r;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  const size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || std::atoi(argv[1]) < 1) {
    std::fprintf(stderr, "usage: run_timed RUNS COMMAND [ARG ...] [--less COMMAND [ARG ...]]\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  char** first = argv + 2;
  char** second = nullptr;
  for (int i = 2; i < argc; ++i) {
    if (std::strcmp(argv[i], "--less") == 0 && i + 1 < argc) {
      argv[i] = nullptr;
      second = argv + i + 1;
      break;
    }
  }
  Once(first);
  if (second) Once(second);
  std::vector<double> seconds;
  long peak = 0;
  int status = 0;
  for (int i = 0; i < runs; ++i) {
    const Run r = Once(first);
    seconds.push_back(second ? r.seconds - Once(second).seconds : r.seconds);
    peak = std::max(peak, r.peakKiB);
    status = r.status;
  }
  std::printf("%.4f %ld %d\n", Median(seconds), peak, status);
  return 0;
}
