#include "platform/com/errorinfo.h"

#include <cstdio>
#include <vector>

#include "platform/registry/registry.h"

namespace com {
namespace {

thread_local std::shared_ptr<ErrorInfo> t_errorInfo;

}  // namespace

std::string GuidText(const Guid& g) {
  char text[40];
  std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", g.data1, g.data2, g.data3,
                g.data4[0], g.data4[1], g.data4[2], g.data4[3], g.data4[4], g.data4[5], g.data4[6], g.data4[7]);
  return text;
}

std::shared_ptr<ErrorInfo> CreateErrorInfo() { return std::make_shared<ErrorInfo>(); }

void SetErrorInfo(std::shared_ptr<ErrorInfo> info) { t_errorInfo = std::move(info); }

std::shared_ptr<ErrorInfo> GetErrorInfo() { return std::move(t_errorInfo); }

std::shared_ptr<ErrorInfo> PeekErrorInfo() { return t_errorInfo; }

bool ProgIDFromCLSID(const Guid& clsid, std::string* progId) {
  return ReadClassesRootDefault("CLSID\\" + GuidText(clsid) + "\\ProgID", progId) && !progId->empty();
}

bool ReadClassesRootDefault(const std::string& path, std::string* out) {
  reg::Key key = 0;
  if (reg::OpenKey(reg::Hive::ClassesRoot, path, &key) != reg::kSuccess) return false;
  uint32_t size = 0;
  reg::ValueType type = reg::kNone;
  bool ok = false;
  if (reg::QueryValue(key, "", &type, nullptr, &size) == reg::kSuccess && type == reg::kString && size > 0) {
    std::vector<uint8_t> data(size);
    if (reg::QueryValue(key, "", &type, data.data(), &size) == reg::kSuccess) {
      out->assign(reinterpret_cast<const char*>(data.data()), size);
      while (!out->empty() && out->back() == '\0') out->pop_back();
      ok = true;
    }
  }
  reg::CloseKey(key);
  return ok;
}

}  // namespace com
