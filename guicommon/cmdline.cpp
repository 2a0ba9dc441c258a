#include "guicommon/cmdline.h"

#include <utility>

#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/runtime/strings.h"

namespace guicommon {

ParamTable Params;

namespace {

// Opens the next row; the table has no room beyond row 32.
int OpenRow(int* rows) {
  if (*rows >= ParamTable::kMaxRows) rt::Raise(rt::kSubscriptOutOfRange);
  return ++*rows;
}

}  // namespace

int16_t ParseCmd(std::string_view text) {
  Params = ParamTable{};
  std::string s = rt::Trim(text);
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);

  int rows = 0;
  int positional = 0;
  int mode = 0;  // +r: name of row r, -r: value of row r, 0: between parameters
  bool quoting = false;
  for (char c : s) {
    bool consumed = false;
    if (!quoting) {
      if (c == '/') {
        mode = OpenRow(&rows);
        consumed = true;
      } else if (c == '=') {
        mode = -mode;
        consumed = true;
      } else if (c == ' ' || c == ',') {
        mode = 0;
        consumed = true;
      }
    }
    if (c == '"') {
      quoting = !quoting;
      consumed = true;
    }
    if (consumed) continue;
    if (mode == 0) {
      int r = OpenRow(&rows);
      ++positional;
      mode = -r;
      Params.cell[r][0] = rt::CStr(static_cast<double>(positional));
    }
    if (mode > 0) {
      Params.cell[mode][0] += rt::UCase(std::string_view(&c, 1));
    } else {
      Params.cell[-mode][1] += c;
    }
  }

  Params.cell[0][0] = rt::Str(rows);
  Params.cell[0][1] = rt::Str(positional);
  for (int r = 1; r <= rows; ++r) {
    if (!Params.cell[r][0].empty() && Params.cell[r][1].empty()) Params.cell[r][1] = "1";
  }
  // Exchange sort, ordinal comparison; GetParam's "last match wins" relies on
  // the ascending order it leaves.
  for (int i = 1; i <= rows - 1; ++i) {
    for (int j = i; j <= rows; ++j) {
      if (Params.cell[i][0] > Params.cell[j][0]) std::swap(Params.cell[i], Params.cell[j]);
    }
  }
  return static_cast<int16_t>(rows);
}

std::string GetParam(std::string_view name) {
  std::string key = rt::UCase(rt::Trim(name));
  const std::string& count = Params.cell[0][0];
  int n = count.empty() ? 0 : static_cast<int>(rt::Val(count));
  std::string result;
  for (int i = 1; i <= n && i <= ParamTable::kMaxRows; ++i) {
    if (Params.cell[i][0].compare(0, key.size(), key) == 0) {
      result = Params.cell[i][1];
    }
  }
  return result;
}

}  // namespace guicommon
