#include "docviewer/framework/commoduleex.h"

#include <algorithm>
#include <atomic>
#include <cstring>

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/sysexcept.h"
#include "docviewer/framework/txerror.h"
#include "docviewer/framework/xtrace.h"
#include "platform/inet/inet.h"
#include "platform/registry/registry.h"
#include "platform/sysexcept/translator.h"
#include "platform/uiscript/uiscript.h"

namespace {

std::atomic<CComModuleEx*> g_module{nullptr};
thread_local bool t_inLogExcept = false;

// Trace level of a new thread item when the module context has none.
constexpr uint32_t kDefTraceLvl = 4;
constexpr int32_t kMbTopmostTaskModal = 0x40000 | 0x2000;
constexpr int32_t kMbIconError = 0x10;

// An address inside the module that holds the framework.
void ModuleAnchor() {}

std::u16string Prefix(const char16_t* text, size_t max) {
  std::u16string s(text);
  if (s.size() > max) s.resize(max);
  return s;
}

std::u16string ComposeBoxText(int severity, std::u16string_view text, const char16_t* prompt) {
  std::u16string body;
  if (severity < 4) {
    body = text;
  } else {
    body = fw::Wide(SeverityName(severity));
    body += u": ";
    body += text;
  }
  if (prompt != nullptr) {
    body += u"\n";
    body += prompt;
  }
  return body;
}

// System error texts: the Internet library's (when `inet` is given) for its
// range, else the platform's.
bool DescribeSysError(uint32_t error, msgres::Library inet, std::u16string* out) {
  if (error == 0) {
    *out = u"No Error (0)";
    return true;
  }
  uint32_t facility = (error >> 16) & 0x1FFF;
  if (facility >= 32 && facility <= 34) {
    *out = fw::WFmt("Appl.%08X", error);
    return true;
  }
  std::string text;
  bool found = inet != 0 && msgres::FormatMessage(inet, error, false, &text);
  if (!found) found = msgres::FormatSystemMessage(error, &text);
  if (!found) {
    *out = fw::WFmt("unknown %04X", error);
    return false;
  }
  while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
  *out = fw::Wide(text);
  return true;
}

struct InLogExcept {
  InLogExcept() { t_inLogExcept = true; }
  ~InLogExcept() { t_inLogExcept = false; }
};

}  // namespace

const char* SeverityName(int severity) {
  switch (severity) {
    case 0: return "None";
    case 1: case 2: case 3: return "Info";
    case 4: return "Warning";
    case 5: return "Error";
    case 6: return "Fatal Error";
    default: return severity < 0 ? "None" : "???";
  }
}

CComModuleEx::CComModuleEx(const char16_t* appName, int batch, uint32_t msgResMode, const char16_t* msgSource,
                           EvtLogBase* logger, const com::Guid* clsid, const com::Guid& iid)
    : m_msgResMode(msgResMode), m_iid(iid) {
  m_thrTable[0].thrId = kModuleCtx;
  g_module = this;

  bool background = batch != 0;
  if (batch == 0 && !uiscript::DesktopVisible()) {
    XTraceLine(Xt::Msg, "DeskTop not visible! -> exec_background", "CComModuleEx::CComModuleEx", XTRACE_AT);
    background = true;
  }
  m_thrTable[0].ctx.flags = background ? exec_background : 0;
  m_thrTable[0].ctx.txNr = 0;

  m_appName = appName != nullptr ? Prefix(appName, 24) : u"Application";
  if (m_msgResMode > res_path) m_msgResMode = res_this;
  if (m_msgResMode != res_this && msgSource == nullptr) {
    XTraceLine(Xt::Err, "rtName missing - reset to res_this", "CComModuleEx::CComModuleEx", XTRACE_AT);
    m_msgResMode = res_this;
  }
  if (m_msgResMode == res_evtsrc) m_evtSource = Prefix(msgSource, 16);
  else if (m_msgResMode == res_path) m_msgLibPath = fw::Utf8(Prefix(msgSource, 128));
  else m_evtSource = Prefix(m_appName.c_str(), 16);

  sysexc::SetTranslator(&SysExcept::se_trans);

  if (clsid != nullptr) {
    std::string progId;
    if (com::ProgIDFromCLSID(*clsid, &progId)) {
      progId = progId.substr(0, progId.find('.'));
      m_progId = fw::Wide(progId.substr(0, 32));
    } else {
      XTraceLine(Xt::Err, "ProgIDFromCLSID failed, using default", "CComModuleEx::CComModuleEx", XTRACE_AT);
    }
  }
  if (logger != nullptr) AddEventLog(logger);
}

