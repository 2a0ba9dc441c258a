// Whole-program tests of the commit: Quillet runs from its command line on
// sheets pre-loaded from the INI file, the operator presses OK (or the close
// box), and the test reads the saved files back, the log, the event log and
// the exit code.

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <memory>
#include <string>

#include "platform/imaging/edits.h"
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
  // A BMP in bin/ whose pixels are noise: it does not compress.
  void NoisyBmp(const std::string& name, int32_t width, int32_t height, uint32_t seed = 1) const {
    WriteBmp(Bin() / name, width, height, [seed](int32_t x, int32_t y) {
      return static_cast<uint8_t>((static_cast<uint32_t>(x * 7919 + y * 104729) * 2654435761u * seed) >> 24);
    });
  }
  // A 24-bit BMP in bin/ of the colours given, left to right, 4 pixels each, 4 rows.
  void ColourBmp(const std::string& name, const std::vector<imaging::Colour>& colours) const {
    imaging::Image img;
    ASSERT_TRUE(img.Create(static_cast<int32_t>(colours.size()) * 4, 4, 24));
    for (int32_t y = 0; y < 4; ++y) {
      for (int32_t x = 0; x < img.width(); ++x) img.Set(x, y, colours[static_cast<size_t>(x / 4)]);
    }
    ASSERT_EQ(imaging::WriteImageFile((Bin() / name).string(), img, imaging::kFormatBmp, 24, 0, false),
              imaging::kPixoOk);
  }
  std::string Bytes(const std::string& name) const { return ReadText(Out() / name); }
  // Sheets of three sizes, every one checked: OK saves them, ends with 1.
  void SaveThreeSheets() {
    Bmp("a.bmp", 64, 40);
    Bmp("b.bmp", 32, 20);
    Bmp("c.bmp", 48, 48, 0xC0);
    Ini(Profile("Debugging=yes\r\n"));
    Script("click DoOK\n");
    ASSERT_EQ(Run(), 1) << Diagnostics();
  }
  // The pixel (x, y) of a TIFF as libtiff's own RGBA reader sees it.
  imaging::Colour LibtiffPixel(const std::string& name, int32_t x, int32_t y) const {
    const fs::path rgba = Root() / (name + ".rgba.tif");
    EXPECT_EQ(std::system(("tiff2rgba -c none " + (Out() / name).string() + " " + rgba.string()).c_str()), 0);
    imaging::Image img;
    EXPECT_EQ(imaging::ReadImageFile(rgba.string(), 1, img), imaging::kPixoOk) << name;
    return img.empty() ? 0xFFFFFFFFu : img.At(x, y);
  }
};

TEST_F(CommitRun, OkSavesEverySheetAndEndsWithOne) {
  SaveThreeSheets();
  ASSERT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));

  // tiffinfo reads the two sheets of the type as the two pages of one file.
  const std::string tiff = Output("tiffinfo " + (Out() / "ID_12345.TIF").string() + " 2>&1");
  EXPECT_NE(tiff.find("Image Width: 64 Image Length: 40"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Image Width: 32 Image Length: 20"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Compression Scheme: LZW"), std::string::npos) << tiff;
  EXPECT_NE(tiff.find("Resolution: 300, 300"), std::string::npos) << tiff;
  // Both pages, the first one too, are marked as pages of one document.
  const std::string page = "Subfile Type: multi-page document";
  EXPECT_NE(tiff.find(page), tiff.rfind(page)) << tiff;
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
  Bmp("b.bmp", 8, 8);
  // The JPG sheet has no image: the TIF before it is complete and stays.
  std::string ini = Profile("Debugging=yes\r\n");
  ini.replace(ini.find("File_1={APP.PATH}/c.bmp"), 23, "File_1={APP.PATH}/x.bmp");
  Ini(ini);
  Script("click DoOK\n");
  EXPECT_EQ(Run(), 256 - 20) << Diagnostics();
  EXPECT_EQ(Saved(), Lines{"ID_12345.TIF"});
  EXPECT_EQ(Info("ID_12345.TIF").pageCount, 2);
  EXPECT_TRUE(LoggedStartingWith("Error:-20=Bitmap Error!"));
  EXPECT_TRUE(LoggedStartingWith("Ended RC=-20:"));

  // The TIF's second sheet has no image: the file of the type is never
  // complete and is not written, nor is any part of it left.
  fs::remove(Out() / "ID_12345.TIF");
  Bmp("c.bmp", 8, 8);
  Ini(Profile("Debugging=yes\r\n", "missing.bmp"));
  EXPECT_EQ(Run(), 256 - 20) << Diagnostics();
  EXPECT_TRUE(Saved().empty());
}

