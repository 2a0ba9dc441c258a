#include "docviewer/framework/txerror.h"

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/commoduleex.h"
#include "docviewer/framework/xtrace.h"
#include "platform/uiscript/uiscript.h"

namespace {

// Live objects; constructors and destructors run on any thread.
std::atomic<int> g_instances{0};
std::atomic<uint32_t> g_lastThrown{0};
std::atomic<int> g_retries{0};

// More live errors than this while showing means an error inside showing.
constexpr int kRecursionLimit = 11;

constexpr int32_t kMbOk = 0, kMbOkCancel = 1, kMbAbortRetryIgnore = 2, kMbRetryCancel = 5;
constexpr int32_t kMbIconError = 0x10, kMbIconQuestion = 0x20, kMbIconWarning = 0x30, kMbIconInformation = 0x40;

}  // namespace

TXError::TXError(uint32_t appError) : m_hr(appError) { ++g_instances; }

TXError::TXError(const TXError& other)
    : m_hr(other.m_hr),
      m_sev(other.m_sev),
      m_xflags(other.m_xflags),
      m_descr(other.m_descr),
      m_sysText(other.m_sysText),
      m_extError(other.m_extError),
      m_category(other.m_category),
      m_method(other.m_method) {
  Counted("TXError::ctor(TXError)");
}

TXError::~TXError() { --g_instances; }

void TXError::Counted(const char* title) {
  ++g_instances;
  Dump(title);
}

int TXError::InstanceCount() { return g_instances; }
uint32_t TXError::LastThrown() { return g_lastThrown; }
int TXError::RetryCount() { return g_retries; }

void TXError::Init(uint32_t appError, uint32_t sysError, const char16_t* sysText, const char* method,
                   std::span<const fw::FmtArg> args) {
  m_hr = appError;
  m_extError = sysError;
  // The suite's ids that are not of error severity are warnings.
  m_sev = apperr::IsSuiteFacility(appError) && (appError & apperr::kSeverityMask) != apperr::kSeverityError ? 4 : 5;
  m_xflags = 0;
  m_method = method != nullptr ? std::string(method).substr(0, 31) : std::string();
  m_descr = appError != 0 ? CComModuleEx::ErrorText(appError, args) : std::u16string();
  if (sysText != nullptr) m_sysText = sysText;
  else if (sysError != 0 && sysError != E_FAIL_HR) m_sysText = CComModuleEx::SysErrorText(sysError);
  else m_sysText.clear();
}

TXError& TXError::ExcFlags(uint32_t bits) {
  m_xflags |= bits & (xf_resume | xf_ignoreable | xf_displayed | xf_appl_fatal);
  return *this;
}

int TXError::Show() {
  if (m_xflags & xf_thrown) m_xflags &= ~static_cast<uint32_t>(xf_prompt);
  CComModuleEx* module = CComModuleEx::Module();
  bool batch = module != nullptr && (module->thrCtx().flags & exec_background);
  if (!batch && !uiscript::DesktopVisible()) {
    XTraceLine(Xt::Msg, "Background!", "TXError::Show", XTRACE_AT);
    batch = true;
  }

  int answer;
  if (batch) {
    answer = (m_xflags & xf_resume) ? ans_retry : (m_xflags & xf_ignoreable) ? ans_ignore : ans_abort;
  } else if (InstanceCount() > kRecursionLimit) {
    // Errors raised while errors are shown: no further box, but the error
    // is still marked displayed and logged below.
    answer = ans_abort;
  } else {
    const char16_t* prompt = nullptr;
    int32_t type;
    switch (m_xflags & xf_prompt) {
      case 0x10:
        prompt = u"Nochmals versuchen oder abbrechen?";
        type = kMbRetryCancel | kMbIconQuestion;
        break;
      case 0x20:
        prompt = u"Problem ignorieren oder abbrechen?";
        type = kMbOkCancel | kMbIconQuestion;
        break;
      case 0x30:
        prompt = u"Abbrechen, nochmals versuchen oder ignorieren";
        type = kMbAbortRetryIgnore | kMbIconQuestion;
        break;
      default:
        type = kMbOk | (m_sev >= 5 ? kMbIconError : m_sev == 4 ? kMbIconWarning : kMbIconInformation);
    }
    std::u16string text = m_descr;
    if (!m_sysText.empty()) text += u"\n\n" + m_sysText;
    switch (CComModuleEx::Box(m_sev, text, prompt, type)) {
      case uiscript::kOk: answer = (m_xflags & xf_ignoreable) ? ans_ignore : ans_abort; break;
      case uiscript::kRetry: case uiscript::kYes: answer = ans_retry; break;
      case uiscript::kIgnore: case uiscript::kNo: answer = ans_ignore; break;
      default: answer = ans_abort;  // cancel, abort
    }
  }
  if (answer == ans_retry) ++g_retries;
  m_xflags |= xf_displayed;
  if (m_sev > 3) Log(0);
  return answer;
}