CComModuleEx::~CComModuleEx() {
  CComModuleEx::ShutDown(true);
  CComModuleEx* self = this;
  g_module.compare_exchange_strong(self, nullptr);
}

CComModuleEx* CComModuleEx::Module() { return g_module; }

bool CComModuleEx::Init(void* instance) {
  m_instance = instance;
  return true;
}

void CComModuleEx::Term() { ShutDown(true); }

bool CComModuleEx::DllMain(void* instance, uint32_t reason) {
  switch (reason) {
    case 1:  // process attach
      if (!Init(instance)) return false;
      addThrItem(0);
      return true;
    case 2:  // thread attach
      addThrItem(0);
      return true;
    case 0:  // process detach
      ShutDown(true);
      m_instance = nullptr;
      return true;
    default:
      return true;
  }
}

// ---------------------------------------------------------------- threads

ThrItem* CComModuleEx::findLocked(uint32_t thrId) {
  if (thrId == kModuleCtx) return &m_thrTable[0];
  for (int i = 1; i < m_nThr; ++i)
    if (m_thrTable[i].thrId == thrId) return &m_thrTable[i];
  return nullptr;
}

ThrItem* CComModuleEx::addThrItem(uint32_t thrId) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  uint32_t id = thrId != 0 ? thrId : fw::CurrentThreadId();
  if (ThrItem* item = findLocked(id)) return item;
  int slot = -1;
  for (int i = 1; i < m_nThr && slot < 0; ++i)
    if (m_thrTable[i].thrId == 0) slot = i;
  if (slot < 0) {
    if (m_nThr >= kThrTableMax) {
      // A full table does not fail the caller: it shares the module context.
      TXError(apperr::kTableFull, 0, "CComModuleEx::addThrItem", "ThrTable").Log(5);
      return &m_thrTable[0];
    }
    slot = m_nThr++;
  }
  ThrItem& item = m_thrTable[slot];
  item.thrId = id;
  item.ctx = m_thrTable[0].ctx;
  if (item.ctx.traceLvl == 0) item.ctx.traceLvl = kDefTraceLvl;
  return &item;
}

ThrItem* CComModuleEx::findThrCtx(uint32_t thrId, bool raise) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  uint32_t id = thrId != 0 ? thrId : fw::CurrentThreadId();
  ThrItem* item = findLocked(id);
  if (item == nullptr && raise) TXError(apperr::kNotFound, 0, "CComModuleEx::findThrCtx", "ThrTable", id).Exec(0);
  return item;
}

void CComModuleEx::RelContext(uint32_t thrId) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  uint32_t id = thrId != 0 ? thrId : fw::CurrentThreadId();
  if (id == kModuleCtx) {
    XTraceLine(Xt::Err, "Cannot release process context", "CComModuleEx::RelContext", XTRACE_AT);
    return;
  }
  ThrItem* item = findLocked(id);
  if (item == nullptr) return;
  *item = ThrItem{};
  while (m_nThr > 1 && m_thrTable[m_nThr - 1].thrId == 0) --m_nThr;
}