TEST_F(CommitRun, TwoTypesOfOneNameAndFormatAreKeptApart) {
  SmallSheets();
  // The JPG type is named as the TIF type and writes the same format.
  std::string ini = Profile("Debugging=yes\r\n");
  ini.replace(ini.find("Format=JPG"), 10, "Format=TIF");
  ini.replace(ini.find("Type=FORM"), 9, "Type=ID");
  Ini(ini);
  Script("click DoOK\n");
  ASSERT_EQ(Run(), 1) << Diagnostics();
  EXPECT_EQ(Saved(), (Lines{"ID_12345.TIF", "ID_12345_2.TIF"}));
  EXPECT_EQ(Info("ID_12345.TIF").pageCount, 2);
  EXPECT_EQ(Info("ID_12345_2.TIF").pageCount, 1);
  EXPECT_TRUE(Logged("Save:" + (Out() / "ID_12345.TIF").string() + " written by this commit, saved as " +
                     (Out() / "ID_12345_2.TIF").string()));
}

TEST_F(CommitRun, ClosingReportCountsTheBytesWritten) {
  // Three pages of noise in one TIF file, no JPG sheet.
  NoisyBmp("a.bmp", 80, 60, 1);
  NoisyBmp("b.bmp", 80, 60, 2);
  NoisyBmp("c.bmp", 80, 60, 3);
  std::string ini = Profile("Debugging=yes\r\n");
  ini.replace(ini.find("Pages=2"), 7, "Pages=3");
  ini.replace(ini.find("[DEMO_2]"), std::string::npos, "File_3={APP.PATH}/c.bmp\r\n");
  Ini(ini);
  Script("click DoOK\n");
  ASSERT_EQ(Run(), 1) << Diagnostics();
  ASSERT_EQ(Saved(), Lines{"ID_12345.TIF"});
  const auto bytes = fs::file_size(Out() / "ID_12345.TIF");
  ASSERT_GT(bytes, 10u * 1024);
  const Lines boxes = Boxes();
  ASSERT_FALSE(boxes.empty());
  // The size and, appended, the seconds at 28800 baud: both of the one file.
  EXPECT_EQ(boxes.back(), "Quillet | 0 | Saved " + std::to_string(bytes / 1024) + "kb\\r[28800]" +
                              std::to_string(bytes / 2880) + " | ok (default)");
}

TEST_F(CommitRun, NameThatIsNotOneFileOfTheOutputFolderIsRefused) {
  SmallSheets();
  Ini(Profile("Debugging=yes\r\n"));
  for (const std::string id : {"x/../../elsewhere/pwn", "a\\b", "tab\tid"}) {
    SCOPED_TRACE(id);
    fs::remove(Root() / "transcript.txt");
    Script("click DoOK\ndump after.txt\n");
    // The window stays; the session end afterwards is the -9 exit.
    EXPECT_EQ(QuilletRun::Run({"DEMO", id, Out().string()}), 256 - 9) << Diagnostics();
    EXPECT_TRUE(Saved().empty());
    EXPECT_FALSE(fs::exists(Root() / "elsewhere"));
    const Lines boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    const std::string shown = id == "tab\tid" ? "tab?id" : id;
    EXPECT_EQ(boxes[0], "Quillet | 0 | Error Name:ID_" + shown + ".TIF | ok (default)");
    // The sheets are still there for a corrected call.
    EXPECT_EQ(Dump("after.txt")["Quillet1.Thumb(0).Image"], "8x8x24");
  }
}

TEST_F(CommitRun, NulInATypeIsRefusedNotCut) {
  // Cut at the NUL both types would be saved as "A", one over the other.
  SmallSheets();
  std::string ini = Profile("Debugging=yes\r\n");
  ini.replace(ini.find("Type=ID"), 7, std::string("Type=A\0X", 8));
  ini.replace(ini.find("Type=FORM"), 9, std::string("Type=A\0Y", 8));
  ini.replace(ini.find("Format=JPG"), 10, "Format=TIF");
  Ini(ini);
  Script("click DoOK\n");
  EXPECT_EQ(Run(), 256 - 9) << Diagnostics();
  EXPECT_TRUE(Saved().empty());
  const Lines boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "Quillet | 0 | Error Name:A?X_12345.TIF | ok (default)");
  EXPECT_TRUE(Logged("Error Name:A?X_12345.TIF"));
}

