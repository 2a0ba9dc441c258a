#pragma once
// Device contexts of the display and of printers, and printer documents.
//
// Printers come from the file named by ORN_PRINTERS, one a line ("#" starts
// a comment line), fields separated by ";":
//   name=Office A4; dpi=300; size=2480x3508; offset=50x50; default
//   name=Jammed; dpi=600x300; size=4960x3508; offset=0x0; failpage=2; failerror=21
// dpi is one value or X x Y; size is the physical page and offset the
// printable area's origin on it, both in device pixels; "default" marks the
// default printer (else the first one is); failpage=N makes StartPage of
// page N fail with last error `failerror` (default 21, "device not ready").
// A malformed line throws std::runtime_error at the first use. Without
// ORN_PRINTERS there is one printer: "ORN PDF", 300 dpi, 2480x3508, offset
// 50x50, the default.
//
// A printer document is written as a PDF (cairo) into the folder named by
// ORN_SPOOL_DIR (created when missing; default: orn-spool-<uid> in the
// temporary path, a folder only this user may write, else StartDocW fails
// with ERROR_ACCESS_DENIED), named after the document with the process id and the job
// number: "ORN_-_RichEdit-4711-1.pdf". One PDF page per StartPage/EndPage;
// each TextOutW at its device position (the printable origin offset by the
// printer's offsets), in Liberation Mono of the selected cell height. EndDoc
// writes the transcript line  spool | <printer> | <file> | <pages>; AbortDoc
// removes the file and writes  spool | <printer> | aborted.
//
// Calls that fail set the last error; StartDocW, StartPage, EndPage, EndDoc
// and AbortDoc set it to 0 when they succeed.

#include <string>
#include <vector>

#include "platform/windows/window.h"

namespace win {

struct PrinterInfo {
  std::wstring name;
  int dpiX = 300, dpiY = 300;
  int width = 2480, height = 3508;  // physical page, device pixels
  int offsetX = 50, offsetY = 50;   // printable origin, device pixels
  bool isDefault = false;
  int failPage = 0;                 // 0 = never
  DWORD failError = ERROR_NOT_READY;
};

// The configured printers (read once from ORN_PRINTERS).
const std::vector<PrinterInfo>& ConfiguredPrinters();
// The default printer, or null when there is none.
const PrinterInfo* DefaultPrinter();
// Replaces the configuration (tests); Reset makes the next use read
// ORN_PRINTERS again.
void SetPrintersForTest(std::vector<PrinterInfo> printers);
void ResetPrintersForTest();

// "DISPLAY" as driver (device null) gives a display context; driver null or
// "WINSPOOL" with a printer name gives that printer's context. Null with
// ERROR_INVALID_PRINTER_NAME for an unknown printer.
HDC CreateDCW(const wchar_t* driver, const wchar_t* device, const wchar_t* port, const void* devMode);
bool DeleteDC(HDC hdc);  // aborts a document still open

enum DeviceCap : int {
  TECHNOLOGY = 2,
  HORZRES = 8,
  VERTRES = 10,
  LOGPIXELSX = 88,
  LOGPIXELSY = 90,
  PHYSICALWIDTH = 110,
  PHYSICALHEIGHT = 111,
  PHYSICALOFFSETX = 112,
  PHYSICALOFFSETY = 113,
};
enum Technology : int { DT_RASDISPLAY = 1, DT_RASPRINTER = 2 };
// Display: 96 dpi, the screen's size, no physical page (0).
int GetDeviceCaps(HDC hdc, int index);

enum BkMode : int { TRANSPARENT = 1, OPAQUE = 2 };
int SetBkMode(HDC hdc, int mode);  // the previous mode, 0 on failure
// Selects a fixed-pitch font whose cell is `height` device pixels high.
bool SelectFontHeight(HDC hdc, int height);
// Draws text with its cell's top-left corner at (x, y), device pixels of
// the printable area. On a printer only between StartPage and EndPage.
bool TextOutW(HDC hdc, int x, int y, const wchar_t* text, int length);

using ABORTPROC = BOOL (*)(HDC, int);
// The abort procedure runs in every EndPage; when it answers 0 the document
// is cancelled (EndPage answers SP_APPABORT).
int SetAbortProc(HDC hdc, ABORTPROC proc);

struct DOCINFOW {
  int cbSize = sizeof(DOCINFOW);
  const wchar_t* lpszDocName = nullptr;
  const wchar_t* lpszOutput = nullptr;
  const wchar_t* lpszDatatype = nullptr;
  DWORD fwType = 0;
};
enum SpoolResult : int { SP_ERROR = -1, SP_APPABORT = -2 };

// The job number (> 0), or SP_ERROR.
int StartDocW(HDC hdc, const DOCINFOW* info);
int StartPage(HDC hdc);
int EndPage(HDC hdc);
int EndDoc(HDC hdc);
int AbortDoc(HDC hdc);

// What was drawn on a context since it was made, for tests.
struct DrawnText {
  int page = 0;  // 1-based printer page; 0 on the display
  int x = 0, y = 0, height = 0;
  std::wstring text;
};
std::vector<DrawnText> DrawnTextsForTest(HDC hdc);
// The file of the context's last printer document ("" when none).
std::string SpoolFileForTest(HDC hdc);

}  // namespace win
