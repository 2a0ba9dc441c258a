#include "platform/windows/errors.h"

#include <cerrno>
#include <map>

namespace win {

namespace {
thread_local DWORD g_lastError = 0;

constexpr DWORD kMrMidNotFound = 317;  // "no text for this message number"

const std::map<DWORD, const wchar_t*>& SystemTexts() {
  static const std::map<DWORD, const wchar_t*> texts = {
      {0, L"The operation completed successfully."},
      {2, L"The system cannot find the file specified."},
      {3, L"The system cannot find the path specified."},
      {5, L"Access is denied."},
      {6, L"The handle is invalid."},
      {8, L"Not enough memory resources are available to process this command."},
      {21, L"The device is not ready."},
      {29, L"The system cannot write to the specified device."},
      {30, L"The system cannot read from the specified device."},
      {31, L"A device attached to the system is not functioning."},
      {38, L"Reached the end of the file."},
      {63, L"Your file waiting to be printed was deleted."},
      {87, L"The parameter is incorrect."},
      {112, L"There is not enough space on the disk."},
      {122, L"The data area passed to a system call is too small."},
      {126, L"The specified module could not be found."},
      {1113, L"No mapping for the Unicode character exists in the target multi-byte code page."},
      {1223, L"The operation was canceled by the user."},
      {1400, L"Invalid window handle."},
      {1401, L"Invalid menu handle."},
      {1801, L"The printer name is invalid."},
      {1814, L"The specified resource name cannot be found in the image file."},
  };
  return texts;
}
}  // namespace

DWORD GetLastError() { return g_lastError; }

DWORD ErrorFromErrno(int e, DWORD other) {
  switch (e) {
    case ENOENT: return ERROR_FILE_NOT_FOUND;
    case ENOTDIR: return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return ERROR_ACCESS_DENIED;
    case ENOSPC:
    case EDQUOT:
    case EFBIG: return ERROR_DISK_FULL;
    case ENOMEM: return ERROR_NOT_ENOUGH_MEMORY;
    default: return other;
  }
}
void SetLastError(DWORD code) { g_lastError = code; }

DWORD FormatMessageW(DWORD flags, DWORD code, std::wstring* out) {
  out->clear();
  if (!(flags & FORMAT_MESSAGE_FROM_SYSTEM)) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return 0;
  }
  auto it = SystemTexts().find(code);
  if (it == SystemTexts().end()) {
    SetLastError(kMrMidNotFound);
    return 0;
  }
  *out = it->second;
  if (!(flags & FORMAT_MESSAGE_MAX_WIDTH_MASK)) *out += L"\r\n";
  return static_cast<DWORD>(out->size());
}

}  // namespace win
