#pragma once
// AppState: the scanning client's process-wide variables, shared by the
// core, the acquisition and the processing procedures. Written at start-up
// by Quillet1::Form_Load and ReadIni, read everywhere else. Single thread,
// no locking. Integer fields are 16-bit, Long fields 32-bit, as the
// procedures that read them expect (overflow is error 6).

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "platform/runtime/datetime.h"

namespace quillet {

// Sheet state colours (BackColor values, &H00BBGGRR).
inline constexpr int32_t SheetOkColor = 0x00FF00;
inline constexpr int32_t SheetChangedColor = 0x00FFFF;
inline constexpr int32_t NotAllOkColor = 0x0000FF;

// Fields of a DocTypeTable row, named after the INI key that fills them.
struct Doc {
  enum Field : int {
    Pages = 0, SectionName, Name, Format, Options, Colors, Resolutions, Width, Height, Type,
    Brightness, Contrast, Fontsize, Describtion, OleDrop, Tools, Size, Palette, Check, BitmapDPI,
    FieldCount
  };
};
using DocTypeRow = std::array<std::string, Doc::FieldCount>;

struct AppState {
  // Identity and environment (start-up).
  std::string ProductName;
  std::string ProductVersion;
  bool UseExitCode = true;
  std::string TempPath;
  std::string ComputerName;
  std::string UserName;
  std::string CmdLine;
  std::string ProgramDir;  // the program's directory, no trailing separator
  std::string IniPath;
  std::string LogPath;     // "" until start-up sets it: LogLine then writes to C:\Quillet.log
  std::string WorkDir;
  std::string FilPath;
  int16_t DebugLevel = 0;
  int16_t Debugging = 0;
  int32_t rc = 0;
  int32_t rc2 = 0;

  // Screen and window metrics.
  int32_t TwipsPerPixelX = 15;
  int32_t TwipsPerPixelY = 15;
  int32_t ScreenWidthPx = 0;
  int32_t ScreenHeightPx = 0;
  int32_t MinWidthPx = 0;
  int32_t MinHeightPx = 0;
  int16_t LastKeyCode = 0;
  bool ScanAvailable = false;

  // Scratch values; each user sets them before reading.
  int32_t LoopI = 0, LoopJ = 0, ScratchN = 0;
  std::string ScratchS, ScratchS2;

  // Configuration read by ReadIni.
  int16_t ForceSequence = 1;
  int16_t TrimSample = 320, TrimPixel = 2, TrimLevel = 250;
  int16_t MaxSizeX = 8192, MaxSizeY = 8192;
  int16_t AskRO = 0;
  int16_t CheckSample = 320, WhiteLevel = 192, BlackLevel = 64;
  double WhiteMin = 0, WhiteMax = 100, BlackMin = 0, BlackMax = 100, MidMin = 0, MidMax = 100;
  int32_t TwainFlags = 130;
  int16_t TwainClose = 1;
  std::string FontName = "MS Sans Serif";
  int16_t FontSize = 10, ControlHeight = 8, Buttons = 0;

  // Tables (filled by ReadIni, read elsewhere).
  std::array<DocTypeRow, 10> DocTypeTable{};
  int16_t DocTypeCount = 0;
  std::array<std::string, 33> Messages{};
  std::array<std::string, 33> LabelTexts{};
  std::array<std::string, 33> TooltipTexts{};
  std::array<std::string, 10> FinishTable{};
  int16_t MaxSheet = -1;

  // Image-view state; ToolMode is written only by Quillet1::Tool_Click.
  int16_t ToolMode = 0;

  // Sheet state shared by the mouse tools, the edits and the quality check
  // (acquire/view_*.cpp, process/edit_*.cpp, trim_*.cpp, check_*.cpp):
  // the crop tag just read or written, the size rules of the sheet's
  // document type, the checked or shown image size, and scratch. TmpW and
  // TmpH hold display and image pixels, which pass 32767 on a large screen
  // or at a high zoom: they are Longs.
  std::string CropTagBuf;
  int32_t SizeAspectX = 0, SizeAspectY = 0, SizeMinWidth = 0, SizeMinHeight = 0;
  int32_t SizeMaxWidth = 0, SizeMaxHeight = 0;
  int32_t ViewWidth = 0, ViewHeight = 0;
  int32_t TmpW = 0, TmpH = 0;

  // Mouse tools (acquire/view_*.cpp): the last accepted press on L1 (twips,
  // button, shift or crop drag kind), the view then (image pixels per display
  // pixel, image position in display pixels) and the crop rectangle of the press.
  // The press position is a Long: twips pass 32767 inside a large view.
  int32_t MouseDownX = 0, MouseDownY = 0;
  int16_t MouseDownButton = 0, MouseDownShift = 0;
  double ViewScale = 1;
  int32_t ViewLeft = 0, ViewTop = 0;
  int32_t CropLeft = 0, CropTop = 0, CropWidth = 0, CropHeight = 0;

  // Commit state (process/commit_*.cpp), set afresh by every commit. The
  // first four are the save parameters of the sheet being written.
  int16_t SaveFormat = 6, SaveBits = 8, SaveQuality = 2, SaveMultiPage = 0;
  int16_t LastSavedType = -1;
  int16_t PageNumber = 0;
  rt::DateTime CommitStamp{};
  int32_t TotalBytes = 0;
  int32_t LineSpeed = 28800;
  int32_t TransferSeconds = 0;
};

// The one instance, alive for the whole process.
extern AppState App;

}  // namespace quillet
