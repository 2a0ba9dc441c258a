#include "scanclient/acquire/scan_options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillet {
namespace {

using Items = std::vector<std::string>;

Items ListOf(const forms::ComboBox& box) {
  Items out;
  for (int16_t i = 0; i < box.ListCount(); ++i) out.push_back(box.List(i));
  return out;
}

TEST(ScanOptions, BoxTakesTheFieldsItemsOrTheFallback) {
  struct Case {
    const char* field;
    Items items;
    const char* text;
  } cases[] = {
      {"COL24/B&W/GRAY8/", {"COL24", "B&W", "GRAY8"}, "COL24"},
      {"GRAY8/COL24", {"GRAY8", "COL24"}, "GRAY8"},
      {"", {"300"}, "300"},
      {"/", {""}, ""},  // one empty item: the fallback is for a list without items
      {"300//600/", {"300", "", "600"}, "300"},
      {" c24 /", {" c24 "}, " c24 "},
  };
  forms::ComboBox box;
  box.AddItem("old");
  box.Text = "typed";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.field);
    FillScanOption(box, c.field, "300");
    EXPECT_EQ(ListOf(box), c.items);
    EXPECT_EQ(box.Text.Get(), c.text);
  }
}

TEST(ScanOptions, LastMatchingColourRowWins) {
  using Puts = std::vector<std::pair<int32_t, int16_t>>;
  struct Case {
    const char* text;
    Puts puts;
  } cases[] = {
      {"COL24", {{0, 1}, {2, 4}, {2, 24}}},
      {"C24", {{0, 1}, {2, 4}, {2, 24}}},
      {"GRAY8", {{0, 1}, {1, 8}}},
      {"G2", {{0, 1}, {1, 8}}},
      {"P8", {{0, 1}, {3, 8}}},
      {"B&W", {{0, 1}, {0, 1}}},
      {"XYZ", {{0, 1}}},
      {"", {{0, 1}}},
  };
  for (const Case& c : cases) EXPECT_EQ(ColourModePuts(c.text), c.puts) << c.text;
}

TwainSettings Sample() {
  TwainSettings s;
  s.name = "test:0";
  s.flags = 130;
  s.appName = "Quillet";
  s.top = -1;
  s.left = 0;
  s.height = 16839;
  s.width = 11907;
  s.pixelType = 2;
  s.bits = 24;
  s.resolution = 300;
  s.maxPages = -1;
  s.contrast = 2000;
  s.brightness = -900;
  s.feeder = 2;
  s.autoFeed = 2;
  return s;
}

TEST(ScanOptions, SettingsReportLinesAndLabels) {
  EXPECT_EQ(TwainReport(Sample()),
            "TWAIN settings:test:0\r\n"
            "=====================\r\n"
            "Flags:\t\tShowStatus;CacheSource;\r\n"
            "Appl.Name  :\tQuillet\r\n"
            "Top/Left:    \t-1/0\r\n"
            "Height/Width:\t16839/11907\r\n"
            "ColorMode:\tRGB\r\n"
            "Bits/Pixel:  \t24\r\n"
            "Resolution:  \t300 dpi\r\n"
            "Max.Pages:   \t-1\r\n"
            "Contrast:    \t2000\r\n"
            "Intensity:   \t-900\r\n"
            "EnableFeeder:\t2\r\n"
            "EnableAutoFeed:\t2\r\n");
}

TEST(ScanOptions, SettingsReportVariants) {
  TwainSettings s = Sample();
  s.name = "0123456789";
  s.flags = 0;
  s.author = "ZO";
  s.pixelType = 5;
  const std::string r = TwainReport(s);
  EXPECT_NE(r.find("\r\n" + std::string(25, '=') + "\r\n"), std::string::npos);
  EXPECT_NE(r.find("\r\nFlags:\t\t\r\n"), std::string::npos);
  EXPECT_NE(r.find("\r\nAppl.Author:\tZO\r\nAppl.Name  :\tQuillet\r\n"), std::string::npos);
  EXPECT_EQ(r.find("Appl.Family:"), std::string::npos);
  EXPECT_NE(r.find("\r\nColorMode:\t5\r\n"), std::string::npos);
  s.flags = 255;
  EXPECT_NE(TwainReport(s).find("ShowUI;ShowStatus;NativeXfer;KeepOpen;UpdDef;UpdNotDef;?64?;CacheSource;\r\n"),
            std::string::npos);
}

TEST(ScanOptions, DropTakesListedExtensionsOnly) {
  struct Case {
    const char* list;
    const char* path;
    bool accepted;
  } cases[] = {
      {"TIF/JPG/", "/in/scan.tif", true},   {"TIF/JPG/", "/in/SCAN.TIF", true},
      {"TIF/JPG/", "/in/scan.png", false},  {"tif/jpg/", "/in/scan.tif", false},
      {"TIF/JPG/", "/in/scan.if", true},    {"TIF/JPG/", "C:\\in.box\\scan", false},
      {"", "/in/scan.tif", false},          {"TIF/", "/in/a.b/scan.tif", true},
  };
  for (const Case& c : cases) EXPECT_EQ(DropAccepted(c.list, c.path), c.accepted) << c.list << " " << c.path;
}

}  // namespace
}  // namespace quillet
