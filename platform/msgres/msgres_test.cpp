#include "platform/msgres/msgres.h"
#include "tests/support/scratch_dir.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

namespace {

std::filesystem::path WriteFile(const std::string& name, const std::string& text) {
  auto path = orn_test::ProcessScratchDir() / name;
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

TEST(MsgRes, CatalogueFileGivesItsTexts) {
  auto path = WriteFile("msgres_ok",
                        "# ORN messages\r\n"
                        "0x40210001 400 test library\r\n"
                        "\n"
                        "; comment\n"
                        "  0xC0200048\tTable %s\\nis full\n"
                        "17 decimal id \\\\ kept\n"
                        "0x40210001 400 later line wins\n");
  msgres::Library lib = msgres::LoadLibraryEx(path.string());
  ASSERT_NE(lib, 0u);
  std::string text;
  ASSERT_TRUE(msgres::FormatMessage(lib, 0x40210001, true, &text));
  EXPECT_EQ(text, "400 later line wins");
  ASSERT_TRUE(msgres::FormatMessage(lib, 0xC0200048, false, &text));
  EXPECT_EQ(text, "Table %s\nis full\r\n");
  ASSERT_TRUE(msgres::FormatMessage(lib, 0xC0200048, true, &text));
  EXPECT_EQ(text, "Table %s is full");
  ASSERT_TRUE(msgres::FormatMessage(lib, 17, true, &text));
  EXPECT_EQ(text, "decimal id \\ kept");

  EXPECT_FALSE(msgres::FormatMessage(lib, 0xC0200049, true, &text));
  EXPECT_EQ(msgres::LastError(), msgres::kMessageNotFound);

  EXPECT_TRUE(msgres::FreeLibrary(lib));
  EXPECT_FALSE(msgres::FormatMessage(lib, 17, true, &text));
  EXPECT_EQ(msgres::LastError(), msgres::kInvalidHandle);
  std::filesystem::remove(path);
}

TEST(MsgRes, LoadFailuresAreReported) {
  EXPECT_EQ(msgres::LoadLibraryEx("/nonexistent/orn.msg"), 0u);
  EXPECT_EQ(msgres::LastError(), msgres::kFileNotFound);

  auto path = WriteFile("msgres_bad", "0x40210001 400\nnot-an-id text\n");
  EXPECT_EQ(msgres::LoadLibraryEx(path.string()), 0u);
  EXPECT_EQ(msgres::LastError(), msgres::kBadFormat);
  std::filesystem::remove(path);
}

TEST(MsgRes, ModuleCatalogueAndSystemTexts) {
  std::string text;
  EXPECT_FALSE(msgres::FormatMessage(msgres::ThisModule(), 5, true, &text));
  msgres::SetModuleCatalogue("5 own text\n");
  ASSERT_TRUE(msgres::FormatMessage(msgres::ThisModule(), 5, true, &text));
  EXPECT_EQ(text, "own text");
  EXPECT_TRUE(msgres::FreeLibrary(msgres::ThisModule()));  // never really freed
  EXPECT_TRUE(msgres::FormatMessage(msgres::ThisModule(), 5, true, &text));

  ASSERT_TRUE(msgres::FormatSystemMessage(2, &text));
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_FALSE(msgres::FormatSystemMessage(0xDEAD, &text));
}

}  // namespace
