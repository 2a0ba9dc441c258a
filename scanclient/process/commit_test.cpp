// The commit: output names, the closing report, and whole commits on a
// window with sheets (files written, questions, exit codes).

#include "scanclient/process/commit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_control.h"
#include "platform/imaging/save_faults.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/durable_file.h"
#include "platform/runtime/error.h"
#include "scanclient/process/commit_test_window.h"
#include "scanclient/process/finish.h"

namespace quillet {
namespace {

namespace fs = std::filesystem;
using imaging::Pixo;
using testing::ReadLines;

class NamingTest : public testing::CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    App.ComputerName = "PC7";
    App.UserName = "ANNA";
    App.FilPath = "/files";
    App.CommitStamp = rt::DateTime{2024, 5, 6, 17, 8, 9};
  }
};

TEST_F(NamingTest, Tokens) {
  const std::pair<const char*, const char*> cases[] = {
      {"{DATE}_{TIME}", "20240506_170809"},
      {"{USER,3}-{COMP}", "ANN-PC7"},
      {"{USER,A}", "ANNA"},  // a length that is not a number is ignored
      {"{date}{XYZ}", "dateXYZ"},
      {"{FIL.PATH}/x", "/files/x"},
      {"a{b", "a{b"},  // no "}" after the "{": left as it is
      {"{COMP}}{", "PC7}{"},
      {"{USER,0}x", "x"},
      {"", ""},
  };
  for (const auto& [name, expected] : cases) EXPECT_EQ(ExpandNameTokens(name), expected) << name;
  // A value is not read again, so it cannot start another token.
  App.UserName = "{USER}";
  EXPECT_EQ(ExpandNameTokens("u{USER}"), "u{USER}");
  App.ProgramDir = "/prog";
  EXPECT_EQ(ExpandNameTokens("{APP.PATH}"), "/prog");
  try {
    ExpandNameTokens("{USER,-1}");
    FAIL();
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number(), rt::kInvalidCall);
  }
}

TEST_F(NamingTest, OutputNameFromTheCommandLine) {
  App.ProgramDir = "/prog";
  DocTypeRow row{};
  row[Doc::Type] = "IMG";
  row[Doc::Format] = "TIF";
  const std::pair<const char*, const char*> cases[] = {
      {"demo 123 .\\out", "/prog/out/IMG_123.TIF"},
      {"demo 123 C:\\scan", "C:\\scan\\IMG_123.TIF"},
      {"demo 123 C:\\scan\\", "C:\\scan\\IMG_123.TIF"},
      {"demo \" 123 \" \"/o/{DATE}/\"", "/o/20240506/IMG_123.TIF"},
  };
  for (const auto& [cmd, expected] : cases) {
    guicommon::ParseCmd(cmd);
    EXPECT_EQ(OutputName(row), expected) << cmd;
  }
  row[Doc::Format] = "";
  guicommon::ParseCmd("demo 7 \"/o\"");
  EXPECT_EQ(OutputName(row), "/o/IMG_7.");
  guicommon::ParseCmd("demo 7 /x=1");
  EXPECT_THROW(OutputName(row), rt::RuntimeError);  // no output directory
}

TEST(SafeFileName, RefusesOnlyWhatIsNotOneFileOfTheFolder) {
  const std::pair<std::string, bool> cases[] = {
      {"ID_V1..2.TIF", true},         {"ID_..TIF", true},           {"ID_12345.", true},
      {"..", false},                  {".", false},                 {"", false},
      {"ID_a/b.TIF", false},          {"ID_a\\b.TIF", false},       {std::string("A\0X_1.TIF", 9), false},
      {"ID_a\tb.TIF", false},         {"ID_\x7F.TIF", false},       {"ID_\x1F.TIF", false},
      {"CON._1.TIF", false},          {"nul.tif", false},           {"Com1 .JPG", false},
      {"LPT9", false},                {"CONSOLE_1.TIF", true},      {"COM10.TIF", true},
      {"\xC3\xA4rger_1.TIF", true},  // UTF-8 letters are not control characters
  };
  for (const auto& [name, safe] : cases) EXPECT_EQ(SafeFileName(name), safe) << ShownName(name);
  EXPECT_EQ(ShownName(std::string("A\0X\tY", 5)), "A?X?Y");
}

