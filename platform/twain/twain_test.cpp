// The source manager against the scanner stack's test device, configured
// by a directory of the test's own (one device, a chosen test picture).

#include "platform/twain/twain.h"
#include "tests/support/sanitizers.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/uiscript/uiscript.h"

namespace twain {
namespace {

namespace fs = std::filesystem;

// ORN_SCANNER set to `scanner`, or unset for null.
void SetScanner(const char* scanner) {
  if (scanner) {
    setenv("ORN_SCANNER", scanner, 1);
  } else {
    unsetenv("ORN_SCANNER");
  }
}

// The scanner stack reads the name of its configuration folder once per
// process, so all tests share one folder and rewrite the device's file.
class TwainTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    orn_test::KeepSaneTestBackendMapped();
    std::string pattern = (fs::temp_directory_path() / "twain-test-XXXXXX").string();
    dir_ = mkdtemp(pattern.data());
    std::ofstream(dir_ / "dll.conf") << "test\n";
    setenv("SANE_CONFIG_DIR", dir_.c_str(), 1);
  }
  static void TearDownTestSuite() {
    Reset();
    fs::remove_all(dir_);
  }
  void SetUp() override {
    unsetenv("ORN_SCANNER");
    Device("");
  }
  void TearDown() override {
    Reset();
    unsetenv("ORN_SCANNER");
    uiscript::AnswerQueue::Instance().Clear();
  }
  // The test device's start values, plus `extra` lines.
  void Device(const std::string& extra) {
    Reset();
    std::ofstream(dir_ / "test.conf") << "number_of_devices 1\n"
                                         "mode Gray\ndepth 8\nresolution 50\n"
                                         "geometry_max 300.0\nbr_x 80.0\nbr_y 100.0\n"
                                         "test-picture \"Solid white\"\n"
                                      << extra;
  }

  static inline fs::path dir_;
};

TEST_F(TwainTest, SourcesFollowTheScannerVariable) {
  struct Case {
    const char* scanner;
    bool available;
  } cases[] = {{nullptr, true}, {"test:0", true}, {"none", false}, {"test:7", false}};
  for (const Case& c : cases) {
    Reset();
    SetScanner(c.scanner);
    SCOPED_TRACE(c.scanner ? c.scanner : "unset");
    EXPECT_EQ(Available(), c.available);
    EXPECT_EQ(CurrentSource(), c.available ? "test:0" : "");
    Raster r;
    if (!c.available) {
      EXPECT_EQ(Acquire(Request(), &r), kNoSource);
    }
  }
}

TEST_F(TwainTest, UsableIsDecidedWithoutTheDevicesAndTheListFollows) {
  struct Case {
    const char* scanner;
    bool usable, available;
  } cases[] = {{nullptr, true, true}, {"none", false, false}, {"test:7", true, false}, {"test:0", true, true}};
  for (const Case& c : cases) {
    Reset();
    SetScanner(c.scanner);
    SCOPED_TRACE(c.scanner ? c.scanner : "unset");
    EXPECT_EQ(Usable(), c.usable);
    // The list made in the background is the one every call sees.
    EXPECT_EQ(Sources(), c.available ? std::vector<std::string>{"test:0"} : std::vector<std::string>{});
    EXPECT_EQ(Available(), c.available);
    Raster r;
    EXPECT_EQ(Acquire(Request(), &r), c.available ? kOk : kNoSource);
  }
}

TEST(ScannerConfiguration, BackendIsNamedByDllConfOrAFileOfDllD) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;  // path in the folder, text
    bool configured;
  } cases[] = {
      {"empty dll.conf", {{"a/dll.conf", ""}}, false},
      {"comments and blanks", {{"a/dll.conf", "# net\n\n   \t\n  # epson2\n"}}, false},
      {"a backend after blanks, a comment after it", {{"a/dll.conf", "\n  net   # the network\n"}}, true},
      {"dll.d alone", {{"a/dll.d/extra", "epson2\n"}}, true},
      {"hidden and backup files of dll.d", {{"a/dll.conf", "#\n"}, {"a/dll.d/.net", "net\n"}, {"a/dll.d/net~", "net\n"}}, false},
      {"the first folder without a dll.conf", {{"b/dll.conf", "test\n"}}, true},
      {"the first dll.conf counts", {{"a/dll.conf", ""}, {"b/dll.conf", "test\n"}}, false},
      {"no files", {}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string pattern = (fs::temp_directory_path() / "sane-conf-XXXXXX").string();
    const fs::path root = mkdtemp(pattern.data());
    fs::create_directories(root / "a");
    fs::create_directories(root / "b");
    for (const auto& [path, text] : c.files) {
      fs::create_directories((root / path).parent_path());
      std::ofstream(root / path) << text;
    }
    const std::string dirs = (root / "a").string() + ":" + (root / "b").string();
    EXPECT_EQ(BackendConfigured(dirs.c_str()), c.configured);
    fs::remove_all(root);
  }
}

