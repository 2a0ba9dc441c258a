#pragma once
// CComModuleEx: the module object of a program built on the framework. A
// program has exactly one (created before main, reachable through
// CComModuleEx::Module()). It keeps
//   - a table of per-thread call contexts (transaction number, trace level,
//     flags) - ThrTable, 24 items, item 0 the module's own context;
//   - up to EVTLOGS_MAX event loggers and the central log calls _LogEvt and
//     _LogExcept;
//   - texts of application error ids (from the message library) and of
//     system errors;
//   - a message box, the module path, the image-help table and COM error
//     information;
//   - the processor-exception translator of the constructing thread.
// The lock (re-entrant) guards the loggers, the thread table and the library
// handles; every _LogEvt record is built and delivered under it.

#include <array>
#include <cstdint>
#include <mutex>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "docviewer/framework/evtlogsys.h"
#include "docviewer/framework/fwtext.h"
#include "platform/com/errorinfo.h"
#include "platform/imagehlp/imagehlp.h"
#include "platform/msgres/msgres.h"

// Call context of a thread.
struct cctx {
  uint16_t txNr = 0;      // transaction number
  uint32_t traceLvl = 0;  // xt_first to xt_last; 0 = not set
  uint32_t flags = 0;     // exec_background, errAsWrn
};

inline constexpr uint32_t exec_background = 0x1;  // batch: nobody is asked
inline constexpr uint32_t errAsWrn = 0x2;         // errors are logged as warnings
inline constexpr uint32_t xt_first = 1;
inline constexpr uint32_t xt_last = 6;

// A call context in 32 bits: bits 0-15 txNr, 16-23 traceLvl, 24-31 flags.
using CALLCTXPACKED = uint32_t;

struct ThrItem {
  uint32_t thrId = 0;  // 0 = free slot
  cctx ctx;
};
static_assert(sizeof(ThrItem) == 16);

inline constexpr int EVTLOGS_MAX = 4;
inline constexpr int kThrTableMax = 24;
// Thread id of the module's own context.
inline constexpr uint32_t kModuleCtx = 0xFFFFFFFF;

// "None", "Info" (1-3), "Warning", "Error", "Fatal Error", "???" above 6.
const char* SeverityName(int severity);

class CComModuleEx {
 public:
  enum MsgResMode : uint32_t {
    res_this = 0,    // texts from the module itself
    res_evtsrc = 1,  // library named by the event source's registry entry
    res_path = 2,    // library path known
  };

  // appName: at most 24 characters, "Application" when null. batch 0: batch
  // mode when the desktop is not visible. msgSource: mode 1 the event source
  // name, mode 2 the library path; a mode other than 0 without it falls back
  // to 0. logger (may be null) is registered and then owned by the module.
  // clsid (may be null) gives the program id; iid is used by SetIErrorInfo.
  CComModuleEx(const char16_t* appName, int batch, uint32_t msgResMode, const char16_t* msgSource,
               EvtLogBase* logger, const com::Guid* clsid, const com::Guid& iid);
  virtual ~CComModuleEx();
  CComModuleEx(const CComModuleEx&) = delete;
  CComModuleEx& operator=(const CComModuleEx&) = delete;

  // The process's module object (the one constructed last); null when none.
  static CComModuleEx* Module();

  // Set-up and tear-down of the platform module. Term runs ShutDown(true).
  virtual bool Init(void* instance);
  virtual void Term();
  void* GetModuleInstance() const { return m_instance; }
  // Entry point of a library built on the framework; reason 1 process
  // attach, 0 process detach, 2 thread attach, 3 thread detach.
  bool DllMain(void* instance, uint32_t reason);

  // --- thread contexts; thread id 0 = the calling thread ---
  // The thread's item: existing, a reused free slot or appended. Table full:
  // error kTableFull "ThrTable" logged with severity 5, item 0 returned.
  ThrItem* addThrItem(uint32_t thrId = 0);
  // The item or null (kModuleCtx = item 0); with `raise` a missing item
  // raises kNotFound. The pointer stays valid until the item is released.
  ThrItem* findThrCtx(uint32_t thrId = 0, bool raise = false);
  // Frees the thread's item; the module context cannot be released.
  void RelContext(uint32_t thrId = 0);
  // The packed context of a thread; one without item gets the module
  // context with a txNr from the tick count.
  CALLCTXPACKED cCtx(uint32_t thrId = 0);
  // A thread with an item: *ctx receives its packed context, false. Else an
  // item is made from *ctx (0: txNr from the tick count), true.
  bool setCtx(CALLCTXPACKED* ctx, const char* caller, uint32_t thrId = 0);
  // A copy of the calling thread's context, or the module's.
  cctx thrCtx();
  static CALLCTXPACKED packCtx(const cctx& ctx);
  static cctx unpackCtx(CALLCTXPACKED packed);
  void SetBackgrnd(uint32_t thrId = 0);
  // onOff 1 sets, 0 clears, -1 only asks; returns the bit.
  bool ErrAsWarn(int onOff, uint32_t thrId = 0);
  // Module trace level and logger 0's minimum; 0 = applLogLvl().
  void setDefLogLvl(int level);
  virtual int applLogLvl();
  int ThrCount();

  // --- event loggers (the module owns them) ---
  // Index of the new logger; -1 when EVTLOGS_MAX are registered.
  int AddEventLog(EvtLogBase* logger);
  void RemEventLog(int index, bool deleteLogger);
  // Minimum severity of a logger (an index out of range counts as 0).
  int TraceLvl(int index);
  void SetTraceLvl(int level, int index);
  int MinSeverity();
  int EventLogCount();
  EvtLogBase* EventLog(int index);
  uint16_t DefCategory() const { return m_defCategory; }
  void SetDefCategory(uint16_t category) { m_defCategory = category; }

