// The output format table and the sheet preparation in the save buffer.

#include "scanclient/process/prepare.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/imaging/image_file.h"
#include "platform/imaging/pixo_control.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "scanclient/process/commit_test_window.h"
#include "tests/support/scratch_dir.h"

namespace quillet {
namespace {

using imaging::Pixo;

struct FormatCase {
  const char* format;
  const char* options;
  bool bitonal;
  SaveParams expected;  // format, bits, quality, multiPage
};

TEST(SaveFormatFor, FormatTableAndOptionWords) {
  const FormatCase cases[] = {
      {"TIF", "", false, {3, 24, 75, 1}},
      {"TIF", "", true, {3, 1, 75, 1}},
      {"TIF", "ENC-G4", false, {29, 1, 75, 1}},
      {"TIF", "ENC-LZW CMYK", false, {86, 24, 75, 1}},
      {"TIF", "ENC-LZW", true, {17, 24, 75, 1}},  // an encoding word sets 24 again
      {"TIF", "ENC-LZW ENC-G4", false, {29, 1, 75, 1}},
      {"TIF", "ENC-G32", false, {28, 1, 75, 1}},  // also matches ENC-G3, the later row wins
      {"TIF", "ENC-PB", false, {87, 24, 75, 1}},
      {"TIF", "ENC-CMP", false, {5, 24, 75, 1}},
      {"TIF", "ENC-JBIG", false, {115, 24, 75, 1}},
      {"TIF", "ENC-CIT", false, {25, 1, 75, 1}},
      {"JPG", "QUAL-4B", false, {10, 24, 75, 0}},
      {"JPG", "ENC-TYP1 QUAL-0A", false, {21, 24, 10, 0}},
      {"JPG", "ENC-TYP2", true, {23, 24, 75, 0}},
      {"BMP", "", true, {6, 24, 75, 0}},
      {"BMP", "ENC-RLE", false, {84, 8, 75, 0}},
      {"PNG", "ENC-RLE ENC-G4 CMYK", false, {75, 24, 75, 0}},
      {"", "ENC-G4", false, {6, 8, 75, 0}},
      {"MP", "", false, {6, 8, 75, 0}},
  };
  for (const FormatCase& c : cases) {
    EXPECT_EQ(SaveFormatFor(c.format, c.options, c.bitonal), c.expected) << c.format << " " << c.options;
  }
}

TEST(SaveFormatFor, QualityWord) {
  const std::pair<const char*, int16_t> cases[] = {
      {"QUAL-0A", 10}, {"QUAL-FF", 255}, {"QUAL-4B ENC-TYP0", 75}, {"QUAL-5", 80},
      {"QUAL-5 ", 79}, {"QUAL-", 0},     {"X QUAL-1G", 15},        {"", kDefaultSaveQuality},
  };
  for (const auto& [options, quality] : cases) {
    EXPECT_EQ(SaveFormatFor("JPG", options, false).quality, quality) << options;
  }
}

TEST(PaletteColour, DigitsInTextOrder) {
  EXPECT_EQ(PaletteColour("FF0000"), 0xFF0000);
  EXPECT_EQ(PaletteColour("0000FF"), 0x0000FF);
  EXPECT_EQ(PaletteColour("123ABC"), 0x123ABC);
  EXPECT_EQ(PaletteColour("0G0000"), 0);        // not a digit: 0
  EXPECT_EQ(PaletteColour("FFFFF"), 0xFFFFF1);  // missing: 1
}

TEST(DocRow, OutsideTheTableIsSubscriptError) {
  EXPECT_NO_THROW(DocRow(9));
  for (int32_t r : {10, -1}) {
    try {
      DocRow(r);
      FAIL() << r;
    } catch (const rt::RuntimeError& e) {
      EXPECT_EQ(e.number(), rt::kSubscriptOutOfRange);
    }
  }
}

class PrepareTest : public testing::CommitWindowTest {
 protected:
  // Prepares sheet 0 (a 40 x 30 true-colour image) of row 1 with these
  // settings; returns L2Prepare's result, the journal in `journal`.
  int16_t Prepare(const std::string& options, const std::string& palette = "", const std::string& size = "",
                  const std::string& crop = "", int16_t bits = 24) {
    DocType(1, "TIF", options);
    App.DocTypeTable[1][Doc::Palette] = palette;
    App.DocTypeTable[1][Doc::Size] = size;
    Sheet(0, 1);
    w->Thsav(0).Tag = crop;
    imaging::StartJournal();
    int16_t result = w->L2Prepare(0, bits);
    journal = imaging::StopJournal();
    return result;
  }
  bool Called(const std::string& call) const {
    return std::any_of(journal.begin(), journal.end(),
                       [&](const std::string& l) { return l.find(call) != std::string::npos; });
  }
  int32_t L2(Pixo m) { return rt::CLng(PixGet(w->L2, m)); }
  std::vector<std::string> journal;
};

TEST_F(PrepareTest, ColourConversions) {
  struct Case {
    const char* options;
    const char* palette;
    int16_t result;
    const char* depthCall;  // "" when none
    int32_t bits;           // of the buffer afterwards
  } cases[] = {
      {"", "", 24, "", 24},
      {"GRAY-8", "", 8, "", 8},
      {"GRAY-1", "", 1, "", 1},
      {"COL-8", "000000/FFFFFF/FF0000/", 8, "ChangeColorDepth(8%, 16%, 0%, 3%)", 8},
      {"COL-1 B&W BGR", "", 1, "ChangeColorDepth(1%, 20%, 0%, 2%)", 1},
      {"COL-24", "000000/FFFFFF/", 24, "ChangeColorDepth(24%, 8%, 0%, 0%)", 24},
      {"COL-4 BGR", "", 4, "ChangeColorDepth(4%, 12%, 0%, 0%)", 4},
      {"B&W BGR", "", 24, "", 24},  // both act only with a COL- word
      {"GRAY-8 COL-4", "", 4, "ChangeColorDepth(4%, 8%, 0%, 0%)", 4},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Prepare(c.options, c.palette), c.result) << c.options;
    EXPECT_EQ(Called("ConvertToGray"), std::string(c.options).find("GRAY-") != std::string::npos) << c.options;
    if (*c.depthCall) {
      EXPECT_TRUE(Called(c.depthCall)) << c.options;
    } else {
      EXPECT_FALSE(Called("ChangeColorDepth")) << c.options;
    }
    EXPECT_EQ(L2(Pixo::ImageBits), c.bits) << c.options;
  }
}

TEST_F(PrepareTest, PaletteEntriesFromThePaletteText) {
  Prepare("COL-8", "000000/FFFFFF/FF0000/");
  EXPECT_TRUE(Called("put 513 PaletteEntry(1%) 16777215&"));
  EXPECT_TRUE(Called("put 513 PaletteEntry(2%) 16711680&"));
  EXPECT_TRUE(Called("put 513 PaletteEntry(255%) 0&"));  // the rest are cleared first
  Prepare("COL-1 B&W", "");
  EXPECT_TRUE(Called("put 513 PaletteEntry(1%) 16777215&"));
  EXPECT_TRUE(Called("ChangeColorDepth(1%, 16%, 0%, 2%)"));
}

TEST_F(PrepareTest, CropAndOutputSize) {
  struct Case {
    const char* crop;
    const char* size;
    int32_t width, height;
  } cases[] = {
      {"0010.0005-0020.0010", "", 20, 10},           {"0010.0005-0020.001", "", 40, 30},  // 18 characters: no crop
      {"", "0013 0017 0000 0000 0000 0000", 13, 17}, {"", "0000 0000", 40, 30},
      {"0010.0005-0020.0010", "0008 0004", 8, 4},
  };
  for (const Case& c : cases) {
    Prepare("", "", c.size, c.crop);
    EXPECT_EQ(L2(Pixo::ImageWidth), c.width) << c.crop << "|" << c.size;
    EXPECT_EQ(L2(Pixo::ImageHeight), c.height) << c.crop << "|" << c.size;
    EXPECT_EQ(App.CropTagBuf, c.crop);
  }
  // The sheet's own image is left whole.
  EXPECT_EQ(rt::CLng(PixGet(w->Thumb(0), Pixo::ImageWidth)), 40);
}

TEST_F(PrepareTest, RowOfTenEndsThroughTheTail) {
  DocType(1, "TIF");
  Sheet(0, 1);
  w->Thumb(0).Tag = "10";
  try {
    w->L2Prepare(0, 24);
    FAIL();
  } catch (const testing::ProgramEnded& e) {
    EXPECT_EQ(e.code, rt::kSubscriptOutOfRange);
  }
  EXPECT_NE(testing::ReadText(TranscriptFile()).find(" in L2Prepare Step- 0"), std::string::npos);
}

TEST_F(PrepareTest, SaveOptionsAndResolution) {
  DocType(1, "TIF");
  App.DocTypeTable[1][Doc::BitmapDPI] = "300";
  Sheet(0, 1);
  imaging::StartJournal();
  w->SetSaveOptions(1);
  journal = imaging::StopJournal();
  for (const char* put : {"put 132 SaveOption132 0%", "put 274 SaveOption274 1%", "put 161 SaveOption161 False",
                          "put 280 SaveOption280 False", "put 37 XResolution 300&", "put 38 YResolution 300&"}) {
    EXPECT_TRUE(Called(put)) << put;
  }
}

TEST_F(PrepareTest, BitonalFlagChoosesOneBitTif) {
  DocType(1, "TIF");
  Sheet(0, 1);
  w->SelectSaveFormat(1, 0);
  EXPECT_EQ(App.SaveBits, 24);
  PixCall(w->Thumb(0), Pixo::ChangeColorDepth, {int16_t{1}, int16_t{8}, int16_t{0}, int16_t{0}});
  w->SelectSaveFormat(1, 0);
  EXPECT_EQ(App.SaveFormat, 3);
  EXPECT_EQ(App.SaveBits, 1);
  EXPECT_EQ(App.SaveMultiPage, 1);
}

// A true-colour buffer written to a palette format keeps its own colours
// when it has no more than the palette holds: 12 colours, 256 greys.
TEST_F(PrepareTest, PaletteSaveKeepsThePicturesColours) {
  orn_test::ScratchDir dir{"prepare"};
  auto twelve = [](int32_t x, int32_t y) {
    return imaging::MakeColour(static_cast<uint8_t>(20 * ((x + y) % 12)), static_cast<uint8_t>(255 - 7 * (x % 12)),
                               static_cast<uint8_t>(13 * ((x + y) % 12)));
  };
  auto greys = [](int32_t x, int32_t y) {
    const auto g = static_cast<uint8_t>(16 * y + x);
    return imaging::MakeColour(g, g, g);
  };
  const std::pair<const char*, imaging::Colour (*)(int32_t, int32_t)> cases[] = {{"twelve", twelve},
                                                                                  {"greys", greys}};
  for (const auto& [name, colourAt] : cases) {
    imaging::Image img;
    img.Create(16, 16, 24);
    for (int32_t y = 0; y < 16; ++y) {
      for (int32_t x = 0; x < 16; ++x) img.Set(x, y, colourAt(x, y));
    }
    const std::string path = (dir.path() / (std::string(name) + ".bmp")).string();
    ASSERT_EQ(imaging::WriteImageFile(path, img, imaging::kFormatBmp, 24, 0, false), imaging::kPixoOk);
    ASSERT_EQ(rt::CLng(PixCall(w->L2, Pixo::LoadImageFile, {path, int16_t{0}, 1, 1})), imaging::kPixoOk);
    EXPECT_EQ(w->L2FitFormat(imaging::kFormatBmpRle, 8), 8) << name;
    ASSERT_EQ(L2(Pixo::ImageBits), 8) << name;
    int wrong = 0;
    for (int32_t y = 0; y < 16; ++y) {
      for (int32_t x = 0; x < 16; ++x) {
        wrong += rt::CLng(PixGet(w->L2, Pixo::Pixel, {double(x), double(y)})) != static_cast<int32_t>(colourAt(x, y));
      }
    }
    EXPECT_EQ(wrong, 0) << name;
  }
}

}  // namespace
}  // namespace quillet
