// Runs a command several times and prints its median wall time and its
// largest peak memory:
//
//   run_timed RUNS [--step FROM TO] COMMAND [ARG ...] [--less COMMAND [ARG ...]]
//   -> "<median seconds> <peak KiB> <exit status of the last run> <least> <most>"
//
// With --step a run's time is that of one step inside the program: each run
// gets a file of its own in ORN_STEP_TIMES, where the program marks its
// steps (platform/runtime/step_times.h), and its time is from the first
// mark FROM to the first mark TO after it. The mark "spawn" is written by
// run_timed just before the program starts, so "--step spawn X" times the
// start-up to X.
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
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

extern char** environ;

namespace {

struct Run {
  double seconds = 0;
  long peakKiB = 0;
  int status = -1;
};

// The step a run is timed by; empty `from` times the whole run.
struct Step {
  std::string from, to, file;
};

long long Now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<long long>(t.tv_sec) * 1000000000LL + t.tv_nsec;
}

// Seconds from the first mark `from` to the first mark `to` after it.
double StepSeconds(const Step& step) {
  std::ifstream in(step.file);
  long long begin = -1, end = -1;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string name;
    long long ns = 0;
    if (!(fields >> name >> ns)) continue;
    if (begin < 0 && name == step.from) begin = ns;
    if (begin >= 0 && end < 0 && name == step.to && ns >= begin) end = ns;
  }
  if (begin < 0 || end < 0) {
    std::fprintf(stderr, "run_timed: the run marked no step from %s to %s\n", step.from.c_str(), step.to.c_str());
    std::exit(3);
  }
  return static_cast<double>(end - begin) / 1e9;
}

Run Once(char** argv, const Step* step = nullptr) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  Run r;
  if (step) {
    std::ofstream(step->file, std::ios::trunc) << "spawn " << Now() << "\n";
  }
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
  if (step) r.seconds = StepSeconds(*step);
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
    std::fprintf(stderr, "usage: run_timed RUNS [--step FROM TO] COMMAND [ARG ...] [--less COMMAND [ARG ...]]\n");
    return 2;
  }
  const int runs = std::atoi(argv[1]);
  char** first = argv + 2;
  Step step;
  if (std::strcmp(first[0], "--step") == 0) {
    if (argc < 6) {
      std::fprintf(stderr, "run_timed: --step takes FROM, TO and a command\n");
      return 2;
    }
    step.from = first[1];
    step.to = first[2];
    first += 3;
    char name[] = "/tmp/orn-steps-XXXXXX";
    const int fd = mkstemp(name);
    if (fd < 0) {
      std::fprintf(stderr, "run_timed: no file for the step marks\n");
      return 2;
    }
    close(fd);
    step.file = name;
    setenv("ORN_STEP_TIMES", name, 1);
  }
  const Step* timed = step.from.empty() ? nullptr : &step;
  char** second = nullptr;
  for (char** a = first; *a; ++a) {
    if (std::strcmp(*a, "--less") == 0 && a[1]) {
      *a = nullptr;
      second = a + 1;
      break;
    }
  }
  Once(first, timed);
  if (second) Once(second, timed);
  std::vector<double> seconds;
  long peak = 0;
  int status = 0;
  for (int i = 0; i < runs; ++i) {
    const Run r = Once(first, timed);
    seconds.push_back(second ? r.seconds - Once(second, timed).seconds : r.seconds);
    peak = std::max(peak, r.peakKiB);
    status = r.status;
  }
  if (timed) unlink(step.file.c_str());
  std::printf("%.4f %ld %d %.4f %.4f\n", Median(seconds), peak, status, *std::min_element(seconds.begin(), seconds.end()),
              *std::max_element(seconds.begin(), seconds.end()));
  return 0;
}
