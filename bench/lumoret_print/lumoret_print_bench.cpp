// How printing a long plain-text file grows with its pages, and what it
// costs against Pango and cairo alone.
//
// For each size the text (69 lines a page, as the viewer's A4 page takes
// them) is loaded into the rich edit control and printed with
// REUtil::PrintREDoc on the embedded PDF printer, as Lumoret prints it; the
// same lines are then set by Pango and drawn by cairo into a PDF directly,
// one layout a line, as the raw libraries would do it. Printed: seconds,
// milliseconds a page, the ratio to the raw libraries, and the time a page
// against the smallest size (1.0 is linear).
//
//   lumoret_print_bench [PAGES...]     default: 250 1000 4000

#include <pango/pangocairo.h>
#include <cairo-pdf.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "docviewer/reutil.h"
#include "platform/printing/gdi.h"
#include "platform/richedit/richedit.h"
#include "platform/windows/resources.h"
#include "platform/windows/script.h"

using namespace win;
namespace fs = std::filesystem;

namespace {

constexpr int kLinesPerPage = 69;

std::string Text(int pages) {
  std::string text;
  for (int i = 1; i <= pages * kLinesPerPage; ++i)
    text += "Zeile " + std::to_string(i) + ": Sehr geehrte Damen und Herren, dies ist eine Zeile.\r\n";
  return text;
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The viewer's path: the control, its layout and the printer context.
double PrintWithControl(HWND edit, const std::string& text, const fs::path& spool, int pages) {
  REUtil::LoadREText(edit, text.c_str());
  HDC dc = CreateDCW(nullptr, kPdfPrinter, nullptr, nullptr);
  REUtil::PrinterMetrics m;
  REUtil::GetPrinterMetrics(dc, &m);
  RECT page;
  REUtil::MarginsToTwips({125, 50, 125, 50}, m, &page);
  SendMessageW(edit, EM_SETTARGETDEVICE, reinterpret_cast<WPARAM>(dc), page.right - page.left);
  auto start = std::chrono::steady_clock::now();
  bool ok = REUtil::PrintREDoc(dc, edit, page);
  double s = Seconds(start);
  if (!ok) std::fprintf(stderr, "print failed: %u\n", GetLastError());
  // The spool file must hold every page, or the time says nothing.
  std::string info;
  std::string file = SpoolFileForTest(dc);
  if (FILE* p = ::popen(("pdfinfo '" + file + "' 2>/dev/null | grep '^Pages:'").c_str(), "r")) {
    char buf[128] = {};
    if (std::fgets(buf, sizeof buf, p)) info = buf;
    ::pclose(p);
  }
  if (info.find(" " + std::to_string(pages) + "\n") == std::string::npos)
    std::fprintf(stderr, "lumoret_print_bench: expected %d pages, %s", pages, info.empty() ? "none\n" : info.c_str());
  DeleteDC(dc);
  fs::remove_all(spool);
  return s;
}

// The raw libraries: one Pango layout a line, drawn into a PDF by cairo.
double PrintRaw(int pages, const fs::path& file) {
  auto start = std::chrono::steady_clock::now();
  cairo_surface_t* pdf = cairo_pdf_surface_create(file.c_str(), 595.2, 841.92);
  cairo_t* cr = cairo_create(pdf);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* font = pango_font_description_from_string("Liberation Mono 10");
  pango_layout_set_font_description(layout, font);
  pango_layout_set_width(layout, static_cast<int>(439 * PANGO_SCALE));
  int line = 1;
  for (int p = 0; p < pages; ++p) {
    for (int l = 0; l < kLinesPerPage; ++l, ++line) {
      std::string s = "Zeile " + std::to_string(line) + ": Sehr geehrte Damen und Herren, dies ist eine Zeile.";
      pango_layout_set_text(layout, s.c_str(), -1);
      cairo_move_to(cr, 90, 36 + l * 11.33);
      pango_cairo_show_layout(cr, layout);
    }
    cairo_show_page(cr);
  }
  pango_font_description_free(font);
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_destroy(pdf);
  double s = Seconds(start);
  fs::remove(file);
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {250, 1000, 4000};
  fs::path dir = fs::temp_directory_path() / ("lumoret-print-bench-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  setenv("ORN_SPOOL_DIR", (dir / "spool").c_str(), 1);
  unsetenv("ORN_PRINTERS");
  setenv("CUPS_SERVER", (dir / "no-cups").c_str(), 1);  // the embedded printer alone
  SetScriptForTest({});
  RegisterRichEditLibrary();
  LoadLibraryW(kRichEditLibrary);
  WNDCLASSEXW wc;
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"Host";
  RegisterClassExW(&wc);
  HWND host = CreateWindowExW(0, L"Host", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
  HWND edit = CreateWindowExW(0, RICHEDIT_CLASSW, nullptr, WS_CHILD | ES_MULTILINE, 0, 0, 100, 100, host, nullptr,
                              nullptr, nullptr);
  if (!REUtil::LoadREText(edit, "check") || SendMessageW(edit, WM_GETTEXTLENGTH, 0, 0) != 5) {
    std::fprintf(stderr, "lumoret_print_bench: no rich edit control\n");
    return 1;
  }
  std::printf("%8s %10s %10s %12s %10s %14s\n", "pages", "seconds", "ms/page", "raw seconds", "vs raw", "vs first size");
  double firstPerPage = 0;
  for (int pages : sizes) {
    std::string text = Text(pages);
    double viewer = PrintWithControl(edit, text, dir / "spool", pages);
    double raw = PrintRaw(pages, dir / "raw.pdf");
    double perPage = viewer / pages;
    if (firstPerPage == 0) firstPerPage = perPage;
    std::printf("%8d %10.2f %10.3f %12.2f %10.2f %14.2f\n", pages, viewer, perPage * 1000, raw, viewer / raw,
                perPage / firstPerPage);
    std::fflush(stdout);
  }
  DestroyWindow(host);
  fs::remove_all(dir);
  return 0;
}
