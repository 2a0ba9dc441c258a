#include "scanclient/core/quillet0.h"

#include <cstdint>
#include <vector>

#include "platform/eventlog/eventlog.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/datetime.h"
#include "platform/runtime/error.h"
#include "platform/runtime/files.h"
#include "platform/runtime/strings.h"
#include "platform/uiscript/uiscript.h"
#include "platform/win32/environment.h"
#include "platform/win32/profile.h"
#include "scanclient/core/app_state.h"

namespace quillet {

std::string GetIni(std::string_view section, std::string_view key) {
  std::string value;
  win32::GetPrivateProfileString(section, key, "", &value, 512, win32::HostPath(App.IniPath));
  int32_t cut = rt::InStr(value, "!!");
  if (cut > 0) return rt::Left(value, cut - 1);
  return value;
}

void LogLine(std::string_view text) {
  std::string path = App.LogPath.empty() ? "C:\\" + App.ProductName + ".log" : App.LogPath;
  std::string line = rt::Format(rt::Now(), "yyyy-mm-dd hh:nn:ss");
  line += ' ';
  line += text;
  const std::string file = win32::HostPath(path);
  try {
    rt::AppendLine(file, line);
  } catch (const rt::RuntimeError& e) {
    // The runtime's text alone does not tell the user which file to mend.
    rt::Raise(e.number(), e.description() + " (" + file + ")");
  }
}

void LogEvent(std::string_view message, uint16_t eventType, uint32_t eventId, std::string_view data) {
  evlog::Source source = evlog::RegisterEventSource("", App.ProductName);
  if (source == 0) return;
  std::vector<uint8_t> bytes(data.begin(), data.end());
  if (!evlog::ReportEvent(source, eventType, 0, eventId, {std::string(message)}, bytes)) {
    uiscript::MessageBox("Error writing to event log:" + std::to_string(evlog::LastError()),
                         uiscript::kOkOnly, App.ProductName);
  }
  evlog::DeregisterEventSource(source);
}

int16_t RoundInt(double x) {
  double r = rt::Int(x + 0.5);
  if (r < -32768.0 || r > 32767.0) rt::Raise(rt::kOverflow);
  return static_cast<int16_t>(r);
}

bool IsYes(std::string_view text, bool emptyIsYes) {
  if (text.empty()) return emptyIsYes;
  return rt::InStr("JYT1", rt::UCase(text.substr(0, 1))) > 0;
}

std::string ReplacePlaceholders(std::string_view path) {
  std::string s(path);
  auto replaceFirst = [&s](std::string_view find, auto with) {
    int32_t at = rt::InStr(s, find);
    if (at > 0) s.replace(static_cast<size_t>(at - 1), find.size(), with());
  };
  replaceFirst("{APP.PATH}", [] { return App.ProgramDir; });
  replaceFirst("{FIL.PATH}", [] { return App.FilPath; });
  // Asked for only when named: the folder is made on the way.
  replaceFirst("{USR.PATH}", [] { return win32::StateDirectory(); });
  return s;
}

bool FileFound(std::string_view path) {
  // An exact test: a name with "*" or "?" must not pass because some other
  // file matches it as a pattern.
  if (path.empty()) return false;
  return rt::FileExists(win32::HostPath(path));
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string s(folder);
  s += '/';
  s += name;
  return s;
}

std::string NowGeneral() { return rt::GeneralDate(rt::Now()); }
std::string NowEventData() { return rt::Format(rt::Now(), "yyyymmdd hhnnss"); }

}  // namespace quillet
