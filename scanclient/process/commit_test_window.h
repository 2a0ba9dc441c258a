#pragma once
// Fixture of the commit's unit tests: the main window of the window tests,
// with sheets made by the test, the core's scratch folder, and an output
// folder of its own.

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "guicommon/cmdline.h"
#include "platform/uiscript/uiscript.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/core/window_test_env.h"

namespace quillet::testing {

class CommitWindowTest : public MainWindowTest {
 protected:
  void SetUp() override {
    MainWindowTest::SetUp();
    w->L1.Tag = "0";
    uiscript::AnswerQueue::Instance().Clear();
    out_ = ScratchDir() / "out";
    std::filesystem::remove_all(out_);
    std::filesystem::create_directories(out_);
    App.ComputerName = "PC7";
    App.UserName = "ANNA";
    App.FilPath = App.ProgramDir;
    for (int i = 1; i <= 32; ++i) App.Messages[i] = "Message " + std::to_string(i);
    guicommon::ParseCmd("demo 123 \"" + out_.string() + "\"");
  }

  // Document-type row r: Format, Options and Type as the INI reader leaves
  // them (upper case), BitmapDPI 72.
  void DocType(int r, const std::string& format, const std::string& options = "", const std::string& type = "IMG") {
    DocTypeRow& row = App.DocTypeTable[static_cast<size_t>(r)];
    row[Doc::Pages] = "1";
    row[Doc::Format] = format;
    row[Doc::Options] = options;
    row[Doc::Type] = type;
    row[Doc::BitmapDPI] = "72";
    if (App.DocTypeCount < r) App.DocTypeCount = static_cast<int16_t>(r);
  }

  // Adds sheet k of row r with a width x height image of one colour
  // (&H00BBGGRR), checked and accepted.
  void Sheet(int16_t k, int r, int32_t width = 40, int32_t height = 30, int32_t colour = 0x336699) {
    if (k > 0) {
      w->Page.Load(k);
      w->Thumb.Load(k);
      w->Thsav.Load(k);
      w->Thbas.Load(k);
    }
    w->Page(k).Tag = " " + std::to_string(r);
    w->Page(k).BackColor = SheetOkColor;
    w->Thumb(k).Tag = " " + std::to_string(r);
    w->Thsav(k).Tag = "";
    if (width > 0) {
      PixCall(w->Thumb(k), imaging::Pixo::CreateImage,
              {static_cast<double>(width), static_cast<double>(height), int16_t{24}});
      PixCall(w->Thumb(k), imaging::Pixo::FillImage, {colour});
    }
    App.MaxSheet = k;
    w->DoOK.Tag = "0";
    w->DoOK.BackColor = SheetOkColor;
  }

  // Runs the commit; the exit code it ends with, or nullopt when it
  // returned to the window.
  std::optional<int32_t> Commit() {
    try {
      w->DoOK_Click();
    } catch (const ProgramEnded& e) {
      return e.code;
    }
    return std::nullopt;
  }

  // The message boxes of the transcript: "caption | style | text | answer".
  std::vector<std::string> Boxes() const {
    std::vector<std::string> boxes;
    for (const std::string& l : ReadLines(TranscriptFile())) {
      if (l.rfind("msgbox | ", 0) == 0) boxes.push_back(l.substr(9));
    }
    return boxes;
  }

  std::filesystem::path Out() const { return out_; }

 private:
  std::filesystem::path out_;
};

}  // namespace quillet::testing
