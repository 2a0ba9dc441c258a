#include "docviewer/reutil.h"

#include <algorithm>
#include <cwctype>

#include "docviewer/framework/xtrace.h"
#include "platform/windows/errors.h"
#include "platform/windows/fileio.h"

using namespace win;

namespace REUtil {

namespace {

constexpr const wchar_t* kDocName = L"ORN - RichEdit";

bool StartsWithRtf(const char* bytes, size_t length) {
  const char* sig = "{\\rtf";
  if (length < 5) return false;
  for (size_t i = 0; i < 5; ++i)
    if (std::towlower(static_cast<unsigned char>(bytes[i])) != static_cast<wint_t>(sig[i])) return false;
  return true;
}

// Integer arithmetic of the page rectangle, in 64 bits so that no printer's
// numbers can overflow; the results are those of the 32-bit formula.
int32_t Div(int64_t a, int64_t b) { return static_cast<int32_t>(a / b); }

}  // namespace

void GetPrinterMetrics(HDC hdc, PrinterMetrics* out) {
  out->dpiX = GetDeviceCaps(hdc, LOGPIXELSX);
  out->dpiY = GetDeviceCaps(hdc, LOGPIXELSY);
  out->physWidth = GetDeviceCaps(hdc, PHYSICALWIDTH);
  out->physHeight = GetDeviceCaps(hdc, PHYSICALHEIGHT);
  out->offsetX = GetDeviceCaps(hdc, PHYSICALOFFSETX);
  out->offsetY = GetDeviceCaps(hdc, PHYSICALOFFSETY);
}

void MarginsToTwips(const PrintMargins& margins, const PrinterMetrics& m, RECT* page) {
  *page = RECT{};
  // A context without a resolution would divide by zero below.
  if (m.dpiX <= 0 || m.dpiY <= 0) return;
  int32_t left = std::max(0, Div(int64_t{m.dpiX} * margins.left, 100) - m.offsetX);
  int32_t top = std::max(0, Div(int64_t{m.dpiY} * margins.top, 100) - m.offsetY);
  int32_t right = std::max(0, Div(int64_t{m.dpiX} * margins.right, 100) - m.offsetX);
  int32_t bottom = std::max(0, Div(int64_t{m.dpiY} * margins.bottom, 100) - m.offsetY);
  page->left = Div(int64_t{left} * 1440, m.dpiX);
  page->top = Div(int64_t{top} * 1440, m.dpiY);
  page->right = Div((int64_t{m.physWidth} - right) * 1440, m.dpiX);
  page->bottom = Div((int64_t{m.physHeight} - bottom) * 1440, m.dpiY);
}

DWORD ReadDoc(uintptr_t cookie, uint8_t* buffer, LONG bytes, LONG* done) {
  DWORD read = 0;
  if (!ReadFile(reinterpret_cast<HANDLE>(cookie), buffer, static_cast<DWORD>(bytes), &read, nullptr)) {
    *done = 0;
    DWORD error = GetLastError();
    return error ? error : ERROR_READ_FAULT;
  }
  *done = static_cast<LONG>(read);
  return 0;
}

DWORD ReadText(uintptr_t cookie, uint8_t* buffer, LONG bytes, LONG* done) {
  auto** text = reinterpret_cast<const char**>(cookie);
  LONG n = 0;
  while (n < bytes && (*text)[n]) {
    buffer[n] = static_cast<uint8_t>((*text)[n]);
    ++n;
  }
  *text += n;
  *done = n;
  return 0;
}

bool LoadREFile(HWND control, const wchar_t* path) {
  bool result = false;
  DWORD error = ERROR_SUCCESS;
  HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                            nullptr);
  if (file == INVALID_HANDLE_VALUE()) {
    error = GetLastError();
  } else {
    SendMessageW(control, WM_SETREDRAW, 0, 0);
    char head[5];
    DWORD got = 0;
    bool ok = ReadFile(file, head, sizeof head, &got, nullptr);
    if (ok && SetFilePointer(file, 0, nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER) ok = false;
    if (!ok) {
      error = GetLastError();
    } else {
      EDITSTREAM es;
      es.dwCookie = reinterpret_cast<uintptr_t>(file);
      es.pfnCallback = ReadDoc;
      SendMessageW(control, EM_STREAMIN, StartsWithRtf(head, got) ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&es));
      SendMessageW(control, EM_SETMODIFY, 0, 0);
      SendMessageW(control, WM_SETREDRAW, 1, 0);
      error = es.dwError;
      result = es.dwError == 0;
    }
    CloseHandle(file);
  }
  InvalidateRect(control, nullptr, true);
  // The clean-up calls above succeed and clear the last error; the caller
  // reports the failure's own code.
  SetLastError(error);
  return result;
}

bool LoadREText(HWND control, const char* text) {
  if (!text) return false;
  SendMessageW(control, WM_SETREDRAW, 0, 0);
  const char* next = text;
  size_t length = 0;
  while (length < 5 && text[length]) ++length;
  EDITSTREAM es;
  es.dwCookie = reinterpret_cast<uintptr_t>(&next);
  es.pfnCallback = ReadText;
  LRESULT taken =
      SendMessageW(control, EM_STREAMIN, StartsWithRtf(text, length) ? SF_RTF : SF_TEXT, reinterpret_cast<LPARAM>(&es));
  SendMessageW(control, EM_SETMODIFY, 0, 0);
  SendMessageW(control, WM_SETREDRAW, 1, 0);
  InvalidateRect(control, nullptr, true);
  return taken != 0;
}

