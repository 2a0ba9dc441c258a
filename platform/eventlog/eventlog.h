#pragma once
// The event-log stand-in. On Linux the system log is the event log: without
// ORN_EVENTLOG every record goes to syslog(3) (which journald collects) under
// its source name as identifier, with a priority from its type - error
// LOG_ERR, warning LOG_WARNING, information (and success) LOG_INFO, audit
// success LOG_NOTICE, audit failure LOG_WARNING - and a message of its
// strings, category, event id and data:
//   Started:06.05.2024 07:08:09 [category 0, event 0x00000000, data 3230...]
// the strings joined by " | " and escaped as in the file below, the data
// part only when there is data. A report to the system log cannot fail.
//
// With ORN_EVENTLOG naming a file, every record is appended to it as one
// line instead (tests and tools read it back with ReadLog).
//
// Line format (tab-separated, a person can read it and a test can parse it):
//   time<TAB>source<TAB>type<TAB>category<TAB>id<TAB>strings<TAB>data
// time "yyyy-mm-dd hh:nn:ss"; type, category and id in decimal; the strings
// joined by "|" with "\", "|", tab and line breaks escaped as \\ \| \t \n \r;
// data as upper-case hex bytes. The source is escaped the same way.
//
// The time comes from rt::Now(), so ORN_FIXED_TIME fixes it too. No strings
// and one empty string both give an empty field; ReadLog reads it as none.
//
// ORN_EVENTLOG_FAIL=register makes RegisterEventSource fail (LastError 5),
// ORN_EVENTLOG_FAIL=report makes ReportEvent fail (LastError 1502, log full);
// both may be given, comma-separated. A log file that cannot be written
// fails the report too (LastError 3 path not found, 5 access denied, 112
// disk full, 29 otherwise); so does a symbolic link or another user's file
// in a folder others can write, such as the temporary directory.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace evlog {

// Event types with the platform's numbers.
enum EventType : uint16_t {
  kSuccess = 0,
  kError = 1,
  kWarning = 2,
  kInformation = 4,
  kAuditSuccess = 8,
  kAuditFailure = 16,
};

using Source = uintptr_t;  // 0 = not registered

// Registers `source` on `server` (empty = this computer; any other server
// fails with 1722, "RPC server unavailable"). 0 on failure. Handles are
// process-local; a report or deregistration with an unknown one fails with 6.
Source RegisterEventSource(std::string_view server, std::string_view source);
bool ReportEvent(Source source, uint16_t type, uint16_t category, uint32_t eventId,
                 const std::vector<std::string>& strings, const std::vector<uint8_t>& data);
bool DeregisterEventSource(Source source);
// The error number of the last failed call of this thread.
uint32_t LastError();

struct Record {
  std::string time, source;
  uint16_t type = 0, category = 0;
  uint32_t eventId = 0;
  std::vector<std::string> strings;
  std::vector<uint8_t> data;
};

// Reads back every record of the log file `path`; lines that do not parse are
// skipped. For tests and tools.
std::vector<Record> ReadLog(const std::string& path);

// The system log's one call: identifier, syslog(3) priority, message. Tests
// put their own in place (null restores syslog(3)) and get the previous one.
using SystemLogWriter = void (*)(const std::string& ident, int priority, const std::string& message);
SystemLogWriter SetSystemLogWriterForTest(SystemLogWriter writer);

}  // namespace evlog
