// How printing a long plain-text file and a long form grow with their
// pages, and what they cost against Pango and cairo alone.
//
// For each size the text (69 lines a page, as the viewer's A4 page takes
// them) is loaded into the rich edit control and printed with
// REUtil::PrintREDoc on the embedded PDF printer, as Lumoret prints it; the
// same lines are then set by Pango and drawn by cairo into a PDF directly,
// one layout a line, as the raw libraries would do it. The form is an RTF
// document of one form a page: a heading, a shaded and framed paragraph,
// tab leaders, a table of shaded, bordered and merged cells with an inner
// table, and a PNG and a JPEG picture; its raw counterpart sets the same
// texts with Pango, fills and strokes the same boxes and paints the same
// pictures, decoded once. Printed: seconds, milliseconds a page, the ratio
// to the raw libraries, and the time a page against the smallest size (1.0
// is linear).
//
//   lumoret_print_bench [PAGES...]     default: 250 1000 4000

#include <pango/pangocairo.h>
#include <cairo-pdf.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <tuple>
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

// A 2 x 2 PNG and the 7 x 5 grey JPEG of the fuzz corpus, as RTF hex.
constexpr const char* kPng =
    "89504e470d0a1a0a0000000d4948445200000002000000020802000000fdd49a73000000164944415408d763f8cfc0f09f81e1ff7f0606"
    "860606000037e205fc1e0f2ea20000000049454e44ae426082";

std::string Hex(const std::string& bytes) {
  std::string out;
  for (unsigned char c : bytes) {
    out += "0123456789abcdef"[c >> 4];
    out += "0123456789abcdef"[c & 15];
  }
  return out;
}

std::string Form(int pages, const std::string& jpegHex) {
  std::string rtf =
      "{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}{\\f1\\fnil\\fcharset2 Wingdings;}}"
      "{\\colortbl;\\red0\\green0\\blue0;\\red220\\green220\\blue220;\\red255\\green255\\blue200;}";
  for (int i = 1; i <= pages; ++i) {
    std::string n = std::to_string(i);
    rtf += "\\pard\\qc\\b\\fs28 Antrag " + n + "\\b0\\fs20\\par"
           "\\pard\\cbpat3\\box\\brdrs\\brdrw10 Bitte vollst\\'e4ndig ausf\\'fcllen und unterschreiben.\\par"
           "\\pard\\tqr\\tldot\\tx6000 Name\\tab Mustermann " + n + "\\par"
           "\\pard\\tqr\\tldot\\tx6000 Kartennummer\\tab 1234 5678 " + n + "\\par";
    for (int r = 0; r < 6; ++r) {
      std::string row = "\\trowd\\trgaph100\\trrh400"
                        "\\clcbpat2\\clvertalc\\clbrdrt\\brdrs\\clbrdrl\\brdrs\\clbrdrb\\brdrs\\clbrdrr\\brdrs\\cellx3000"
                        "\\clbrdrt\\brdrs\\clbrdrl\\brdrs\\clbrdrb\\brdrdot\\clbrdrr\\brdrs\\cellx6000"
                        "\\clbrdrt\\brdrs\\clbrdrb\\brdrs\\clbrdrr\\brdrs\\cellx8500";
      rtf += row + "\\pard\\intbl Feld " + std::to_string(r) + "\\cell Wert " + n + "." + std::to_string(r) +
             "\\cell{\\f1\\'fe} ja {\\f1\\'a8} nein\\cell" + row + "\\row";
    }
    rtf += "\\trowd\\trgaph100\\clbrdrt\\brdrs\\clbrdrb\\brdrs\\clbrdrl\\brdrs\\clbrdrr\\brdrs\\cellx8500"
           "\\pard\\intbl\\itap2 Datum\\nestcell Unterschrift\\nestcell"
           "{\\*\\nesttableprops\\trowd\\clbrdrb\\brdrs\\cellx3000\\clbrdrb\\brdrs\\cellx8000\\nestrow}"
           "{\\nonesttables\\par}\\pard\\intbl\\itap1\\cell"
           "\\trowd\\trgaph100\\clbrdrt\\brdrs\\clbrdrb\\brdrs\\clbrdrl\\brdrs\\clbrdrr\\brdrs\\cellx8500\\row"
           "\\pard\\qj Mit meiner Unterschrift best\\'e4tige ich, dass die Angaben richtig sind. Die PIN wird "
           "getrennt von der Karte versandt und ist geheim zu halten.\\par"
           "\\pard{\\pict\\pngblip\\picwgoal1440\\pichgoal1440 " + std::string(kPng) +
           "}{\\pict\\jpegblip\\picwgoal1400\\pichgoal1000 " + jpegHex + "}\\par";
    if (i < pages) rtf += "\\page ";
  }
  return rtf + "}";
}

