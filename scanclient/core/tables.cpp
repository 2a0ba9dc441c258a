#include "scanclient/core/tables.h"

#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/strings.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/ini_values.h"
#include "scanclient/core/quillet0.h"

namespace quillet {
namespace {

std::string TwoDigits(int i) { return rt::Format(static_cast<double>(i), "00"); }
std::string Plain(int i) { return rt::CStr(static_cast<double>(i)); }

// The INI keys of fields 2..19, in reading order.
constexpr const char* kFieldKeys[Doc::FieldCount] = {
    "Pages",  "",           "Name",     "Format",      "Options", "Colors", "Resolutions",
    "Width",  "Height",     "Type",     "Brightness",  "Contrast", "Fontsize", "Describtion",
    "OleDrop", "Tools",     "Size",     "Palette",     "Check",   "BitmapDPI"};

bool ShortText(const std::string& s) { return rt::Len(rt::Trim(s)) < 3; }

void ApplyDefaults(DocTypeRow& row, int section) {
  std::optional<double> pages = NumericValue(row[Doc::Pages]);
  if (!pages || *pages < 1 || *pages > 9) row[Doc::Pages] = "1";
  if (ShortText(row[Doc::Name])) row[Doc::Name] = "Doc " + rt::Str(section);
  if (rt::InStr("BMP,TIF,JPG,PNG", row[Doc::Format]) == 0) row[Doc::Format] = "BMP";
  if (row[Doc::Colors].empty()) row[Doc::Colors] = "COL24/B&W/GRAY8/";
  if (row[Doc::Resolutions].empty()) row[Doc::Resolutions] = "100/200/300";
  if (row[Doc::Type].empty()) row[Doc::Type] = "IMG";
  if (row[Doc::Brightness].empty()) row[Doc::Brightness] = "0";
  if (row[Doc::Contrast].empty()) row[Doc::Contrast] = "0";
  if (!NumericValue(row[Doc::Fontsize])) row[Doc::Fontsize] = Plain(App.FontSize);
  if (ShortText(row[Doc::Describtion])) row[Doc::Describtion] = row[Doc::Name];
  if (row[Doc::Tools].empty()) row[Doc::Tools] = std::string(kDocTypeTools);
  if (row[Doc::Check].empty()) row[Doc::Check] = "11111111111";
  if (!NumericValue(row[Doc::BitmapDPI])) row[Doc::BitmapDPI] = "72";
}

}  // namespace

std::string ExpandCR(std::string text) {
  for (int32_t at = rt::InStr(text, "{CR}"); at > 0; at = rt::InStr(text, "{CR}")) {
    text.replace(static_cast<size_t>(at - 1), 4, "\r");
  }
  return text;
}

void ReadTextTables() {
  for (int i = 1; i <= 32; ++i) App.LabelTexts[i] = GetIni("Text", "Label_" + TwoDigits(i));
  for (int i = 1; i <= 32; ++i) App.TooltipTexts[i] = GetIni("Text", "Tooltip_" + TwoDigits(i));
  for (int i = 1; i <= 32; ++i) {
    std::string text = GetIni("Text", "Message_" + TwoDigits(i));
    if (text.empty()) text = "Message " + Plain(i);
    App.Messages[i] = ExpandCR(std::move(text));
  }
}

ButtonText ParseButtonText(std::string_view value) {
  ButtonText b;
  b.caption = std::string(value);
  if (!b.caption.empty() && NumericValue(b.caption.substr(0, 1))) {
    b.sizeOffset = rt::CInt(rt::Val(b.caption.substr(0, 1)));
    b.caption = rt::Mid(b.caption, 3);
  }
  return b;
}

void ReadDocTypes(std::string_view profile) {
  App.DocTypeCount = 0;
  for (DocTypeRow& row : App.DocTypeTable) row = DocTypeRow{};
  std::string tools(kStartTools);
  if (std::string v = GetIni("Layout", "Tools"); !v.empty()) tools = v;
  if (std::string v = GetIni(std::string(profile) + "_0", "Tools"); !v.empty()) tools = v;
  App.DocTypeTable[0][Doc::Tools] = tools;

  for (int n = 1; n <= 9; ++n) {
    std::string section = std::string(profile) + "_" + Plain(n);
    std::string pages = GetIni(section, "Pages");
    if (!NumericValue(pages)) continue;
    DocTypeRow& row = App.DocTypeTable[++App.DocTypeCount];
    row[Doc::Pages] = pages;
    row[Doc::SectionName] = section;
    for (int f = Doc::Name; f < Doc::FieldCount; ++f) {
      row[f] = GetIni(section, kFieldKeys[f]);
      if (f == Doc::Format || f == Doc::Options || f == Doc::Colors || f == Doc::Type || f == Doc::Brightness ||
          f == Doc::Contrast) {
        row[f] = rt::UCase(row[f]);
      }
    }
    ApplyDefaults(row, n);
  }
}

void ReadFinishTable(std::string_view profile) {
  std::string section = std::string(profile) + "_0";
  App.FinishTable[0] = ReplacePlaceholders(GetIni(section, "Finish"));
  for (int i = 1; i <= 9; ++i) App.FinishTable[i] = GetIni(section, "Page_" + Plain(i));
}

int16_t SheetCount(int row) { return rt::CInt(rt::Val(App.DocTypeTable[row][Doc::Pages])); }

std::string SheetCaption(int row, int j) {
  std::string s = GetIni(App.DocTypeTable[row][Doc::SectionName], "Name_" + Plain(j));
  if (s.empty()) s = App.DocTypeTable[row][Doc::Name] + rt::Str(j);
  return ExpandCR(std::move(s));
}

std::string PreloadPath(std::string_view profile, int row, int j) {
  std::string s = ReplacePlaceholders(GetIni(std::string(profile) + "_" + Plain(row), "File_" + Plain(j)));
  return FileFound(s) ? s : std::string();
}

}  // namespace quillet
