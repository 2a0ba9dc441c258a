#pragma once
// File handles of the platform over host files.
//
// Paths are platform paths mapped to host paths (win32::HostPath). Each call
// sets the last error: the failure's code, or 0 when it succeeds.

#include "platform/windows/window.h"

namespace win {

inline HANDLE INVALID_HANDLE_VALUE() { return reinterpret_cast<HANDLE>(static_cast<intptr_t>(-1)); }

inline constexpr DWORD GENERIC_READ = 0x80000000;
inline constexpr DWORD GENERIC_WRITE = 0x40000000;
inline constexpr DWORD FILE_SHARE_READ = 1;
inline constexpr DWORD FILE_SHARE_WRITE = 2;
enum FileDisposition : DWORD { CREATE_ALWAYS = 2, OPEN_EXISTING = 3 };
enum FileAttributes : DWORD { FILE_ATTRIBUTE_NORMAL = 0x80 };
enum MoveMethod : DWORD { FILE_BEGIN = 0, FILE_CURRENT = 1, FILE_END = 2 };
constexpr DWORD INVALID_SET_FILE_POINTER = 0xFFFFFFFF;

// OPEN_EXISTING with GENERIC_READ, or CREATE_ALWAYS with GENERIC_WRITE.
// Fails with ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND or
// ERROR_ACCESS_DENIED (also for a directory).
HANDLE CreateFileW(const wchar_t* path, DWORD access, DWORD share, void* security, DWORD disposition,
                   DWORD attributes, HANDLE templateFile);
// Reads up to `toRead` bytes; *read = 0 at the end of the file (success).
bool ReadFile(HANDLE file, void* buffer, DWORD toRead, DWORD* read, void* overlapped);
bool WriteFile(HANDLE file, const void* buffer, DWORD toWrite, DWORD* written, void* overlapped);
DWORD SetFilePointer(HANDLE file, LONG distance, LONG* distanceHigh, DWORD method);
bool CloseHandle(HANDLE handle);

// Test hook: the next ReadFile on any handle fails with `error` after
// `afterBytes` more bytes were read (0 error = off).
void FailReadForTest(DWORD afterBytes, DWORD error);

}  // namespace win
