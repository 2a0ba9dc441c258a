// Whole-program tests of sheet selection, scanning and file drop import:
// Quillet runs from its command line with the scanner stack's test device
// (configured by the test's own folder), the operator script presses sheet
// buttons, the scan and info buttons and drops files, and the test reads the
// dumps, the message-box transcript and the exit code.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <map>
#include <string>

#include "tests/quillet/quillet_run.h"

namespace {

using namespace quillet_test;

// The grey of the files the tests drop.
constexpr uint8_t kDropGrey = 0x90;

// Two document types: a card of two sheets that takes dropped BMP files of
// at least 100 x 60 pixels, and a letter that takes no drops, scans grey
// stored as black and white, and whose resolution list is no number.
const std::string kIni =
    "[General]\r\nDebugLevel=1\r\nForceSequence=no\r\nTwainClose=yes\r\n"
    "[Layout]\r\nTools=CHEK/SCAN/INFO/SETU/ZFAC/MOVE/\r\n"
    "[Text]\r\nLabel_01=Colour\r\nLabel_02=Resolution\r\nLabel_09=Scan\r\nMessage_08=Too small\r\n"
    "[DEMO_1]\r\nPages=2\r\nName=Card\r\nColors=GRAY8/COL24/\r\nResolutions=50/100/\r\n"
    "Width=8\r\nHeight=5\r\nBrightness=3/0/\r\nOleDrop=BMP/TIF/\r\n"
    "Size=0000.0000.0100.0060.9999.9999\r\nTools=CHEK/SCAN/INFO/SETU/ZFAC/MOVE/\r\n"
    "[DEMO_2]\r\nPages=1\r\nName=Letter\r\nColors=G2/B&W/\r\nResolutions=abc/\r\nTools=CHEK/SCAN/\r\n";

class ScanRun : public QuilletRun {
 protected:
  ScanRun() : QuilletRun("scan") {}
  void SetUp() override {
    QuilletRun::SetUp();
    fs::create_directories(Root() / "sane");
    Ini(kIni);
    std::ofstream(Root() / "sane" / "dll.conf") << "test\n";
    Device("");
    Env("ORN_PIXO_JOURNAL", (Root() / "journal.txt").string());
    Env("SANE_CONFIG_DIR", (Root() / "sane").string());
    Env("LD_LIBRARY_PATH", ORN_FAKE_SANE_DIR);
  }

