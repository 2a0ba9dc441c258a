#pragma once
// The thread's last error and the system message texts.
//
// Calls of the stand-ins that report failure through the last error set it
// when they fail; the ones whose header says so also set it to 0 when they
// succeed, so a caller must read it right after the failing call.

#include <cstdint>
#include <string>

namespace win {

using DWORD = uint32_t;

enum ErrorCode : DWORD {
  ERROR_SUCCESS = 0,
  ERROR_FILE_NOT_FOUND = 2,
  ERROR_PATH_NOT_FOUND = 3,
  ERROR_ACCESS_DENIED = 5,
  ERROR_INVALID_HANDLE = 6,
  ERROR_NOT_ENOUGH_MEMORY = 8,
  ERROR_NOT_READY = 21,
  ERROR_WRITE_FAULT = 29,
  ERROR_READ_FAULT = 30,
  ERROR_GEN_FAILURE = 31,
  ERROR_HANDLE_EOF = 38,
  ERROR_PRINT_CANCELLED = 63,
  ERROR_INVALID_PARAMETER = 87,
  ERROR_DISK_FULL = 112,
  ERROR_INSUFFICIENT_BUFFER = 122,
  ERROR_INVALID_WINDOW_HANDLE = 1400,
  ERROR_INVALID_MENU_HANDLE = 1401,
  ERROR_RESOURCE_NAME_NOT_FOUND = 1814,
  ERROR_MOD_NOT_FOUND = 126,
  ERROR_NO_UNICODE_TRANSLATION = 1113,
  ERROR_CANCELLED = 1223,
  ERROR_INVALID_PRINTER_NAME = 1801,
};

DWORD GetLastError();
void SetLastError(DWORD code);

// The system's code for a Linux errno; `other` for one without its own.
DWORD ErrorFromErrno(int e, DWORD other);

inline constexpr DWORD FORMAT_MESSAGE_IGNORE_INSERTS = 0x200;
inline constexpr DWORD FORMAT_MESSAGE_FROM_SYSTEM = 0x1000;
inline constexpr DWORD FORMAT_MESSAGE_MAX_WIDTH_MASK = 0xFF;

// The system's text for `code` (FORMAT_MESSAGE_FROM_SYSTEM), ending with
// CR LF unless FORMAT_MESSAGE_MAX_WIDTH_MASK is given. Returns the length;
// 0 with the last error 317 when the code has no text.
DWORD FormatMessageW(DWORD flags, DWORD code, std::wstring* out);

}  // namespace win
