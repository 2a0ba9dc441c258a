#include "platform/printing/cups.h"

#include <cups/cups.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <memory>

#include "platform/windows/text.h"

namespace win::cups {

namespace {

constexpr int kConnectMs = 5000;
constexpr int kDefaultDpi = 300;

struct Http {
  http_t* http = nullptr;
  ~Http() {
    if (http) httpClose(http);
  }
};

bool Connect(Http* h) {
  h->http = httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectMs, nullptr);
  return h->http != nullptr;
}

struct Options {
  cups_option_t* list = nullptr;
  int count = 0;
  ~Options() { cupsFreeOptions(count, list); }
};

struct Dests {
  cups_dest_t* list = nullptr;
  int count = 0;
  ~Dests() { cupsFreeDests(count, list); }
};

// Hundredths of a millimetre in device pixels.
int Pixels(int hmm, int dpi) { return static_cast<int>(static_cast<long long>(hmm) * dpi / 2540); }

PrinterInfo Describe(http_t* http, cups_dest_t* dest) {
  PrinterInfo p;
  p.name = FromUtf8(dest->name);
  p.cups = true;
  p.isDefault = dest->is_default != 0;
  int dpiX = kDefaultDpi, dpiY = kDefaultDpi;
  cups_size_t size{};
  bool haveSize = false;
  if (cups_dinfo_t* info = cupsCopyDestInfo(http, dest)) {
    if (ipp_attribute_t* res = cupsFindDestDefault(http, dest, info, "printer-resolution")) {
      ipp_res_t units = IPP_RES_PER_INCH;
      int y = 0;
      int x = ippGetResolution(res, 0, &y, &units);
      if (units == IPP_RES_PER_CM) {
        x = x * 254 / 100;
        y = y * 254 / 100;
      }
      if (x > 0 && y > 0 && x <= 4800 && y <= 4800) {
        dpiX = x;
        dpiY = y;
      }
    }
    haveSize = cupsGetDestMediaDefault(http, dest, info, 0, &size) != 0 && size.width > 0 && size.length > 0;
    cupsFreeDestInfo(info);
  }
  if (!haveSize) {  // A4
    size.width = 21000;
    size.length = 29700;
    size.left = size.top = 423;  // a sixth of an inch
  }
  p.dpiX = dpiX;
  p.dpiY = dpiY;
  p.width = Pixels(size.width, dpiX);
  p.height = Pixels(size.length, dpiY);
  p.offsetX = Pixels(size.left, dpiX);
  p.offsetY = Pixels(size.top, dpiY);
  if (p.offsetX * 2 >= p.width) p.offsetX = 0;
  if (p.offsetY * 2 >= p.height) p.offsetY = 0;
  return p;
}

}  // namespace

std::vector<PrinterInfo> Printers() {
  std::vector<PrinterInfo> out;
  Http h;
  if (!Connect(&h)) return out;
  Dests d;
  d.count = cupsGetDests2(h.http, &d.list);
  for (int i = 0; i < d.count; ++i)
    if (!d.list[i].instance) out.push_back(Describe(h.http, &d.list[i]));
  return out;
}

bool Submit(const std::wstring& printer, const std::string& pdfPath, const std::string& title, int copies,
            bool collate, int* job, DWORD* error, std::string* why) {
  *job = 0;
  Http h;
  if (!Connect(&h)) {
    *error = ERROR_NOT_READY;
    *why = "no CUPS server at " + std::string(cupsServer());
    return false;
  }
  Dests d;
  d.count = cupsGetDests2(h.http, &d.list);
  cups_dest_t* dest = cupsGetDest(ToUtf8(printer).c_str(), nullptr, d.count, d.list);
  if (!dest) {
    *error = ERROR_INVALID_PRINTER_NAME;
    *why = "CUPS has no printer " + ToUtf8(printer);
    return false;
  }
  std::unique_ptr<cups_dinfo_t, void (*)(cups_dinfo_t*)> info(cupsCopyDestInfo(h.http, dest), cupsFreeDestInfo);
  auto fail = [&](DWORD code, const std::string& words) {
    *error = code;
    *why = words;
    if (*job > 0) cupsCancelDestJob(h.http, dest, *job);
    return false;
  };
  Options options;
  if (copies > 1) {
    options.count = cupsAddOption(CUPS_COPIES, std::to_string(copies).c_str(), options.count, &options.list);
    options.count = cupsAddOption("multiple-document-handling",
                                  collate ? "separate-documents-collated-copies" : "separate-documents-uncollated-copies",
                                  options.count, &options.list);
    options.count = cupsAddOption("Collate", collate ? "True" : "False", options.count, &options.list);
  }
  if (!info || cupsCreateDestJob(h.http, dest, info.get(), job, title.c_str(), options.count, options.list) !=
                   IPP_STATUS_OK)
    return fail(ERROR_GEN_FAILURE, cupsLastErrorString());
  if (cupsStartDestDocument(h.http, dest, info.get(), *job, title.c_str(), CUPS_FORMAT_PDF, 0, nullptr, 1) !=
      HTTP_STATUS_CONTINUE)
    return fail(ERROR_GEN_FAILURE, cupsLastErrorString());
  // The file goes to the server to its end; a read that fails fails the job
  // (the server must not print what came before as the whole document).
  int fd = ::open(pdfPath.c_str(), O_RDONLY | O_CLOEXEC);
  int readError = fd < 0 ? errno : 0;
  bool sent = fd >= 0;
  char buf[65536];
  while (sent) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      readError = errno;
      break;
    }
    if (n == 0) break;
    if (cupsWriteRequestData(h.http, buf, static_cast<size_t>(n)) != HTTP_STATUS_CONTINUE) sent = false;
  }
  if (fd >= 0) ::close(fd);
  if (readError) {
    // The document is left unfinished (the connection is dropped under it),
    // so the server never takes what came as the whole of it; the job is
    // cancelled on a connection of its own.
    httpClose(h.http);
    h.http = nullptr;
    if (Connect(&h)) cupsCancelDestJob(h.http, dest, *job);
    *job = 0;
    return fail(ERROR_READ_FAULT, "cannot read " + pdfPath + ": " + std::strerror(readError));
  }
  if (cupsFinishDestDocument(h.http, dest, info.get()) != IPP_STATUS_OK || !sent)
    return fail(ERROR_GEN_FAILURE, cupsLastErrorString());
  return true;
}

}  // namespace win::cups