  // --- logging ---
  // Logs through every logger whose minimum the severity reaches; true when
  // one took the record. `format` (may be null) is filled with `args`; it is
  // never itself an argument text, so pass ready text as ("%s", text).
  template <class... A>
  bool _LogEvt(int severity, const char* method, uint16_t category, uint32_t appError, uint32_t sysError,
               const char16_t* sysText, uint32_t dataSize, const void* data, const char* format, const A&... args) {
    auto a = fw::Args(args...);
    return _LogEvtV(severity, method, category, appError, sysError, sysText, dataSize, data, format, a);
  }
  bool _LogEvtV(int severity, const char* method, uint16_t category, uint32_t appError, uint32_t sysError,
                const char16_t* sysText, uint32_t dataSize, const void* data, const char* format,
                std::span<const fw::FmtArg> args);
  // Logs an exception (system or internal) to every logger; shows it when
  // no logger took it and the thread is not in batch mode. A call made while
  // the same thread is already inside _LogExcept (a logger failing on the
  // exception it reports) logs nothing and answers false.
  bool _LogExcept(bool system, const char* method, uint32_t appError, const char16_t* text,
                  const char16_t* sysText);

  // --- texts ---
  template <class... A>
  std::u16string errorDesc(uint32_t appError, const A&... args) {
    auto a = fw::Args(args...);
    return errorDescV(appError, a);
  }
  std::u16string errorDescV(uint32_t appError, std::span<const fw::FmtArg> args);
  // True when a text was found; *out gets a text in any case.
  bool sysErrorDesc(uint32_t sysError, std::u16string* out);
  // Loads the message library (first use of errorDesc does it).
  bool loadMsgResDll();

  // Shows a box; answer with the platform's numbers (1 OK ... 7 No). owner 0
  // = the active window (box top-most and task-modal); caption null = the
  // application name.
  int MsgBox(uintptr_t owner, int severity, std::u16string_view text, const char16_t* prompt,
             const char16_t* caption, int32_t boxType);

  // Path of the module (type bit 0x100: of the program file); type 1 the
  // directory, 2 the file name, 0 the full path. A replacement starting
  // with "." replaces the extension, any other one the file name. Paths use
  // "/" (a "\" is a separator too).
  bool GetModulePath(std::string* out, uint32_t type, const char* replacement = nullptr);

  struct ImgHelpTable {
    imghlp::Library lib = 0;
    imghlp::ImageNtHeaderFn ImageNtHeader = nullptr;
    imghlp::ImageRvaToSectionFn ImageRvaToSection = nullptr;
  };
  // The image-help table, loaded on first use; null when unavailable.
  const ImgHelpTable* ImgHelpProc();

  // Sets the thread's COM error information: source the program id,
  // description "method(text)". A null iid pointer = the module's iid.
  bool SetIErrorInfo(const char* method, const char16_t* text, bool replace, const com::Guid* iid,
                     const char16_t* helpFile, uint32_t helpContext);

  // With `process`: deletes every logger, releases the libraries, resets
  // the thread table; else asks each logger to release its resources. May
  // run any number of times; never throws.
  virtual void ShutDown(bool process);

  // The texts and the box of the process's module; without one, plain
  // texts (system messages only) and a box captioned "Application".
  static std::u16string ErrorText(uint32_t appError, std::span<const fw::FmtArg> args);
  static std::u16string SysErrorText(uint32_t sysError);  // empty when there is none
  static int Box(int severity, std::u16string_view text, const char16_t* prompt, int32_t boxType);

  const std::u16string& AppName() const { return m_appName; }
  const std::u16string& ProgId() const { return m_progId; }
  const std::u16string& EventSourceName() const { return m_evtSource; }
  uint32_t MsgResMode() const { return m_msgResMode; }

 protected:
  // The record source "method (program id or application name)".
  std::u16string SourceText(const char* method) const;

  std::recursive_mutex m_lock;

 private:
  static constexpr uintptr_t kLoadFailed = static_cast<uintptr_t>(-1);

  ThrItem* findLocked(uint32_t thrId);
  bool deliverLocked(LogRecord& record, bool checkLoggerLevel);
  void recomputeMinLocked(bool fromLogger0);
  // _LogExcept calls its loggers outside the lock. A logger in such a call
  // is held: removing it with delete only retires it, and the hold released
  // last deletes it, so a logger is never deleted under a running call.
  void holdLocked(EvtLogBase* logger);
  void releaseHold(EvtLogBase* logger);
  void retireLocked(EvtLogBase* logger);

  std::u16string m_appName;
  uint32_t m_msgResMode = res_this;
  std::u16string m_evtSource;
  std::string m_msgLibPath;
  msgres::Library m_hResDll = 0;    // kLoadFailed after a failed load
  msgres::Library m_hInetDll = 0;   // kLoadFailed after a failed load
  ImgHelpTable m_imgHelp;           // lib kLoadFailed after a failed load
  bool m_imgHelpOk = false;
  std::array<std::pair<EvtLogBase*, int>, EVTLOGS_MAX> m_logs{};
  int m_nLogs = 0;
  std::vector<std::pair<EvtLogBase*, int>> m_holds;  // logger, calls holding it
  std::vector<EvtLogBase*> m_retired;                // removed with delete while held
  int m_minSev = 0;
  uint16_t m_defCategory = 0;
  std::array<ThrItem, kThrTableMax> m_thrTable{};
  int m_nThr = 1;
  std::u16string m_progId;
  com::Guid m_iid;
  void* m_instance = nullptr;
};
