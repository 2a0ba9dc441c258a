#pragma once
// The text rules of the commit: output names with their tokens and the
// closing report. Quillet1::DoOK_Click (commit.cpp) applies them.

#include <cstdint>
#include <set>
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

// The output folder: command-line value 3 (".\" stands for the program
// directory) with its separator at the end, tokens expanded. An empty value
// is run-time error 76.
std::string OutputFolder();
// The file name of a sheet of document-type row `row`: Type & "_" & the
// file-name part (command-line value 2) & "." & Format, tokens expanded.
std::string OutputFileName(const DocTypeRow& row);
// OutputFolder() & OutputFileName(row).
std::string OutputName(const DocTypeRow& row);
// False for a file name that cannot be written as one file of the output
// folder: one that holds "/", "\\" or a control character (NUL among them),
// is "." or "..", or names a device ("CON", "nul.tif", "COM1.JPG" ...).
// Dots elsewhere ("V1..2") are part of the name.
bool SafeFileName(std::string_view name);
// The name as a box or a log line can show it: control characters as "?".
std::string ShownName(std::string_view name);

// A later sheet of a type whose format holds one image per file would
// overwrite the one before: page n > 1 gets "_n" before the extension.
std::string SeparatePageName(std::string_view name, int16_t page);

// The names one commit writes. A name the commit has already used is never
// used again: the later file gets the first free "_n" (n from 2) before
// the extension, so a commit never overwrites a file it wrote itself.
class OutputNames {
 public:
  // `wanted`, or its first free numbered form; the answer counts as used.
  std::string Claim(const std::string& wanted);

 private:
  std::set<std::string> used_;
};

// The closing report of Messages(20) before its line breaks: takes the line
// speed from "[n]", turns TotalBytes into kB and TransferSeconds into the
// estimate (both in App), and fills {SIZE} (with "kb") and {TIME}, each
// appended at the end when missing.
std::string ClosingText(std::string m);

}  // namespace quillet