  // The test device: white paper, 50 dpi to start, plus `extra` lines.
  void Device(const std::string& extra) const {
    std::ofstream(Root() / "sane" / "test.conf") << "number_of_devices 1\nmode Gray\ndepth 8\nresolution 50\n"
                                                    "geometry_max 300.0\ntest-picture \"Solid white\"\n"
                                                 << extra;
  }
  // A dump the script must have written.
  std::map<std::string, std::string> Dump(const std::string& name) const {
    auto m = QuilletRun::Dump(name);
    EXPECT_FALSE(m.empty()) << "no dump " << name << ": " << Stderr();
    return m;
  }
  // The scanner stack offers the devices of the fake backend (fake_scanner.cpp)
  // with `config` as its ornfake.conf.
  void FakeScanner(const std::string& config) const {
    std::ofstream(Root() / "sane" / "dll.conf") << "ornfake\n";
    std::ofstream(Root() / "sane" / "ornfake.conf") << config;
  }
  // The source dialog's transcript lines.
  Lines Dialogs() const {
    Lines dialogs;
    for (const std::string& l : Transcript()) {
      if (l.rfind("dialog | ", 0) == 0) dialogs.push_back(l);
    }
    return dialogs;
  }
  // The imaging controls' calls of one member ("put 248", "call 467").
  Lines Journal(const std::string& what) const {
    Lines out;
    for (const std::string& l : ReadLines(Root() / "journal.txt")) {
      const size_t at = l.find(" " + what + " ");
      if (at != std::string::npos) out.push_back(l.substr(at + 1));
    }
    return out;
  }
};

// The run ends with the session's close of the window: exit code -9.
constexpr int kClosed = 256 - 9;

TEST_F(ScanRun, SheetButtonScansTheSheet) {
  Script("click Page(1)\ndump scanned.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  auto d = Dump("scanned.txt");
  // The scan options of the type, the first item of each list shown.
  EXPECT_EQ(d["Quillet1.Twain(0).Text"], "\"GRAY8\"");
  EXPECT_EQ(d["Quillet1.Twain(0).List(1)"], "\"COL24\"");
  EXPECT_EQ(d["Quillet1.Twain(1).Text"], "\"50\"");
  EXPECT_EQ(d["Quillet1.Twain(4).ListCount"], "2");
  EXPECT_EQ(d["Quillet1.Twain(5).Text"], "\"0\"");  // the fallback
  EXPECT_EQ(d["Quillet1.DoAqu.Caption"], "\"Scan\\rCard 2\"");
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"1\"");
  // 8 x 5 cm at 50 dpi in 8-bit grey, in the untouched scan, the base and
  // the thumbnail of sheet 1 only.
  EXPECT_EQ(d["Quillet1.Thsav(1).Image"], "157x98x8 grey");
  EXPECT_EQ(d["Quillet1.Thbas(1).Image"], "157x98x8 grey");
  EXPECT_EQ(d["Quillet1.Thumb(1).Image"], "157x98x8 grey");
  EXPECT_EQ(d["Quillet1.Thsav(1).Resolution"], "50x50");
  EXPECT_EQ(d["Quillet1.Thsav(1).Left"], "1");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "none");
  EXPECT_EQ(d["Quillet1.Thsav(0).Left"], "0");
  // The automatic check passed: the sheet and the scan button are green.
  EXPECT_EQ(d["Quillet1.Page(1).BackColor"], "&H00FF00");
  EXPECT_EQ(d["Quillet1.DoAqu.BackColor"], "&H00FF00");
  EXPECT_EQ(d["Quillet1.DoOK.BackColor"], "&H0000FF");  // sheets 0 and 2 are not checked
  EXPECT_TRUE(MessageBoxes().empty()) << MessageBoxes()[0];
  // The settings put before the acquire: grey 8 bits, 50 dpi, 8 x 5 cm,
  // brightness 3 and the source's own contrast.
  EXPECT_EQ(Journal("put 81"), (Lines{"put 81 TwainPixelType 0&", "put 81 TwainPixelType 1&"}));
  EXPECT_EQ(Journal("put 87"), (Lines{"put 87 TwainBits 1%", "put 87 TwainBits 8%"}));
  EXPECT_EQ(Journal("put 82"), Lines{"put 82 TwainResolution 50#"});
  EXPECT_EQ(Journal("put 85"), (Lines{"put 85 TwainFrameWidth -1&", "put 85 TwainFrameWidth 4536#"}));
  EXPECT_EQ(Journal("put 248"), Lines{"put 248 TwainBrightness 300#"});
  EXPECT_EQ(Journal("put 249"), Lines{"put 249 TwainContrast 2000&"});
  EXPECT_EQ(Journal("call 308").size(), 1u);
  EXPECT_EQ(Journal("call 467").size(), 1u);  // TwainClose ends the session
}

TEST_F(ScanRun, GreyTwoBecomesBlackAndWhiteAtTheFallbackResolution) {
  Script("click Page(2)\ndump letter.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  auto d = Dump("letter.txt");
  EXPECT_EQ(d["Quillet1.Twain(0).Text"], "\"G2\"");
  EXPECT_EQ(d["Quillet1.Twain(1).Text"], "\" 150\"");
  // 20.9 x 29.7 cm at 150 dpi, scanned in 8-bit grey, kept as 1 bit.
  EXPECT_EQ(d["Quillet1.Thsav(2).Image"], "1234x1753x1 grey");
  EXPECT_EQ(d["Quillet1.Thsav(2).Resolution"], "150x150");
  EXPECT_EQ(Journal("put 82"), Lines{"put 82 TwainResolution 150#"});
  EXPECT_EQ(Journal("put 87").back(), "put 87 TwainBits 8%");
}

TEST_F(ScanRun, ScanButtonUsesTheChosenOptions) {
  // Colour at 100 dpi, chosen after the sheet button's scan.
  Script("click Page(0)\nclick DoSetup\ntype Twain(0) C8\ndump typed.txt\n"
         "pick Twain(0) COL24\npick Twain(1) 100\nclick DoAqu\ndump rescanned.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  EXPECT_EQ(Dump("typed.txt")["Quillet1.Twain(0).Text"], "\"GRAY8\"");  // typed text does not stand
  auto d = Dump("rescanned.txt");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "314x196x24");
  EXPECT_EQ(d["Quillet1.Thsav(0).Resolution"], "100x100");
}

