#include "scanclient/acquire/scan_options.h"

#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"

namespace quillet {

std::vector<std::string> SplitOptionList(std::string s) {
  if (!s.empty() && s.back() != '/') s += "/";
  std::vector<std::string> items;
  int32_t start = 0;
  for (int32_t p = rt::InStr(1, s, "/"); p > 0; p = rt::InStr(p + 1, s, "/")) {
    items.push_back(rt::Mid(s, start + 1, p - start - 1));
    start = p;
  }
  return items;
}

void FillScanOption(forms::ComboBox& box, const std::string& list, std::string_view fallback) {
  while (box.ListCount() > 0) box.RemoveItem(0);
  box.Text = "";
  for (std::string& item : SplitOptionList(list)) box.AddItem(std::move(item));
  if (box.ListCount() == 0) box.AddItem(std::string(fallback));
  if (box.Text.Get().empty()) box.Text = box.List(0);
}

std::vector<std::pair<int32_t, int16_t>> ColourModePuts(std::string_view text) {
  struct Row {
    char letter;
    const char* digits;
    int32_t pixelType;
    int16_t bits;
  };
  static constexpr Row kRows[] = {{'B', "W", 0, 1},  {'G', "2", 1, 8}, {'G', "4", 1, 4},
                                  {'G', "8", 1, 8},  {'C', "4", 2, 4}, {'C', "8", 2, 8},
                                  {'C', "24", 2, 24}, {'P', "4", 3, 4}, {'P', "8", 3, 8}};
  std::vector<std::pair<int32_t, int16_t>> puts{{0, 1}};
  const std::string first = rt::Left(text, 1);
  for (const Row& r : kRows) {
    if (first == std::string(1, r.letter) && rt::InStr(text, r.digits) > 0) puts.emplace_back(r.pixelType, r.bits);
  }
  return puts;
}

std::string TwainReport(const TwainSettings& s) {
  static constexpr const char* kFlagNames[] = {"ShowUI;",   "ShowStatus;", "NativeXfer;", "KeepOpen;",
                                               "UpdDef;",   "UpdNotDef;",  "?64?;",       "CacheSource;"};
  static constexpr const char* kPixelTypes[] = {"Halftone", "Gray", "RGB", "Palette"};
  const std::string crlf = "\r\n";
  auto n = [](double v) { return rt::CStr(v); };
  std::string r = "TWAIN settings:" + s.name + crlf;
  r += rt::String(rt::Len(s.name) + 15, '=') + crlf;
  r += "Flags:\t\t";
  for (int bit = 0; bit < 8; ++bit) {
    if (s.flags & (1 << bit)) r += kFlagNames[bit];
  }
  r += crlf;
  if (!s.author.empty()) r += "Appl.Author:\t" + s.author + crlf;
  if (!s.family.empty()) r += "Appl.Family:\t" + s.family + crlf;
  if (!s.appName.empty()) r += "Appl.Name  :\t" + s.appName + crlf;
  r += "Top/Left:    \t" + n(s.top) + "/" + n(s.left) + crlf;
  r += "Height/Width:\t" + n(s.height) + "/" + n(s.width) + crlf;
  r += "ColorMode:\t";
  r += (s.pixelType >= 0 && s.pixelType <= 3) ? std::string(kPixelTypes[s.pixelType]) : n(s.pixelType);
  r += crlf;
  r += "Bits/Pixel:  \t" + n(s.bits) + crlf;
  r += "Resolution:  \t" + n(s.resolution) + " dpi" + crlf;
  r += "Max.Pages:   \t" + n(s.maxPages) + crlf;
  r += "Contrast:    \t" + n(s.contrast) + crlf;
  r += "Intensity:   \t" + n(s.brightness) + crlf;
  r += "EnableFeeder:\t" + n(s.feeder) + crlf;
  r += "EnableAutoFeed:\t" + n(s.autoFeed) + crlf;
  return r;
}

bool DropAccepted(std::string_view oleDrop, std::string_view path) {
  if (oleDrop.empty()) return false;
  const int32_t dot = rt::InStrRev(path, ".");
  const std::string ext = rt::UCase(dot > 0 ? rt::Mid(path, dot + 1) : std::string(path));
  return rt::InStr(oleDrop, ext) > 0;
}

}  // namespace quillet
