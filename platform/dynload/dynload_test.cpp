#include "platform/dynload/dynload.h"

#include <gtest/gtest.h>

namespace {

TEST(Dynload, LoadsFindsAndFrees) {
  dynload::Library libc = dynload::Load("libc.so.6");
  ASSERT_NE(libc, nullptr);
  EXPECT_NE(dynload::Symbol(libc, "getpid"), nullptr);
  EXPECT_EQ(dynload::Symbol(libc, "no_such_symbol_in_libc"), nullptr);
  dynload::Free(libc);
}

TEST(Dynload, MissingLibraryAndNullHandleFindNothing) {
  EXPECT_EQ(dynload::Load("/nonexistent/libnothing.so"), nullptr);
  EXPECT_EQ(dynload::Load(nullptr), nullptr);
  EXPECT_EQ(dynload::Load(""), nullptr);  // not the main program
  // A null handle must not fall back to searching the whole process.
  EXPECT_EQ(dynload::Symbol(nullptr, "getpid"), nullptr);
  dynload::Free(nullptr);
}

TEST(Dynload, IsLoadedAsksWithoutLoading) {
  EXPECT_TRUE(dynload::IsLoaded("libc.so.6"));
  EXPECT_FALSE(dynload::IsLoaded("/nonexistent/libnothing.so"));
  EXPECT_FALSE(dynload::IsLoaded(nullptr));
  // A library loaded and freed again is no longer mapped.
  EXPECT_FALSE(dynload::IsLoaded("libz.so.1"));
  dynload::Library z = dynload::Load("libz.so.1");
  if (z == nullptr) GTEST_SKIP() << "no libz to load";
  EXPECT_TRUE(dynload::IsLoaded("libz.so.1"));
  dynload::Free(z);
  EXPECT_FALSE(dynload::IsLoaded("libz.so.1"));
}

}  // namespace
