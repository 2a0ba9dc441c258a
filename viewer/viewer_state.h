#pragma once
// The image viewer's program-wide variables: one instance for the whole
// run, written by start-up and by each page load. Fields that play the role
// of a scanning-client state field bear its name.

#include <cstdint>
#include <string>

namespace viewer {

struct ViewerState {
  std::string ProductName;     // "Glimpra": caption and help title
  std::string ProductVersion;  // "1.4"
  std::string TempPath;        // only checked at start-up
  std::string ComputerName;    // upper case
  std::string UserName;        // upper case; only checked at start-up
  std::string CmdLine;         // the trimmed command line, shown in fatal boxes
  int16_t DebugLevel = 0;      // 0, 9 on development machines, or /Z

  int32_t TwipsPerPixelX = 15;
  int32_t TwipsPerPixelY = 15;
  int32_t ScreenWidthPx = 0;
  int32_t ScreenHeightPx = 0;
  int32_t MinWidthPx = 0;  // the window's size at start is its minimum
  int32_t MinHeightPx = 0;

  int16_t LastKeyCode = 0;

  // The page on show, as its load and GetFileInfo reported it.
  int16_t ShownWidth = 0;
  int16_t ShownHeight = 0;
  int16_t ShownBits = 0;
  int16_t ShownPage = 0;
  int16_t ShownPageCount = 0;
  int16_t LoadCount = 0;  // pages loaded since start; only grows
  std::string ShownFileDate;

  // Shift * 8 + Button at a press, -1 once the press became a hold, 0 after
  // the release.
  int16_t MouseCode = 0;
};

}  // namespace viewer
