// Files, error texts, the command line, text conversion, resources and
// libraries.
#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/win32/environment.h"
#include "platform/windows/cmdline.h"
#include "platform/windows/errors.h"
#include "platform/windows/fileio.h"
#include "platform/windows/resources.h"
#include "platform/windows/text.h"
#include "tests/support/scratch_dir.h"

namespace win {
namespace {

namespace fs = std::filesystem;

class FileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    std::ofstream(dir_ / "data.txt", std::ios::binary) << "{\\rtf1 hello}";
  }
  std::wstring W(const fs::path& p) { return FromUtf8(p.string()); }
  HANDLE Open(const fs::path& p) {
    return CreateFileW(W(p).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
  }
  orn_test::ScratchDir scratch_{"win-io"};
  fs::path dir_;
};

TEST_F(FileTest, OpenFailuresCarryThePlatformCodes) {
  struct Case {
    fs::path path;
    DWORD error;
  };
  std::vector<Case> cases = {
      {dir_ / "missing.rtf", ERROR_FILE_NOT_FOUND},
      {dir_ / "nodir" / "x.rtf", ERROR_PATH_NOT_FOUND},
      {dir_, ERROR_ACCESS_DENIED},
  };
  for (const auto& c : cases) {
    SetLastError(0);
    EXPECT_EQ(Open(c.path), INVALID_HANDLE_VALUE()) << c.path;
    EXPECT_EQ(GetLastError(), c.error) << c.path;
  }
}

TEST_F(FileTest, ReadSeekAndCloseResetTheLastError) {
  HANDLE h = Open(dir_ / "data.txt");
  ASSERT_NE(h, INVALID_HANDLE_VALUE());
  char buf[5];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(h, buf, 5, &got, nullptr));
  EXPECT_EQ(std::string(buf, got), "{\\rtf");
  EXPECT_EQ(SetFilePointer(h, 0, nullptr, FILE_BEGIN), 0u);
  char all[64];
  ASSERT_TRUE(ReadFile(h, all, sizeof all, &got, nullptr));
  EXPECT_EQ(got, 13u);
  ASSERT_TRUE(ReadFile(h, all, sizeof all, &got, nullptr));
  EXPECT_EQ(got, 0u);  // end of file is success with nothing read
  SetLastError(ERROR_NOT_READY);
  EXPECT_TRUE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
  EXPECT_FALSE(CloseHandle(h));
  EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(FileTest, InjectedReadFailureHitsAfterTheGivenBytes) {
  HANDLE h = Open(dir_ / "data.txt");
  FailReadForTest(3, ERROR_READ_FAULT);
  char buf[16];
  DWORD got = 0;
  ASSERT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(got, 3u);
  EXPECT_FALSE(ReadFile(h, buf, sizeof buf, &got, nullptr));
  EXPECT_EQ(GetLastError(), ERROR_READ_FAULT);
  EXPECT_TRUE(ReadFile(h, buf, sizeof buf, &got, nullptr));  // one failure only
  CloseHandle(h);
}

TEST(ErrorText, SystemTextsEndWithALineBreakUnlessCut) {
  std::wstring text;
  EXPECT_GT(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, ERROR_FILE_NOT_FOUND, &text), 0u);
  EXPECT_EQ(text, L"The system cannot find the file specified.\r\n");
  FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_MAX_WIDTH_MASK, ERROR_NOT_READY, &text);
  EXPECT_EQ(text, L"The device is not ready.");
  EXPECT_EQ(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM, 0xDEAD, &text), 0u);
  EXPECT_EQ(GetLastError(), 317u);
}

TEST(CommandLine, SplitsByThePlatformRules) {
  struct Case {
    const wchar_t* line;
    std::vector<std::wstring> args;
  };
  std::vector<Case> cases = {
      {L"prog -f a.rtf", {L"prog", L"-f", L"a.rtf"}},
      {L"\"C:\\Program Files\\x.exe\" -c \"Mein Brief\"", {L"C:\\Program Files\\x.exe", L"-c", L"Mein Brief"}},
      {L"p a\\\\\\\"b c\\d", {L"p", L"a\\\"b", L"c\\d"}},
      {L"p \"a\\\\\" b", {L"p", L"a\\", L"b"}},
      {L"p \"\" x\t y", {L"p", L"", L"x", L"y"}},
      {L"p \"say \"\"hi\"\"\"", {L"p", L"say \"hi\""}},
  };
  for (const auto& c : cases) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(c.line, &argc);
    ASSERT_NE(argv, nullptr);
    std::vector<std::wstring> got(argv, argv + argc);
    EXPECT_EQ(got, c.args) << ToUtf8(c.line);
    EXPECT_EQ(argv[argc], nullptr);
    LocalFree(argv);
  }
  EXPECT_EQ(CommandLineToArgvW(L"x", nullptr), nullptr);
}

