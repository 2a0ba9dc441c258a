#include "docviewer/framework/xtrace.h"

#include "docviewer/framework/fwtest.h"

namespace {

using TraceTest = fwtest::Sandbox;

TEST_F(TraceTest, SwitchIsReadOnEveryCall) {
  EXPECT_FALSE(XTraceEnabled());
  EXPECT_FALSE(XTraceLine(Xt::Msg, "start", "::WinMain", "/src/docviewer/lumoret.cpp", 12));

  TraceOn(true);
  EXPECT_TRUE(XTraceLine(Xt::Msg, "start", "::WinMain", "/src/docviewer/lumoret.cpp", 12));
  SetDword("SOFTWARE\\Dornvale\\ORN\\Trace", "LogType", 0);
  EXPECT_FALSE(XTraceLine(Xt::Err, "value 0 is off", "A::b", "x.cpp", 1));
  TraceOn(true);
  EXPECT_TRUE(XTraceLine(Xt::Wrn, "again", "A::b", "x.cpp", 2));
  TraceOn(false);
  EXPECT_FALSE(XTraceLine(Xt::Msg, "deleted is off", "A::b", "x.cpp", 3));

  EXPECT_EQ(DebugLines(), (std::vector<std::string>{"MSG: start (::WinMain lumoret.cpp 12)",
                                                    "WRN: again (A::b x.cpp 2)"}));
}

TEST_F(TraceTest, VariantsPutTheirValueBeforeTheParenthesis) {
  TraceOn(true);
  EXPECT_TRUE(XTraceInt(Xt::Msg, "count", -3, "MFrame::OnSize", "f.cpp", 1));
  XTraceFlag(Xt::Msg, "loaded", true, "M::a", "f.cpp", 2);
  XTraceFlag(Xt::Msg, "printed", false, "M::a", "f.cpp", 3);
  XTraceText(Xt::Err, "file", "C:\\100%\\a%s.rtf", "M::a", "f.cpp", 4);
  EXPECT_TRUE(XTraceWide(Xt::Msg, "title", u"Antragsformular \u00fc", "M::a", "f.cpp", 5));
  XTraceByte(Xt::Msg, "byte", 0x0A, "M::a", "f.cpp", 6);
  XTraceHex(Xt::Msg, "hr", uint64_t{0xC0200048}, "M::a", "f.cpp", 7);
  XTraceCounted(Xt::Msg, 3, "abcdef", 2, "M::a", "f.cpp", 8);
  XTraceCounted(Xt::Msg, 12, u"\u00e4bc", 1, "M::a", "f.cpp", 9);
  XTraceDetail(1, "start %.128ls", u"x");
  XTraceAssert(1, "p != 0", "M::a", "f.cpp", 10);
  EXPECT_EQ(DebugLines(), (std::vector<std::string>{
                              "MSG: count -3 (MFrame::OnSize f.cpp 1)",
                              "MSG: loaded true (M::a f.cpp 2)",
                              "MSG: printed false (M::a f.cpp 3)",
                              "ERR: file C:\\100%\\a%s.rtf (M::a f.cpp 4)",
                              "MSG: title Antragsformular \xc3\xbc (M::a f.cpp 5)",
                              "MSG: byte 0A (M::a f.cpp 6)",
                              "MSG: hr C0200048 (M::a f.cpp 7)",
                              "MSG: [  3] ab (M::a f.cpp 8)",
                              "MSG: [ 12] \xc3\xa4 (M::a f.cpp 9)",
                          }));
}

TEST_F(TraceTest, PointerMessageIgnoresTheSwitchAndLongLinesAreCut) {
  XTRPtrMsg();
  EXPECT_EQ(DebugLines(), std::vector<std::string>{"XTRPtrMsg -- never used?"});

  TraceOn(true);
  XTraceText(Xt::Msg, std::string(6000, 'm'), "v", "M::a", "f.cpp", 1);
  std::vector<std::string> lines = DebugLines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1].size(), 5012u);
}

}  // namespace
