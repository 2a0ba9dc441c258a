#pragma once
// Event loggers: the record every logger receives from the module
// (CComModuleEx::_LogEvt and _LogExcept), the abstract logger EvtLogBase,
// and EvtLogSystem, which writes records to the platform's event log as
// events whose message templates live in the suite's message library.

#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/eventlog/eventlog.h"

// One log record. Text fields are wide; "null" fields are empty optionals.
struct LogRecord {
  enum Kind : uint32_t { log_call = 0, int_except = 1, sys_except = 2 };

  uint32_t kind = log_call;
  int severity = 0;        // 0 to 6, see SeverityName
  uint16_t category = 0;   // event category
  uint16_t txNr = 0;       // transaction number of the calling thread
  std::optional<std::u16string> source;  // "method (program id)"; none without a method name
  uint32_t dataSize = 0;   // raw data handed through to the event
  const void* data = nullptr;
  uint32_t appError = 0;
  std::u16string message;
  uint32_t sysError = 0;         // kind 0: the system error
  std::u16string sysErrorText;   // kinds 1 and 2: the system error as text
  std::optional<std::u16string> sysText;
};

// The abstract logger. A logger never throws: intLogMsg answers 0 (taken),
// 2 (failed this time) or -1 (failed for good).
class EvtLogBase {
 public:
  enum Status : int { els_ok = 0, els_in_call = 1, els_error = -1 };

  explicit EvtLogBase(int minSeverity) : m_minSev(minSeverity) {}
  EvtLogBase(const EvtLogBase&) = delete;
  EvtLogBase& operator=(const EvtLogBase&) = delete;

  virtual int intLogMsg(const LogRecord& record) = 0;
  virtual ~EvtLogBase() = default;
  // Releases what the logger holds (it may acquire it again later).
  virtual void FreeRes() = 0;
  virtual bool IsValid() const { return m_status != els_error; }

  int Level() const { return m_minSev; }
  void SetLevel(int minSeverity) { m_minSev = minSeverity; }
  int Status() const { return m_status; }

 protected:
  // Read by any thread; a logger that changes it from several threads
  // keeps its own lock around the change.
  std::atomic<int> m_status{els_ok};
  std::atomic<int> m_minSev;
};

// Writes records to the event log under the source name given (at most 16
// characters). The source is registered on first report; when that fails
// the logger answers -1 for good. Records arrive from _LogEvt under the
// module's lock and from _LogExcept without it: the logger's own lock guards
// its handle and status, and is never held while it calls the module.
class EvtLogSystem : public EvtLogBase {
 public:
  EvtLogSystem(const char16_t* source, int minSeverity);
  ~EvtLogSystem() override;

  int intLogMsg(const LogRecord& record) override;
  void FreeRes() override;
  bool IsValid() const override { return true; }

  // Reports one event: 0 reported, 2 failed this time, -1 failed for good.
  int reportEvent(int severity, uint32_t eventId, uint16_t category, uint32_t dataSize, const void* data,
                  const std::vector<std::u16string>& strings);

  // The event id and insertion strings for a record.
  static uint32_t EventId(const LogRecord& record);
  static std::vector<std::u16string> InsertionStrings(const LogRecord& record);
  // The event type for a severity: error (5 and more), warning (4), information.
  static uint16_t EventType(int severity);

  const std::u16string& SourceName() const { return m_source; }

 private:
  std::u16string m_source;
  std::mutex m_mu;
  evlog::Source m_hEventLog = 0;
};
