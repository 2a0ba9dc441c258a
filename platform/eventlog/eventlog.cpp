#include "platform/eventlog/eventlog.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

#include "platform/runtime/datetime.h"
#include "platform/runtime/error.h"
#include "platform/runtime/shared_folder.h"
#include "platform/settings/settings.h"

namespace evlog {

namespace {

// The platform's error numbers this stand-in reports.
constexpr uint32_t kErrorPathNotFound = 3;
constexpr uint32_t kErrorAccessDenied = 5;
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorWriteFault = 29;
constexpr uint32_t kErrorInvalidParameter = 87;
constexpr uint32_t kErrorDiskFull = 112;
constexpr uint32_t kErrorLogFileFull = 1502;
constexpr uint32_t kRpcServerUnavailable = 1722;

thread_local uint32_t t_lastError = 0;

std::mutex g_mutex;
// Made on first use and never destroyed: programs reach this from their
// static constructors and destructors too.
std::map<Source, std::string>& Sources() {
  static auto* table = new std::map<Source, std::string>;
  return *table;
}
Source g_next = 0x10;

bool Fail(uint32_t error) {
  t_lastError = error;
  return false;
}

Source FailSource(uint32_t error) {
  t_lastError = error;
  return 0;
}

// True when ORN_EVENTLOG_FAIL names `what` (comma list).
bool Failing(std::string_view what) { return settings::ListNames("ORN_EVENTLOG_FAIL", {"register", "report"}, what); }

// The file named by ORN_EVENTLOG; empty: the system log.
std::string LogPath() {
  const char* p = std::getenv("ORN_EVENTLOG");
  return p && *p ? p : std::string();
}

// openlog(3) keeps the identifier's pointer and one identifier for the whole
// process, so a record opens, writes and closes under one lock.
void SyslogWrite(const std::string& ident, int priority, const std::string& message) {
  static std::mutex mu;
  std::lock_guard<std::mutex> lock(mu);
  openlog(ident.c_str(), LOG_PID, LOG_USER);
  syslog(priority, "%s", message.c_str());
  closelog();
}

std::atomic<SystemLogWriter> g_systemLog{&SyslogWrite};

int Priority(uint16_t type) {
  switch (type) {
    case kError: return LOG_ERR;
    case kWarning: return LOG_WARNING;
    case kAuditSuccess: return LOG_NOTICE;
    case kAuditFailure: return LOG_WARNING;
    default: return LOG_INFO;  // information, success
  }
}

std::string Escape(std::string_view s) {
  std::string out;
  for (char c : s) {
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '|': out += "\\|"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      default: out += c;
    }
  }
  return out;
}

// Splits an escaped field at its unescaped "|" (when `split`) and undoes the
// escapes; false on a dangling or unknown escape.
bool Unescape(std::string_view s, bool split, std::vector<std::string>* out) {
  out->assign(1, "");
  for (size_t i = 0; i < s.size(); ++i) {
    char c = s[i];
    if (c == '|' && split) {
      out->emplace_back();
    } else if (c == '|') {
      return false;
    } else if (c != '\\') {
      out->back() += c;
    } else if (++i < s.size()) {
      switch (s[i]) {
        case '\\': out->back() += '\\'; break;
        case '|': out->back() += '|'; break;
        case 't': out->back() += '\t'; break;
        case 'n': out->back() += '\n'; break;
        case 'r': out->back() += '\r'; break;
        default: return false;
      }
    } else {
      return false;
    }
  }
  return true;
}

template <typename T>
bool ParseNumber(std::string_view s, T* out) {
  if (s.empty() || s.size() > 10) return false;
  uint64_t v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
    v = v * 10 + static_cast<uint64_t>(c - '0');
  }
  if (v > static_cast<uint64_t>(static_cast<T>(~T{0}))) return false;
  *out = static_cast<T>(v);
  return true;
}

bool ParseHex(std::string_view s, std::vector<uint8_t>* out) {
  if (s.size() % 2) return false;
  auto nibble = [](char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
  };
  out->clear();
  for (size_t i = 0; i < s.size(); i += 2) {
    int hi = nibble(s[i]), lo = nibble(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<uint8_t>(hi * 16 + lo));
  }
  return true;
}

