#pragma once
// REUtil: streaming a file or a text into a rich edit control and printing
// the control's whole content on a printer, page by page. No state is kept
// between calls; failures are results (the last error tells why), never
// exceptions or messages.

#include <cstdint>

#include "platform/printing/gdi.h"
#include "platform/richedit/richedit.h"
#include "platform/windows/window.h"

namespace REUtil {

// Device values of one device context, device pixels.
struct PrinterMetrics {
  int32_t dpiX = 0, dpiY = 0;
  int32_t physWidth = 0, physHeight = 0;
  int32_t offsetX = 0, offsetY = 0;
};

// Hundredths of an inch.
struct PrintMargins {
  int32_t left = 0, top = 0, right = 0, bottom = 0;
};

void GetPrinterMetrics(win::HDC hdc, PrinterMetrics* out);
// The page rectangle in twips, relative to the printable area's origin; the
// margins are measured from the paper's edges. Metrics without a resolution
// (a display context) give an empty rectangle.
void MarginsToTwips(const PrintMargins& margins, const PrinterMetrics& metrics, win::RECT* page);

// Replaces the control's content with the file (RTF when it starts with
// "{\rtf" in any case, else plain text). True when it was read without
// error; on false the last error is the failure's own code.
bool LoadREFile(win::HWND control, const wchar_t* path);
// The same for a NUL-terminated text; true when the control took any of it.
bool LoadREText(win::HWND control, const char* text);

// Prints the whole content, one document "ORN - RichEdit". True when every
// page was printed and the document ended; on false the document is
// aborted and the last error is the failure's own code. `control` may be
// null only to end a document (nothing is then released in the control).
bool PrintREDoc(win::HDC hdc, win::HWND control, const win::RECT& page);
// One EM_FORMATRANGE of [first, last) into the page: the first character
// not printed.
win::LONG PrintREPage(win::HDC hdc, win::HWND control, const win::RECT& page, win::LONG first, win::LONG last);
// For callers that drive the pages themselves: abort procedure, transparent
// background, StartDoc.
bool StartREDoc(win::HDC hdc);
// EndDoc (else AbortDoc); releases the control's format cache.
bool EndREDoc(win::HDC hdc, win::HWND control);
// True when no character stands at `cp`.
bool IsEOF(win::HWND control, win::LONG cp);
// Runs the thread's waiting messages while a page is printed; always
// continues.
win::BOOL AbortProc(win::HDC hdc, int error);

// Stream callbacks: the cookie is an open file handle, or the address of a
// pointer to the next character of a text.
win::DWORD ReadDoc(uintptr_t cookie, uint8_t* buffer, win::LONG bytes, win::LONG* done);
win::DWORD ReadText(uintptr_t cookie, uint8_t* buffer, win::LONG bytes, win::LONG* done);

}  // namespace REUtil
