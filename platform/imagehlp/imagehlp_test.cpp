#include "platform/imagehlp/imagehlp.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

namespace {

int LocalFunction() { return 7; }

TEST(ImageHelp, FunctionOfTheProgramLiesInItsTextSection) {
  const void* address = reinterpret_cast<const void*>(&LocalFunction);
  const void* base = imghlp::AllocationBase(address);
  ASSERT_NE(base, nullptr);
  EXPECT_LE(base, address);
  EXPECT_EQ(std::filesystem::path(imghlp::GetModuleFileName(base)).filename(), "imagehlp_test");
  EXPECT_EQ(imghlp::GetModuleFileName(base), imghlp::GetModuleFileName(nullptr));

  imghlp::Library lib = imghlp::LoadLibrary();
  ASSERT_NE(lib, 0u);
  auto header = reinterpret_cast<imghlp::ImageNtHeaderFn>(imghlp::GetProcAddress(lib, "ImageNtHeader"));
  auto section = reinterpret_cast<imghlp::ImageRvaToSectionFn>(imghlp::GetProcAddress(lib, "ImageRvaToSection"));
  ASSERT_TRUE(header && section);
  EXPECT_EQ(imghlp::GetProcAddress(lib, "ImageDirectoryEntryToData"), nullptr);

  const imghlp::ImageHeader* h = header(base);
  ASSERT_NE(h, nullptr);
  uint64_t rva = static_cast<const char*>(address) - static_cast<const char*>(base);
  const imghlp::Section* s = section(h, base, rva);
  ASSERT_NE(s, nullptr);
  EXPECT_EQ(s->name, ".text");
  EXPECT_GT(s->number, 0u);
  EXPECT_GE(rva, s->rva);
}

TEST(ImageHelp, FunctionOfASharedLibraryNamesThatLibrary) {
  double (*fn)(double) = &std::cos;
  const void* base = imghlp::AllocationBase(reinterpret_cast<const void*>(fn));
  ASSERT_NE(base, nullptr);
  EXPECT_NE(imghlp::GetModuleFileName(base).find("libm"), std::string::npos);
  EXPECT_EQ(imghlp::AllocationBase(nullptr), nullptr);
}

TEST(ImageHelp, TestFaults) {
  imghlp::FailForTest(imghlp::TestFault::kLoadFails);
  EXPECT_EQ(imghlp::LoadLibrary(), 0u);
  imghlp::FailForTest(imghlp::TestFault::kNoSectionProc);
  imghlp::Library lib = imghlp::LoadLibrary();
  EXPECT_NE(imghlp::GetProcAddress(lib, "ImageNtHeader"), nullptr);
  EXPECT_EQ(imghlp::GetProcAddress(lib, "ImageRvaToSection"), nullptr);
  imghlp::FailForTest(imghlp::TestFault::kNone);
}

}  // namespace
