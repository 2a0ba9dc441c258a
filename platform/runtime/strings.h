#pragma once
// The runtime's text functions. Positions are 1-based, as in the runtime.
// Invalid arguments (a start below 1, a negative length) raise error 5.

#include <cstdint>
#include <string>
#include <string_view>

namespace rt {

// Position of `find` in `text` from `start`, 0 when absent; an empty `find`
// gives `start` (or 0 when start > length).
int32_t InStr(int32_t start, std::string_view text, std::string_view find);
inline int32_t InStr(std::string_view text, std::string_view find) { return InStr(1, text, find); }
// Last position of `find`, searching backwards from `start` (-1 = end).
int32_t InStrRev(std::string_view text, std::string_view find, int32_t start = -1);
std::string Mid(std::string_view text, int32_t start);
std::string Mid(std::string_view text, int32_t start, int32_t length);
std::string Left(std::string_view text, int32_t length);
std::string Right(std::string_view text, int32_t length);
// Case changes of UTF-8 text, letter by letter ("müller" -> "MÜLLER"); a
// letter whose other case has another length in bytes keeps its case, and
// bytes that are not UTF-8 pass unchanged, so the byte length never changes.
std::string UCase(std::string_view text);
std::string LCase(std::string_view text);
std::string Trim(std::string_view text);   // blanks only, not tabs
std::string LTrim(std::string_view text);
std::string RTrim(std::string_view text);
std::string Replace(std::string_view text, std::string_view find, std::string_view with);
std::string Space(int32_t n);
std::string String(int32_t n, char c);
int32_t Len(std::string_view text);
// StrComp: -1, 0 or 1 as a sorts before, equal to or after b; the text
// compare ignores the case of a-z (bytes compare unsigned).
enum CompareMethod { kBinaryCompare = 0, kTextCompare = 1 };
int32_t StrComp(std::string_view a, std::string_view b, CompareMethod compare = kBinaryCompare);

}  // namespace rt