CALLCTXPACKED CComModuleEx::cCtx(uint32_t thrId) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  uint32_t id = thrId != 0 ? thrId : fw::CurrentThreadId();
  if (ThrItem* item = findLocked(id)) return packCtx(item->ctx);
  cctx ctx = m_thrTable[0].ctx;
  ctx.txNr = static_cast<uint16_t>(fw::TickCount() & 0xFFFF);
  return packCtx(ctx);
}

bool CComModuleEx::setCtx(CALLCTXPACKED* ctx, const char* caller, uint32_t thrId) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  uint32_t id = thrId == 0 || thrId == kModuleCtx ? fw::CurrentThreadId() : thrId;
  if (ThrItem* item = findLocked(id)) {
    *ctx = packCtx(item->ctx);
    return false;
  }
  ThrItem* item = addThrItem(id);
  if (item == &m_thrTable[0]) {  // table full: the module context is not the caller's to change
    *ctx = packCtx(item->ctx);
    return false;
  }
  if (*ctx != 0) {
    cctx given = unpackCtx(*ctx);
    if (given.txNr == 0) {
      XTraceText(Xt::Err, "txNr 0 from", caller ? caller : "", "CComModuleEx::setCtx", XTRACE_AT);
      given.txNr = static_cast<uint16_t>(fw::TickCount() & 0xFFFF);
    }
    item->ctx.txNr = given.txNr;
    if (given.traceLvl >= xt_first && given.traceLvl <= xt_last) item->ctx.traceLvl = given.traceLvl;
    item->ctx.flags = given.flags | m_thrTable[0].ctx.flags;
  } else {
    item->ctx.txNr = static_cast<uint16_t>(fw::TickCount() & 0xFFFF);
  }
  return true;
}

cctx CComModuleEx::thrCtx() {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  ThrItem* item = findLocked(fw::CurrentThreadId());
  return item != nullptr ? item->ctx : m_thrTable[0].ctx;
}

CALLCTXPACKED CComModuleEx::packCtx(const cctx& ctx) {
  return static_cast<CALLCTXPACKED>(ctx.txNr) | ((ctx.traceLvl & 0xFF) << 16) | ((ctx.flags & 0xFF) << 24);
}

cctx CComModuleEx::unpackCtx(CALLCTXPACKED packed) {
  cctx ctx;
  ctx.txNr = static_cast<uint16_t>(packed & 0xFFFF);
  ctx.traceLvl = (packed >> 16) & 0xFF;
  ctx.flags = packed >> 24;
  return ctx;
}

void CComModuleEx::SetBackgrnd(uint32_t thrId) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  ThrItem* item = thrId == kModuleCtx ? &m_thrTable[0] : addThrItem(thrId);
  item->ctx.flags |= exec_background;
}

bool CComModuleEx::ErrAsWarn(int onOff, uint32_t thrId) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  ThrItem* item = thrId == kModuleCtx ? &m_thrTable[0] : addThrItem(thrId);
  if (onOff == 1) item->ctx.flags |= errAsWrn;
  else if (onOff == 0) item->ctx.flags &= ~errAsWrn;
  return (item->ctx.flags & errAsWrn) != 0;
}

void CComModuleEx::setDefLogLvl(int level) {
  if (level == 0) level = applLogLvl();
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  m_thrTable[0].ctx.traceLvl = static_cast<uint32_t>(level);
  SetTraceLvl(level, 0);
}

int CComModuleEx::applLogLvl() {
  int level = TraceLvl(0);
  return level != 0 ? level : 4;
}

int CComModuleEx::ThrCount() {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  return m_nThr;
}

// ---------------------------------------------------------------- loggers

int CComModuleEx::AddEventLog(EvtLogBase* logger) {
  if (logger == nullptr) return -1;
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (m_nLogs >= EVTLOGS_MAX) {
    XTraceInt(Xt::Err, "Max EVTLOGS_MAX=", EVTLOGS_MAX, "CComModuleEx::AddEventLog", XTRACE_AT);
    TXError(apperr::kTableFull, 0, "CComModuleEx::AddEventLog", "EventLogs").Log(5);
    return -1;
  }
  int index = m_nLogs++;
  m_logs[index] = {logger, logger->Level()};
  m_minSev = std::min(m_minSev, logger->Level());
  return index;
}