TEST_F(TwainTest, OpenSourceReportsItsCapabilities) {
  EXPECT_FALSE(Current().has_value());
  ASSERT_EQ(Open(), kOk);
  std::optional<Capabilities> c = Current();
  ASSERT_TRUE(c.has_value());
  EXPECT_EQ(c->pixelType, kGray);
  EXPECT_EQ(c->bits, 8);
  EXPECT_DOUBLE_EQ(c->resolution, 50);
  EXPECT_NEAR(c->frameWidth, 80 * 56.7, 1);  // 8 cm in twips
  EXPECT_NEAR(c->frameHeight, 100 * 56.7, 1);
  EXPECT_DOUBLE_EQ(c->frameLeft, 0);
  Close();
  EXPECT_FALSE(IsOpen());
}

TEST_F(TwainTest, AcquiredImageHasTheAskedModeSizeAndResolution) {
  struct Case {
    int32_t pixelType;
    double dpi, widthCm, heightCm;
    int32_t channels;
    bool bilevel;
  } cases[] = {
      {kRgb, 100, 5, 4, 3, false},
      {kGray, 150, 2.5, 5.1, 1, false},
      {kBlackWhite, 200, 3, 2, 1, true},
      {kPalette, 72, 21, 29.7, 3, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.pixelType);
    Request q;
    q.pixelType = c.pixelType;
    q.resolution = c.dpi;
    q.frameWidth = c.widthCm * 567;
    q.frameHeight = c.heightCm * 567;
    Raster r;
    ASSERT_EQ(Acquire(q, &r), kOk);
    EXPECT_NEAR(r.width, c.widthCm / 2.54 * c.dpi, 1.5);
    EXPECT_NEAR(r.height, c.heightCm / 2.54 * c.dpi, 1.5);
    EXPECT_EQ(r.channels, c.channels);
    EXPECT_EQ(r.bilevel, c.bilevel);
    EXPECT_DOUBLE_EQ(r.dpi, c.dpi);
    ASSERT_EQ(r.data.size(), static_cast<size_t>(r.width) * r.height * r.channels);
    // The white test picture in every mode, bits of black and white included.
    EXPECT_EQ(r.data.front(), 255);
    EXPECT_EQ(r.data.back(), 255);
  }
}

TEST_F(TwainTest, UnsetRequestKeepsTheSourcesOwnSettings) {
  Raster r;
  ASSERT_EQ(Acquire(Request(), &r), kOk);
  EXPECT_EQ(r.channels, 1);
  EXPECT_FALSE(r.bilevel);
  EXPECT_NEAR(r.width, 80 / 25.4 * 50, 1.5);
  EXPECT_NEAR(r.height, 100 / 25.4 * 50, 1.5);
}

TEST_F(TwainTest, FrameNotAskedForIsTheDevicesOwnAlsoAfterAnEarlierScan) {
  ASSERT_EQ(Open(), kOk);  // one session for both scans
  Request narrow;
  narrow.frameWidth = 5 * 567.0;
  narrow.frameHeight = 4 * 567.0;
  Raster r;
  ASSERT_EQ(Acquire(narrow, &r), kOk);
  EXPECT_NEAR(r.width, 50 / 25.4 * 50, 1.5);
  ASSERT_TRUE(IsOpen());
  ASSERT_EQ(Acquire(Request(), &r), kOk);
  EXPECT_NEAR(r.width, 80 / 25.4 * 50, 1.5);
  EXPECT_NEAR(r.height, 100 / 25.4 * 50, 1.5);
}

TEST(ScanModes, KindIsReadFromTheModesName) {
  const std::pair<const char*, ModeKind> cases[] = {
      {"Color", ModeKind::Colour},      {"24bit Color", ModeKind::Colour},  {"Colour", ModeKind::Colour},
      {"RGB", ModeKind::Colour},        {"Gray", ModeKind::Grey},           {"True Gray", ModeKind::Grey},
      {"8bit grey", ModeKind::Grey},    {"Lineart", ModeKind::LineArt},     {"Binary", ModeKind::LineArt},
      {"Halftone", ModeKind::LineArt},  {"Black & White", ModeKind::LineArt}, {"Infrared", ModeKind::Other},
  };
  for (const auto& [mode, kind] : cases) EXPECT_EQ(KindOfMode(mode), kind) << mode;
  const std::vector<std::string> odd = {"True Gray", "Binary", "24bit Color"};
  EXPECT_EQ(ChooseMode(odd, ModeKind::Colour), "24bit Color");
  EXPECT_EQ(ChooseMode(odd, ModeKind::Grey), "True Gray");
  EXPECT_EQ(ChooseMode(odd, ModeKind::LineArt), "Binary");
  EXPECT_EQ(ChooseMode({"Gray", "Lineart"}, ModeKind::Colour), std::nullopt);
}

