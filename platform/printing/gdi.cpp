#include "platform/printing/gdi.h"

#include <cairo-pdf.h>
#include <cairo.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <stdexcept>

#include "platform/printing/cups.h"
#include "platform/runtime/durable_file.h"
#include "platform/runtime/shared_folder.h"
#include "platform/settings/settings.h"
#include "platform/uiscript/uiscript.h"
#include "platform/win32/environment.h"
#include "platform/windows/text.h"

namespace win {

namespace {

namespace fs = std::filesystem;

// ---- configuration

std::string Trim(std::string s) {
  size_t a = s.find_first_not_of(" \t\r");
  size_t b = s.find_last_not_of(" \t\r");
  return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
}

constexpr const char* kPrintersTake =
    "a file of printers, one a line: name=NAME; dpi=N or XxY; size=WxH "
    "[; offset=XxY] [; default] [; failpage=N] [; failerror=N]";

// A bad line of the printers file is a bad setting: one line on standard
// error, and the program ends with 124.
[[noreturn]] void Bad(int line, const std::string& what) {
  const char* path = std::getenv("ORN_PRINTERS");
  settings::BadSetting("ORN_PRINTERS", kPrintersTake, path ? path : "", "line " + std::to_string(line) + ": " + what);
}

int Number(int line, const std::string& text) {
  try {
    size_t used = 0;
    int v = std::stoi(text, &used);
    if (used == text.size() && v >= 0) return v;
  } catch (const std::exception&) {
  }
  Bad(line, "'" + text + "' is not a number");
}

std::pair<int, int> Pair(int line, const std::string& text, bool single) {
  auto x = text.find_first_of("xX");
  if (x == std::string::npos) {
    if (!single) Bad(line, "'" + text + "' is not WxH");
    int v = Number(line, text);
    return {v, v};
  }
  return {Number(line, text.substr(0, x)), Number(line, text.substr(x + 1))};
}

PrinterInfo ParseLine(int line, const std::string& text) {
  PrinterInfo p;
  bool haveName = false, haveDpi = false, haveSize = false;
  p.offsetX = p.offsetY = 0;
  size_t start = 0;
  while (start <= text.size()) {
    size_t semi = text.find(';', start);
    std::string field = Trim(text.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
    start = semi == std::string::npos ? text.size() + 1 : semi + 1;
    if (field.empty()) continue;
    auto eq = field.find('=');
    std::string key = Trim(field.substr(0, eq));
    std::string value = eq == std::string::npos ? "" : Trim(field.substr(eq + 1));
    if (key == "default" && eq == std::string::npos) {
      p.isDefault = true;
    } else if (key == "name" && !value.empty()) {
      p.name = FromUtf8(value);
      haveName = true;
    } else if (key == "dpi") {
      std::tie(p.dpiX, p.dpiY) = Pair(line, value, true);
      haveDpi = p.dpiX > 0 && p.dpiY > 0;
      if (!haveDpi) Bad(line, "dpi must be above 0");
    } else if (key == "size") {
      std::tie(p.width, p.height) = Pair(line, value, false);
      haveSize = p.width > 0 && p.height > 0;
      if (!haveSize) Bad(line, "size must be above 0");
    } else if (key == "offset") {
      std::tie(p.offsetX, p.offsetY) = Pair(line, value, false);
    } else if (key == "failpage") {
      p.failPage = Number(line, value);
    } else if (key == "failerror") {
      p.failError = static_cast<DWORD>(Number(line, value));
    } else {
      Bad(line, "unknown field '" + field + "'");
    }
  }
  if (!haveName || !haveDpi || !haveSize) Bad(line, "name, dpi and size are required");
  if (p.offsetX * 2 >= p.width || p.offsetY * 2 >= p.height) Bad(line, "the offsets leave no printable area");
  return p;
}

// Without ORN_PRINTERS: the embedded PDF printer and the printers of a CUPS
// server; CUPS's default printer is the default when it has one.
std::vector<PrinterInfo> SystemPrinters() {
  PrinterInfo pdf;
  pdf.name = kPdfPrinter;
  std::vector<PrinterInfo> list = {pdf};
  bool haveDefault = false;
  for (PrinterInfo& p : cups::Printers()) {
    if (p.name == kPdfPrinter) continue;
    haveDefault = haveDefault || p.isDefault;
    list.push_back(std::move(p));
  }
  list.front().isDefault = !haveDefault;
  return list;
}

std::vector<PrinterInfo> ReadPrinters() {
  const char* path = std::getenv("ORN_PRINTERS");
  if (!path) return SystemPrinters();
  std::ifstream in(path);
  if (!in) settings::BadSetting("ORN_PRINTERS", kPrintersTake, path, "it cannot be read");
  std::vector<PrinterInfo> list;
  int line = 0;
  for (std::string text; std::getline(in, text);) {
    ++line;
    std::string t = Trim(text);
    if (t.empty() || t[0] == '#') continue;
    list.push_back(ParseLine(line, t));
  }
  return list;
}

std::optional<std::vector<PrinterInfo>>& Printers() {
  static std::optional<std::vector<PrinterInfo>> printers;
  return printers;
}

// ---- contexts

// The spool file a job's PDF is written to, aside until the document is
// complete (a print killed half-way leaves no PDF under the name a user or
// a spooler picks up); the first failed write keeps its errno.
struct SpoolStream {
  rt::DurableFile file;  // open while its aside() is not empty
  int error = 0;
};

cairo_status_t WriteSpool(void* closure, const unsigned char* data, unsigned int length) {
  auto* s = static_cast<SpoolStream*>(closure);
  if (s->error) return CAIRO_STATUS_WRITE_ERROR;
  if (int e = s->file.Write(std::string_view(reinterpret_cast<const char*>(data), length))) {
    s->error = e;
    return CAIRO_STATUS_WRITE_ERROR;
  }
  return CAIRO_STATUS_SUCCESS;
}

struct Job {
  int id = 0;
  int pages = 0;
  bool pageOpen = false;
  std::string path;
  std::string title;
  std::unique_ptr<SpoolStream> stream;
  cairo_surface_t* surface = nullptr;
  cairo_t* cr = nullptr;  // where the page is drawn: the PDF, or the page's recording
  // Copies the PDF printer writes itself: each page is recorded, then
  // written `copies` times; collated, the recordings are kept for the
  // copies of the whole document that follow the first.
  int copies = 1;
  bool collate = false;
  cairo_t* pdf = nullptr;              // the PDF while pages are recorded
  cairo_surface_t* recording = nullptr;  // the open page's
  std::vector<cairo_surface_t*> recorded;
};

// The system error for a failed cairo step of a job.
DWORD ErrorOfCairo(cairo_status_t status, const SpoolStream* stream) {
  switch (status) {
    case CAIRO_STATUS_WRITE_ERROR:
      return stream && stream->error ? ErrorFromErrno(stream->error, ERROR_WRITE_FAULT) : ERROR_WRITE_FAULT;
    case CAIRO_STATUS_NO_MEMORY: return ERROR_NOT_ENOUGH_MEMORY;
    case CAIRO_STATUS_INVALID_STRING:
    case CAIRO_STATUS_INVALID_CLUSTERS: return ERROR_NO_UNICODE_TRANSLATION;
    default: return ERROR_GEN_FAILURE;
  }
}

// The first error of the job's drawing or writing so far, or success. A
// write that failed counts even where cairo lets it pass.
DWORD JobError(const Job& job) {
  cairo_status_t s = job.cr ? cairo_status(job.cr) : CAIRO_STATUS_SUCCESS;
  if (s == CAIRO_STATUS_SUCCESS && job.pdf) s = cairo_status(job.pdf);
  if (s == CAIRO_STATUS_SUCCESS && job.surface) s = cairo_surface_status(job.surface);
  if (s != CAIRO_STATUS_SUCCESS) return ErrorOfCairo(s, job.stream.get());
  if (job.stream && job.stream->error) return ErrorFromErrno(job.stream->error, ERROR_WRITE_FAULT);
  return ERROR_SUCCESS;
}

struct DC {
  bool printer = false;
  PrinterInfo info;
  int copies = 1;
  bool collate = false;
  ABORTPROC abort = nullptr;
  int bkMode = OPAQUE;
  int fontHeight = 16;
  std::optional<Job> job;
  std::string lastSpool;
  std::vector<DrawnText> drawn;
};

std::map<uintptr_t, DC>& Contexts() {
  static std::map<uintptr_t, DC> dcs;
  return dcs;
}
uintptr_t g_nextDc = 0x70000;
int g_nextJob = 0;

DC* Find(HDC hdc) {
  auto it = Contexts().find(reinterpret_cast<uintptr_t>(hdc));
  if (it == Contexts().end()) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return &it->second;
}

DC* FindPrinter(HDC hdc) {
  DC* dc = Find(hdc);
  if (dc && !dc->printer) {
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
  }
  return dc;
}

double PtX(const DC& dc, double px) { return px * 72.0 / dc.info.dpiX; }
double PtY(const DC& dc, double px) { return px * 72.0 / dc.info.dpiY; }

// ---- the spool folder: every path and file of a job is made here

// True when $XDG_RUNTIME_DIR names a folder only this user may enter, as
// the session manager makes it; anything else is not trusted with print jobs.
bool UsableRuntimeDir(const char* dir) {
  struct stat st;
  return dir && dir[0] == '/' && ::lstat(dir, &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
         (st.st_mode & 077) == 0;
}

// The folder of the next document; false when it cannot be used. The
// default is "orn-spool" in the user's runtime folder, which no other user
// can enter; without one it lies in the shared temporary folder, where only
// a folder of this user's own (made here) that no other user can have
// planted or write to will do.
bool SpoolDir(fs::path* dir) {
  if (const char* named = std::getenv("ORN_SPOOL_DIR"); named && *named) {
    *dir = named;
    return true;
  }
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); UsableRuntimeDir(runtime)) {
    *dir = fs::path(runtime) / "orn-spool";
  } else {
    std::string temp;
    win32::GetTempPath(4096, &temp);
    *dir = fs::path(temp) / ("orn-spool-" + std::to_string(::getuid()));
  }
  return rt::MakePrivateFolder(dir->string());
}

// Starts the job's file in the spool folder (made when missing): 0, or the
// errno value of the failure.
int OpenSpoolFile(const fs::path& path, SpoolStream* stream) {
  std::error_code ec;
  fs::create_directories(path.parent_path(), ec);
  return stream->file.Create(path.string(), 0644);
}

std::string FileName(const std::wstring& doc, int job) {
  std::string name;
  for (char c : ToUtf8(doc.empty() ? L"document" : doc)) {
    bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.';
    name += keep ? c : '_';
  }
  return name + "-" + std::to_string(::getpid()) + "-" + std::to_string(job) + ".pdf";
}

// Finishes the PDF and closes its file: the first error on the way, or
// success.
DWORD CloseSurface(Job& job) {
  DWORD error = JobError(job);
  if (job.cr) cairo_destroy(job.cr);
  job.cr = nullptr;
  if (job.pdf) cairo_destroy(job.pdf);
  job.pdf = nullptr;
  if (job.recording) cairo_surface_destroy(job.recording);
  job.recording = nullptr;
  for (cairo_surface_t* page : job.recorded) cairo_surface_destroy(page);
  job.recorded.clear();
  if (job.surface) {
    cairo_surface_finish(job.surface);
    if (!error) error = JobError(job);
    cairo_surface_destroy(job.surface);
  }
  if (job.stream && !job.stream->file.aside().empty()) {
    // Complete: flushed to the disk (what the disk refuses may show only
    // now) and renamed to its name. Failed: no file is left.
    if (error) {
      job.stream->file.Discard();
    } else if (const int e = job.stream->file.Commit()) {
      error = ErrorFromErrno(e, ERROR_WRITE_FAULT);
    }
  }
  job.cr = nullptr;
  job.surface = nullptr;
  return error;
}

// The transcript line of a finished job, with its copies when there are
// more than one.
std::vector<std::string> SpoolLine(std::vector<std::string> fields, const DC& dc) {
  if (dc.copies > 1) fields.push_back(std::to_string(dc.copies) + " copies" + (dc.collate ? " collated" : ""));
  return fields;
}

// Where a page's drawing starts: the context's monospaced face, in black.
void StartDrawing(cairo_t* cr) {
  cairo_select_font_face(cr, "Liberation Mono", CAIRO_FONT_SLANT_NORMAL, CAIRO_FONT_WEIGHT_NORMAL);
  cairo_set_source_rgb(cr, 0, 0, 0);
}

// Writes a recorded page into the PDF as one page of it.
void WritePage(Job& job, cairo_surface_t* page) {
  cairo_set_source_surface(job.pdf, page, 0, 0);
  cairo_paint(job.pdf);
  cairo_show_page(job.pdf);
}

}  // namespace

const std::vector<PrinterInfo>& ConfiguredPrinters() {
  if (!Printers()) Printers() = ReadPrinters();
  return *Printers();
}

const PrinterInfo* DefaultPrinter() {
  const auto& list = ConfiguredPrinters();
  for (const auto& p : list)
    if (p.isDefault) return &p;
  return list.empty() ? nullptr : &list.front();
}

void SetPrintersForTest(std::vector<PrinterInfo> printers) { Printers() = std::move(printers); }
void ResetPrintersForTest() { Printers().reset(); }

HDC CreateDCW(const wchar_t* driver, const wchar_t* device, const wchar_t*, const DEVMODEW* mode) {
  DC dc;
  if (mode && (mode->dmFields & DM_COPIES)) {
    if (mode->dmCopies < 1 || mode->dmCopies > 9999) {
      SetLastError(ERROR_INVALID_PARAMETER);
      return nullptr;
    }
    dc.copies = mode->dmCopies;
  }
  if (mode && (mode->dmFields & DM_COLLATE)) dc.collate = mode->dmCollate == DMCOLLATE_TRUE;
  std::wstring drv = driver ? driver : L"";
  if (drv == L"DISPLAY" && !device) {
    dc.printer = false;
  } else if ((drv.empty() || drv == L"WINSPOOL") && device) {
    const PrinterInfo* found = nullptr;
    for (const auto& p : ConfiguredPrinters())
      if (p.name == device) found = &p;
    if (!found) {
      SetLastError(ERROR_INVALID_PRINTER_NAME);
      return nullptr;
    }
    dc.printer = true;
    dc.info = *found;
  } else {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  uintptr_t id = g_nextDc += 4;
  Contexts()[id] = std::move(dc);
  return reinterpret_cast<HDC>(id);
}

bool DeleteDC(HDC hdc) {
  DC* dc = Find(hdc);
  if (!dc) return false;
  if (dc->job) AbortDoc(hdc);
  Contexts().erase(reinterpret_cast<uintptr_t>(hdc));
  return true;
}

int GetDeviceCaps(HDC hdc, int index) {
  DC* dc = Find(hdc);
  if (!dc) return 0;
  if (!dc->printer) {
    switch (index) {
      case TECHNOLOGY: return DT_RASDISPLAY;
      case HORZRES: return GetSystemMetrics(SM_CXSCREEN);
      case VERTRES: return GetSystemMetrics(SM_CYSCREEN);
      case LOGPIXELSX:
      case LOGPIXELSY: return 96;
      default: return 0;
    }
  }
  const PrinterInfo& p = dc->info;
  switch (index) {
    case TECHNOLOGY: return DT_RASPRINTER;
    case HORZRES: return p.width - 2 * p.offsetX;
    case VERTRES: return p.height - 2 * p.offsetY;
    case LOGPIXELSX: return p.dpiX;
    case LOGPIXELSY: return p.dpiY;
    case PHYSICALWIDTH: return p.width;
    case PHYSICALHEIGHT: return p.height;
    case PHYSICALOFFSETX: return p.offsetX;
    case PHYSICALOFFSETY: return p.offsetY;
    default: return 0;
  }
}

int SetBkMode(HDC hdc, int mode) {
  DC* dc = Find(hdc);
  if (!dc || (mode != TRANSPARENT && mode != OPAQUE)) return 0;
  int old = dc->bkMode;
  dc->bkMode = mode;
  return old;
}

bool SelectFontHeight(HDC hdc, int height) {
  DC* dc = Find(hdc);
  if (!dc || height <= 0) return false;
  dc->fontHeight = height;
  return true;
}

bool TextOutW(HDC hdc, int x, int y, const wchar_t* text, int length) {
  DC* dc = Find(hdc);
  if (!dc || !text || length < 0) return false;
  std::wstring t(text, static_cast<size_t>(length));
  if (dc->printer) {
    if (!dc->job || !dc->job->pageOpen) {
      SetLastError(ERROR_INVALID_HANDLE);
      return false;
    }
    cairo_t* cr = dc->job->cr;
    cairo_identity_matrix(cr);
    double size = PtY(*dc, dc->fontHeight);
    cairo_set_font_size(cr, size);
    cairo_font_extents_t fe;
    cairo_font_extents(cr, &fe);
    // The cell's top is at y; cairo places the baseline.
    cairo_move_to(cr, PtX(*dc, dc->info.offsetX + x), PtY(*dc, dc->info.offsetY + y) + fe.ascent);
    // The text as it is: a character the PDF cannot take fails the call.
    std::string utf8;
    for (wchar_t wc : t) AppendUtf8(utf8, static_cast<char32_t>(wc));
    cairo_show_text(cr, utf8.c_str());
    if (cairo_status_t status = cairo_status(cr); status != CAIRO_STATUS_SUCCESS) {
      SetLastError(ErrorOfCairo(status, dc->job->stream.get()));
      return false;
    }
  }
  dc->drawn.push_back({dc->printer ? dc->job->pages : 0, x, y, dc->fontHeight, std::move(t)});
  return true;
}

cairo_t* PageCairoContext(HDC hdc) {
  DC* dc = Find(hdc);
  if (!dc || !dc->printer || !dc->job || !dc->job->pageOpen) return nullptr;
  cairo_t* cr = dc->job->cr;
  cairo_identity_matrix(cr);
  cairo_scale(cr, 72.0 / dc->info.dpiX, 72.0 / dc->info.dpiY);
  cairo_translate(cr, dc->info.offsetX, dc->info.offsetY);
  return cr;
}

int SetAbortProc(HDC hdc, ABORTPROC proc) {
  DC* dc = FindPrinter(hdc);
  if (!dc) return SP_ERROR;
  dc->abort = proc;
  return 1;
}

int StartDocW(HDC hdc, const DOCINFOW* info) {
  DC* dc = FindPrinter(hdc);
  if (!dc) return SP_ERROR;
  if (!info || info->cbSize != sizeof(DOCINFOW) || dc->job) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  fs::path dir;
  if (!SpoolDir(&dir)) {
    SetLastError(ERROR_ACCESS_DENIED);
    return SP_ERROR;
  }
  Job job;
  job.id = ++g_nextJob;
  job.title = ToUtf8(info->lpszDocName ? info->lpszDocName : L"");
  job.path = (dir / FileName(info->lpszDocName ? info->lpszDocName : L"", job.id)).string();
  job.stream = std::make_unique<SpoolStream>();
  if (const int e = OpenSpoolFile(job.path, job.stream.get())) {
    SetLastError(ErrorFromErrno(e, ERROR_PATH_NOT_FOUND));
    return SP_ERROR;
  }
  job.surface = cairo_pdf_surface_create_for_stream(WriteSpool, job.stream.get(), PtX(*dc, dc->info.width),
                                                    PtY(*dc, dc->info.height));
  if (cairo_surface_status(job.surface) != CAIRO_STATUS_SUCCESS) {
    DWORD error = ErrorOfCairo(cairo_surface_status(job.surface), job.stream.get());
    CloseSurface(job);
    std::error_code ec;
    fs::remove(job.path, ec);
    SetLastError(error);
    return SP_ERROR;
  }
  if (info->lpszDocName)
    cairo_pdf_surface_set_metadata(job.surface, CAIRO_PDF_METADATA_TITLE, ToUtf8(info->lpszDocName).c_str());
  job.cr = cairo_create(job.surface);
  // A CUPS printer makes its copies itself; the PDF printer writes them.
  job.copies = dc->info.cups ? 1 : dc->copies;
  job.collate = dc->collate;
  if (job.copies > 1) {
    job.pdf = job.cr;
    job.cr = nullptr;
  } else {
    StartDrawing(job.cr);
  }
  dc->job = std::move(job);
  SetLastError(ERROR_SUCCESS);
  return dc->job->id;
}

int StartPage(HDC hdc) {
  DC* dc = FindPrinter(hdc);
  if (!dc) return SP_ERROR;
  if (!dc->job || dc->job->pageOpen) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  if (dc->info.failPage == dc->job->pages + 1) {
    SetLastError(dc->info.failError);
    return SP_ERROR;
  }
  Job& job = *dc->job;
  if (job.copies > 1) {
    cairo_rectangle_t page{0, 0, PtX(*dc, dc->info.width), PtY(*dc, dc->info.height)};
    job.recording = cairo_recording_surface_create(CAIRO_CONTENT_COLOR_ALPHA, &page);
    job.cr = cairo_create(job.recording);
    StartDrawing(job.cr);
  }
  ++job.pages;
  job.pageOpen = true;
  SetLastError(ERROR_SUCCESS);
  return 1;
}

int EndPage(HDC hdc) {
  DC* dc = FindPrinter(hdc);
  if (!dc) return SP_ERROR;
  if (!dc->job || !dc->job->pageOpen) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  // The abort procedure may pump messages and so run any window procedure;
  // the context is looked up again afterwards.
  if (ABORTPROC proc = dc->abort; proc && !proc(hdc, 0)) {
    AbortDoc(hdc);
    SetLastError(ERROR_PRINT_CANCELLED);
    return SP_APPABORT;
  }
  dc = FindPrinter(hdc);
  if (!dc || !dc->job) {
    SetLastError(ERROR_PRINT_CANCELLED);
    return SP_ERROR;
  }
  Job& job = *dc->job;
  job.pageOpen = false;
  if (job.copies > 1) {
    // The page as drawn, then as many times as it is to come now: every
    // copy, or collated only the first (the others follow at EndDoc).
    if (DWORD error = JobError(job)) {
      SetLastError(error);
      return SP_ERROR;
    }
    cairo_destroy(job.cr);
    job.cr = nullptr;
    cairo_surface_t* page = job.recording;
    job.recording = nullptr;
    for (int i = 0; i < (job.collate ? 1 : job.copies); ++i) WritePage(job, page);
    if (job.collate) job.recorded.push_back(page);
    else cairo_surface_destroy(page);
  } else {
    cairo_identity_matrix(job.cr);
    cairo_show_page(job.cr);
  }
  // What failed on the page (a write, a character the PDF refuses) fails it.
  if (DWORD error = JobError(*dc->job)) {
    SetLastError(error);
    return SP_ERROR;
  }
  SetLastError(ERROR_SUCCESS);
  return 1;
}

int EndDoc(HDC hdc) {
  DC* dc = FindPrinter(hdc);
  if (!dc) return SP_ERROR;
  if (!dc->job || dc->job->pageOpen) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  Job job = std::move(*dc->job);
  dc->job.reset();
  std::string printer = ToUtf8(dc->info.name);
  std::error_code ec;
  if (job.collate)
    for (int copy = 1; copy < job.copies && !JobError(job); ++copy)
      for (cairo_surface_t* page : job.recorded) WritePage(job, page);
  DWORD error = CloseSurface(job);
  if (error) {
    fs::remove(job.path, ec);
    uiscript::Transcript::Write({"spool", printer, "aborted"});
    SetLastError(error);
    return SP_ERROR;
  }
  if (dc->info.cups) {
    // The finished PDF goes to the printer's queue; the spool file was only
    // the way there.
    int id = 0;
    std::string why;
    bool sent = cups::Submit(dc->info.name, job.path, job.title, dc->copies, dc->collate, &id, &error, &why);
    fs::remove(job.path, ec);
    if (!sent) {
      uiscript::Transcript::Write({"spool", printer, "aborted", why});
      SetLastError(error);
      return SP_ERROR;
    }
    uiscript::Transcript::Write(SpoolLine({"spool", printer, "cups job " + std::to_string(id), std::to_string(job.pages)}, *dc));
    SetLastError(ERROR_SUCCESS);
    return 1;
  }
  dc->lastSpool = job.path;
  uiscript::Transcript::Write(SpoolLine({"spool", printer, fs::path(job.path).filename().string(), std::to_string(job.pages)}, *dc));
  SetLastError(ERROR_SUCCESS);
  return 1;
}

int AbortDoc(HDC hdc) {
  DC* dc = FindPrinter(hdc);
  if (!dc) return SP_ERROR;
  if (!dc->job) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return SP_ERROR;
  }
  Job job = std::move(*dc->job);
  dc->job.reset();
  // Not a document: nothing of it may reach the spool file's name.
  if (job.stream) job.stream->error = ECANCELED;
  CloseSurface(job);
  std::error_code ec;
  fs::remove(job.path, ec);
  uiscript::Transcript::Write({"spool", ToUtf8(dc->info.name), "aborted"});
  SetLastError(ERROR_SUCCESS);
  return 1;
}

std::vector<DrawnText> DrawnTextsForTest(HDC hdc) {
  DC* dc = Find(hdc);
  return dc ? dc->drawn : std::vector<DrawnText>{};
}

std::string SpoolFileForTest(HDC hdc) {
  DC* dc = Find(hdc);
  return dc ? dc->lastSpool : std::string();
}

}  // namespace win
