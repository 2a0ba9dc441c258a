#include "docviewer/framework/evtlogsys.h"

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/commoduleex.h"
#include "docviewer/framework/fwtext.h"
#include "docviewer/framework/xtrace.h"

namespace {

constexpr uint32_t kErrorInvalidHandle = 6;

// An insertion string of a number: empty for 0.
std::u16string Hex(const char* format, uint32_t value) {
  return value == 0 ? std::u16string() : fw::WFmt(format, value);
}

}  // namespace

EvtLogSystem::EvtLogSystem(const char16_t* source, int minSeverity)
    : EvtLogBase(minSeverity), m_source(source != nullptr ? source : u"") {
  if (m_source.size() > 16) m_source.resize(16);
}

EvtLogSystem::~EvtLogSystem() { EvtLogSystem::FreeRes(); }

void EvtLogSystem::FreeRes() {
  std::lock_guard<std::mutex> lock(m_mu);
  if (m_hEventLog != 0) evlog::DeregisterEventSource(m_hEventLog);
  m_hEventLog = 0;
}

uint32_t EvtLogSystem::EventId(const LogRecord& r) {
  if (r.kind == LogRecord::sys_except) return evtid::kSysExcept;
  if (r.kind == LogRecord::int_except) return evtid::kIntExcept;
  bool six = r.sysText.has_value();
  if (r.severity <= 3) return six ? evtid::kInfo6 : evtid::kInfo4;
  if (r.severity == 6 || apperr::Facility(r.appError) == 0x022) return six ? evtid::kFatal6 : evtid::kFatal4;
  return six ? evtid::kError6 : evtid::kError4;
}

std::vector<std::u16string> EvtLogSystem::InsertionStrings(const LogRecord& r) {
  std::vector<std::u16string> strings = {Hex("%04X", r.txNr), Hex("%08X", r.appError), r.source.value_or(u""),
                                         r.message};
  if (r.kind != LogRecord::log_call) {
    strings.push_back(r.sysErrorText);
  } else if (r.sysText) {
    strings.push_back(Hex("%08X", r.sysError));
    strings.push_back(*r.sysText);
  }
  return strings;
}

uint16_t EvtLogSystem::EventType(int severity) {
  if (severity >= 5) return evlog::kError;
  if (severity == 4) return evlog::kWarning;
  return evlog::kInformation;
}

int EvtLogSystem::intLogMsg(const LogRecord& record) {
  {
    std::lock_guard<std::mutex> lock(m_mu);
    if (m_status == els_error) return -1;
    m_status = els_in_call;
  }
  int result;
  try {
    result = reportEvent(record.severity, EventId(record), record.category, record.dataSize, record.data,
                         InsertionStrings(record));
  } catch (...) {
    result = 2;
  }
  std::lock_guard<std::mutex> lock(m_mu);
  // A permanent error stays, whatever a record on another thread found.
  if (m_status != els_error) m_status = result == -1 ? els_error : els_ok;
  return result;
}

int EvtLogSystem::reportEvent(int severity, uint32_t eventId, uint16_t category, uint32_t dataSize,
                              const void* data, const std::vector<std::u16string>& strings) {
  const char* method = "EvtLogSystem::reportEvent";
  if (m_status == els_error) return -1;
  if (eventId == 0) {
    XTraceLine(Xt::Err, "no tmplId defined!", method, XTRACE_AT);
    return 2;
  }
  std::vector<std::string> texts;
  texts.reserve(strings.size());
  for (const std::u16string& s : strings) texts.push_back(fw::Utf8(s));
  std::vector<uint8_t> bytes;
  if (data != nullptr && dataSize > 0)
    bytes.assign(static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + dataSize);

  {
    std::lock_guard<std::mutex> lock(m_mu);
    if (m_status == els_error) return -1;
    if (m_hEventLog == 0) {
      m_hEventLog = evlog::RegisterEventSource("", fw::Utf8(m_source));
      if (m_hEventLog == 0) {
        XTraceWide(Xt::Err, "RegisterEventSource failed:", m_source, method, XTRACE_AT);
        m_status = els_error;
        return -1;
      }
    }
    if (evlog::ReportEvent(m_hEventLog, EventType(severity), category, eventId, texts, bytes)) return 0;
    uint32_t error = evlog::LastError();
    XTraceInt(Xt::Err, "ReportEvent failed", error, method, XTRACE_AT);
    // An invalid handle is dropped, so that the next report registers again.
    if (error == kErrorInvalidHandle) m_hEventLog = 0;
  }
  // Outside the lock: the module hands the report to every logger, this one too.
  if (severity > 4)
    if (CComModuleEx* module = CComModuleEx::Module())
      module->_LogExcept(false, method, apperr::kInternal, u"ReportEvent failed", nullptr);
  return 2;
}