TEST_F(TwainTest, ThreePassColourFramesMakeOneImage) {
  Device("three-pass true\ntest-picture \"Color pattern\"\n");
  Request q;
  q.pixelType = kRgb;
  Raster r;
  ASSERT_EQ(Acquire(q, &r), kOk);
  EXPECT_EQ(r.channels, 3);
  ASSERT_EQ(r.data.size(), static_cast<size_t>(r.width) * r.height * 3);
  // The pattern holds coloured pixels, so the three planes landed apart.
  bool coloured = false;
  for (size_t i = 0; i + 2 < r.data.size() && !coloured; i += 3) {
    coloured = r.data[i] != r.data[i + 1] || r.data[i + 1] != r.data[i + 2];
  }
  EXPECT_TRUE(coloured);
}

TEST_F(TwainTest, ImageOfUnknownHeightIsReadToItsEnd) {
  // A hand-held device announces no height and a fixed width of 11 cm.
  Device("hand-scanner true\n");
  Raster r;
  ASSERT_EQ(Acquire(Request(), &r), kOk);
  EXPECT_NEAR(r.width, 110 / 25.4 * 50, 1.5);
  EXPECT_GT(r.height, 0);
  EXPECT_EQ(r.data.size(), static_cast<size_t>(r.width) * r.height);
}

TEST_F(TwainTest, DeviceFailureIsReportedAndLeavesNoImage) {
  struct Case {
    const char* status;
    int16_t result;
  } cases[] = {{"SANE_STATUS_JAMMED", kFailed}, {"SANE_STATUS_IO_ERROR", kFailed},
               {"SANE_STATUS_CANCELLED", kCancelled}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.status);
    Device(std::string("select-fd true\nread-status-code \"") + c.status + "\"\n");
    Raster r;
    EXPECT_EQ(Acquire(Request(), &r), c.result);
    EXPECT_TRUE(r.data.empty());
    EXPECT_EQ(r.width, 0);
  }
}

TEST_F(TwainTest, SourceDialogTakesTheQueuedAnswer) {
  uiscript::AnswerQueue::Instance().Push(uiscript::kCancel);
  EXPECT_EQ(SelectSource(), kCancelled);
  EXPECT_EQ(SelectSource(), kOk);  // nothing queued: the dialog's default
  EXPECT_EQ(CurrentSource(), "test:0");
  uiscript::AnswerQueue::Instance().Push(uiscript::kYes);
  EXPECT_THROW(SelectSource(), uiscript::ScriptError);
  setenv("ORN_SCANNER", "none", 1);
  Reset();
  EXPECT_EQ(SelectSource(), kNoSource);
}

TEST_F(TwainTest, WithoutAQueuedAnswerTheScreensChooserPicks) {
  Device("number_of_devices 2\n");
  std::vector<std::string> offered;
  size_t marked = 99;
  std::optional<size_t> pick = 1;
  SetSourceChooser([&](const std::vector<std::string>& sources, size_t current) {
    offered = sources;
    marked = current;
    return pick;
  });
  EXPECT_EQ(SelectSource(), kOk);
  EXPECT_EQ(offered, (std::vector<std::string>{"test:0", "test:1"}));
  EXPECT_EQ(marked, 0u);  // the selected source is marked
  EXPECT_EQ(CurrentSource(), "test:1");
  pick = std::nullopt;  // cancelled: the selection stays
  EXPECT_EQ(SelectSource(), kCancelled);
  EXPECT_EQ(marked, 1u);
  EXPECT_EQ(CurrentSource(), "test:1");
  pick = 5;  // not one of the sources
  EXPECT_EQ(SelectSource(), kCancelled);
  // A queued answer still comes first.
  uiscript::AnswerQueue::Instance().Push(uiscript::kOk);
  pick = 0;
  offered.clear();
  EXPECT_EQ(SelectSource(), kOk);
  EXPECT_TRUE(offered.empty());
  SetSourceChooser({});
}

}  // namespace
}  // namespace twain