void CComModuleEx::RemEventLog(int index, bool deleteLogger) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (index < 0 || index >= m_nLogs) return;
  if (deleteLogger) retireLocked(m_logs[index].first);
  m_logs[index] = {nullptr, 0};
  while (m_nLogs > 0 && m_logs[m_nLogs - 1].first == nullptr) --m_nLogs;
  recomputeMinLocked(false);
}

void CComModuleEx::holdLocked(EvtLogBase* logger) {
  for (auto& [held, calls] : m_holds) {
    if (held == logger) {
      ++calls;
      return;
    }
  }
  m_holds.emplace_back(logger, 1);
}

void CComModuleEx::releaseHold(EvtLogBase* logger) {
  bool deleteNow = false;
  {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    for (auto it = m_holds.begin(); it != m_holds.end(); ++it) {
      if (it->first != logger) continue;
      if (--it->second > 0) return;
      m_holds.erase(it);
      break;
    }
    auto retired = std::find(m_retired.begin(), m_retired.end(), logger);
    if (retired != m_retired.end()) {
      m_retired.erase(retired);
      deleteNow = true;
    }
  }
  if (deleteNow) delete logger;
}

void CComModuleEx::retireLocked(EvtLogBase* logger) {
  if (logger == nullptr) return;
  for (const auto& hold : m_holds) {
    if (hold.first == logger) {
      m_retired.push_back(logger);
      return;
    }
  }
  delete logger;
}

int CComModuleEx::TraceLvl(int index) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (index < 0 || index >= EVTLOGS_MAX) index = 0;
  return m_logs[index].second;
}

void CComModuleEx::SetTraceLvl(int level, int index) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (index < 0 || index >= EVTLOGS_MAX) index = 0;
  m_logs[index].second = level;
  if (m_logs[index].first != nullptr) m_logs[index].first->SetLevel(level);
  recomputeMinLocked(true);
}

void CComModuleEx::recomputeMinLocked(bool fromLogger0) {
  // After a removal the minimum starts again from 0, so every record passes
  // the module's check and each logger filters for itself; a level change
  // starts from logger 0's level.
  int minimum = fromLogger0 ? m_logs[0].second : 0;
  for (int i = 0; i < m_nLogs; ++i)
    if (m_logs[i].first != nullptr) minimum = std::min(minimum, m_logs[i].second);
  m_minSev = minimum;
}

int CComModuleEx::MinSeverity() {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  return m_minSev;
}

int CComModuleEx::EventLogCount() {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  return m_nLogs;
}

EvtLogBase* CComModuleEx::EventLog(int index) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  return index >= 0 && index < m_nLogs ? m_logs[index].first : nullptr;
}

// ---------------------------------------------------------------- logging

std::u16string CComModuleEx::SourceText(const char* method) const {
  std::u16string source = fw::Wide(method);
  source += u" (";
  source += m_progId.empty() ? m_appName : m_progId;
  source += u")";
  return source;
}

bool CComModuleEx::deliverLocked(LogRecord& record, bool checkLoggerLevel) {
  bool accepted = false;
  for (int i = 0; i < m_nLogs; ++i) {
    auto [logger, minimum] = m_logs[i];
    if (logger == nullptr || (checkLoggerLevel && minimum > record.severity)) continue;
    if (logger->intLogMsg(record) == 0) accepted = true;
  }
  return accepted;
}