TEST(SeparatePageName, PageBeforeTheExtension) {
  EXPECT_EQ(SeparatePageName("/o/IMG_1.JPG", 2), "/o/IMG_1_2.JPG");
  EXPECT_EQ(SeparatePageName("/o.d/IMG_1", 3), "/o.d/IMG_1_3");
}

TEST_F(NamingTest, ClosingReport) {
  struct Case {
    const char* message;
    int32_t bytes;
    const char* text;
    int32_t speed;
  } cases[] = {
      {"Sent {SIZE} in {TIME} s\r[28800]", 102400, "Sent 100kb in 35 s\r[28800]", 28800},
      {"Done", 102400, "Done100kb35", 28800},
      {"in {TIME}", 102400, "in 35100kb", 28800},
      {"{SIZE}/{TIME} [9600]", 102400, "100kb/106 [9600]", 9600},
      {"{SIZE} [0]", 2047, "1kb [0]0", 28800},
      {"{SIZE} [fast]", 0, "0kb [fast]0", 28800},
  };
  for (const Case& c : cases) {
    App.TotalBytes = c.bytes;
    App.LineSpeed = 28800;
    EXPECT_EQ(ClosingText(c.message), c.text) << c.message;
    EXPECT_EQ(App.LineSpeed, c.speed) << c.message;
  }
}

class CommitTest : public testing::CommitWindowTest {
 protected:
  std::vector<std::string> Saved() const {
    std::vector<std::string> names;
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

TEST_F(CommitTest, SavesEverySheetAndEndsWithOne) {
  App.DebugLevel = 2;
  DocType(1, "TIF", "", "IMG");
  DocType(2, "JPG", "QUAL-50", "DOC");
  App.DocTypeTable[2][Doc::BitmapDPI] = "200";
  Sheet(0, 1, 40, 30);
  Sheet(1, 1, 20, 10);
  Sheet(2, 2, 16, 8);
  w->Status.Text = "x";
  EXPECT_EQ(Commit(), 1);
  EXPECT_EQ(Saved(), (std::vector<std::string>{"DOC_123.JPG", "IMG_123.TIF"}));
  // The sheets of one type are the pages of one TIF file.
  EXPECT_EQ(Info("IMG_123.TIF").pageCount, 2);
  EXPECT_EQ(Info("IMG_123.TIF", 2).width, 20);
  EXPECT_EQ(Info("IMG_123.TIF").bits, 24);
  EXPECT_EQ(Info("DOC_123.JPG").width, 16);
  EXPECT_DOUBLE_EQ(Info("DOC_123.JPG").xdpi, 200);
  std::vector<std::string> log = Log();
  ASSERT_GE(log.size(), 3u);
  const std::string tif = (Out() / "IMG_123.TIF").string();
  EXPECT_EQ(log[0].rfind("2024-05-06 07:08:09 Save:" + tif + ",0,Size=", 0), 0u) << log[0];
  EXPECT_EQ(log[2].rfind("2024-05-06 07:08:09 Save:" + (Out() / "DOC_123.JPG").string() + ",0,Size=", 0), 0u);
  EXPECT_EQ(w->Status.Text.Get(), "");
  EXPECT_TRUE(Boxes().empty());  // no question, no report without Message 20
  // TotalBytes counts the TIF at its length after each page.
  EXPECT_GT(App.TotalBytes, 0);
}

TEST_F(CommitTest, PageNumbersAndDeletionOfAnOldFile) {
  DocType(1, "TIF");
  Sheet(0, 1);
  Sheet(1, 1);
  Sheet(2, 1);
  std::ofstream(Out() / "IMG_123.TIF") << "old";
  imaging::StartJournal();
  EXPECT_EQ(Commit(), 1);
  std::vector<std::string> journal = imaging::StopJournal();
  std::vector<std::string> pages;
  for (const std::string& l : journal) {
    if (l.find("put 266 SaveOption266") != std::string::npos) pages.push_back(l.substr(l.rfind(' ') + 1));
  }
  EXPECT_EQ(pages, (std::vector<std::string>{"1%", "2%", "3%"}));
  EXPECT_EQ(Info("IMG_123.TIF").pageCount, 3);
}

TEST_F(CommitTest, SheetsOfASinglePageFormatAreKeptApart) {
  DocType(1, "JPG");
  Sheet(0, 1, 10, 10);
  Sheet(1, 1, 12, 10);
  EXPECT_EQ(Commit(), 1);
  EXPECT_EQ(Saved(), (std::vector<std::string>{"IMG_123.JPG", "IMG_123_2.JPG"}));
  EXPECT_EQ(Info("IMG_123_2.JPG").width, 12);
}

TEST_F(CommitTest, CreatesTheOneMissingOutputFolder) {
  struct Case {
    std::string dir;  // command-line value 3
    std::optional<int32_t> code;
    fs::path file;  // "" when none is written
  } cases[] = {
      {(Out() / "new").string(), 1, Out() / "new" / "IMG_123.BMP"},
      {"C:\\", 1, DriveC() / "IMG_123.BMP"},
      {(Out() / "a" / "b").string(), rt::kPathNotFound, ""},  // only one level is created
  };
  for (const Case& c : cases) {
    w = std::make_unique<Quillet1>();
    guicommon::ParseCmd("demo 123 \"" + c.dir + "\"");
    DocType(1, "BMP");
    Sheet(0, 1);
    EXPECT_EQ(Commit(), c.code) << c.dir;
    if (!c.file.empty()) {
      EXPECT_TRUE(fs::exists(c.file)) << c.file;
    }
  }
  EXPECT_FALSE(fs::exists(Out() / "a"));
}

TEST_F(CommitTest, MissingImageOrRowEndsThroughTheTail) {
  struct Case {
    const char* tag;  // Thumb(1).Tag
    bool image;
    int32_t code;
    const char* message;
  } cases[] = {
      {" 1", false, -20, "Error:-20=Bitmap Error!"},
      {"0", true, -21, "Error:-21=Internal Error!"},
      {"x", true, -21, "Error:-21=Internal Error!"},
  };
  for (const Case& c : cases) {
    fs::remove_all(Out());
    fs::create_directories(Out());
    fs::remove(TranscriptFile());
    w = std::make_unique<Quillet1>();
    DocType(1, "BMP");
    Sheet(0, 1);
    Sheet(1, 1, c.image ? 10 : 0, 10);
    w->Thumb(1).Tag = c.tag;
    if (!c.image) PixPut(w->Thumb(1), Pixo::BitmapHandle, int32_t{0});
    EXPECT_EQ(Commit(), c.code) << c.tag;
    EXPECT_EQ(Saved(), std::vector<std::string>{"IMG_123.BMP"}) << c.tag;  // the sheet before stays
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], std::string("Quillet | 0 | ") + c.message + " | ok (default)");
  }
}