double Seconds(std::chrono::steady_clock::time_point since) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The viewer's path: the control, its layout and the printer context.
double PrintWithControl(HWND edit, const std::string& text, const fs::path& spool, int pages) {
  if (!REUtil::LoadREText(edit, text.c_str())) std::fprintf(stderr, "lumoret_print_bench: not loaded\n");
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

// The raw libraries' frame: an A4 PDF written by cairo and one Pango
// layout of `font` for `draw` to set its texts with; the seconds from the
// start until the PDF is written.
template <typename Draw>
double TimeRawPdf(const fs::path& file, const char* font, Draw draw) {
  auto start = std::chrono::steady_clock::now();
  cairo_surface_t* pdf = cairo_pdf_surface_create(file.c_str(), 595.2, 841.92);
  cairo_t* cr = cairo_create(pdf);
  PangoLayout* layout = pango_cairo_create_layout(cr);
  PangoFontDescription* desc = pango_font_description_from_string(font);
  pango_layout_set_font_description(layout, desc);
  draw(cr, layout);
  pango_font_description_free(desc);
  g_object_unref(layout);
  cairo_destroy(cr);
  cairo_surface_destroy(pdf);
  double s = Seconds(start);
  fs::remove(file);
  return s;
}

// The raw libraries: one Pango layout a line, drawn into a PDF by cairo.
double PrintRaw(int pages, const fs::path& file) {
  return TimeRawPdf(file, "Liberation Mono 10", [&](cairo_t* cr, PangoLayout* layout) {
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
  });
}

// The raw libraries drawing the form: the same texts set by Pango, the
// same boxes filled and stroked, the same pictures painted (decoded once).
double PrintRawForm(int pages, const std::string& jpeg, const fs::path& file) {
  return TimeRawPdf(file, "Liberation Sans 10", [&](cairo_t* cr, PangoLayout* layout) {
    cairo_surface_t* png = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 2, 2);
    cairo_surface_t* photo = cairo_image_surface_create(CAIRO_FORMAT_RGB24, 7, 5);
    unsigned char* data = static_cast<unsigned char*>(std::malloc(jpeg.size()));
    std::memcpy(data, jpeg.data(), jpeg.size());
    cairo_surface_set_mime_data(photo, CAIRO_MIME_TYPE_JPEG, data, jpeg.size(), std::free, data);
    auto text = [&](const std::string& s, double x, double y, double width) {
      pango_layout_set_width(layout, static_cast<int>(width * PANGO_SCALE));
      pango_layout_set_text(layout, s.c_str(), -1);
      cairo_move_to(cr, x, y);
      pango_cairo_show_layout(cr, layout);
    };
    for (int p = 1; p <= pages; ++p) {
      std::string n = std::to_string(p);
      cairo_set_source_rgb(cr, 0, 0, 0);
      text("Antrag " + n, 250, 36, 200);
      cairo_set_source_rgb(cr, 1, 1, 0.78);
      cairo_rectangle(cr, 90, 54, 439, 12);
      cairo_fill(cr);
      cairo_set_source_rgb(cr, 0, 0, 0);
      cairo_rectangle(cr, 90, 54, 439, 12);
      cairo_stroke(cr);
      text("Bitte vollständig ausfüllen und unterschreiben.", 90, 54, 439);
      text("Name ........................ Mustermann " + n, 90, 67, 439);
      text("Kartennummer ................ 1234 5678 " + n, 90, 79, 439);
      for (int r = 0; r < 6; ++r) {
        double y = 92 + r * 20;
        cairo_set_source_rgb(cr, 0.86, 0.86, 0.86);
        cairo_rectangle(cr, 90, y, 150, 20);
        cairo_fill(cr);
        cairo_set_source_rgb(cr, 0, 0, 0);
        for (double x : {90.0, 240.0, 390.0}) {
          cairo_rectangle(cr, x, y, 150, 20);
          cairo_stroke(cr);
        }
        text("Feld " + std::to_string(r), 95, y + 4, 140);
        text("Wert " + n + "." + std::to_string(r), 245, y + 4, 140);
        text("\U0001F5F9 ja \U0001F78E nein", 395, y + 4, 120);
      }
      cairo_rectangle(cr, 90, 212, 425, 24);
      cairo_stroke(cr);
      text("Datum", 95, 216, 140);
      text("Unterschrift", 245, 216, 240);
      text("Mit meiner Unterschrift bestätige ich, dass die Angaben richtig sind. Die PIN wird getrennt von der "
           "Karte versandt und ist geheim zu halten.", 90, 240, 439);
      for (auto [image, x, w, h] : {std::tuple{png, 90.0, 72.0, 72.0}, std::tuple{photo, 162.0, 70.0, 50.0}}) {
        cairo_save(cr);
        cairo_translate(cr, x, 270);
        cairo_scale(cr, w / cairo_image_surface_get_width(image), h / cairo_image_surface_get_height(image));
        cairo_set_source_surface(cr, image, 0, 0);
        cairo_paint(cr);
        cairo_restore(cr);
      }
      cairo_show_page(cr);
    }
    cairo_surface_destroy(png);
    cairo_surface_destroy(photo);
  });
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
  std::string jpeg;
  if (FILE* f = std::fopen(LUMORET_BENCH_JPEG, "rb")) {
    for (int c; (c = std::fgetc(f)) != EOF;) jpeg += static_cast<char>(c);
    std::fclose(f);
  }
  if (jpeg.empty()) {
    std::fprintf(stderr, "lumoret_print_bench: cannot read %s\n", LUMORET_BENCH_JPEG);
    return 1;
  }
  for (bool form : {false, true}) {
    std::printf("%s\n%8s %10s %10s %12s %10s %14s\n", form ? "form (RTF: tables, shading, pictures)" : "plain text",
                "pages", "seconds", "ms/page", "raw seconds", "vs raw", "vs first size");
    double firstPerPage = 0;
    for (int pages : sizes) {
      int count = form ? std::max(pages / 4, 1) : pages;  // a form page costs more; fewer of them
      std::string text = form ? Form(count, Hex(jpeg)) : Text(count);
      double viewer = PrintWithControl(edit, text, dir / "spool", count);
      double raw = form ? PrintRawForm(count, jpeg, dir / "raw.pdf") : PrintRaw(count, dir / "raw.pdf");
      double perPage = viewer / count;
      if (firstPerPage == 0) firstPerPage = perPage;
      std::printf("%8d %10.2f %10.3f %12.2f %10.2f %14.2f\n", count, viewer, perPage * 1000, raw, viewer / raw,
                  perPage / firstPerPage);
      std::fflush(stdout);
    }
  }
  DestroyWindow(host);
  fs::remove_all(dir);
  return 0;
}
