#pragma once
// How the stand-ins report a malformed ORN_ setting: one line on standard
// error that names the variable, what it takes and what it got,
//   ORN_SCREEN must be WIDTHxHEIGHT in pixels, such as 1280x1024, not '1280'
// and the end of the process with exit code 124, as for a bad operator-script
// line: the run was set up wrongly, the program itself did nothing wrong. The
// process ends at once, so that no error handler of the program can take the
// setting's fault for one of its own.

#include <initializer_list>
#include <string_view>

namespace settings {

// Reports `value` of `variable` as malformed and ends the process (124);
// a `detail` is added in parentheses: "..., not 'p.txt' (line 3: ...)".
[[noreturn]] void BadSetting(std::string_view variable, std::string_view takes, std::string_view value,
                             std::string_view detail = {});

// Whether the comma list in `variable` names `word` (blanks around items and
// case ignored; an unset or empty variable names nothing). An item that is
// not one of `known` is a bad setting.
bool ListNames(const char* variable, std::initializer_list<std::string_view> known, std::string_view word);

}  // namespace settings
