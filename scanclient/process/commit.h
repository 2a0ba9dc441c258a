#pragma once
// The text rules of the commit: output names with their tokens and the
// closing report. Quillet1::DoOK_Click (commit.cpp) applies them.

#include <cstdint>
#include <string>
#include <string_view>

#include "scanclient/core/app_state.h"

namespace quillet {

// Replaces every "{TOKEN}" or "{TOKEN,n}" by the token's value cut to n
// characters (255 without a numeric n): APP.PATH, FIL.PATH, DATE and TIME
// of CommitStamp, COMP, USER; any other token stands for itself. Tokens are
// read from left to right and a value put in is not read again, so a brace
// inside a value, or a "{" with no "}" after it, stays as it is and the loop
// always ends. A negative n is run-time error 5.
std::string ExpandNameTokens(std::string_view name);

// The output file of a sheet of document-type row `row`: the output
// directory (command-line value 3; ".\" stands for the program directory)
// & Type & "_" & the file-name part (value 2) & "." & Format, tokens
// expanded. An empty output directory is run-time error 76.
std::string OutputName(const DocTypeRow& row);

// A later sheet of a type whose format holds one image per file would
// overwrite the one before: page n > 1 gets "_n" before the extension.
std::string SeparatePageName(std::string_view name, int16_t page);

// The closing report of Messages(20) before its line breaks: takes the line
// speed from "[n]", turns TotalBytes into kB and TransferSeconds into the
// estimate (both in App), and fills {SIZE} (with "kb") and {TIME}, each
// appended at the end when missing.
std::string ClosingText(std::string m);

}  // namespace quillet