TEST_F(CommitRun, DotsInsideANameAreKept) {
  SmallSheets();
  Ini(Profile("Debugging=yes\r\n"));
  Script("click DoOK\n");
  ASSERT_EQ(QuilletRun::Run({"DEMO", "V1..2", Out().string()}), 1) << Diagnostics();
  EXPECT_EQ(Saved(), (Lines{"FORM_V1..2.JPG", "ID_V1..2.TIF"}));
  EXPECT_EQ(Info("ID_V1..2.TIF").pageCount, 2);
}

TEST_F(CommitRun, TwoRunsCommittingOneIdAtOnceEachSaveWholeFiles) {
  // Five large TIF pages make each commit long enough for the two to overlap.
  std::string ini = Profile("Debugging=yes\r\n");
  ini.replace(ini.find("Pages=2"), 7, "Pages=5");
  ini.replace(ini.find("File_2={APP.PATH}/b.bmp\r\n"), 24,
              "File_2={APP.PATH}/b.bmp\r\nFile_3={APP.PATH}/c.bmp\r\nFile_4={APP.PATH}/d.bmp\r\n"
              "File_5={APP.PATH}/e.bmp\r\n");
  ini.replace(ini.find("File_1={APP.PATH}/c.bmp"), 23, "File_1={APP.PATH}/f.bmp");
  Ini(ini);
  uint32_t seed = 1;
  for (const char* name : {"a.bmp", "b.bmp", "c.bmp", "d.bmp", "e.bmp"}) NoisyBmp(name, 700, 500, seed++);
  Bmp("f.bmp", 30, 20);
  Script("click DoOK\n");
  for (int round = 0; round < 3; ++round) {
    SCOPED_TRACE(round);
    const pid_t first = Start({"DEMO", "12345", Out().string()}, "1");
    const pid_t second = Start({"DEMO", "12345", Out().string()}, "2");
    EXPECT_EQ(Wait(first), 1) << ReadText(Root() / "stderr-1.txt");
    EXPECT_EQ(Wait(second), 1) << ReadText(Root() / "stderr-2.txt");
    EXPECT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));  // no part of either left
    ASSERT_EQ(Info("ID_12345.TIF").pageCount, 5);
    for (int32_t page = 1; page <= 5; ++page) EXPECT_EQ(Info("ID_12345.TIF", page).width, 700) << page;
    const std::string tiff = Output("tiffinfo -D " + (Out() / "ID_12345.TIF").string() + " 2>&1 >/dev/null");
    EXPECT_EQ(tiff, "");  // libtiff reads every page's data without a complaint
  }
}

TEST_F(CommitRun, ResolutionThatIsNotPositiveKeepsTheImagesOwn) {
  SmallSheets();
  for (const char* dpi : {"0", "-5", "0.5"}) {
    SCOPED_TRACE(dpi);
    std::string ini = Profile("Debugging=yes\r\n");
    ini.replace(ini.find("BitmapDPI=300"), 13, std::string("BitmapDPI=") + dpi);
    Ini(ini);
    Script("click DoOK\n");
    ASSERT_EQ(Run(), 1) << Diagnostics();
    // The BMP sheets' own 72 dpi.
    EXPECT_NEAR(Info("ID_12345.TIF").xdpi, 72, 0.1);
    EXPECT_NEAR(Info("ID_12345.TIF", 2).ydpi, 72, 0.1);
  }
}