bool ParseLine(std::string_view line, Record* r) {
  std::vector<std::string_view> f;
  for (size_t start = 0;;) {
    size_t tab = line.find('\t', start);
    f.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  if (f.size() != 7 || f[0].size() != 19) return false;
  std::vector<std::string> parts;
  r->time = std::string(f[0]);
  if (!Unescape(f[1], false, &parts)) return false;
  r->source = parts[0];
  if (!ParseNumber(f[2], &r->type) || !ParseNumber(f[3], &r->category) ||
      !ParseNumber(f[4], &r->eventId) || !Unescape(f[5], true, &parts) || !ParseHex(f[6], &r->data)) {
    return false;
  }
  // An empty field is no strings at all (a single empty string reads the same).
  r->strings = f[5].empty() ? std::vector<std::string>{} : parts;
  return true;
}

}  // namespace

Source RegisterEventSource(std::string_view server, std::string_view source) {
  if (Failing("register")) return FailSource(kErrorAccessDenied);
  if (!server.empty()) return FailSource(kRpcServerUnavailable);  // only this computer
  if (source.empty()) return FailSource(kErrorInvalidParameter);
  std::lock_guard<std::mutex> lock(g_mutex);
  Source s = g_next++;
  Sources()[s] = std::string(source);
  return s;
}

bool ReportEvent(Source source, uint16_t type, uint16_t category, uint32_t eventId,
                 const std::vector<std::string>& strings, const std::vector<uint8_t>& data) {
  std::string name;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    auto it = Sources().find(source);
    if (it == Sources().end()) return Fail(kErrorInvalidHandle);
    name = it->second;
  }
  if (Failing("report")) return Fail(kErrorLogFileFull);

  static const char kHex[] = "0123456789ABCDEF";
  std::string joined, hex;
  for (size_t i = 0; i < strings.size(); ++i) {
    if (i) joined += '|';
    joined += Escape(strings[i]);
  }
  for (uint8_t b : data) {
    hex += kHex[b >> 4];
    hex += kHex[b & 15];
  }

  std::string path = LogPath();
  if (path.empty()) {
    char ids[64];
    std::snprintf(ids, sizeof ids, " [category %u, event 0x%08X", static_cast<unsigned>(category),
                  static_cast<unsigned>(eventId));
    std::string message;
    for (size_t i = 0; i < strings.size(); ++i) message += (i ? " | " : "") + Escape(strings[i]);
    message += ids;
    if (!hex.empty()) message += ", data " + hex;
    message += ']';
    g_systemLog.load()(name, Priority(type), message);
    return true;
  }

  std::string time;
  try {
    time = rt::Format(rt::Now(), "yyyy-mm-dd hh:nn:ss");
  } catch (const rt::RuntimeError&) {
    return Fail(kErrorInvalidParameter);  // a malformed ORN_FIXED_TIME
  }
  std::string line = time + '\t' + Escape(name) + '\t' + std::to_string(type) + '\t' + std::to_string(category) +
                     '\t' + std::to_string(eventId) + '\t' + joined + '\t' + hex + '\n';

  // One write on an O_APPEND descriptor: records of several processes never mix.
  // A file in a folder others can write (as /tmp) is never a planted link.
  int fd = rt::OpenForWriting(path, O_WRONLY | O_CREAT | O_APPEND, 0666);
  if (fd < 0) {
    return Fail(errno == ENOENT || errno == ENOTDIR                    ? kErrorPathNotFound
                : errno == EACCES || errno == EPERM || errno == ELOOP ? kErrorAccessDenied
                                                                       : kErrorWriteFault);
  }
  ssize_t n;
  do {
    n = write(fd, line.data(), line.size());
  } while (n < 0 && errno == EINTR);
  int err = errno;
  close(fd);
  if (n != static_cast<ssize_t>(line.size())) {
    return Fail(n < 0 && (err == ENOSPC || err == EDQUOT) ? kErrorDiskFull : kErrorWriteFault);
  }
  return true;
}

bool DeregisterEventSource(Source source) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (Sources().erase(source) == 0) return Fail(kErrorInvalidHandle);
  return true;
}

uint32_t LastError() { return t_lastError; }

SystemLogWriter SetSystemLogWriterForTest(SystemLogWriter writer) {
  return g_systemLog.exchange(writer != nullptr ? writer : &SyslogWrite);
}

std::vector<Record> ReadLog(const std::string& path) {
  std::vector<Record> records;
  // Only a regular file: a pipe would block the reader, a device feed it.
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return records;
  std::ifstream in(path, std::ios::binary);
  for (std::string line; std::getline(in, line);) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    Record r;
    if (ParseLine(line, &r)) records.push_back(std::move(r));
  }
  return records;
}

}  // namespace evlog
