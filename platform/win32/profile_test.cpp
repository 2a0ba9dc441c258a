#include "platform/win32/profile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

class ProfileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char tmpl[] = "/tmp/orn-profile-XXXXXX";
    int fd = mkstemp(tmpl);
    ASSERT_GE(fd, 0);
    close(fd);
    path_ = tmpl;
  }
  void TearDown() override { std::remove(path_.c_str()); }
  void Write(const std::string& text) { std::ofstream(path_, std::ios::binary) << text; }
  std::string Get(const char* section, const char* key, uint32_t buffer = 512,
                  const char* dflt = "dflt") {
    std::string out = "garbage";
    uint32_t n = win32::GetPrivateProfileString(section, key, dflt, &out, buffer, path_);
    EXPECT_EQ(n, out.size());
    return out;
  }
  std::string path_;
};

TEST_F(ProfileTest, ReaderRules) {
  Write("\xEF\xBB\xBF; comment\r\n"
        "[General]\r\n"
        "LogFile = /var/log/q.log   \r\n"
        "Quoted = \"  spaced  \"\r\n"
        "Single='x'\r\n"
        "Mismatch=\"abc'\r\n"
        "Inner = a \"b\" c\r\n"
        "Empty =\r\n"
        "Comment = abc  !!note\r\n"
        "; Hidden=1\r\n"
        "NoEquals\r\n"
        "  [ Other ]  \n"
        "Key=other\n"
        "[general]\n"
        "LogFile = second\n"
        "OnlySecond = y\n");
  struct Case {
    const char* section;
    const char* key;
    const char* value;
  } cases[] = {
      {"General", "LogFile", "/var/log/q.log"},
      {"GENERAL", "logfile", "/var/log/q.log"},  // the first section of that name
      {"General", "Quoted", "  spaced  "},
      {"General", "Single", "x"},
      {"General", "Mismatch", "\"abc'"},
      {"General", "Inner", "a \"b\" c"},
      {"General", "Empty", ""},  // present and empty: not the default
      {"General", "Comment", "abc  !!note"},
      {"General", "Hidden", "dflt"},
      {"General", "NoEquals", "dflt"},
      {"General", "Key", "dflt"},
      {"General", "OnlySecond", "dflt"},
      {"Other", "KEY", "other"},
      {"Missing", "LogFile", "dflt"},
  };
  for (const auto& c : cases) EXPECT_EQ(Get(c.section, c.key), c.value) << c.section << "/" << c.key;
}

TEST_F(ProfileTest, BufferLimitsTheAnswer) {
  Write("[S]\nLong=" + std::string(600, 'x') + "\n");
  EXPECT_EQ(Get("S", "Long"), std::string(511, 'x'));
  EXPECT_EQ(Get("S", "Long", 1), "");
  EXPECT_EQ(Get("S", "Long", 0), "");
  EXPECT_EQ(Get("S", "Missing", 3, "default"), "de");
}

TEST_F(ProfileTest, FileIsReadAgainOnEveryCall) {
  EXPECT_EQ(Get("S", "K"), "dflt");
  Write("[S]\nK=1\n");
  EXPECT_EQ(Get("S", "K"), "1");
  Write("[S]\nK=2\n");
  EXPECT_EQ(Get("S", "K"), "2");
  std::remove(path_.c_str());
  EXPECT_EQ(Get("S", "K", 512, ""), "");
}

}  // namespace