TEST_F(CommitTest, RowOfTenIsARunTimeErrorWithTheSheetsStep) {
  DocType(1, "BMP");
  Sheet(0, 1);
  Sheet(1, 1);
  w->Thumb(1).Tag = "10";
  EXPECT_EQ(Commit(), rt::kSubscriptOutOfRange);
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_NE(Boxes()[0].find(" in DoOK Step- 12"), std::string::npos) << Boxes()[0];
}

TEST_F(CommitTest, FailedSaveIsReportedAndTheOthersStillSaved) {
  DocType(1, "TIF");
  DocType(2, "PNG", "", "DOC");
  Sheet(0, 1);
  Sheet(1, 2);
  std::ofstream(Out() / "IMG_123.TIF") << "old";
  imaging::FailSaveForTest(1);  // the TIF's save stops half-way
  EXPECT_EQ(Commit(), 0);
  imaging::FailSaveForTest(0);
  // The file of that name is left as it was, and no part of the new one.
  EXPECT_EQ(Saved(), (std::vector<std::string>{"DOC_123.PNG", "IMG_123.TIF"}));
  EXPECT_EQ(testing::ReadText(Out() / "IMG_123.TIF"), "old");
  ASSERT_EQ(Boxes().size(), 1u);
  const std::string line = "Error Save:" + (Out() / "IMG_123.TIF").string() + ",-6,Size=";
  EXPECT_EQ(Boxes()[0].rfind("Quillet | 0 | " + line, 0), 0u) << Boxes()[0];
  EXPECT_EQ(w->DoOK.Tag.Get(), "-2");
  std::vector<std::string> log = Log();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log[0].find(line), std::string::npos);
}