TEST(CommandLine, TheRebuiltLineSplitsBackIntoTheWordsGiven) {
  std::vector<std::string> words = {"-c",        "Mein Ordner\\", "-c",     "Sag \"Hallo\"", "a\\\\\"b",
                                    "tab\there", "",                "/scans", "C:\\x\\",     "\\\\srv\\a b\\\\"};
  words.insert(words.begin(), "Lumoret");
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  win32::SetCommandLine(static_cast<int>(argv.size()), argv.data());
  int argc = 0;
  wchar_t** got = CommandLineToArgvW(GetCommandLineW(), &argc);
  ASSERT_NE(got, nullptr);
  ASSERT_EQ(argc, static_cast<int>(words.size()));
  for (size_t i = 1; i < words.size(); ++i) EXPECT_EQ(ToUtf8(got[i]), words[i]) << i;
  LocalFree(got);
  EXPECT_EQ(QuoteArgument(L"Mein Ordner\\"), L"\"Mein Ordner\\\\\"");
  EXPECT_EQ(QuoteArgument(L"Sag \"Hallo\""), L"\"Sag \\\"Hallo\\\"\"");
  EXPECT_EQ(QuoteArgument(L"a\\b"), L"a\\b");
}

TEST(Text, Utf8RoundTripAndReplacement) {
  std::wstring w = L"Drucker auswählen \u20AC \U0001F600";
  EXPECT_EQ(FromUtf8(ToUtf8(w)), w);
  EXPECT_EQ(ToUtf8(L"ä"), "\xC3\xA4");
  EXPECT_EQ(FromUtf8("a\xC3"), L"a\uFFFD");        // cut sequence
  EXPECT_EQ(FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");  // overlong form
}

int g_attached = 0;
void Attach(HMODULE) { ++g_attached; }

TEST(Libraries, AttachRunsOnceAndTheEnvironmentCanRefuseALoad) {
  RegisterLibrary(L"Test42.dll", Attach);
  unsetenv("ORN_FAIL_LOAD");
  HMODULE a = LoadLibraryW(L"TEST42.DLL");
  HMODULE b = LoadLibraryW(L"C:\\Windows\\test42.dll");
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a, b);
  EXPECT_EQ(g_attached, 1);
  EXPECT_EQ(LoadLibraryW(L"nope.dll"), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_MOD_NOT_FOUND);
  setenv("ORN_FAIL_LOAD", "other.dll,Test42.dll", 1);
  EXPECT_EQ(LoadLibraryW(L"Test42.dll"), nullptr);
  unsetenv("ORN_FAIL_LOAD");
  EXPECT_TRUE(FreeLibrary(a));
}

TEST(Resources, MenusAndAcceleratorsLoadFromTheProgramsResources) {
  HINSTANCE self = GetModuleHandleW(nullptr);
  AddMenuResource(self, 9,
                  {{L"&Datei", 0, MF_POPUP, {{L"&Drucken...", 501, 0, {}}, {L"", 0, MF_SEPARATOR, {}}}}});
  AddAcceleratorResource(self, 9, {{0, 16, 501}});
  AddIconResource(self, 7);
  HMENU menu = LoadMenuW(self, MAKEINTRESOURCEW(9));
  ASSERT_NE(menu, nullptr);
  HMENU file = GetSubMenu(menu, 0);
  ASSERT_NE(file, nullptr);
  EXPECT_EQ(GetMenuItemCount(file), 2);
  EXPECT_EQ(GetMenuItemID(file, 0), 501u);
  EXPECT_NE(LoadAcceleratorsW(self, MAKEINTRESOURCEW(9)), nullptr);
  EXPECT_NE(LoadIconW(self, MAKEINTRESOURCEW(7)), nullptr);
  EXPECT_EQ(LoadIconW(self, MAKEINTRESOURCEW(8)), nullptr);
  EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
  EXPECT_EQ(LoadMenuW(nullptr, MAKEINTRESOURCEW(9)), nullptr);  // another instance's resources
}

}  // namespace
}  // namespace win