bool IsEOF(HWND control, LONG cp) {
  wchar_t buf[2] = {};
  TEXTRANGEW tr;
  tr.chrg = {cp, cp + 1};
  tr.lpstrText = buf;
  return SendMessageW(control, EM_GETTEXTRANGE, 0, reinterpret_cast<LPARAM>(&tr)) == 0;
}

BOOL AbortProc(HDC, int) {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      // The quit belongs to the main loop: put it back for it and stop here.
      PostQuitMessage(static_cast<int>(msg.wParam));
      break;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  return 1;
}

LONG PrintREPage(HDC hdc, HWND control, const RECT& page, LONG first, LONG last) {
  FORMATRANGE fr;
  fr.hdc = fr.hdcTarget = hdc;
  fr.rc = fr.rcPage = page;
  fr.chrg = {first, last};
  LRESULT next = SendMessageW(control, EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&fr));
  XTraceInt(Xt::Msg, "FORMATRANGE", next, "REUtil::PrintREPage", XTRACE_AT);
  return static_cast<LONG>(next);
}

bool StartREDoc(HDC hdc) {
  if (SetAbortProc(hdc, AbortProc) <= 0) return false;
  SetBkMode(hdc, TRANSPARENT);
  DOCINFOW di;
  di.lpszDocName = kDocName;
  SetLastError(ERROR_SUCCESS);
  if (StartDocW(hdc, &di) <= 0) {
    XTraceHex(Xt::Err, "StartDoc error", GetLastError(), "REUtil::StartREDoc", XTRACE_AT);
    return false;
  }
  return true;
}

bool EndREDoc(HDC hdc, HWND control) {
  bool ok = EndDoc(hdc) > 0;
  DWORD error = ok ? ERROR_SUCCESS : GetLastError();
  if (!ok) {
    XTraceHex(Xt::Err, "EndDoc error", error, "REUtil::EndREDoc", XTRACE_AT);
    AbortDoc(hdc);
  }
  SendMessageW(control, EM_FORMATRANGE, 0, 0);
  SetLastError(error);
  return ok;
}

bool PrintREDoc(HDC hdc, HWND control, const RECT& page) {
  bool result = false;
  DWORD error = ERROR_SUCCESS;
  DOCINFOW di;
  di.lpszDocName = kDocName;
  if (SetAbortProc(hdc, AbortProc) <= 0) {
    error = GetLastError();
  } else {
    FORMATRANGE fr;
    fr.hdc = fr.hdcTarget = hdc;
    fr.rc = fr.rcPage = page;
    fr.chrg = {0, -1};
    SetLastError(ERROR_SUCCESS);
    if (StartDocW(hdc, &di) <= 0) {
      error = GetLastError();
      XTraceHex(Xt::Err, "StartDoc error", error, "REUtil::PrintREDoc", XTRACE_AT);
    } else {
      for (int pageNo = 1;; ++pageNo) {
        XTraceInt(Xt::Msg, "printing page", pageNo, "REUtil::PrintREDoc", XTRACE_AT);
        if (StartPage(hdc) <= 0) {
          error = GetLastError();
          XTraceHex(Xt::Err, "StartPage error", error, "REUtil::PrintREDoc", XTRACE_AT);
          break;
        }
        LONG first = fr.chrg.cpMin;
        auto next = static_cast<LONG>(SendMessageW(control, EM_FORMATRANGE, 1, reinterpret_cast<LPARAM>(&fr)));
        XTraceInt(Xt::Msg, "FORMATRANGE", next, "REUtil::PrintREDoc", XTRACE_AT);
        if (EndPage(hdc) <= 0) {
          error = GetLastError();
          XTraceHex(Xt::Err, "EndPage error", error, "REUtil::PrintREDoc", XTRACE_AT);
          break;
        }
        if (IsEOF(control, next)) {
          if (EndDoc(hdc) <= 0) {
            error = GetLastError();
            XTraceHex(Xt::Err, "EndDoc error", error, "REUtil::PrintREDoc", XTRACE_AT);
          } else {
            result = true;
          }
          break;
        }
        // A page that takes no character (a line higher than the page) would
        // repeat for ever: give up instead of printing blank pages.
        if (next <= first) {
          error = ERROR_INVALID_PARAMETER;
          XTraceInt(Xt::Err, "no progress at character", next, "REUtil::PrintREDoc", XTRACE_AT);
          break;
        }
        fr.chrg = {next, -1};
        fr.rc.bottom = page.bottom;
      }
    }
  }
  if (!result) AbortDoc(hdc);
  if (control) SendMessageW(control, EM_FORMATRANGE, 0, 0);
  // AbortDoc and the release succeed and clear the last error; the caller
  // reports the failure's own code.
  SetLastError(error);
  return result;
}

}  // namespace REUtil