bool CComModuleEx::_LogEvtV(int severity, const char* method, uint16_t category, uint32_t appError,
                            uint32_t sysError, const char16_t* sysText, uint32_t dataSize, const void* data,
                            const char* format, std::span<const fw::FmtArg> args) {
  try {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_nLogs == 0) return false;
    cctx ctx = thrCtx();
    if (severity == 5 && (ctx.flags & errAsWrn)) {
      XTraceLine(Xt::Msg, "error->warning", "CComModuleEx::_LogEvt", XTRACE_AT);
      severity = 4;
    }
    if (severity < m_minSev) return false;

    LogRecord record;
    record.kind = LogRecord::log_call;
    record.severity = severity;
    record.txNr = ctx.txNr;
    record.category = category != 0 ? category : m_defCategory;
    record.dataSize = data != nullptr ? dataSize : 0;
    record.data = data;

    bool haveText = true;
    std::u16string text;
    if (format != nullptr && *format != '\0') {
      std::string filled;
      if (fw::Format(&filled, format, args)) text = fw::Fit(fw::Wide(filled), 253);
      else text = fw::WFmt("*Execption/Params: %.128s", format);
    } else if (appError != 0) {
      text = errorDescV(appError, {});
    } else if (sysError == 0) {
      text = u"Unspecified Error";
    } else {
      haveText = false;
    }

    std::optional<std::u16string> system;
    if (sysText != nullptr) {
      system = sysText;
    } else if (sysError != 0) {
      std::u16string described;
      sysErrorDesc(sysError, &described);
      system = std::move(described);
    }
    if (haveText) {
      record.appError = appError;
      record.message = std::move(text);
      record.sysError = sysError;
      record.sysText = std::move(system);
    } else {
      // Only a system error: its text is the message, its number the id.
      record.message = system.value_or(u"");
      record.appError = sysError;
    }
    if (method != nullptr && *method != '\0') record.source = SourceText(method);
    return deliverLocked(record, true);
  } catch (...) {
    return _LogExcept(false, method, apperr::kInternal, u"Unknown Exception", nullptr);
  }
}

bool CComModuleEx::_LogExcept(bool system, const char* method, uint32_t appError, const char16_t* text,
                              const char16_t* sysText) {
  // A logger that fails on the exception it is reporting reports that
  // failure here again; the second round on the same thread stops.
  if (t_inLogExcept) {
    XTraceHex(Xt::Err, "_LogExcept re-entered, not logged:", static_cast<uint64_t>(appError),
              "CComModuleEx::_LogExcept", XTRACE_AT);
    return false;
  }
  InLogExcept guard;
  try {
    LogRecord record;
    record.kind = system ? LogRecord::sys_except : LogRecord::int_except;
    record.severity = system ? 6 : 5;
    record.category = system ? 1 : 12;
    cctx ctx = thrCtx();
    record.txNr = ctx.txNr;
    if (method != nullptr && *method != '\0') record.source = SourceText(method);
    record.appError = appError;
    record.message = text != nullptr && *text != u'\0' ? text : (system ? u"System Exception" : u"Int.Exception");
    if (sysText != nullptr) {
      record.sysErrorText = sysText;
      record.sysText = sysText;
    }

    std::array<EvtLogBase*, EVTLOGS_MAX> loggers{};
    {
      std::lock_guard<std::recursive_mutex> lock(m_lock);
      if (record.severity >= m_minSev) {
        for (int i = 0; i < m_nLogs; ++i) {
          loggers[i] = m_logs[i].first;
          if (loggers[i] != nullptr) holdLocked(loggers[i]);
        }
      }
    }
    bool accepted = false;
    for (EvtLogBase* logger : loggers) {
      if (logger == nullptr) continue;
      struct Release {
        CComModuleEx* module;
        EvtLogBase* logger;
        ~Release() { module->releaseHold(logger); }
      } release{this, logger};
      if (logger->intLogMsg(record) == 0) accepted = true;
    }
    if (!accepted && !(ctx.flags & exec_background))
      MsgBox(0, record.severity, record.message, record.source ? record.source->c_str() : nullptr, nullptr,
             kMbIconError);
    return accepted;
  } catch (...) {
    return false;
  }
}

// ---------------------------------------------------------------- texts