TEST_F(CommitRun, EveryRowOfTheFormatTableSaves) {
  using imaging::MakeColour;
  const imaging::Colour ochre = MakeColour(192, 128, 40);
  ColourBmp("colour.bmp", {ochre, MakeColour(20, 90, 220), MakeColour(255, 255, 255)});
  struct Row {
    const char* type;
    const char* format;
    const char* options;
  } rows[] = {
      {"JBIG", "TIF", "ENC-JBIG"},  {"G4", "TIF", "ENC-G4"},       {"JG4", "JPG", "GRAY-4"}, {"JG1", "JPG", "GRAY-1"},
      {"JC4", "JPG", "COL-4"},        {"JC8", "JPG", "COL-8"},
      {"RLE", "BMP", "ENC-RLE COL-24"}, {"CMYKG", "TIF", "ENC-LZW CMYK GRAY-8"}, {"CMYK", "TIF", "ENC-LZW CMYK"},
  };
  std::string ini = "[General]\r\nDebugLevel=3\r\nDebugging=yes\r\n";
  int n = 1;
  for (const Row& r : rows) {
    ini += "[DEMO_" + std::to_string(n++) + "]\r\nPages=1\r\nType=" + r.type + "\r\nFormat=" + r.format +
           "\r\nOptions=" + r.options + "\r\nCheck=00000000000\r\nFile_1={APP.PATH}/colour.bmp\r\n";
  }
  Ini(ini);
  Script("click DoOK\n");
  ASSERT_EQ(Run(), 1) << Diagnostics() << ReadText(Bin() / "Quillet.log");
  ASSERT_EQ(Saved().size(), 9u);  // the nine document types a profile can have
  // The CCITT and JBIG codes: black and white, cut at the check's middle level 128.
  for (const char* name : {"JBIG_12345.TIF", "G4_12345.TIF"}) {
    SCOPED_TRACE(name);
    EXPECT_EQ(Info(name).bits, 1);
    EXPECT_EQ(LibtiffPixel(name, 0, 0), MakeColour(255, 255, 255));  // ochre's grey is 137
    EXPECT_EQ(LibtiffPixel(name, 4, 0), MakeColour(0, 0, 0));        // blue's grey is 84
  }
  const std::string jbig = Output("tiffinfo " + (Out() / "JBIG_12345.TIF").string() + " 2>&1");
  EXPECT_NE(jbig.find("Compression Scheme: ISO JBIG"), std::string::npos) << jbig;
  // JPEG: grey and black and white become 8-bit grey, palettes of colour 24 bits.
  EXPECT_EQ(Info("JG4_12345.JPG").bits, 8);
  EXPECT_EQ(Info("JG1_12345.JPG").bits, 8);
  EXPECT_EQ(Info("JC4_12345.JPG").bits, 24);
  EXPECT_EQ(Info("JC8_12345.JPG").bits, 24);
  imaging::Image jc8;
  ASSERT_EQ(imaging::ReadImageFile((Out() / "JC8_12345.JPG").string(), 1, jc8), imaging::kPixoOk);
  const imaging::Colour blue = jc8.At(6, 2);
  EXPECT_GT(imaging::BlueOf(blue), imaging::RedOf(blue) + 100);  // still blue, not grey
  // RLE takes a palette of the picture's own colours.
  EXPECT_EQ(Info("RLE_12345.BMP").bits, 8);
  imaging::Image rle;
  ASSERT_EQ(imaging::ReadImageFile((Out() / "RLE_12345.BMP").string(), 1, rle), imaging::kPixoOk);
  EXPECT_EQ(rle.At(1, 1), ochre);
  // CMYK as every reader takes it: the colours, and the grey of GRAY-8.
  EXPECT_EQ(LibtiffPixel("CMYK_12345.TIF", 1, 1), ochre);
  EXPECT_EQ(LibtiffPixel("CMYK_12345.TIF", 5, 1), MakeColour(20, 90, 220));
  EXPECT_EQ(LibtiffPixel("CMYKG_12345.TIF", 1, 1), MakeColour(137, 137, 137));
  const std::string cmyk = Output("tiffinfo " + (Out() / "CMYK_12345.TIF").string() + " 2>&1");
  EXPECT_NE(cmyk.find("Photometric Interpretation: separated"), std::string::npos) << cmyk;
}