TEST_F(ScanRun, ScanOffTheTypesProportionsLaysACropRectangle) {
  // A square card with the crop tool: the 8 x 5 cm scan fails the aspect
  // check, and the crop tool lays a square crop rectangle at once.
  std::string ini = kIni;
  ini.replace(ini.find("Size=0000.0000.0100.0060"), 24, "Size=0001.0001.0010.0010");
  ini.replace(ini.find("Tools=CHEK/SCAN/INFO/SETU/ZFAC/MOVE/\r\n[DEMO_2]"), 36, "Tools=CHEK/SCAN/CROP/");
  Ini(ini);
  Script("click Page(0)\ndump cropped.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  auto d = Dump("cropped.txt");
  EXPECT_EQ(d["Quillet1.Tool(3).Visible"], "True");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "157x98x8 grey");
  const std::string tag = d["Quillet1.Thsav(0).Tag"];
  ASSERT_EQ(tag.size(), 21u) << tag;  // 19 characters in quotes
  EXPECT_EQ(tag.substr(11, 4), tag.substr(16, 4)) << tag;  // as wide as high
  EXPECT_NE(d["Quillet1.L1.Region"], "none");
}

TEST_F(ScanRun, ShiftAndCtrlSelectWithoutScanning) {
  Script("mouseup Page(2) 1 3 0 0\ndump selected.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  auto d = Dump("selected.txt");
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"2\"");
  EXPECT_EQ(d["Quillet1.Twain(0).Text"], "\"G2\"");
  EXPECT_EQ(d["Quillet1.Twain(1).Text"], "\"abc\"");
  EXPECT_EQ(d["Quillet1.Twain(2).Text"], "\"20.9\"");
  EXPECT_EQ(d["Quillet1.Thsav(2).Image"], "none");
  EXPECT_EQ(d["Quillet1.L1.Image"], "none");
}

TEST_F(ScanRun, WithoutScannerSheetButtonOnlyLaysOutTheRow) {
  Env("ORN_SCANNER", "none");
  Script("click Page(1)\ndump noscan.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  auto d = Dump("noscan.txt");
  EXPECT_EQ(d["Quillet1.DoAqu.Visible"], "False");
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"0\"");
  EXPECT_EQ(d["Quillet1.Twain(0).ListCount"], "0");
  EXPECT_EQ(d["Quillet1.Thsav(1).Image"], "none");
  EXPECT_EQ(d["Quillet1.DoCheck.Visible"], "True");  // the card's row
}

TEST_F(ScanRun, FailedAcquireShowsTheErrorAndKeepsTheSheet) {
  // Sheet 0 takes a dropped file and is shown; the scan of sheet 1 jams.
  std::string ini = kIni;
  ini.replace(ini.find("Tools=CHEK/SCAN/INFO/SETU/ZFAC/MOVE/\r\n[DEMO_2]"), 36,
              "Tools=CHEK/SCAN/INFO/SETU/ZFAC/MOVE/ZOOM/ROTL/");
  Ini(ini);
  Device("select-fd true\nread-status-code \"SANE_STATUS_JAMMED\"\n");
  WriteBmp(Root() / "card.bmp", 200, 120, kDropGrey);
  Script("drop Thumb(0) " + (Root() / "card.bmp").string() + "\nclick Page(1)\ndump failed.txt\n" +
         "click Tool(6)\ndump edited.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0], "msgbox | Quillet | 0 | TWAIN Error:-10 | ok (default)");
  auto d = Dump("failed.txt");
  EXPECT_EQ(d["Quillet1.Thsav(1).Image"], "none");
  EXPECT_EQ(d["Quillet1.Thsav(1).Left"], "0");
  EXPECT_EQ(d["Quillet1.Page(1).BackColor"], "&H0000FF");
  EXPECT_EQ(d["Quillet1.DoAqu.Enabled"], "True");  // the controls are enabled again
  EXPECT_EQ(Journal("call 467").size(), 1u);        // the session is ended all the same
  // The view shows sheet 1 as its Tag says, without an image yet, and takes the mouse.
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"1\"");
  EXPECT_EQ(d["Quillet1.L1.Image"], "none");
  EXPECT_EQ(d["Quillet1.L1.ViewEnabled"], "True");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "200x120x8 grey");
  // A turn of the shown sheet changes nothing: sheet 1 does not take sheet 0's image.
  auto e = Dump("edited.txt");
  EXPECT_EQ(e["Quillet1.Thumb(1).Image"], "none");
  EXPECT_EQ(e["Quillet1.Thsav(1).Left"], "0");
  EXPECT_EQ(e["Quillet1.Thumb(0).Image"], "200x120x8 grey");
  EXPECT_EQ(e["Quillet1.Page(1).BackColor"], "&H0000FF");
}