bool CComModuleEx::loadMsgResDll() {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (m_hResDll != 0) return m_hResDll != kLoadFailed;
  // Marked failed while loading, so that the logging below cannot come back here.
  m_hResDll = kLoadFailed;
  const char* method = "CComModuleEx::loadMsgResDll";

  if (m_msgResMode == res_evtsrc) {
    std::string keyPath = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\" + fw::Utf8(m_evtSource);
    reg::Key key = 0;
    reg::Status status = reg::OpenKey(reg::Hive::LocalMachine, keyPath, &key);
    std::string path;
    if (status == reg::kSuccess) {
      uint8_t buffer[1024];
      uint32_t size = sizeof buffer;
      reg::ValueType type = reg::kNone;
      status = reg::QueryValue(key, "EventMessageFile", &type, buffer, &size);
      if (status == reg::kSuccess && type != reg::kString && type != reg::kExpandString)
        status = reg::kInvalidParameter;
      if (status == reg::kSuccess) {
        const char* text = reinterpret_cast<const char*>(buffer);
        path.assign(text, strnlen(text, size));
      }
      reg::CloseKey(key);
    }
    if (status == reg::kSuccess && !path.empty()) {
      m_msgLibPath = path;
      m_msgResMode = res_path;
    } else {
      _LogEvt(4, method, 0, 0, static_cast<uint32_t>(status), nullptr, 0, nullptr, "Read RegKey");
    }
  }

  msgres::Library lib = 0;
  if (m_msgResMode == res_path) {
    lib = msgres::LoadLibraryEx(m_msgLibPath);
    if (lib == 0) {
      XTraceText(Xt::Err, "Load Resource Dll", m_msgLibPath, method, XTRACE_AT);
      _LogExcept(false, method, apperr::kLoadMsgRes, u"Load Resource Dll", fw::Wide(m_msgLibPath).c_str());
    } else {
      std::string version;
      msgres::FormatMessage(lib, apperr::kMsgResVersionId, true, &version);
      if (version.rfind(apperr::kMsgResVersionText, 0) != 0) {
        XTraceText(Xt::Err, "MSGRES Version", version, method, XTRACE_AT);
        XTraceText(Xt::Err, "expected", apperr::kMsgResVersionText, method, XTRACE_AT);
        std::u16string text =
            fw::WFmt("Incompatible Version='%.32s', '%.16s' expected.", version, apperr::kMsgResVersionText);
        _LogExcept(false, method, apperr::kMsgResVersion, text.c_str(), fw::Wide(m_msgLibPath).c_str());
        msgres::FreeLibrary(lib);
        lib = 0;
      }
    }
  }
  if (lib == 0) {
    XTraceLine(Xt::Wrn, "hResDll==NULL - use current module", method, XTRACE_AT);
    m_msgResMode = res_this;
    return false;
  }
  m_hResDll = lib;
  return true;
}

std::u16string CComModuleEx::errorDescV(uint32_t appError, std::span<const fw::FmtArg> args) {
  if (appError == 0) return u"No Error";
  msgres::Library lib = msgres::ThisModule();
  if ((appError & 0xFFFF) < 768) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (loadMsgResDll()) lib = m_hResDll;
  }
  std::string text;
  if (!msgres::FormatMessage(lib, appError, true, &text)) return fw::WFmt("AppError (id=%08X)", appError);
  text = fw::Fit(text, 512);
  std::string filled;
  // The text is the format, the caller's values its arguments; a text that
  // asks for other arguments than it got is reported, not followed.
  if (!fw::Format(&filled, text, args)) return fw::WFmt("AppError=%08X - *Execption* Invalid Params", appError);
  return fw::Fit(fw::Wide(filled), 509);
}

bool CComModuleEx::sysErrorDesc(uint32_t sysError, std::u16string* out) {
  msgres::Library inetLib = 0;
  if (sysError > inet::kErrorBase && sysError < inet::kErrorLast) {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (m_hInetDll == 0) {
      m_hInetDll = inet::LoadLibrary();
      if (m_hInetDll == 0) m_hInetDll = kLoadFailed;
    }
    if (m_hInetDll != kLoadFailed) inetLib = m_hInetDll;
  }
  return DescribeSysError(sysError, inetLib, out);
}