// Fails the first durable step of one kind with `error`.
class FailOnce : public rt::DurableFaults {
 public:
  FailOnce(rt::DurableStep step, int error) : step_(step), error_(error) {}
  int Before(rt::DurableStep step, const std::string&) override {
    if (step != step_ || done_) return 0;
    done_ = true;
    return error_;
  }

 private:
  rt::DurableStep step_;
  int error_;
  bool done_ = false;
};

TEST_F(CommitTest, AFileThatCannotBeMadeFlushedOrMovedIsAFailedSave) {
  // A read-only folder fails the temporary, a full disk often the flush.
  const std::pair<rt::DurableStep, int> cases[] = {
      {rt::DurableStep::kCreate, EACCES}, {rt::DurableStep::kSyncFile, ENOSPC}, {rt::DurableStep::kRename, EIO}};
  for (const auto& [step, error] : cases) {
    SCOPED_TRACE(static_cast<int>(step));
    w = std::make_unique<Quillet1>();
    fs::remove_all(Out());
    fs::create_directories(Out());
    fs::remove(TranscriptFile());
    DocType(1, "TIF");
    DocType(2, "PNG", "", "DOC");
    Sheet(0, 1);
    Sheet(1, 2);
    std::ofstream(Out() / "IMG_123.TIF") << "old";
    FailOnce fault(step, error);
    rt::SetDurableFaults(&fault);
    EXPECT_EQ(Commit(), 0);
    rt::SetDurableFaults(nullptr);
    EXPECT_EQ(Saved(), (std::vector<std::string>{"DOC_123.PNG", "IMG_123.TIF"}));  // the next file still saved
    EXPECT_EQ(testing::ReadText(Out() / "IMG_123.TIF"), "old");
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "Quillet | 0 | Error Save:" + (Out() / "IMG_123.TIF").string() + ",-6,Size=3 | ok (default)");
  }
}

TEST_F(CommitTest, EverySheetOfAFailedFileIsLoggedWithTheSizeOfTheFileThere) {
  DocType(1, "TIF");
  Sheet(0, 1);
  Sheet(1, 1);
  std::ofstream(Out() / "IMG_123.TIF") << "old";
  imaging::FailSaveForTest(1);  // page 1 stops half-way: page 2 is not written
  EXPECT_EQ(Commit(), 0);
  imaging::FailSaveForTest(0);
  EXPECT_EQ(Saved(), std::vector<std::string>{"IMG_123.TIF"});
  // One line per sheet, with the length of the old file the name still has.
  const std::string line = "2024-05-06 07:08:09 Error Save:" + (Out() / "IMG_123.TIF").string() + ",-6,Size=3";
  const std::vector<std::string> log = Log();
  EXPECT_EQ(std::count(log.begin(), log.end(), line), 2) << ::testing::PrintToString(log);
  EXPECT_EQ(Boxes().size(), 1u);  // the file's failure is shown once
}

TEST_F(CommitTest, AnErrorInANameIsReportedAtItsSheetsNamingStep) {
  // A negative length in a token is a run-time error while the name is built.
  const std::pair<int16_t, const char*> cases[] = {{0, " in DoOK Step- 2"}, {1, " in DoOK Step- 12"}};
  for (const auto& [bad, step] : cases) {
    w = std::make_unique<Quillet1>();
    fs::remove(TranscriptFile());
    DocType(1, "BMP");
    DocType(2, "BMP", "", "DOC");
    App.DocTypeTable[bad == 0 ? 1 : 2][Doc::Type] = "X{USER,-1}";
    Sheet(0, 1);
    Sheet(1, 2);
    EXPECT_EQ(Commit(), rt::kInvalidCall);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_NE(Boxes()[0].find(step), std::string::npos) << Boxes()[0];
    EXPECT_TRUE(Saved().empty());  // refused before anything is written
  }
}