TEST_F(CommitRun, WorkersWriteTheBytesAndLinesOfOneWorker) {
  // Every row of the format table, two sheets each (two pages of one TIF,
  // two files of the others), in two profiles of at most nine types.
  const std::pair<const char*, const char*> rows[] = {
      {"TIF", ""},         {"TIF", "ENC-LZW"},  {"TIF", "ENC-LZW CMYK"}, {"TIF", "ENC-PB"},
      {"TIF", "ENC-CMP"},  {"TIF", "ENC-JBIG"}, {"TIF", "ENC-CIT"},      {"TIF", "ENC-G3"},
      {"TIF", "ENC-G32"},  {"TIF", "ENC-G4"},   {"JPG", "QUAL-50"},      {"JPG", "ENC-TYP1"},
      {"JPG", "ENC-TYP2"}, {"BMP", ""},         {"BMP", "ENC-RLE"},      {"PNG", ""},
  };
  NoisyBmp("a.bmp", 300, 200, 3);
  NoisyBmp("b.bmp", 120, 90, 4);
  Script("click DoOK\n");
  for (size_t first = 0; first < std::size(rows); first += 9) {
    std::string ini = "[General]\r\nDebugLevel=3\r\nDebugging=yes\r\n[Text]\r\nMessage_20=Saved {SIZE}\r\n";
    for (size_t r = first; r < std::min(first + 9, std::size(rows)); ++r) {
      ini += "[DEMO_" + std::to_string(r - first + 1) + "]\r\nPages=2\r\nType=T" + std::to_string(r) +
             "\r\nFormat=" + rows[r].first + "\r\nOptions=" + rows[r].second +
             "\r\nCheck=00000000000\r\nFile_1={APP.PATH}/a.bmp\r\nFile_2={APP.PATH}/b.bmp\r\n";
    }
    Ini(ini);
    struct Commit {
      int code;
      std::map<std::string, std::string> files;
      Lines saves, boxes;
    };
    auto commit = [&](const char* workers) {
      Env("ORN_WORKERS", workers);
      fs::remove_all(Out());
      fs::create_directories(Out());
      fs::remove(Bin() / "Quillet.log");
      fs::remove(Root() / "transcript.txt");
      Commit c;
      c.code = Run();
      for (const std::string& name : Saved()) c.files[name] = Bytes(name);
      for (const std::string& l : Log()) {
        if (l.find(" Save:") != std::string::npos) c.saves.push_back(l);
      }
      c.boxes = Boxes();
      return c;
    };
    const Commit one = commit("1");
    const Commit many = commit("4");
    SCOPED_TRACE(first);
    EXPECT_EQ(one.code, 1) << Diagnostics();
    EXPECT_EQ(many.code, one.code);
    EXPECT_EQ(one.saves.size(), 2 * (std::min(first + 9, std::size(rows)) - first));
    EXPECT_EQ(many.saves, one.saves);
    EXPECT_EQ(many.boxes, one.boxes);
    ASSERT_EQ(many.files.size(), one.files.size());
    for (const auto& [name, bytes] : one.files) {
      EXPECT_FALSE(bytes.empty()) << name;
      EXPECT_TRUE(many.files.count(name) && many.files.at(name) == bytes) << name;
    }
  }
}

// Two runs: the first saves the files, the second saves other sheets under
// the same names and fails.
class FailedSaveRun : public CommitRun {
 protected:
  void FirstRun() {
    SaveThreeSheets();
    tif = Bytes("ID_12345.TIF");
    ASSERT_FALSE(tif.empty());
    fs::remove(Root() / "transcript.txt");
  }
  std::string tif;
};

TEST_F(FailedSaveRun, FailedWriteLeavesThePreviousFileAsItWas) {
  FirstRun();
  NoisyBmp("a.bmp", 64, 48, 5);
  NoisyBmp("b.bmp", 64, 48, 6);
  Bmp("c.bmp", 20, 20, 0xC0);
  // The second save (page 2 of the TIF) stops half-way, as on a full disk.
  Env("ORN_PIXO_FAIL_SAVE", "2");
  EXPECT_EQ(Run(), 0) << Diagnostics();
  EXPECT_EQ(Bytes("ID_12345.TIF"), tif);
  EXPECT_EQ(Info("FORM_12345.JPG").width, 20);  // the other file is saved
  EXPECT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));  // no part left behind
  const Lines boxes = Boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].rfind("Quillet | 0 | Error Save:" + (Out() / "ID_12345.TIF").string() + ",-6", 0), 0u)
      << boxes[0];
}

TEST_F(FailedSaveRun, FileSizeLimitFailsTheSaveWithABox) {
  FirstRun();
  // Page 2 is far larger than the runs may write: the write of it fails,
  // as on a full disk, instead of killing the program.
  NoisyBmp("b.bmp", 400, 300, 7);
  FileSizeLimit(64 * 1024);
  EXPECT_EQ(Run(), 0) << Diagnostics();
  EXPECT_EQ(Bytes("ID_12345.TIF"), tif);
  EXPECT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));  // no part left behind
  const Lines boxes = Boxes();
  ASSERT_FALSE(boxes.empty());
  EXPECT_EQ(boxes[0].rfind("Quillet | 0 | Error Save:" + (Out() / "ID_12345.TIF").string() + ",-6,Size=" +
                               std::to_string(tif.size()),
                           0),
            0u)
      << boxes[0];
  EXPECT_TRUE(LoggedStartingWith("Ended RC=0:"));
  FileSizeLimit(0);
  EXPECT_EQ(Run(), 1) << Diagnostics();
  EXPECT_EQ(Info("ID_12345.TIF", 2).width, 400);
}