std::u16string CComModuleEx::ErrorText(uint32_t appError, std::span<const fw::FmtArg> args) {
  if (CComModuleEx* module = Module()) return module->errorDescV(appError, args);
  return appError == 0 ? u"No Error" : fw::WFmt("AppError (id=%08X)", appError);
}

std::u16string CComModuleEx::SysErrorText(uint32_t sysError) {
  std::u16string text;
  bool found = false;
  if (CComModuleEx* module = Module()) found = module->sysErrorDesc(sysError, &text);
  else found = DescribeSysError(sysError, 0, &text);
  return found ? text : std::u16string();
}

int CComModuleEx::Box(int severity, std::u16string_view text, const char16_t* prompt, int32_t boxType) {
  if (CComModuleEx* module = Module()) return module->MsgBox(0, severity, text, prompt, nullptr, boxType);
  if (severity > 6) severity = 5;
  return uiscript::MessageBox(fw::Utf8(ComposeBoxText(severity, text, prompt)), boxType | kMbTopmostTaskModal,
                              "Application");
}

int CComModuleEx::MsgBox(uintptr_t owner, int severity, std::u16string_view text, const char16_t* prompt,
                         const char16_t* caption, int32_t boxType) {
  if (severity > 6) severity = 5;
  std::u16string body = ComposeBoxText(severity, text, prompt);
  if (owner == 0) boxType |= kMbTopmostTaskModal;
  std::u16string title = caption != nullptr ? std::u16string(caption) : m_appName;
  XTraceWide(Xt::Msg, "MsgBox caption", title, "CComModuleEx::MsgBox", XTRACE_AT);
  XTraceWide(Xt::Msg, "MsgBox text", body, "CComModuleEx::MsgBox", XTRACE_AT);
  return uiscript::MessageBox(fw::Utf8(body), boxType, fw::Utf8(title));
}

// ---------------------------------------------------------------- module services

bool CComModuleEx::GetModulePath(std::string* out, uint32_t type, const char* replacement) {
  const char* method = "CComModuleEx::GetModulePath";
  const void* base =
      (type & 0x100) ? nullptr : imghlp::AllocationBase(reinterpret_cast<const void*>(&ModuleAnchor));
  std::string path = (type & 0x100) || base != nullptr ? imghlp::GetModuleFileName(base) : std::string();
  if (path.empty()) {
    TXError(apperr::kSysCall, 0, method, "GetModuleFileName").Log(5);
    return false;
  }
  uint32_t kind = type & 0xFF;
  size_t sep = path.find_last_of("/\\");
  bool hasReplacement = replacement != nullptr && *replacement != '\0';
  switch (kind) {
    case 0:
      break;
    case 1:
      if (hasReplacement) {
        XTraceText(Xt::Err, "no replacement for the directory:", replacement, method, XTRACE_AT);
        return false;
      }
      *out = sep == std::string::npos ? std::string() : path.substr(0, sep);
      return true;
    case 2:
      if (sep != std::string::npos) path = path.substr(sep + 1);
      sep = std::string::npos;
      break;
    default:
      XTraceInt(Xt::Err, "illegal _type=", type, method, XTRACE_AT);
      return false;
  }
  if (hasReplacement) {
    size_t nameStart = sep == std::string::npos ? 0 : sep + 1;
    if (replacement[0] == '.') {
      size_t dot = path.find_last_of('.');
      bool lone = replacement[1] == '\0';
      if (dot == std::string::npos || dot < nameStart) {
        if (!lone) path += replacement;
      } else {
        path = path.substr(0, dot) + (lone ? "" : replacement);
      }
    } else if (kind == 2) {
      path = replacement;
    } else if (sep == std::string::npos) {
      path += "/";
      path += replacement;
    } else {
      path = path.substr(0, nameStart) + replacement;
    }
  }
  *out = path;
  return true;
}

