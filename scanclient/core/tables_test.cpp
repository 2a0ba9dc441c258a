#include "scanclient/core/tables.h"

#include <gtest/gtest.h>

#include <string>

#include "scanclient/core/core_test_env.h"
#include "scanclient/core/quillet0.h"
#include "tests/support/env_guard.h"

namespace quillet {
namespace {

using testing::CoreTest;
using testing::WriteText;

class TablesTest : public CoreTest {};

TEST_F(TablesTest, DocumentTypesAreDenseAndDefaulted) {
  WriteIni(
      "[Layout]\r\nTools=MOVE/\r\n"
      "[P_0]\r\nTools=ZOOM/\r\n"
      "[P_1]\r\nPages=2\r\nName=Invoice\r\nFormat=jpg\r\nColors=gray8/\r\nDescribtion=The invoice\r\n"
      "Fontsize=12\r\nBitmapDPI=300\r\nCheck=101\r\n"
      "[P_2]\r\nPages=2.5x\r\n"
      "[P_3]\r\nPages=2.5\r\nName=AB\r\nFormat=GIF\r\nFontsize=big\r\nBitmapDPI=300dpi\r\n"
      "[P_4]\r\nPages=10\r\nFormat=\r\n"
      "[P_5]\r\nPages=0.5\r\nFormat=TIF,JPG\r\n"
      "[P_6]\r\nPages=1\r\nFormat=PNG,BMP\r\n");
  App.FontSize = 11;
  ReadDocTypes("P");
  ASSERT_EQ(App.DocTypeCount, 5);
  EXPECT_EQ(App.DocTypeTable[0][Doc::Tools], "ZOOM/");

  const DocTypeRow& r1 = App.DocTypeTable[1];
  EXPECT_EQ(r1[Doc::Pages], "2");
  EXPECT_EQ(r1[Doc::SectionName], "P_1");
  EXPECT_EQ(r1[Doc::Name], "Invoice");
  EXPECT_EQ(r1[Doc::Format], "JPG");
  EXPECT_EQ(r1[Doc::Colors], "GRAY8/");
  EXPECT_EQ(r1[Doc::Resolutions], "100/200/300");
  EXPECT_EQ(r1[Doc::Type], "IMG");
  EXPECT_EQ(r1[Doc::Brightness], "0");
  EXPECT_EQ(r1[Doc::Contrast], "0");
  EXPECT_EQ(r1[Doc::Fontsize], "12");
  EXPECT_EQ(r1[Doc::Describtion], "The invoice");
  EXPECT_EQ(r1[Doc::Tools], std::string(kDocTypeTools));
  EXPECT_EQ(r1[Doc::Check], "101");
  EXPECT_EQ(r1[Doc::BitmapDPI], "300");
  EXPECT_EQ(r1[Doc::Options], "");

  const DocTypeRow& r2 = App.DocTypeTable[2];  // section P_3: P_2 was skipped
  EXPECT_EQ(r2[Doc::SectionName], "P_3");
  EXPECT_EQ(r2[Doc::Pages], "2.5");
  EXPECT_EQ(SheetCount(2), 2);
  EXPECT_EQ(r2[Doc::Name], "Doc  3");
  EXPECT_EQ(r2[Doc::Describtion], "Doc  3");
  EXPECT_EQ(r2[Doc::Format], "BMP");
  EXPECT_EQ(r2[Doc::Fontsize], "11");
  EXPECT_EQ(r2[Doc::BitmapDPI], "72");
  EXPECT_EQ(r2[Doc::Check], "11111111111");

  EXPECT_EQ(App.DocTypeTable[3][Doc::Pages], "1");   // 10 is outside 1..9
  EXPECT_EQ(App.DocTypeTable[3][Doc::Format], "");   // an empty format stays empty
  EXPECT_EQ(App.DocTypeTable[4][Doc::Pages], "1");   // 0.5
  EXPECT_EQ(App.DocTypeTable[4][Doc::Format], "TIF,JPG");
  EXPECT_EQ(App.DocTypeTable[5][Doc::Format], "BMP");  // "PNG,BMP" is not part of the list text
  EXPECT_EQ(App.DocTypeTable[6][Doc::SectionName], "");
}

TEST_F(TablesTest, StartToolListFallsBackInTwoSteps) {
  WriteIni("[Layout]\r\nTools=MOVE/\r\n");
  ReadDocTypes("P");
  EXPECT_EQ(App.DocTypeTable[0][Doc::Tools], "MOVE/");
  EXPECT_EQ(App.DocTypeCount, 0);
  WriteIni("");
  ReadDocTypes("P");
  EXPECT_EQ(App.DocTypeTable[0][Doc::Tools], std::string(kStartTools));
}

TEST_F(TablesTest, TextsWithDefaultsAndLineBreaks) {
  WriteIni("[Text]\r\nMessage_01=A{CR}B{CR}C\r\nLabel_07=OK{CR}\r\nTooltip_30=Setup\r\n");
  ReadTextTables();
  EXPECT_EQ(App.Messages[1], "A\rB\rC");
  EXPECT_EQ(App.Messages[20], "Message 20");
  EXPECT_EQ(App.Messages[0], "");
  EXPECT_EQ(App.LabelTexts[7], "OK{CR}");  // labels keep "{CR}"
  EXPECT_EQ(App.TooltipTexts[30], "Setup");
  EXPECT_EQ(App.TooltipTexts[1], "");
}

TEST(ParseButtonText, LeadingDigitIsAFontOffset) {
  struct Case {
    const char* value;
    int16_t offset;
    const char* caption;
  } cases[] = {{"2 Scan", 2, "Scan"}, {"2,Scan", 2, "Scan"}, {"3 Fit", 3, "Fit"},
               {"Fit", 0, "Fit"}, {"", 0, ""}, {"7", 7, ""}};
  for (const Case& c : cases) {
    ButtonText b = ParseButtonText(c.value);
    EXPECT_EQ(b.sizeOffset, c.offset) << c.value;
    EXPECT_EQ(b.caption, c.caption) << c.value;
  }
}

TEST_F(TablesTest, SheetCaptionsAndPreloadPaths) {
  WriteText(Prog() / "scan1.bmp", "x");
  WriteIni(
      "[General]\r\n"
      "[P_1]\r\nPages=1\r\nName=Invoice\r\n"
      "[P_3]\r\nPages=2\r\nName=Letter\r\nName_2=Back{CR}side\r\nFile_1={APP.PATH}/scan1.bmp\r\n"
      "[P_2]\r\nFile_1={APP.PATH}/scan1.bmp\r\nFile_2={APP.PATH}/missing.bmp\r\n");
  ReadDocTypes("P");
  ASSERT_EQ(App.DocTypeCount, 2);
  EXPECT_EQ(SheetCaption(1, 1), "Invoice 1");
  EXPECT_EQ(SheetCaption(2, 1), "Letter 1");
  EXPECT_EQ(SheetCaption(2, 2), "Back\rside");
  // Row 2 is section P_3, but its files come from [P_2].
  EXPECT_EQ(PreloadPath("P", 2, 1), (Prog() / "scan1.bmp").string());
  EXPECT_EQ(PreloadPath("P", 2, 2), "");
  EXPECT_EQ(PreloadPath("P", 1, 1), "");
}

TEST_F(TablesTest, FinishTableReplacesPlaceholdersOnlyInTheImagePath) {
  App.FilPath = "/files";
  WriteIni("[P_0]\r\nFinish={FIL.PATH}/fin.jpg\r\nPage_1={APP.PATH}0010\r\nPage_9=x\r\n");
  ReadFinishTable("P");
  EXPECT_EQ(App.FinishTable[0], "/files/fin.jpg");
  EXPECT_EQ(App.FinishTable[1], "{APP.PATH}0010");
  EXPECT_EQ(App.FinishTable[9], "x");
}

TEST_F(TablesTest, PlaceholdersReplaceOnlyTheFirstOfEach) {
  App.FilPath = "/f";
  orn_test::EnvGuard env;
  const std::filesystem::path state = Prog() / "state";
  env.Set("XDG_STATE_HOME", state.c_str());
  EXPECT_EQ(ReplacePlaceholders("{APP.PATH}/a;{FIL.PATH}/b;{APP.PATH};{fil.path}"),
            App.ProgramDir + "/a;/f/b;{APP.PATH};{fil.path}");
  EXPECT_FALSE(std::filesystem::exists(state));  // the user's folder only when named
  EXPECT_EQ(ReplacePlaceholders("{USR.PATH}/Quillet.log;{USR.PATH};{usr.path}"),
            (state / "orn").string() + "/Quillet.log;{USR.PATH};{usr.path}");
  EXPECT_TRUE(std::filesystem::is_directory(state / "orn"));
}

}  // namespace
}  // namespace quillet
