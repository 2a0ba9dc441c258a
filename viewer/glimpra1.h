#pragma once
// The viewer's one window: the view L1, the off-screen watermark cell L0 and
// the click timer Tim, with the window's procedures as members.

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/forms/controls.h"
#include "platform/forms/form.h"
#include "platform/forms/ole_control.h"
#include "platform/imaging/pixo_calls.h"
#include "viewer/viewer_state.h"

namespace viewer {

// The switches of the command line: title, watermark, delete, debug level, placement.
inline const std::vector<std::string> kSwitchNames = {"T", "W", "D", "Z", "P"};

using imaging::Pixo;
using imaging::PixCall;
using imaging::PixGet;
using imaging::PixPut;

class Glimpra1 : public forms::Form {
 public:
  Glimpra1();

  forms::OleControl L1;  // the view
  forms::OleControl L0;  // the watermark cell, never shown
  forms::Timer Tim;      // tells a click from a held button

  ViewerState State;

  // Start-up (tag "Load"): environment, command line, window, watermark
  // cell, first page.
  void Form_Load();
  // Loads `page` (1 = first) of `file` into L1 and lays the window out.
  void Load_File(const std::string& file, int16_t page);
  void Form_KeyDown(int16_t& KeyCode, int16_t& Shift);
  void ShowHelp();
  void L1_MouseDown(int16_t Button, int16_t Shift, float X, float Y);
  void L1_MouseMove(int16_t Button, int16_t Shift, float X, float Y);
  void L1_MouseUp(int16_t Button, int16_t Shift, float X, float Y);
  // A file dropped on the view.
  void L1_FileEvent(const std::string& path);
  void Tim_Timer();
  void Form_Resize();
  void Form_QueryUnload(int16_t& Cancel, int16_t UnloadMode);
  void UpdateCaption();

 private:
  // The watermark: the cell built once at start-up, tiled over each page.
  void BuildWatermarkCell(const std::string& text);
  void TileWatermark();
  // The window size and scaling after a load.
  void SizeWindow();
  // Reads the page after the one on show while the operator looks at it.
  void ReadNextPageAhead(const std::string& host);
  void OnL1Event(int32_t dispid, std::span<rt::Variant> args);

  std::string watermarkText_;
  // The command-line file is deleted after its first page was shown when
  // the exact switch /D was given; cleared after the first load either way.
  bool deleteAfterShow_ = false;
};

}  // namespace viewer
