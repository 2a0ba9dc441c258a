#pragma once
// The tables ReadIni builds from the [Text] section and the profile
// sections: DocTypeTable, Messages, LabelTexts, TooltipTexts and
// FinishTable (all in App), and the per-sheet texts.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// The default tool lists of row 0 and of a document type.
inline constexpr std::string_view kStartTools = "SCAN/INFO/ZFAC/ZWID/ZHEI/ZOPT/MOVE/ZWIN/ZOOM/";
inline constexpr std::string_view kDocTypeTools = "CHEK/SCAN/INFO/SETU/ZFAC/ZWID/ZHEI/ZOPT/MOVE/ZWIN/ZOOM/";

// Every "{CR}" becomes a carriage return (character 13 alone).
std::string ExpandCR(std::string text);

// [Text] Label_01..32, Tooltip_01..32 and Message_01..32 into App's tables
// (a missing message reads "Message " & n).
void ReadTextTables();

// A [Text] Button_nn value: an optional leading digit d and one separator
// before the caption ("2 Scan" gives d = 2, caption "Scan").
struct ButtonText {
  int16_t sizeOffset = 0;
  std::string caption;
};
ButtonText ParseButtonText(std::string_view value);

// DocTypeTable row 0 (the start tool list) and rows 1..DocTypeCount from
// the sections <profile>_1 .. <profile>_9 that have a numeric Pages value.
// `profile` is already upper case.
void ReadDocTypes(std::string_view profile);

// FinishTable: [<profile>_0] Finish (placeholders replaced) and Page_1..9.
void ReadFinishTable(std::string_view profile);

// The number of sheets of document-type row r: Pages rounded half to even.
int16_t SheetCount(int row);

// The caption of sheet j (1-based) of row r: [section] Name_j, else Name &
// Str(j); "{CR}" expanded.
std::string SheetCaption(int row, int j);

// The file named by [<profile>_r] File_j with placeholders replaced, or ""
// when no such file exists. The section is named after the row number, not
// the section number of the document type (they differ after a gap).
std::string PreloadPath(std::string_view profile, int row, int j);

}  // namespace quillet
