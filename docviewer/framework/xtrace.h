#pragma once
// The trace: one line to the debugger output per traced step, written only
// while the registry switch is on - HKEY_LOCAL_MACHINE
// "SOFTWARE\Dornvale\ORN\Trace", DWORD value "LogType" present and not 0.
// The switch is read again on every call, so it takes effect at once in a
// running program. Nothing here throws: faults while formatting or writing
// are swallowed.
//
// A line reads "KIND: message (method file line)", KIND being MSG, ERR or
// WRN, method a class and method name such as "MFrame::OnCreate", file the
// source file's name. Variants put a value between message and parenthesis.
// Pass XTRACE_AT for the last two arguments:
//   XTraceLine(Xt::Msg, "start", "::WinMain", XTRACE_AT);
//   XTraceInt(Xt::Err, "count", n, "MFrame::OnSize", XTRACE_AT);

#include <cstdint>
#include <string_view>

#define XTRACE_AT __FILE__, __LINE__

enum class Xt { Msg, Err, Wrn };

// Whether the switch is on now.
bool XTraceEnabled();

// "%s: %s (%s %s %d)". Returns whether tracing was on.
bool XTraceLine(Xt kind, std::string_view msg, const char* method, const char* file, int line);
// "%s: %s %d (%s %s %d)". Returns whether tracing was on.
bool XTraceInt(Xt kind, std::string_view msg, int64_t value, const char* method, const char* file, int line);
// "%s: %s %.1024s (%s %s %d)".
void XTraceText(Xt kind, std::string_view msg, std::string_view value, const char* method, const char* file,
                int line);
// Wide text, converted to 8-bit (at most 2048 bytes), then as XTraceText.
// Returns whether tracing was on. (A COM string is a std::u16string here, so
// this variant also serves the COM-string one; the caller's string is freed
// by its own destructor.)
bool XTraceWide(Xt kind, std::string_view msg, std::u16string_view value, const char* method, const char* file,
                int line);
// "%s: %s true (...)" or "%s: %s false (...)".
void XTraceFlag(Xt kind, std::string_view msg, bool value, const char* method, const char* file, int line);
// "%s: %s %02X (%s %s %d)".
void XTraceByte(Xt kind, std::string_view msg, uint8_t value, const char* method, const char* file, int line);
// "%s: %s %08X (%s %s %d)"; a 64-bit value or pointer shows all its digits.
void XTraceHex(Xt kind, std::string_view msg, uint64_t value, const char* method, const char* file, int line);
void XTraceHex(Xt kind, std::string_view msg, const void* value, const char* method, const char* file, int line);
// "%s: [%3d] %.*s (%s %s %d)": `text` limited to `length` characters.
void XTraceCounted(Xt kind, int index, std::string_view text, int length, const char* method, const char* file,
                   int line);
void XTraceCounted(Xt kind, int index, std::u16string_view text, int length, const char* method,
                   const char* file, int line);

// Leveled detail points and assertion points have no effect in this system;
// they stay so that callers can keep their trace points.
inline void XTraceDetail(int /*level*/, const char* /*format*/, ...) {}
inline void XTraceAssert(int /*level*/, const char* /*condition*/, const char* /*method*/, const char* /*file*/,
                         int /*line*/) {}
// Writes "XTRPtrMsg -- never used?" without consulting the switch.
void XTRPtrMsg();
