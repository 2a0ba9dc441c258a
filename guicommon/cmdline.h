#pragma once
// The command-line parser shared by the scanning client and the image viewer.
//
// ParseCmd turns the program's command-line text into the table Params:
// switches "/NAME=VALUE" (a bare "/NAME" means "1") and positional values,
// which are named after their ordinal "1", "2", "3"... Names are upper case,
// values keep their case. GetParam looks a name up by prefix; the last row
// that matches wins.

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace guicommon {

// 33 rows of (name, value). Row 0 is bookkeeping: its name holds the number
// of rows in use, its value the number of positional rows, each as Str()
// text (" 3"). Rows 1..32 hold one parameter each, sorted by name.
struct ParamTable {
  static constexpr int kMaxRows = 32;
  std::array<std::array<std::string, 2>, kMaxRows + 1> cell{};

  const std::string& Name(int row) const { return cell[row][0]; }
  const std::string& Value(int row) const { return cell[row][1]; }
};

// The process-wide table; empty before the first ParseCmd.
extern ParamTable Params;

// Clears Params, fills it from `text` and returns the number of rows filled.
// A 33rd row raises run-time error 9 (subscript out of range); row 0 then
// stays empty, so GetParam finds nothing.
int16_t ParseCmd(std::string_view text);

// The value of the last row (in sorted order) whose name begins with `name`
// (blanks at both ends removed, compared in upper case); "" when none.
std::string GetParam(std::string_view name);

}  // namespace guicommon
