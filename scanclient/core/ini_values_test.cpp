#include "scanclient/core/ini_values.h"

#include <gtest/gtest.h>

#include <string>

#include "scanclient/core/core_test_env.h"

namespace quillet {
namespace {

using testing::CoreTest;

class IniValuesTest : public CoreTest {
 protected:
  void Read(const std::string& ini) {
    WriteIni(ini);
    ReadCheckSettings();
    ReadLayoutSettings();
  }
};

TEST_F(IniValuesTest, EverythingDefaultsWithoutTheSections) {
  App.DebugLevel = 9;
  // Start from values that differ from every default.
  App.ForceSequence = 0;
  App.TrimSample = App.TrimPixel = App.TrimLevel = App.MaxSizeX = App.MaxSizeY = 1;
  App.AskRO = App.CheckSample = App.WhiteLevel = App.BlackLevel = 1;
  App.WhiteMin = App.WhiteMax = App.BlackMin = App.BlackMax = App.MidMin = App.MidMax = 7;
  App.TwainFlags = 1;
  App.TwainClose = 0;
  App.FontName = "x";
  App.FontSize = App.ControlHeight = App.Buttons = 1;
  Read("[General]\r\nTitle=only this\r\n");
  EXPECT_EQ(App.ForceSequence, 1);
  EXPECT_EQ(App.TrimSample, 320);
  EXPECT_EQ(App.TrimPixel, 2);
  EXPECT_EQ(App.TrimLevel, 250);
  EXPECT_EQ(App.MaxSizeX, 8192);
  EXPECT_EQ(App.MaxSizeY, 8192);
  EXPECT_EQ(App.AskRO, 0);
  EXPECT_EQ(App.CheckSample, 320);
  EXPECT_EQ(App.WhiteLevel, 192);
  EXPECT_EQ(App.BlackLevel, 64);
  EXPECT_EQ(App.WhiteMin, 0);
  EXPECT_EQ(App.WhiteMax, 100);
  EXPECT_EQ(App.BlackMin, 0);
  EXPECT_EQ(App.BlackMax, 100);
  EXPECT_EQ(App.MidMin, 0);
  EXPECT_EQ(App.MidMax, 100);
  EXPECT_EQ(App.TwainFlags, 130);
  EXPECT_EQ(App.TwainClose, 1);
  EXPECT_EQ(App.FontName, "MS Sans Serif");
  EXPECT_EQ(App.FontSize, 10);
  EXPECT_EQ(App.ControlHeight, 8);
  EXPECT_EQ(App.Buttons, 0);
}

// One key at a time: its INI text and the value it leaves.
struct KeyCase {
  const char* section;
  const char* line;
  double expected;
};

void PrintTo(const KeyCase& c, std::ostream* os) { *os << c.section << " " << c.line; }

class IniKeyTest : public IniValuesTest, public ::testing::WithParamInterface<KeyCase> {
 protected:
  double Field(const std::string& key) const {
    if (key == "TrimSample") return App.TrimSample;
    if (key == "TrimLevel") return App.TrimLevel;
    if (key == "AskRO") return App.AskRO;
    if (key == "BlackLevel") return App.BlackLevel;
    if (key == "WhiteMin") return App.WhiteMin;
    if (key == "MidMax") return App.MidMax;
    if (key == "ForceSequence") return App.ForceSequence;
    if (key == "TwainClose") return App.TwainClose;
    if (key == "TwainFlags") return App.TwainFlags;
    if (key == "FontSize") return App.FontSize;
    if (key == "ControlHeight") return App.ControlHeight;
    if (key == "Buttons") return App.Buttons;
    ADD_FAILURE() << "no field for " << key;
    return -1;
  }
};

TEST_P(IniKeyTest, StoresValueOrDefault) {
  const KeyCase& c = GetParam();
  App.DebugLevel = 5;
  std::string line = c.line;
  Read(std::string("[") + c.section + "]\r\n" + line + "\r\n");
  EXPECT_EQ(Field(line.substr(0, line.find('='))), c.expected) << line;
}

INSTANTIATE_TEST_SUITE_P(
    Table, IniKeyTest,
    ::testing::Values(
        KeyCase{"Quality", "TrimSample=100", 320}, KeyCase{"Quality", "TrimSample=800", 320},
        KeyCase{"Quality", "TrimSample=400 !! a comment", 400}, KeyCase{"Quality", "TrimSample=4x", 320},
        KeyCase{"Quality", "AskRO=2", 2}, KeyCase{"Quality", "AskRO=3", 0},
        KeyCase{"Quality", "BlackLevel=0", 64}, KeyCase{"Quality", "TrimLevel=200.5", 200},
        KeyCase{"Quality", "TrimLevel=201.5", 202}, KeyCase{"General", "WhiteMin=100", 100},
        KeyCase{"General", "WhiteMin=100.5", 0}, KeyCase{"Quality", "WhiteMin=50", 0},
        KeyCase{"Quality", "MidMax=37.25", 37.25},
        KeyCase{"General", "ForceSequence=no", 0}, KeyCase{"General", "ForceSequence=", 1},
        KeyCase{"General", "ForceSequence=1", 1}, KeyCase{"General", "ForceSequence=True", 1},
        KeyCase{"General", "ForceSequence=Ja", 1}, KeyCase{"General", "ForceSequence=0", 0},
        KeyCase{"General", "TwainClose=nein", 0}, KeyCase{"General", "TwainClose=", 1},
        KeyCase{"General", "TwainFlags=131", 130}, KeyCase{"General", "TwainFlags=abc", 130},
        KeyCase{"General", "TwainFlags=4", 4},
        KeyCase{"Layout", "FontSize=5", 10}, KeyCase{"Layout", "FontSize=25", 10},
        KeyCase{"Layout", "FontSize=24", 24}, KeyCase{"Layout", "FontSize=big", 10},
        KeyCase{"Layout", "ControlHeight=7", 32}, KeyCase{"Layout", "ControlHeight=61", 32},
        KeyCase{"Layout", "ControlHeight=60", 60}, KeyCase{"Layout", "ControlHeight=tall", 8},
        KeyCase{"Layout", "Buttons=-4", -4}, KeyCase{"Layout", "Buttons=x", 0}));

TEST_F(IniValuesTest, TwainFlagsKeepBitZeroFromLevelSix) {
  App.DebugLevel = 6;
  Read("[General]\r\nTwainFlags=131\r\n");
  EXPECT_EQ(App.TwainFlags, 131);
}

TEST_F(IniValuesTest, FontNameIsTrimmedAndNeverEmpty) {
  Read("[Layout]\r\nFontName=Arial   !! face\r\n");
  EXPECT_EQ(App.FontName, "Arial");
  Read("[Layout]\r\nFontName=!! none\r\n");
  EXPECT_EQ(App.FontName, "MS Sans Serif");
}

TEST_F(IniValuesTest, ShapeColorsOnlyWhenNumeric) {
  WriteIni("[Layout]\r\nColorShape1=255\r\nColorShape2=red\r\n");
  auto colors = ReadShapeColors();
  EXPECT_EQ(colors[0], 255);
  EXPECT_FALSE(colors[1].has_value());
  EXPECT_FALSE(colors[2].has_value());
}

TEST(SplitPixelPair, SplitsAtTheFirstComma) {
  struct Case {
    const char* text;
    std::optional<double> first, second;
  } cases[] = {{"800,600", 800, 600}, {"2000", 2000, std::nullopt}, {"-200,10", -200, 10},
               {"", std::nullopt, std::nullopt}, {"a,5", std::nullopt, 5}, {"1,2,3", 1, std::nullopt}};
  for (const Case& c : cases) {
    PixelPair p = SplitPixelPair(c.text);
    EXPECT_EQ(p.first, c.first) << c.text;
    EXPECT_EQ(p.second, c.second) << c.text;
  }
}

}  // namespace
}  // namespace quillet