TEST_F(CommitTest, FormatsAreGivenTheBitsTheyHold) {
  // Each case: the buffer's kind (ConvertToGray or ChangeColorDepth first),
  // the format code and the bits the table asked for.
  struct Case {
    int16_t format, bits;
    int16_t makeBits;  // the buffer as 8-bit grey, 4-bit palette, 24-bit colour
    int16_t fit, held;
  } cases[] = {
      {imaging::kFormatTiffJbig, 24, 24, 1, 1}, {imaging::kFormatTiffG4, 1, 24, 1, 1},
      {imaging::kFormatJpeg, 4, 8, 8, 8},       {imaging::kFormatJpeg, 4, 4, 24, 24},
      {imaging::kFormatJpeg, 24, 8, 24, 8},     {imaging::kFormatBmpRle, 24, 24, 8, 8},
      {imaging::kFormatTiffLzwCmyk, 8, 8, 24, 24}, {imaging::kFormatPng, 4, 4, 4, 4},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.format) + "/" + std::to_string(c.bits) + "/" + std::to_string(c.makeBits));
    PixCall(w->L2, Pixo::CreateImage, {8.0, 8.0, int16_t{24}});
    PixCall(w->L2, Pixo::FillImage, {int32_t{0x2080C0}});
    if (c.makeBits == 8) PixCall(w->L2, Pixo::ConvertToGray, {int16_t{8}});
    if (c.makeBits == 4) PixCall(w->L2, Pixo::ChangeColorDepth, {int16_t{4}, int16_t{0}, int16_t{0}, int16_t{0}});
    EXPECT_EQ(w->L2FitFormat(c.format, c.bits), c.fit);
    EXPECT_EQ(rt::CLng(PixGet(w->L2, Pixo::ImageBits)), c.held);
  }
}

TEST_F(CommitTest, BlackAndWhiteIsCutAtTheChecksMiddleLevel) {
  // Grey 100 is white when the check's levels put the middle at 90, black when at 102.
  const std::pair<int16_t, int32_t> cases[] = {{40, 0xFFFFFF}, {64, 0}};
  for (const auto& [black, colour] : cases) {
    App.BlackLevel = black;
    App.WhiteLevel = 140;  // middle (40 + 140) / 2 = 90, or (64 + 140) / 2 = 102
    PixCall(w->L2, Pixo::CreateImage, {4.0, 4.0, int16_t{24}});
    PixCall(w->L2, Pixo::FillImage, {int32_t{0x646464}});  // grey 100
    EXPECT_EQ(w->L2FitFormat(imaging::kFormatTiffG4, 1), 1);
    EXPECT_EQ(rt::CLng(PixGet(w->L2, Pixo::Pixel, {1.0, 1.0})), colour) << black;
  }
}

TEST_F(CommitTest, WarningWhenNotAllSheetsAreOk) {
  struct Case {
    const char* tag;
    int32_t okColour;
    const char* answer;
    std::optional<int32_t> code;
  } cases[] = {
      {"1", SheetOkColor, "no", std::nullopt},
      {"1", SheetOkColor, "", std::nullopt},  // No is the default button
      {"1", SheetOkColor, "yes", 0},
      {"0", NotAllOkColor, "yes", 0},  // nothing saved is never "all saved"
  };
  App.Messages[18] = "Not all OK. Save?";
  for (const Case& c : cases) {
    fs::remove(TranscriptFile());
    DocType(1, "BMP");
    Sheet(0, 1);
    w->DoOK.Tag = c.tag;
    w->DoOK.BackColor = c.okColour;
    if (*c.answer) uiscript::AnswerQueue::Instance().Push(*uiscript::ParseAnswer(c.answer));
    EXPECT_EQ(Commit(), c.code) << c.answer;
    EXPECT_TRUE(Saved().empty());
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].rfind("Warning ! | 260 | Not all OK. Save? | ", 0), 0u) << Boxes()[0];
  }
}

TEST_F(CommitTest, ClosingReportBox) {
  App.Messages[20] = "Sent {SIZE} in {TIME} s\r[1]";
  DocType(1, "BMP");
  Sheet(0, 1, 40, 30);  // 54 + 120 * 30 bytes
  EXPECT_EQ(Commit(), 1);
  const int32_t bytes = 54 + 120 * 30;
  ASSERT_EQ(Boxes().size(), 1u);
  EXPECT_EQ(Boxes()[0], "Quillet | 0 | Sent " + std::to_string(bytes / 1024) + "kb in " + std::to_string(bytes * 10) +
                            " s\\r[1] | ok (default)");
}