bool TXError::Log(int severity) {
  CComModuleEx* module = CComModuleEx::Module();
  if (module == nullptr) return false;
  // The description is finished text: it goes in as an argument, so a "%"
  // in it (a path, a percentage) stays as it is.
  return module->_LogEvt(severity != 0 ? severity : m_sev, m_method.empty() ? nullptr : m_method.c_str(),
                         m_category, m_hr, m_extError, m_sysText.empty() ? nullptr : m_sysText.c_str(), 0, nullptr,
                         m_descr.empty() ? nullptr : "%s", m_descr);
}

void TXError::ThrowCopy(int severity) {
  TXError copy(*this);
  copy.m_xflags = (m_xflags & ~static_cast<uint32_t>(xf_resume)) | xf_thrown | xf_ignoreable;
  if (severity != 0) copy.m_sev = severity;
  g_lastThrown = m_hr;
  throw copy;
}

int TXError::Throw(int severity) {
  if (severity != 0) m_sev = severity;
  int answer = Show();
  if (answer == ans_abort) ThrowCopy(0);
  return answer;
}

int TXError::Exec(int mode, bool warn) {
  switch (mode) {
    case exec_show: {
      int answer = Show();
      if (answer == ans_abort) ThrowCopy(warn ? 4 : 0);
      return answer;
    }
    case exec_log:
      Log(4);
      return ans_ignore;
    case exec_none:
      return ans_ignore;
    default: {
      uint32_t prompt = m_xflags & xf_prompt;
      m_xflags &= ~static_cast<uint32_t>(xf_prompt);
      Show();
      m_xflags |= prompt | xf_displayed;
      return ans_ignore;
    }
  }
}

uint32_t TXError::SetCOMErrorInfo(const com::Guid* iid, const char16_t* helpFile, uint32_t helpContext) {
  if (CComModuleEx* module = CComModuleEx::Module()) {
    std::u16string text = m_descr;
    if (!m_sysText.empty()) text += u"\n" + m_sysText;
    module->SetIErrorInfo(m_method.c_str(), text.c_str(), true, iid, helpFile, helpContext);
  }
  return m_hr != 0 ? m_hr : E_FAIL_HR;
}

uint32_t TXError::StdHResult() const {
  uint32_t value = apperr::Facility(m_hr) == 0x021 ? m_extError : m_hr;
  if (value == 0) return E_FAIL_HR;
  if (value < 0x10000) return 0x80070000u | (value & 0xFFFF);
  return value | 0x80000000u;
}

void TXError::Dump(const char* title) const {
  if (!XTraceEnabled()) return;
  const char* m = "TXError::Dump";
  XTraceHex(Xt::Msg, "--- TXError ---", static_cast<const void*>(this), m, XTRACE_AT);
  XTraceText(Xt::Msg, "    in", m_method, m, XTRACE_AT);
  XTraceText(Xt::Msg, "    title", title != nullptr ? title : "", m, XTRACE_AT);
  XTraceHex(Xt::Msg, "Err=", static_cast<uint64_t>(m_hr), m, XTRACE_AT);
  XTraceWide(Xt::Msg, "    descr=", m_descr, m, XTRACE_AT);
  XTraceHex(Xt::Msg, "extErr=", static_cast<uint64_t>(m_extError), m, XTRACE_AT);
  XTraceWide(Xt::Msg, "    descr=", m_sysText, m, XTRACE_AT);
  XTraceInt(Xt::Msg, "Sev=", m_sev, m, XTRACE_AT);
  XTraceHex(Xt::Msg, "    xflags=", static_cast<uint64_t>(m_xflags), m, XTRACE_AT);
  XTraceInt(Xt::Msg, "InstanceCount=", InstanceCount(), m, XTRACE_AT);
  XTraceHex(Xt::Msg, "    lastErr=", static_cast<uint64_t>(LastThrown()), m, XTRACE_AT);
  XTraceInt(Xt::Msg, "    retry=", RetryCount(), m, XTRACE_AT);
  XTraceLine(Xt::Msg, "--- end TXError ---", m, XTRACE_AT);
}

void DumpErrorInfo(const char* title, const com::ErrorInfo* info) {
  if (!XTraceEnabled()) return;
  const char* m = "DumpErrorInfo";
  XTraceLine(Xt::Msg, "--- ErrorInfo ---", m, XTRACE_AT);
  XTraceText(Xt::Msg, "   ", title != nullptr ? title : "<null>", m, XTRACE_AT);
  XTraceWide(Xt::Msg, "Description =", info ? std::u16string_view(info->description) : u"?", m, XTRACE_AT);
  XTraceWide(Xt::Msg, "Source =", info ? std::u16string_view(info->source) : u"?", m, XTRACE_AT);
  XTraceWide(Xt::Msg, "HelpFile =", info ? std::u16string_view(info->helpFile) : u"?", m, XTRACE_AT);
  if (info != nullptr) XTraceInt(Xt::Msg, "HelpContext =", info->helpContext, m, XTRACE_AT);
  else XTraceText(Xt::Msg, "HelpContext =", "?", m, XTRACE_AT);
  XTraceHex(Xt::Msg, "--- end ErrorInfo @", static_cast<const void*>(info), m, XTRACE_AT);
}