TEST_F(FailedSaveRun, ProcessKilledAtAnyPointOfTheSaveLeavesOldOrWholeNewFiles) {
  FirstRun();
  const std::string jpg = Bytes("FORM_12345.JPG");
  // The second run's sheets differ in size from the first's.
  Bmp("a.bmp", 50, 30);
  Bmp("b.bmp", 40, 24);
  Bmp("c.bmp", 36, 36, 0xC0);
  // Pages written: 1 and 2 of the TIF, then the JPG; each file is flushed,
  // renamed and its folder flushed.
  // Which files the killed run has replaced: the TIF from its folder flush
  // on (the kill at a rename comes before it), the JPG after its own.
  const struct {
    const char* point;
    bool newTif, newJpg;
  } points[] = {
      {"create:1", false, false}, {"write:1", false, false},  {"write:2", false, false},
      {"sync:1", false, false},   {"rename:1", false, false}, {"syncdir:1", true, false},
      {"create:2", true, false},  {"write:3", true, false},   {"sync:2", true, false},
      {"rename:2", true, false},  {"syncdir:2", true, true},
  };
  // The points count the durable steps in the order one worker takes them.
  Env("ORN_WORKERS", "1");
  for (const auto& p : points) {
    SCOPED_TRACE(p.point);
    Env("ORN_DURABLE_KILL", p.point);
    EXPECT_EQ(Run(), 128 + SIGKILL) << Diagnostics();
    // Under each name: the first run's file as it was, or the second's whole.
    if (p.newTif) {
      EXPECT_EQ(Info("ID_12345.TIF").pageCount, 2);
      EXPECT_EQ(Info("ID_12345.TIF").width, 50);
      EXPECT_EQ(Info("ID_12345.TIF", 2).width, 40);
    } else {
      EXPECT_EQ(Bytes("ID_12345.TIF"), tif);
    }
    if (p.newJpg) {
      EXPECT_EQ(Info("FORM_12345.JPG").width, 36);
    } else {
      EXPECT_EQ(Bytes("FORM_12345.JPG"), jpg);
    }
    // The next run removes what the killed one left aside and saves.
    Env("ORN_DURABLE_KILL", "");
    ASSERT_EQ(Run(), 1) << Diagnostics();
    EXPECT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));
    // Back to the first run's files for the next point.
    std::ofstream(Out() / "ID_12345.TIF", std::ios::binary) << tif;
    std::ofstream(Out() / "FORM_12345.JPG", std::ios::binary) << jpg;
  }
  // Workers write the two files at once, so which of them a kill finds
  // replaced depends on their pace; each name still holds its old file or
  // the whole new one.
  Env("ORN_WORKERS", "4");
  for (const auto& p : points) {
    SCOPED_TRACE(std::string("workers, ") + p.point);
    Env("ORN_DURABLE_KILL", p.point);
    EXPECT_EQ(Run(), 128 + SIGKILL) << Diagnostics();
    if (Bytes("ID_12345.TIF") != tif) {
      EXPECT_EQ(Info("ID_12345.TIF").pageCount, 2);
      EXPECT_EQ(Info("ID_12345.TIF").width, 50);
      EXPECT_EQ(Info("ID_12345.TIF", 2).width, 40);
    }
    if (Bytes("FORM_12345.JPG") != jpg) {
      EXPECT_EQ(Info("FORM_12345.JPG").width, 36);
    }
    Env("ORN_DURABLE_KILL", "");
    ASSERT_EQ(Run(), 1) << Diagnostics();
    EXPECT_EQ(Saved(), (Lines{"FORM_12345.JPG", "ID_12345.TIF"}));
    std::ofstream(Out() / "ID_12345.TIF", std::ios::binary) << tif;
    std::ofstream(Out() / "FORM_12345.JPG", std::ios::binary) << jpg;
  }
}

}  // namespace
