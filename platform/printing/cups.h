#pragma once
// The printers of a CUPS server and job submission to them.
//
// The server is the one libcups names (CUPS_SERVER, client.conf, else the
// local scheduler). Nothing here waits long for a server that is not there:
// the connection is given a few seconds.

#include <string>
#include <vector>

#include "platform/printing/gdi.h"

namespace win::cups {

// The server's printers with their default page size and resolution; the
// server's default printer is marked. Empty when no server answers.
std::vector<PrinterInfo> Printers();

// Submits a finished PDF file to the printer as one job titled `title`,
// asking for `copies` copies (collated or not). True with the job's number;
// false with the system error code that tells why (ERROR_NOT_READY when the
// server cannot be reached, ERROR_INVALID_PRINTER_NAME when it does not know
// the printer, ERROR_READ_FAULT when the file cannot be read to its end, else
// ERROR_GEN_FAILURE) and in `why` the server's own words (for a file that
// cannot be read, the file and the read error); a job begun is cancelled.
bool Submit(const std::wstring& printer, const std::string& pdfPath, const std::string& title, int copies,
            bool collate, int* job, DWORD* error, std::string* why);

}  // namespace win::cups
