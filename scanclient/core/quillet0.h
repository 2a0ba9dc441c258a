#pragma once
// The shared module of the scanning client: INI access, the log file, the
// event log, and the small helpers nearly every procedure uses. They keep no
// state of their own; they read IniPath, LogPath and ProductName from App.

#include <cstdint>
#include <string>
#include <string_view>

namespace quillet {

// The value of `key` in [section] of the INI file, at most 511 characters;
// "" when the file, section or key is missing. Everything from the first
// "!!" on is an inline comment and cut off (blanks before it stay).
std::string GetIni(std::string_view section, std::string_view key);

// Appends "yyyy-mm-dd hh:nn:ss text" to LogPath, or to C:\<ProductName>.log
// while LogPath is empty. Opened and closed per line. A file that cannot be
// written raises the runtime's file error to the caller, its description
// followed by the file's name in parentheses.
void LogLine(std::string_view text);

// Writes one record to the event log under the application title; `data`
// travels as its single-byte characters. A source that cannot be registered
// is skipped silently; a failed report shows one box and goes on.
void LogEvent(std::string_view message, uint16_t eventType, uint32_t eventId, std::string_view data);

// floor(x + 0.5) as a 16-bit integer; error 6 outside -32768..32767.
int16_t RoundInt(double x);

// The yes/no rule of the INI file: the first character, in upper case, is
// one of "JYT1". An empty text gives `emptyIsYes`.
bool IsYes(std::string_view text, bool emptyIsYes);

// Replaces the first "{APP.PATH}" by the program directory, then the first
// "{FIL.PATH}" in the result by FilPath, then the first "{USR.PATH}" by the
// user's own state folder (made when missing; win32::StateDirectory), so
// that a profile shared by every user of a computer can name a log each of
// them may write (case-sensitive; later ones stay).
std::string ReplacePlaceholders(std::string_view path);

// True when a file of that name exists; normal, read-only, hidden and
// system files count. The path is a platform path ("C:\..." or "\" allowed).
bool FileFound(std::string_view path);

// "folder" + separator + "name", with the host's separator.
std::string JoinPath(std::string_view folder, std::string_view name);

// The current date and time as the system's general text, and as the
// "yyyymmdd hhnnss" data of an event record.
std::string NowGeneral();
std::string NowEventData();

}  // namespace quillet