TEST(ParsePlacement, FixedColumns) {
  using P = std::optional<Placement>;
  const std::pair<const char*, P> cases[] = {
      {"0100 0200 0400 0300", Placement{100, 200, 400, 300}},
      {"0100 0200 040x 0300", std::nullopt},
      {"0100 0200 0400 030", Placement{100, 200, 400, 30}},  // the four characters there
      {"0100 0200 0400", std::nullopt},
      {"0100 0200 0400 0300+00000010 00000020", Placement{100, 200, 400, 300, '+', true, 10, 20}},
      {"0100 0200 0400 0300-00000010 0000002x", Placement{100, 200, 400, 300, '-', true, 10, 0}},
      {"0100 0200 0400 0300*00000007", Placement{100, 200, 400, 300, '*', true, 7, 0}},
      {"0100 0200 0400 0300   ", Placement{100, 200, 400, 300}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(ParsePlacement(text), expected) << text;
}

class FinishTest : public CommitTest {
 protected:
  void SetUp() override {
    CommitTest::SetUp();
    // A white 100 x 80 finish picture; sheet 0 is red.
    Sheet(0, 1, 40, 30, 0x0000FF);
    PixCall(w->L2, Pixo::CreateImage, {100.0, 80.0, int16_t{24}});
    PixCall(w->L2, Pixo::FillImage, {int32_t{0xFFFFFF}});
    finish = (Prog() / "finish.bmp").string();
    PixCall(w->L2, Pixo::SaveImageFile, {finish, int16_t{6}, int16_t{24}, int16_t{0}, int16_t{0}});
    DocType(1, "BMP");
    App.FinishTable[0] = finish;
    App.Messages[21] = "Looks right?";
  }
  int32_t ViewPixel(double x, double y) { return rt::CLng(PixGet(w->L1, Pixo::Pixel, {x, y})); }
  std::string finish;
};

TEST_F(FinishTest, YesKeepsTheWindowWithTheComposedImage) {
  App.FinishTable[1] = "0010 0020 0030 0015";
  App.FinishTable[2] = "0010 0020 003x 0015";  // ignored: sheet 1 does not exist
  uiscript::AnswerQueue::Instance().Push(uiscript::kYes);
  EXPECT_EQ(Commit(), std::nullopt);
  EXPECT_TRUE(Saved().empty());
  EXPECT_EQ(Boxes(), std::vector<std::string>{"Frage ! | 4 | Looks right? | yes"});
  EXPECT_EQ(rt::CLng(PixGet(w->L1, Pixo::ImageWidth)), 100);
  EXPECT_EQ(ViewPixel(10, 20), 0x0000FF);
  EXPECT_EQ(ViewPixel(39, 34), 0x0000FF);
  EXPECT_EQ(ViewPixel(40, 20), 0xFFFFFF);
  EXPECT_EQ(ViewPixel(10, 35), 0xFFFFFF);
}

TEST_F(FinishTest, NoGoesOnToSave) {
  App.FinishTable[1] = "0000 0000 0010 0010+00000010 00000020";
  App.DebugLevel = 8;  // also writes the debug copy of the finish image
  uiscript::AnswerQueue::Instance().Push(uiscript::kNo);
  imaging::StartJournal();
  EXPECT_EQ(Commit(), 1);
  std::vector<std::string> journal = imaging::StopJournal();
  EXPECT_NE(
      std::find_if(journal.begin(), journal.end(),
                   [](const std::string& l) { return l.find("ComposeOp570(10&, 20&, 1%)") != std::string::npos; }),
      journal.end());
  EXPECT_EQ(Saved(), std::vector<std::string>{"IMG_123.BMP"});
  EXPECT_EQ(Info("IMG_123.BMP").width, 40);  // the saved sheet is not the finish image
  imaging::FileInfo copy;
  EXPECT_EQ(imaging::ReadImageInfo((Prog() / "Quillet_FIN.JPG").string(), 1, copy), imaging::kPixoOk);
  EXPECT_EQ(copy.width, 100);
}

TEST_F(FinishTest, MissingFinishFileAsksNothing) {
  App.FinishTable[0] = (Prog() / "none.bmp").string();
  App.FinishTable[1] = "0010 0020 0030 0015";
  EXPECT_EQ(Commit(), 1);
  EXPECT_TRUE(Boxes().empty());
}

TEST_F(FinishTest, PlacementForAMissingSheetEndsTheProgram) {
  App.FinishTable[2] = "0010 0020 0030 0015";
  EXPECT_EQ(Commit(), rt::kControlArrayElement);
  EXPECT_TRUE(Saved().empty());
}

}  // namespace
}  // namespace quillet
