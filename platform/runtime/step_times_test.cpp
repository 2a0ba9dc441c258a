#include "platform/runtime/step_times.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/scratch_dir.h"

namespace {

// The file is taken on the first mark, so the whole behaviour is one test.
TEST(StepTimesTest, MarksAppendWholeLinesInClockOrderFromManyThreads) {
  orn_test::ScratchDir dir{"orn-steptimes"};
  const std::string file = (dir / "times.txt").string();
  ::setenv("ORN_STEP_TIMES", file.c_str(), 1);

  { rt::StepScope scope("commit"); }
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([] { for (int i = 0; i < 100; ++i) rt::MarkStep("page"); });
  for (auto& t : threads) t.join();

  std::ifstream in(file);
  std::string name;
  long long ns = 0, begin = 0, end = 0;
  int pages = 0, lines = 0;
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    ASSERT_TRUE(fields >> name >> ns) << line;
    ++lines;
    if (name == "commit.begin") begin = ns;
    if (name == "commit.end") end = ns;
    if (name == "page") { ++pages; EXPECT_GE(ns, end); }
  }
  EXPECT_EQ(lines, 402);
  EXPECT_EQ(pages, 400);
  EXPECT_GT(begin, 0);
  EXPECT_GE(end, begin);
}

}  // namespace
