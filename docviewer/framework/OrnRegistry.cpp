#include "docviewer/framework/OrnRegistry.h"

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/fwtext.h"
#include "docviewer/framework/txerror.h"
#include "docviewer/framework/xtrace.h"

namespace {

constexpr const char* kSubKeys[] = {"SysParam", "Products", "ProductDetail"};

constexpr const char* kIntNames[] = {"RACodeLimit", "DefPriceGroup", "Options", "#RecCount"};

constexpr const char* kStrNames[] = {
    "ConnORNDB",         "ConnOrnQueueDB",     "ConnArchStageDB", "ConnVoucherDB",     "SiteCode",
    "ShutDownReason",    "CertDir",            "JavaDir",         "SaveDir",           "TemplateDir",
    "FormPrinter",       "IPPrintASM1",        "IPCardASM1",      "IPCardASM2",        "IPZiCardASM1",
    "IPZiCardASM2",      "IPZiPrintASM1",      "FTPWorkDir",      "IPCPHost",          "IPCPHostRecv",
    "CPSendPath",        "CPReceivePath",      "CPIssuerName",    "CPCountry",         "CPUserSend",
    "CPPwdSend",         "CPUserRecv",         "CPPwdRecv",       "ZmrDir",            "ZmrRequestTemplate",
    "ZmrServiceURL",     "ZmrClientCertificate", "ZmrProxyURL",   "ZmrHostAdr",        "ZmrIssuerTemplate",
    "AlertMailPostfix",  "SmtpServer",         "Notice",          "Updated",           "IPECardASM1",
    "IPECardASM2",       "CADir",              "CARequestTemplate", "CAServiceURL",    "IPCardosASM1",
    "IPCardosASM2"};

constexpr const char* kShortNames[] = {
    "OrnDbVersion",   "LogLevel",       "ShutDown",        "MaxHits",         "MaxCINRetry",    "CheckRO",
    "CardReplDays",   "CardDefValidYears", "TempCertExp",  "CertVerifyMethod", "EnableBilling", "MaxPrintBatchSize",
    "PrinterXOffs",   "PrinterYOffs",   "FormTop",         "FormBottom",      "FormLeft",       "FormRight",
    "BarcodeX",       "BarcodeY",       "BarcodeDist",     "BarcodeLength",   "BarcodeWidth",   "ASMVKPinPuk",
    "ASMVKKek",       "ASMVKTrans",     "ASMPubExp",       "ASMTimeOut",      "ASMMaxRetry",    "ASMWaitRetry",
    "ASMCommPort",    "PortPrintASM1",  "PortCardASM1",    "PortCardASM2",    "PortZiCardASM1", "PortZiCardASM2",
    "PortZiPrintASM1", "ZiASMVKKek",    "ZiASMVKPinPuk",   "RevSuspDays",     "CPTimeOut",      "CPMaxRetry",
    "CPWaitRetry",    "CPCleanupWait",  "CPVKSigGen",      "CPVKEncGen",      "CPSignHashType", "CPVKSigRA",
    "QRPollFreq",     "QRPollFreqFail", "ZmrHostPort",     "ZmrLocalPort",    "ZmrTimeout",     "OrnType",
    "PortECardASM1",  "PortECardASM2",  "ECardASMVKKek",   "CATimeout",       "PortCardosASM1", "PortCardosASM2",
    "CardosASMVKKek", "CardosASMVKPinPuk"};

static_assert(std::size(kStrNames) == 46 && std::size(kShortNames) == 62);

}  // namespace

const std::span<const char* const> COrnReg::ornSubKey{kSubKeys};
const std::span<const char* const> COrnReg::intValName{kIntNames};
const std::span<const char* const> COrnReg::strValName{kStrNames};
const std::span<const char* const> COrnReg::shortValName{kShortNames};

const char* COrnReg::NameAt(std::span<const char* const> table, int index) {
  if (index >= 0 && static_cast<size_t>(index) < table.size()) return table[static_cast<size_t>(index)];
  TXError error(apperr::kIndex, 0, "COrnReg", index);
  error.Throw(5);
  return nullptr;  // the operator chose to go on
}

COrnReg::COrnReg(int subKey, uint32_t access) : CAppReg("Dornvale\\ORN", NameAt(ornSubKey, subKey), access) {}

bool COrnReg::strVal(int index, std::u16string* out, bool raise) {
  const char* name = NameAt(strValName, index);
  return name != nullptr && valStr(name, out, raise);
}

uint32_t COrnReg::intVal(int index, uint32_t def, bool raise) {
  const char* name = NameAt(intValName, index);
  return name != nullptr ? valDW(name, def, raise) : def;
}

uint16_t COrnReg::shortVal(int index, uint16_t def, bool raise) {
  const char* name = NameAt(shortValName, index);
  if (name == nullptr) return def;
  uint32_t value = valDW(name, def, raise);
  if (value > 0xFFFF) {
    XTraceLine(Xt::Err, fw::Fmt("%.64s=%d - overflow", name, value), "COrnReg::shortVal", XTRACE_AT);
    TXError(apperr::kOverflow, 0, "COrnReg::shortVal", name).Throw(5);
    return def;
  }
  return static_cast<uint16_t>(value);
}

int COrnReg::logLvl(int def) { return shortVal(LogLevel, static_cast<uint16_t>(def), false); }

int COrnReg::logLvlExt(int def) { return sev2XT(logLvl(def)); }

int COrnReg::sev2XT(int severity) {
  if (severity <= 0) return XT_MSG2;
  if (severity > 6) return XT_FERR;
  return 6 - severity;
}

int COrnReg::XT2errSev(int level) {
  if (level < 0) return 6;
  if (level >= 6) return 1;
  return 6 - level;
}
