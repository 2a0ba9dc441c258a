// Whole-program tests of the commit: Quillet runs from its command line on
// sheets pre-loaded from the INI file, the operator presses OK (or the close
// box), and the test reads the saved files back, the log, the event log and
// the exit code.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <string>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_members.h"
#include "tests/quillet/quillet_run.h"

namespace {

using namespace quillet_test;

// Runs a command and returns its standard output.
std::string Output(const std::string& command) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  std::string out;
  char buffer[512];
  while (pipe && fgets(buffer, sizeof buffer, pipe.get())) out += buffer;
  return out;
}

class CommitRun : public QuilletRun {
 protected:
  CommitRun() : QuilletRun("commit") {}

  // A BMP of one grey level in bin/.
  void Bmp(const std::string& name, int32_t width, int32_t height, uint8_t level = 0x80) const {
    WriteBmp(Bin() / name, width, height, level);
  }
  // The three sheets of Profile as small images.
  void SmallSheets() const {
    for (const char* name : {"a.bmp", "b.bmp", "c.bmp"}) Bmp(name, 8, 8);
  }
  // Runs Quillet DEMO 12345 <out>; returns the exit status (0..255).
  int Run() { return QuilletRun::Run({"DEMO", "12345", Out().string()}); }

  // The message boxes without their "msgbox | ".
  Lines Boxes() const {
    Lines boxes = MessageBoxes();
    for (std::string& b : boxes) b.erase(0, 9);
    return boxes;
  }
  std::string Diagnostics() const { return "stderr: " + Stderr(); }
  Lines Saved() const {
    Lines names;
    for (const auto& e : fs::directory_iterator(Out())) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  imaging::FileInfo Info(const std::string& name, int32_t page = 1) const {
    imaging::FileInfo info;
    EXPECT_EQ(imaging::ReadImageInfo((Out() / name).string(), page, info), imaging::kPixoOk) << name;
    return info;
  }
};

// Two document types: a TIF with two sheets and a JPG with one, every
// sheet pre-loaded; with Debugging on, the re-check of OK checks them.
std::string Profile(const std::string& general, const std::string& file2 = "b.bmp") {
  return "[General]\r\nDebugLevel=3\r\n" + general +
         "[Text]\r\nMessage_20=Saved {SIZE}{CR}[28800]\r\nMessage_18=Not all sheets OK. Save anyway?\r\n"
         "[DEMO_1]\r\nPages=2\r\nFormat=TIF\r\nOptions=ENC-LZW\r\nType=ID\r\nBitmapDPI=300\r\n"
         "Check=00000000000\r\nFile_1={APP.PATH}/a.bmp\r\nFile_2={APP.PATH}/" +
         file2 +
         "\r\n"
         "[DEMO_2]\r\nPages=1\r\nFormat=JPG\r\nOptions=QUAL-50 GRAY-8\r\nType=FORM\r\nCheck=00000000000\r\n"
         "File_1={APP.PATH}/c.bmp\r\n";
}

TEST_F(CommitRun, OkSavesEverySheetAndEndsWithOne) {
  Bmp("a.bmp", 64, 40);
  Bmp("b.bmp", 32, 20);
  Bmp("c.bmp", 48, 48, 0xC0);
  Ini(Profile("Debugging=yes\r\n"));
  Script("click DoOK\n");
  ASSERT_EQ(Run(), 1) << Diagnostics();
  ASSERT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));

  // tiffinfo reads the two sheets of the type as the two pages of one file.
  const std::string tiff = Output("tiffinfo " + (Out() / "ID_12345.TIF").string() + " 2>&1");
  EXPECT_NE(tiff.find("Image Width: 64 Image Length: 40"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Image Width: 32 Image Length: 20"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Compression Scheme: LZW"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Resolution: 300, 300"), std::string::npos) << tiff;
  EXPECT_EQ(Info("ID_12345.TIF").pageCount, 2);
  EXPECT_EQ(Info("FORM_12345.JPG").bits, 8);  // GRAY-8 writes grey
  EXPECT_EQ(Info("FORM_12345.JPG").width, 48);

  const std::string tif = (Out() / "ID_12345.TIF").string();
  EXPECT_TRUE(LoggedStartingWith("Save:" + tif + ",0,Size="));
  EXPECT_TRUE(LoggedStartingWith("Save:" + (Out() / "FORM_12345.JPG").string() + ",0,Size="));
  EXPECT_TRUE(LoggedStartingWith("Ended RC=1:"));
  Lines boxes = Boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes.back().rfind("Quillet | 0 | Saved ", 0), 0u) << boxes.back();
  auto events = Events();
  ASSERT_FALSE(events.empty());
  EXPECT_EQ(events.back().strings[0].rfind("Ended RC=1:", 0), 0u);
}

TEST_F(CommitRun, CloseBoxCommitsToo) {
  SmallSheets();
  Ini(Profile("Debugging=yes\r\n"));
  Script("close\n");
  EXPECT_EQ(Run(), 1) << Diagnostics();
  EXPECT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));
}

TEST_F(CommitRun, WarningAnsweredYesEndsWithZeroAndNoFile) {
  // Without Debugging the pre-loaded sheets count as not scanned: the
  // re-check leaves them unchecked and OK warns.
  SmallSheets();
  Ini(Profile(""));
  Script("answer yes\nclick DoOK\n");
  EXPECT_EQ(Run(), 0) << Diagnostics();
  EXPECT_TRUE(Saved().empty());
  ASSERT_FALSE(Boxes().empty());
  EXPECT_EQ(Boxes()[0], "Warning ! | 260 | Not all sheets OK. Save anyway? | yes");
  EXPECT_TRUE(LoggedStartingWith("Ended RC=0:"));
}

TEST_F(CommitRun, WarningAnsweredNoKeepsTheWindowOpen) {
  SmallSheets();
  Ini(Profile(""));
  Script("answer no\nclick DoOK\ndump after.txt\n");
  // The window stays; the session end afterwards is the -9 exit.
  EXPECT_EQ(Run(), 256 - 9) << Diagnostics();
  EXPECT_TRUE(Saved().empty());
  EXPECT_FALSE(LoggedStartingWith("Ended RC=0:"));
}

TEST_F(CommitRun, SheetWithoutImageEndsWithMinusTwenty) {
  Bmp("a.bmp", 8, 8);
  Bmp("c.bmp", 8, 8);
  Ini(Profile("Debugging=yes\r\n", "missing.bmp"));
  Script("click DoOK\n");
  EXPECT_EQ(Run(), 256 - 20) << Diagnostics();
  // The sheet before it was saved; the log and the box say why it ended.
  EXPECT_EQ(Saved(), Lines{"ID_12345.TIF"});
  EXPECT_TRUE(LoggedStartingWith("Error:-20=Bitmap Error!"));
  EXPECT_TRUE(LoggedStartingWith("Ended RC=-20:"));
}

}  // namespace
