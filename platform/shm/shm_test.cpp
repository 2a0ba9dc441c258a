#include "platform/shm/shm.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>

namespace {

class ShmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string prefix = "shmtest" + std::to_string(::getpid()) + "_";
    setenv("ORN_SHM_PREFIX", prefix.c_str(), 1);
  }
  void TearDown() override { shm::RemoveFileMapping("Block"); }
};

TEST_F(ShmTest, MissingMappingIsFileNotFound) {
  shm::Mapping m = 1;
  EXPECT_EQ(shm::OpenFileMapping("Block", &m), shm::kFileNotFound);
  EXPECT_EQ(m, 0u);
}

TEST_F(ShmTest, ViewShowsTheContentsAndHandlesAreChecked) {
  const uint8_t bytes[] = {'O', 'R', 'N', 0, 42};
  ASSERT_EQ(shm::CreateFileMapping("Block", bytes), shm::kSuccess);

  shm::Mapping m = 0;
  ASSERT_EQ(shm::OpenFileMapping("Block", &m), shm::kSuccess);
  const void* view = nullptr;
  size_t size = 0;
  ASSERT_EQ(shm::MapViewOfFile(m, &view, &size), shm::kSuccess);
  ASSERT_EQ(size, sizeof bytes);
  EXPECT_EQ(std::memcmp(view, bytes, size), 0);

  EXPECT_EQ(shm::UnmapViewOfFile(view), shm::kSuccess);
  EXPECT_EQ(shm::UnmapViewOfFile(view), shm::kInvalidAddress);
  EXPECT_EQ(shm::CloseHandle(m), shm::kSuccess);
  EXPECT_EQ(shm::CloseHandle(m), shm::kInvalidHandle);
  EXPECT_EQ(shm::MapViewOfFile(m, &view, &size), shm::kInvalidHandle);
}

}  // namespace
