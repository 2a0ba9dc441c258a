#include "platform/debugout/debugout.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace {

std::string ReadAll(const std::filesystem::path& p) {
  std::ifstream in(p);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(DebugOut, AppendsOneLinePerCallAndDiscardsWithoutSink) {
  const orn_test::ScratchDir scratch("dbgout");
  auto path = scratch / "debug.txt";

  unsetenv("ORN_DEBUG_OUTPUT");
  dbgout::OutputDebugStringA("lost");
  EXPECT_FALSE(std::filesystem::exists(path));

  setenv("ORN_DEBUG_OUTPUT", path.c_str(), 1);
  dbgout::OutputDebugStringA("MSG: first (A::b x.cpp 1)");
  dbgout::OutputDebugStringA("second\n");
  dbgout::OutputDebugStringA("");
  EXPECT_EQ(ReadAll(path), "MSG: first (A::b x.cpp 1)\nsecond\n\n");
  std::filesystem::remove(path);
}

}  // namespace
