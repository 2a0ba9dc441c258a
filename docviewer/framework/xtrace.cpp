#include "docviewer/framework/xtrace.h"

#include <algorithm>
#include <string>

#include "docviewer/framework/fwtext.h"
#include "platform/debugout/debugout.h"
#include "platform/registry/registry.h"

namespace {

constexpr size_t kMaxLine = 5012;

const char* KindText(Xt kind) {
  switch (kind) {
    case Xt::Err: return "ERR";
    case Xt::Wrn: return "WRN";
    default: return "MSG";
  }
}

// Formats and writes one line; every fault is swallowed.
template <class... A>
void Write(const char* format, const A&... args) {
  try {
    std::string line;
    auto a = fw::Args(args...);
    if (!fw::Format(&line, format, a)) return;
    if (line.size() > kMaxLine) line.resize(kMaxLine);
    dbgout::OutputDebugStringA(line);
  } catch (...) {
  }
}

const char* Safe(const char* text) { return text ? text : ""; }

void WriteCounted(Xt kind, int index, std::string_view text, int length, const char* method, const char* file,
                  int line) {
  int shown = std::clamp(length, 0, 4096);
  Write("%s: [%3d] %.*s (%s %s %d)", KindText(kind), index, shown, text, Safe(method), fw::BaseName(Safe(file)),
        line);
}

}  // namespace

bool XTraceEnabled() {
  // A processor fault while the switch is being read (inside the registry,
  // which holds its lock) is described by SysExcept with trace lines; asking
  // the registry again from there would wait for ever.
  thread_local bool reading = false;
  if (reading) return false;
  reading = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{reading};
  try {
    reg::Key key = 0;
    if (reg::OpenKey(reg::Hive::LocalMachine, "SOFTWARE\\Dornvale\\ORN\\Trace", &key) != reg::kSuccess) return false;
    reg::ValueType type = reg::kNone;
    uint8_t data[4] = {};
    uint32_t size = sizeof data;
    reg::Status status = reg::QueryValue(key, "LogType", &type, data, &size);
    reg::CloseKey(key);
    if (status != reg::kSuccess || type != reg::kDword || size != 4) return false;
    return (data[0] | data[1] | data[2] | data[3]) != 0;
  } catch (...) {
    return false;
  }
}

bool XTraceLine(Xt kind, std::string_view msg, const char* method, const char* file, int line) {
  if (!XTraceEnabled()) return false;
  Write("%s: %s (%s %s %d)", KindText(kind), msg, Safe(method), fw::BaseName(Safe(file)), line);
  return true;
}

bool XTraceInt(Xt kind, std::string_view msg, int64_t value, const char* method, const char* file, int line) {
  if (!XTraceEnabled()) return false;
  Write("%s: %s %lld (%s %s %d)", KindText(kind), msg, value, Safe(method), fw::BaseName(Safe(file)), line);
  return true;
}

void XTraceText(Xt kind, std::string_view msg, std::string_view value, const char* method, const char* file,
                int line) {
  if (!XTraceEnabled()) return;
  Write("%s: %s %.1024s (%s %s %d)", KindText(kind), msg, value, Safe(method), fw::BaseName(Safe(file)), line);
}

bool XTraceWide(Xt kind, std::string_view msg, std::u16string_view value, const char* method, const char* file,
                int line) {
  if (!XTraceEnabled()) return false;
  std::string text;
  try {
    text = fw::Fit(fw::Utf8(value), 2048);
  } catch (...) {
  }
  Write("%s: %s %.1024s (%s %s %d)", KindText(kind), msg, text, Safe(method), fw::BaseName(Safe(file)), line);
  return true;
}

void XTraceFlag(Xt kind, std::string_view msg, bool value, const char* method, const char* file, int line) {
  if (!XTraceEnabled()) return;
  Write(value ? "%s: %s true (%s %s %d)" : "%s: %s false (%s %s %d)", KindText(kind), msg, Safe(method),
        fw::BaseName(Safe(file)), line);
}

void XTraceByte(Xt kind, std::string_view msg, uint8_t value, const char* method, const char* file, int line) {
  if (!XTraceEnabled()) return;
  Write("%s: %s %02X (%s %s %d)", KindText(kind), msg, value, Safe(method), fw::BaseName(Safe(file)), line);
}

void XTraceHex(Xt kind, std::string_view msg, uint64_t value, const char* method, const char* file, int line) {
  if (!XTraceEnabled()) return;
  Write("%s: %s %08llX (%s %s %d)", KindText(kind), msg, value, Safe(method), fw::BaseName(Safe(file)), line);
}

void XTraceHex(Xt kind, std::string_view msg, const void* value, const char* method, const char* file, int line) {
  XTraceHex(kind, msg, static_cast<uint64_t>(reinterpret_cast<uintptr_t>(value)), method, file, line);
}

void XTraceCounted(Xt kind, int index, std::string_view text, int length, const char* method, const char* file,
                   int line) {
  if (!XTraceEnabled()) return;
  WriteCounted(kind, index, text, length, method, file, line);
}

void XTraceCounted(Xt kind, int index, std::u16string_view text, int length, const char* method,
                   const char* file, int line) {
  if (!XTraceEnabled()) return;
  size_t shown = length < 0 ? 0 : static_cast<size_t>(length);
  WriteCounted(kind, index, fw::Utf8(text.substr(0, std::min(shown, text.size()))), length, method, file, line);
}

void XTRPtrMsg() { dbgout::OutputDebugStringA("XTRPtrMsg -- never used?"); }