TEST_F(ScanRun, UnreadableDroppedFileIsReportedAndChangesNothing) {
  WriteBmp(Root() / "card.bmp", 200, 120, kDropGrey);
  std::ofstream(Root() / "notes.bmp") << "not a picture\n";
  // The head of a good file without its pixels.
  const std::string whole = ReadText(Root() / "card.bmp");
  std::ofstream(Root() / "cut.bmp", std::ios::binary) << whole.substr(0, 200);
  const std::string notes = (Root() / "notes.bmp").string(), cut = (Root() / "cut.bmp").string();
  Script("drop Thumb(0) " + (Root() / "card.bmp").string() + "\ndrop Thumb(1) " + notes +
         "\ndump notes.txt\ndrop Page(1) " + cut + "\ndump cut.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  Lines boxes = MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0], "msgbox | Fehler ! | 0 | Error Load:" + notes + ",-4 | ok (default)");
  EXPECT_EQ(boxes[1], "msgbox | Fehler ! | 0 | Error Load:" + cut + ",-5 | ok (default)");
  EXPECT_TRUE(Logged("Error Load:" + notes + ",-4"));
  for (const char* name : {"notes.txt", "cut.txt"}) {
    SCOPED_TRACE(name);
    auto d = Dump(name);
    EXPECT_EQ(d["Quillet1.Thsav(1).Image"], "none");
    EXPECT_EQ(d["Quillet1.Thumb(1).Image"], "none");
    EXPECT_EQ(d["Quillet1.Thsav(1).Left"], "0");
    EXPECT_NE(d["Quillet1.Page(1).BackColor"], "&H00FF00");
    EXPECT_EQ(d["Quillet1.Page(0).BackColor"], "&H00FF00");  // the good drop before
  }
  // The unreadable file stopped before anything changed; the damaged one
  // after its sheet was chosen, which the view then shows.
  EXPECT_EQ(Dump("notes.txt")["Quillet1.L1.Tag"], "\"0\"");
  EXPECT_EQ(Dump("notes.txt")["Quillet1.L1.Image"], "200x120x8 grey");
  EXPECT_EQ(Dump("cut.txt")["Quillet1.L1.Tag"], "\"1\"");
  EXPECT_EQ(Dump("cut.txt")["Quillet1.L1.Image"], "none");
}

TEST_F(ScanRun, DroppedPipeIsRefusedAsAFileThatCannotBeOpened) {
  // A pipe named as a picture would hold the program in its open for ever.
  const std::string pipe = (Root() / "pipe.bmp").string();
  ASSERT_EQ(mkfifo(pipe.c_str(), 0600), 0);
  Script("drop Thumb(0) " + pipe + "\ndump pipe.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  const Lines boxes = MessageBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], "msgbox | Fehler ! | 0 | Error Load:" + pipe + ",-3 | ok (default)");
  EXPECT_EQ(Dump("pipe.txt")["Quillet1.Thumb(0).Image"], "none");
}

TEST_F(ScanRun, NetworkAndUnlistedDevicesAreOffered) {
  FakeScanner("device desk local\ndevice lan remote\ndevice hidden hidden\n");
  Script("click DoSelect\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  EXPECT_EQ(Dialogs(), Lines{"dialog | Select Source | ornfake:desk;ornfake:lan | ornfake:desk"});

  // A device the stack does not list opens by its name.
  fs::remove(Root() / "transcript.txt");
  Env("ORN_SCANNER", "ornfake:hidden");
  Script("click DoSelect\nclick Page(0)\ndump hidden.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  EXPECT_EQ(Dialogs(), Lines{"dialog | Select Source | ornfake:hidden | ornfake:hidden"});
  auto d = Dump("hidden.txt");
  EXPECT_EQ(d["Quillet1.DoAqu.Visible"], "True");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "157x98x8 grey");
}

TEST_F(ScanRun, StartUpDoesNotWaitForTheDeviceList) {
  // The device list comes only once the script's first step has run.
  FakeScanner("device desk local\nlist-after " + (Root() / "first.txt").string() + "\n");
  Script("dump first.txt\nclick DoSelect\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  EXPECT_EQ(Dump("first.txt")["Quillet1.DoAqu.Visible"], "True");
  EXPECT_EQ(Dialogs(), Lines{"dialog | Select Source | ornfake:desk | ornfake:desk"});
}

TEST_F(ScanRun, BackendWithoutDevicesOffersScanningAndTheScanFindsNoSource) {
  FakeScanner("");
  Script("dump start.txt\nclick Page(0)\ndump scanned.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  EXPECT_EQ(Dump("start.txt")["Quillet1.DoAqu.Visible"], "True");
  EXPECT_EQ(MessageBoxes(), Lines{"msgbox | Quillet | 0 | TWAIN Error:-9 | ok (default)"});
  EXPECT_EQ(Dump("scanned.txt")["Quillet1.Thsav(0).Image"], "none");
}

TEST_F(ScanRun, ModesAreChosenByKindFromTheDevicesOwnNames) {
  // A grey scan, then the same sheet in colour.
  struct Case {
    const char* modes;
    const char* colourScan;  // the sheet after the colour scan
    const char* box;         // "" none
  } cases[] = {
      {"True Gray;Binary;24bit Color", "157x98x24", ""},
      // No colour mode: reported, and the grey scan before stays.
      {"True Gray;Binary", "157x98x8 grey", "msgbox | Quillet | 0 | TWAIN Error:-12 | ok (default)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.modes);
    fs::remove(Root() / "transcript.txt");
    FakeScanner(std::string("device desk local\nmodes ") + c.modes + "\n");
    Script("click Page(0)\ndump grey.txt\nclick DoSetup\npick Twain(0) COL24\nclick DoAqu\ndump colour.txt\n");
    EXPECT_EQ(RunDemo(), kClosed) << Stderr();
    EXPECT_EQ(Dump("grey.txt")["Quillet1.Thsav(0).Image"], "157x98x8 grey");
    EXPECT_EQ(Dump("colour.txt")["Quillet1.Thsav(0).Image"], c.colourScan);
    EXPECT_EQ(MessageBoxes(), *c.box ? Lines{c.box} : Lines{});
  }
}

TEST_F(ScanRun, FrameLeftToTheSourceIsItsOwnInAKeptSession) {
  // The session stays open; the letter's frame of 1 x 1 cm means the source's own.
  std::string ini = kIni;
  ini.replace(ini.find("TwainClose=yes"), 14, "TwainClose=no");
  ini.replace(ini.find("Tools=CHEK/SCAN/\r\n"), 18, "Width=1/\r\nHeight=1/\r\nTools=CHEK/SCAN/\r\n");
  Ini(ini);
  Device("br_x 100.0\nbr_y 100.0\n");
  Script("click Page(0)\nclick Page(2)\ndump letter.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  auto d = Dump("letter.txt");
  EXPECT_EQ(d["Quillet1.Thsav(0).Image"], "157x98x8 grey");  // 8 x 5 cm
  EXPECT_EQ(d["Quillet1.Thsav(2).Image"], "590x590x1 grey");  // 10 x 10 cm at 150 dpi
  EXPECT_TRUE(Journal("call 467").empty());
}

TEST_F(ScanRun, InfoButtonReportsTheSourceSettings) {
  Script("click DoInfo\nclick Page(0)\nclick DoInfo\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  Lines boxes = MessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  // Before any scan the source's own values; after it the values put.
  EXPECT_EQ(boxes[0].rfind("msgbox | Quillet | 0 | TWAIN settings:test:0\\r\\n=====================\\r\\n"
                           "Flags:\t\t\\r\\n",
                           0),
            0u)
      << boxes[0];
  EXPECT_NE(boxes[0].find("\\r\\nColorMode:\tGray\\r\\nBits/Pixel:  \t8\\r\\nResolution:  \t50 dpi\\r\\n"),
            std::string::npos)
      << boxes[0];
  EXPECT_NE(boxes[1].find("Flags:\t\tShowStatus;CacheSource;\\r\\nAppl.Name  :\tQuillet\\r\\n"
                          "Top/Left:    \t-1/-1\\r\\nHeight/Width:\t2835/4536\\r\\n"),
            std::string::npos)
      << boxes[1];
  EXPECT_NE(boxes[1].find("Intensity:   \t300\\r\\nEnableFeeder:\t2\\r\\n"), std::string::npos) << boxes[1];
}

TEST_F(ScanRun, SourceDialogSelectsTheTestDevice) {
  Script("answer cancel\nclick DoSelect\nclick DoSelect\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  Lines dialogs;
  for (const std::string& l : Transcript()) {
    if (l.rfind("dialog | ", 0) == 0) dialogs.push_back(l);
  }
  EXPECT_EQ(dialogs, (Lines{"dialog | Select Source | test:0 | cancel", "dialog | Select Source | test:0 | test:0"}));
}

TEST_F(ScanRun, DroppedFileBecomesTheSheetsImage) {
  WriteBmp(Root() / "card.bmp", 200, 120, kDropGrey);
  Script("drop Thumb(1) " + (Root() / "card.bmp").string() + "\ndump dropped.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  auto d = Dump("dropped.txt");
  // Converted to the type's first colour mode, 8-bit grey.
  EXPECT_EQ(d["Quillet1.Thsav(1).Image"], "200x120x8 grey");
  EXPECT_EQ(d["Quillet1.Thbas(1).Image"], "200x120x8 grey");
  EXPECT_EQ(d["Quillet1.Thumb(1).Image"], "200x120x8 grey");
  EXPECT_EQ(d["Quillet1.Thsav(1).Left"], "1");
  EXPECT_EQ(d["Quillet1.L1.Tag"], "\"1\"");
  EXPECT_EQ(d["Quillet1.Twain(0).Text"], "\"GRAY8\"");
  EXPECT_EQ(d["Quillet1.Page(1).BackColor"], "&H00FF00");
  EXPECT_TRUE(MessageBoxes().empty());
}

TEST_F(ScanRun, DropOnSheetButtonChecksFilesAndSize) {
  WriteBmp(Root() / "small.bmp", 64, 48, kDropGrey);
  WriteBmp(Root() / "big.bmp", 100, 80, kDropGrey);
  WriteBmp(Root() / "two.bmp", 100, 80, kDropGrey);
  const std::string small = (Root() / "small.bmp").string(), big = (Root() / "big.bmp").string();
  Script("drop Page(0) " + big + " " + (Root() / "two.bmp").string() + "\n" +  // two files: refused
         "drop Page(2) " + big + "\n" +                                        // the letter takes no drops
         "drop Page(0) " + small + "\ndump refused.txt\n" +                    // below the minimum
         "drop Page(0) " + big + "\ndump taken.txt\n");
  EXPECT_EQ(RunDemo(), kClosed) << Stderr();
  Lines drops;
  for (const std::string& l : Transcript()) {
    if (l.rfind("drop | ", 0) == 0) drops.push_back(l.substr(l.rfind(" | ") + 3));
  }
  EXPECT_EQ(drops, (Lines{"effect 0", "effect 0", "effect 7", "effect 7"}));
  ASSERT_EQ(MessageBoxes().size(), 1u);
  EXPECT_EQ(MessageBoxes()[0], "msgbox | Fehler ! | 0 | Too small\\r\\n0064x0048 < 0100.0060 | ok (default)");
  auto refused = Dump("refused.txt");
  EXPECT_EQ(refused["Quillet1.Thsav(0).Image"], "none");
  EXPECT_EQ(refused["Quillet1.Twain(0).ListCount"], "0");  // nothing else changed
  auto taken = Dump("taken.txt");
  EXPECT_EQ(taken["Quillet1.Thsav(0).Image"], "100x80x8 grey");
  EXPECT_EQ(taken["Quillet1.Thsav(0).Left"], "1");
}

}  // namespace
