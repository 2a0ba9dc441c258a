#include "platform/windows/errors.h"

#include <cerrno>

#include "platform/win32/system_texts.h"

namespace win {

namespace {
thread_local DWORD g_lastError = 0;

constexpr DWORD kMrMidNotFound = 317;  // "no text for this message number"
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
  const char* text = win32::SystemErrorText(code);
  if (!text) {
    SetLastError(kMrMidNotFound);
    return 0;
  }
  // The texts are ASCII.
  for (const char* c = text; *c; ++c) out->push_back(static_cast<wchar_t>(*c));
  if (!(flags & FORMAT_MESSAGE_MAX_WIDTH_MASK)) *out += L"\r\n";
  return static_cast<DWORD>(out->size());
}

}  // namespace win
