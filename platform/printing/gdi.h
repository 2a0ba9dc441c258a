#pragma once
// Device contexts of the display and of printers, and printer documents.
//
// Printers: without ORN_PRINTERS, the embedded printer "ORN PDF" (300 dpi,
// A4 of 2480x3508 pixels, offset 50x50), which keeps each job as a PDF in the
// spool folder, and the printers of a reachable CUPS server (cups.h) with
// their page size and resolution; CUPS's default printer is the default,
// else "ORN PDF". Tests name their printers in the file ORN_PRINTERS names
// instead, one a line ("#" starts a comment line), fields separated by ";":
//   name=Office A4; dpi=300; size=2480x3508; offset=50x50; default
//   name=Jammed; dpi=600x300; size=4960x3508; offset=0x0; failpage=2; failerror=21
// dpi is one value or X x Y; size is the physical page and offset the
// printable area's origin on it, both in device pixels; "default" marks the
// default printer (else the first one is); failpage=N makes StartPage of
// page N fail with last error `failerror` (default 21, "device not ready").
// A file that cannot be read or a malformed line throws
// uiscript::ScriptError at the first use, naming ORN_PRINTERS and what it
// takes (the programs end with 124).
//
// A printer document is written as a PDF (cairo) into the folder named by
// ORN_SPOOL_DIR (created when missing; default: orn-spool-<uid> in the
// temporary path, a folder only this user may write, else StartDocW fails
// with ERROR_ACCESS_DENIED), named after the document with the process id and the job
// number: "ORN_-_RichEdit-4711-1.pdf". One PDF page per StartPage/EndPage.
// EndDoc keeps the file for "ORN PDF" and writes the transcript line
//   spool | <printer> | <file> | <pages>
// and for a CUPS printer submits it as a PDF job and removes it:
//   spool | <printer> | cups job <number> | <pages>
// A context of more than one copy ends the line with "| <N> copies" (and
// " collated"): "ORN PDF" writes the document N times into its file, each
// page N times over or, collated, the whole document N times; a CUPS job
// asks the printer for the copies.
// AbortDoc, and a failed EndDoc, remove the file and write
// spool | <printer> | aborted.
//
// A failure is the failure of its step: a spool file that cannot be made
// fails StartDocW, a write the disk refuses or a character the PDF cannot
// take fails EndPage (or EndDoc, when it shows only there), a job CUPS does
// not take fails EndDoc, each with its system error code (ERROR_DISK_FULL,
// ERROR_ACCESS_DENIED, ERROR_NO_UNICODE_TRANSLATION, ...).
//
// Calls that fail set the last error; StartDocW, StartPage, EndPage, EndDoc
// and AbortDoc set it to 0 when they succeed.

#include <cairo.h>

#include <string>
#include <vector>

#include "platform/windows/window.h"

namespace win {

inline constexpr const wchar_t* kPdfPrinter = L"ORN PDF";

struct PrinterInfo {
  std::wstring name;
  int dpiX = 300, dpiY = 300;
  int width = 2480, height = 3508;  // physical page, device pixels
  int offsetX = 50, offsetY = 50;   // printable origin, device pixels
  bool isDefault = false;
  int failPage = 0;                 // 0 = never
  DWORD failError = ERROR_NOT_READY;
  bool cups = false;                // a printer of the CUPS server
};

// The configured printers (read once from ORN_PRINTERS).
const std::vector<PrinterInfo>& ConfiguredPrinters();
// The default printer, or null when there is none.
const PrinterInfo* DefaultPrinter();
// Replaces the configuration (tests); Reset makes the next use read
// ORN_PRINTERS again.
void SetPrintersForTest(std::vector<PrinterInfo> printers);
void ResetPrintersForTest();

// The part of a device mode kept here: how many copies of each document a
// printer context makes, and whether they are collated (whole documents one
// after the other) or not (each page N times). Fields not named in dmFields
// keep their defaults (one copy).
inline constexpr DWORD DM_COPIES = 0x00000100;
inline constexpr DWORD DM_COLLATE = 0x00008000;
inline constexpr short DMCOLLATE_FALSE = 0, DMCOLLATE_TRUE = 1;
struct DEVMODEW {
  DWORD dmFields = 0;
  short dmCopies = 1;
  short dmCollate = DMCOLLATE_FALSE;
};

// "DISPLAY" as driver (device null) gives a display context; driver null or
// "WINSPOOL" with a printer name gives that printer's context, with the
// copies and collation of `devMode` (null: one copy). Null with
// ERROR_INVALID_PRINTER_NAME for an unknown printer, ERROR_INVALID_PARAMETER
// for copies outside 1 to 9999.
HDC CreateDCW(const wchar_t* driver, const wchar_t* device, const wchar_t* port, const DEVMODEW* devMode);
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
// Draws text (Liberation Mono) with its cell's top-left corner at (x, y),
// device pixels of the printable area. On a printer only between StartPage
// and EndPage; a character the PDF refuses fails it.
bool TextOutW(HDC hdc, int x, int y, const wchar_t* text, int length);

// The cairo context of the page open on a printer context, its user space
// in device pixels of the printable area; null when no page is open (and
// on the display). Drawing there that fails leaves the context in an error
// state, which EndPage reports as the page's failure.
cairo_t* PageCairoContext(HDC hdc);

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
