#include "docviewer/framework/AppRegistry.h"

#include <vector>

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/fwtext.h"
#include "docviewer/framework/txerror.h"
#include "docviewer/framework/xtrace.h"

namespace {

constexpr uint32_t kErrorInvalidData = 13;  // the platform's "invalid data": a value of the wrong type

int Mode(bool raise) { return raise ? TXError::exec_show : TXError::exec_log; }

}  // namespace

CAppReg::CAppReg(const char* applKey, const char* subKey, uint32_t access, bool create)
    : m_path("SOFTWARE"), m_access(access), m_create(create) {
  if (applKey != nullptr && *applKey != '\0') m_path += std::string("\\") + applKey;
  if (subKey != nullptr && *subKey != '\0') m_path += std::string("\\") + subKey;
  if (m_path.size() > 256) m_path.resize(256);
}

CAppReg::~CAppReg() {
  try {
    close(false);
  } catch (...) {
  }
}

reg::Key CAppReg::openKey(bool raise, uint32_t /*access: the stand-in knows no rights*/) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (m_key != 0) return m_key;
  if (m_path.empty()) {
    TXError error(apperr::kNoBaseKey, 0, "CAppReg::openKey", "BaseKey");
    error.m_sev = 5;
    error.Exec(Mode(raise));
    return 0;
  }
  reg::Key key = 0;
  reg::Status status = reg::OpenKey(reg::Hive::LocalMachine, m_path, &key);
  if (status == reg::kFileNotFound && m_create) status = reg::CreateKey(reg::Hive::LocalMachine, m_path, &key);
  if (status != reg::kSuccess) {
    TXError(m_create ? apperr::kRegCreate : apperr::kRegOpen, static_cast<uint32_t>(status), "CAppReg::openKey",
            m_path)
        .Exec(Mode(raise));
    return 0;
  }
  m_key = key;
  return m_key;
}

void CAppReg::close(bool raise) {
  std::lock_guard<std::recursive_mutex> lock(m_lock);
  if (m_key == 0) return;
  reg::Status status = reg::CloseKey(m_key);
  m_key = 0;
  if (status != reg::kSuccess)
    TXError(apperr::kSysCall, static_cast<uint32_t>(status), "CAppReg::close", "RegCloseKey").Exec(Mode(raise));
}

bool CAppReg::getValue(const char* name, void* buffer, uint32_t* size, uint32_t* type, bool raise) {
  reg::ValueType stored = reg::kNone;
  uint32_t bytes = *size;
  reg::Status status;
  {
    // Open and read under the key's lock: a close on another thread waits
    // for the read instead of pulling the handle from under it.
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    reg::Key key = openKey(raise);
    if (key == 0) return false;
    status = reg::QueryValue(key, name, &stored, static_cast<uint8_t*>(buffer), &bytes);
  }
  uint32_t failure = static_cast<uint32_t>(status);
  if (status == reg::kSuccess) {
    auto plain = [](uint32_t t) { return t == reg::kExpandString ? static_cast<uint32_t>(reg::kString) : t; };
    uint32_t expected = *type;
    *size = bytes;
    *type = stored;
    if (plain(stored) == plain(expected)) return true;
    XTraceText(Xt::Err, fw::Fmt("inv type=%d expected=%d", stored, expected), name, "CAppReg::getValue",
               XTRACE_AT);
    failure = kErrorInvalidData;
  }
  TXError(apperr::kRegValue, failure, "CAppReg::getValue", m_path, name).Exec(Mode(raise));
  return false;
}

uint32_t CAppReg::valDW(const char* name, uint32_t def, bool raise) {
  uint8_t data[4] = {};
  uint32_t size = sizeof data;
  uint32_t type = reg::kDword;
  if (!getValue(name, data, &size, &type, raise) || size != 4) return def;
  return static_cast<uint32_t>(data[0]) | (static_cast<uint32_t>(data[1]) << 8) |
         (static_cast<uint32_t>(data[2]) << 16) | (static_cast<uint32_t>(data[3]) << 24);
}

bool CAppReg::valStr(const char* name, std::u16string* out, bool raise) {
  uint32_t size = 0;
  uint32_t type = reg::kString;
  if (!getValue(name, nullptr, &size, &type, raise)) return false;
  std::vector<uint8_t> data(size + 1);
  type = reg::kString;
  if (!getValue(name, data.data(), &size, &type, raise)) return false;
  // The stored size counts the terminator.
  std::string text(reinterpret_cast<const char*>(data.data()), size);
  while (!text.empty() && text.back() == '\0') text.pop_back();
  *out = fw::Wide(text);
  return true;
}

uint32_t CAppReg::valBin(const char* name, void* buffer, uint32_t size, bool raise) {
  uint32_t type = reg::kBinary;
  return getValue(name, buffer, &size, &type, raise) ? size : 0;
}

CRegValIter::CRegValIter(CAppReg& key, int start) : m_key(key), m_index(start) { read(); }

void CRegValIter::read() {
  if (m_index < 0) return;
  char name[65] = {};
  uint32_t nameSize = sizeof name;
  reg::ValueType type = reg::kNone;
  uint32_t dataSize = 0;
  reg::Status status;
  {
    std::lock_guard<std::recursive_mutex> lock(m_key.m_lock);
    reg::Key key = m_key.openKey(false);
    if (key == 0) {
      m_index = -1;
      return;
    }
    status = reg::EnumValue(key, static_cast<uint32_t>(m_index), name, &nameSize, &type, nullptr, &dataSize);
  }
  if (status == reg::kNoMoreItems) {
    m_index = -1;
    return;
  }
  if (status != reg::kSuccess) {
    m_index = -1;
    TXError(apperr::kSysCall, static_cast<uint32_t>(status), "CRegValIter", "RegEnumValue").Throw(5);
    return;
  }
  m_name.assign(name, std::min<uint32_t>(nameSize, 64));
  m_type = type;
  m_size = dataSize;
}

bool CRegValIter::operator++() {
  if (m_index < 0) {
    TXError(apperr::kEof, 0, "CRegValIter::operator++", "EOF").Throw(5);
    return false;
  }
  ++m_index;
  read();
  return m_index >= 0;
}

const char* CRegValIter::info(uint32_t* type, uint32_t* size) const {
  if (m_index < 0) {
    TXError(apperr::kEof, 0, "CRegValIter::info", "EOF").Throw(5);
    return "";
  }
  *type = m_type;
  *size = m_size;
  return m_name.c_str();
}
