#include "scanclient/process/check_report.h"

#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/strings.h"

namespace quillet {

Shares ComputeShares(const Histogram& h, int32_t pixels, int16_t whiteLevel, int16_t blackLevel) {
  int32_t light = 0, dark = 0;
  for (int g = 0; g < 256; ++g) {
    if (g > whiteLevel) light += h[g];
    if (g < blackLevel) dark += h[g];
  }
  Shares s;
  s.light = rt::Int(static_cast<double>(light) / pixels * 1000) / 10;
  s.dark = rt::Int(static_cast<double>(dark) / pixels * 1000) / 10;
  s.mid = rt::Int((100 - s.light - s.dark) * 10) / 10;
  return s;
}

std::string CheckReport(const std::string& when, const std::string& status, const Histogram& h) {
  const std::string crlf = "\r\n";
  std::string out = "AutoCheck results:" + when + crlf + status + crlf;
  for (int g = 0; g < 256; ++g) {
    out += rt::Format(static_cast<double>(g), "000") + "=" + rt::Left(rt::CStr(h[g]) + "      ", 6) + ", ";
    if (g % 8 == 7) out += crlf;
  }
  return out + crlf;
}

}  // namespace quillet