const CComModuleEx::ImgHelpTable* CComModuleEx::ImgHelpProc() {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (m_imgHelp.lib == kLoadFailed) return nullptr;
  if (m_imgHelp.lib == 0) {
    imghlp::Library lib = imghlp::LoadLibrary();
    if (lib == 0) {
      m_imgHelp.lib = kLoadFailed;
      // 126: the platform's "module not found"
      _LogEvt(5, "CComModuleEx::ImgHelpProc", 12, 0, 126, nullptr, 0, nullptr, "Load Imagehlp.dll");
      return nullptr;
    }
    m_imgHelp.lib = lib;
    m_imgHelp.ImageNtHeader = reinterpret_cast<imghlp::ImageNtHeaderFn>(imghlp::GetProcAddress(lib, "ImageNtHeader"));
    m_imgHelp.ImageRvaToSection =
        reinterpret_cast<imghlp::ImageRvaToSectionFn>(imghlp::GetProcAddress(lib, "ImageRvaToSection"));
    m_imgHelpOk = m_imgHelp.ImageNtHeader != nullptr && m_imgHelp.ImageRvaToSection != nullptr;
    if (!m_imgHelpOk)
      _LogEvt(5, "CComModuleEx::ImgHelpProc", 12, 0, 0, nullptr, 0, nullptr, "Invalid Version Imagehlp.dll");
  }
  return m_imgHelpOk ? &m_imgHelp : nullptr;
}

bool CComModuleEx::SetIErrorInfo(const char* method, const char16_t* text, bool replace, const com::Guid* iid,
                                 const char16_t* helpFile, uint32_t helpContext) {
  try {
    std::shared_ptr<com::ErrorInfo> info = replace ? nullptr : com::PeekErrorInfo();
    if (info == nullptr) {
      info = com::CreateErrorInfo();
      info->guid = iid == nullptr || *iid == com::kGuidNull ? m_iid : *iid;
      info->source = m_progId;
      if (helpFile != nullptr) {
        info->helpFile = helpFile;
        info->helpContext = helpContext;
      }
      info->description = fw::Wide(method != nullptr ? method : "");
      if (text != nullptr) {
        info->description += u"(";
        info->description += text;
        info->description += u")";
      }
    }
    com::SetErrorInfo(std::move(info));
    return true;
  } catch (...) {
    _LogExcept(false, "CComModuleEx::SetIErrorInfo", apperr::kInHandler, u"Exception in Handler", nullptr);
    return false;
  }
}

void CComModuleEx::ShutDown(bool process) {
  try {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    if (!process) {
      for (int i = 0; i < m_nLogs; ++i)
        if (m_logs[i].first != nullptr) m_logs[i].first->FreeRes();
      return;
    }
    for (int i = 0; i < m_nLogs; ++i) {
      retireLocked(m_logs[i].first);
      m_logs[i] = {nullptr, 0};
    }
    m_nLogs = 0;
    // Handles that hold the failed-load marker were never loaded.
    if (m_hInetDll != 0 && m_hInetDll != kLoadFailed) msgres::FreeLibrary(m_hInetDll);
    m_hInetDll = 0;
    if (m_imgHelp.lib != 0 && m_imgHelp.lib != kLoadFailed) imghlp::FreeLibrary(m_imgHelp.lib);
    m_imgHelp = ImgHelpTable{};
    m_imgHelpOk = false;
    if (m_hResDll != 0 && m_hResDll != kLoadFailed && m_hResDll != msgres::ThisModule())
      msgres::FreeLibrary(m_hResDll);
    m_hResDll = 0;
    for (int i = 1; i < kThrTableMax; ++i) m_thrTable[i] = ThrItem{};
    m_nThr = 1;
  } catch (...) {
    // Shut-down runs from destructors, also during static destruction.
  }
}
