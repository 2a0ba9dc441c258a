#pragma once
// Message resources: the platform's message tables, stood in for by text
// catalogues of ids and texts.
//
// Catalogue text, one message a line; blank lines and lines starting with
// "#" or ";" are skipped:
//   0x40210001 400 ORN message resources
//   0xC0200048 Table %s is full
// The id is hexadecimal with "0x" or decimal, then blanks, then the text up
// to the end of the line, in which \n, \r, \t and \\ stand for a line break,
// a carriage return, a tab and a backslash. A later line for the same id wins.
//
// Calls that fail set the thread's last error (LastError) to a platform
// error number.

#include <cstdint>
#include <string>
#include <string_view>

namespace msgres {

enum Status : uint32_t {
  kSuccess = 0,
  kFileNotFound = 2,
  kInvalidHandle = 6,
  kBadFormat = 11,          // the file is not a catalogue
  kMessageNotFound = 317,   // the library has no message of that id
};

using Library = uintptr_t;  // 0 = none

// Loads the catalogue file `path` as a data file ("\" in the path is read as
// "/"). 0 on failure: kFileNotFound, or kBadFormat naming no line.
Library LoadLibraryEx(std::string_view path);
// A library made from catalogue text that a program holds itself (the
// Internet library's texts, for one). 0 when the text does not parse.
Library LoadBuiltin(std::string_view name, std::string_view catalogue);
bool FreeLibrary(Library library);

// The running program's own message table; it is empty unless the program
// sets it. ThisModule() is always a valid library and never freed.
Library ThisModule();
void SetModuleCatalogue(std::string_view catalogue);

// The text of message `id` of `library`, ending in "\r\n" like the
// platform's messages; with `noLineBreaks` every line break becomes a blank
// and no break ends it. False (and kMessageNotFound or kInvalidHandle) when
// there is none.
bool FormatMessage(Library library, uint32_t id, bool noLineBreaks, std::string* out);
// The platform's own text of a system error number, ending in "\r\n";
// false when it has none.
bool FormatSystemMessage(uint32_t error, std::string* out);

// The last error of this thread's calls.
uint32_t LastError();

}  // namespace msgres
