// The frame's command line and title; the rest of the frame is tested by
// running the program (tests/lumoret).
#include "docviewer/Mainframe.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry/registry.h"
#include "platform/win32/environment.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/resources.h"
#include "platform/windows/script.h"
#include "tests/support/scratch_dir.h"

namespace {

struct Parsed {
  std::wstring file, caption, kind;
  bool noQuestion = false;
  bool operator==(const Parsed&) const = default;
};

std::ostream& operator<<(std::ostream& os, const Parsed& p) {
  return os << std::string(p.file.begin(), p.file.end()) << "|" << std::string(p.caption.begin(), p.caption.end())
            << "|" << std::string(p.kind.begin(), p.kind.end()) << "|" << p.noQuestion;
}

Parsed Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "Lumoret");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  win32::SetCommandLine(static_cast<int>(argv.size()), argv.data());
  MFrame frame;
  Parsed p;
  if (frame.FilePath()) p.file = frame.FilePath();
  if (frame.Caption()) p.caption = frame.Caption();
  if (frame.Kind()) p.kind = frame.Kind();
  p.noQuestion = frame.NoCloseQuestion();
  return p;
}

class FrameTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    setenv("ORN_REGISTRY_DIR", dir_.c_str(), 1);
  }
  void TearDown() override {
    unsetenv("ORN_REGISTRY_DIR");
  }
  orn_test::ScratchDir scratch_{"frame"};
  std::filesystem::path dir_;
};

TEST_F(FrameTest, CommandLineOptions) {
  struct Case {
    std::vector<std::string> args;
    Parsed parsed;
  };
  std::vector<Case> cases = {
      {{"-f", "brief.rtf"}, {L"brief.rtf", L"", L"", false}},
      {{"-F", "/tmp/Mein Brief.rtf", "-C", "Grüße", "-T", "1"}, {L"/tmp/Mein Brief.rtf", L"Grüße", L"1", false}},
      {{"-f"}, {}},  // a value option that stands last is ignored
      {{"-f", "a.rtf", "-f", "b.rtf"}, {L"b.rtf", L"", L"", false}},
      {{"-n", "x", "/f", "--f", "c.rtf"}, {L"", L"", L"", true}},
      {{"-c", "-f", "d.rtf"}, {L"", L"-f", L"", false}},
      {{"-t", "3", "-f", "p.rtf"}, {L"p.rtf", L"", L"3", false}},  // -t 3 acts on the title, after loading
  };
  for (const auto& c : cases) EXPECT_EQ(Parse(c.args), c.parsed);
}

// The placement is applied while the window is created, before the program
// shows it; what it does then is seen here, before any ShowWindow.
TEST_F(FrameTest, RestoredPlacementNeverBringsTheWindowBackOutOfSight) {
  win::ResetWindowsForTest();
  win::SetScriptForTest({});
  win::RegisterRichEditLibrary();
  win::LoadLibraryW(win::kRichEditLibrary);
  win::INITCOMMONCONTROLSEX icc;
  icc.dwICC = win::ICC_BAR_CLASSES;
  win::InitCommonControlsEx(&icc);
  for (int32_t show : {0, 2, 6, 7, 11, 99}) {
    int32_t record[11] = {44, 0, show, -1, -1, -1, -1, 200, 100, 900, 600};
    reg::Key key = 0;
    ASSERT_EQ(reg::CreateKey(reg::Hive::CurrentUser, MFrame::kPlacementKey, &key), reg::kSuccess);
    reg::SetValue(key, MFrame::kPlacementValue, reg::kBinary, reinterpret_cast<uint8_t*>(record), sizeof record);
    reg::CloseKey(key);
    Parse({});  // no file
    MFrame frame;
    win::HWND h = frame.Create(win::GetDesktopWindow(), MFrame::kCaption, nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    EXPECT_TRUE(win::IsWindowVisible(h)) << show;
    EXPECT_FALSE(win::IsIconic(h)) << show;
    win::RECT r;
    win::GetWindowRect(h, &r);
    EXPECT_EQ(r, (win::RECT{200, 100, 900, 600})) << show;
  }
  win::ResetWindowsForTest();
}

TEST(Title, NamePartKindAndCaption) {
  // Two texts that read the same but are not one object, as two arguments.
  static wchar_t sameFile[] = L"same";
  static wchar_t sameCaption[] = L"same";
  struct Case {
    const wchar_t* file;
    const wchar_t* caption;
    const wchar_t* kind;
    std::wstring title;
    bool noQuestion;
  };
  std::vector<Case> cases = {
      {L"brief.rtf", nullptr, nullptr, L"ORN RTF Viewer - brief.rtf", false},
      {L"/data/brief.rtf", nullptr, L"1", L"Antragsformular - brief.rtf", false},
      {L"brief.rtf", L"Mein Brief", nullptr, L"brief.rtf - Mein Brief", false},
      {L"brief.rtf", L"Mein Brief", L"1", L"Antragsformular - Mein Brief", false},
      {L"C:\\docs\\puk.rtf", nullptr, L"3", L"PUK - puk.rtf", true},
      {L"C:\\docs\\sub/x.rtf", nullptr, L"2", L"ORN RTF Viewer - x.rtf", false},
      {L"a/b\\c.rtf", nullptr, nullptr, L"ORN RTF Viewer - c.rtf", false},
      // The same text as the name part is still a caption of its own.
      {sameFile, sameCaption, nullptr, L"same - same", false},
  };
  for (const auto& c : cases) {
    bool noQuestion = false;
    EXPECT_EQ(MFrame::MakeTitle(c.file, c.caption, c.kind, &noQuestion), c.title);
    EXPECT_EQ(noQuestion, c.noQuestion);
  }
  std::wstring longCaption(400, L'x');
  bool nq = false;
  EXPECT_EQ(MFrame::MakeTitle(L"f", longCaption.c_str(), nullptr, &nq).size(), 256u);
}

}  // namespace
