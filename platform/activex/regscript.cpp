#include "platform/activex/regscript.h"

#include "platform/registry/registry.h"

namespace ax {
namespace {

HRESULT WriteKey(const std::string& parent, const ScriptKey& k, const Replacements& vars) {
  std::string path = (parent.empty() ? "" : parent + "\\") + ApplyReplacements(k.name, vars);
  if (k.forceRemove) {
    HRESULT hr = DeleteKeyTree(path);
    if (Failed(hr)) return hr;
  }
  reg::Key key = 0;
  reg::Status st = reg::CreateKey(reg::Hive::ClassesRoot, path, &key);
  if (st != reg::kSuccess) return HrFromStatus(st);
  if (k.value) st = reg::SetString(key, "", ApplyReplacements(*k.value, vars));
  for (const ScriptValue& v : k.values) {
    if (st != reg::kSuccess) break;
    st = reg::SetString(key, ApplyReplacements(v.name, vars), ApplyReplacements(v.data, vars));
  }
  reg::CloseKey(key);
  if (st != reg::kSuccess) return HrFromStatus(st);
  for (const ScriptKey& sub : k.keys) {
    HRESULT hr = WriteKey(path, sub, vars);
    if (Failed(hr)) return hr;
  }
  return S_OK;
}

HRESULT RemoveKey(const std::string& parent, const ScriptKey& k, const Replacements& vars) {
  std::string path = (parent.empty() ? "" : parent + "\\") + ApplyReplacements(k.name, vars);
  if (!k.noRemove) return DeleteKeyTree(path);
  for (const ScriptKey& sub : k.keys) {
    HRESULT hr = RemoveKey(path, sub, vars);
    if (Failed(hr)) return hr;
  }
  return S_OK;
}

}  // namespace

std::string ApplyReplacements(const std::string& text, const Replacements& vars) {
  std::string out;
  for (size_t i = 0; i < text.size();) {
    size_t end = text[i] == '%' ? text.find('%', i + 1) : std::string::npos;
    if (end == std::string::npos) {
      out.push_back(text[i++]);
      continue;
    }
    std::string name = text.substr(i + 1, end - i - 1);
    if (name.empty()) {
      out.push_back('%');
    } else {
      bool found = false;
      for (const auto& [var, value] : vars) {
        if (var == name) {
          out += value;
          found = true;
          break;
        }
      }
      if (!found) out += text.substr(i, end - i + 1);
    }
    i = end + 1;
  }
  return out;
}

HRESULT DeleteKeyTree(const std::string& path) {
  reg::Key key = 0;
  reg::Status st = reg::OpenKey(reg::Hive::ClassesRoot, path, &key);
  if (st == reg::kFileNotFound) return S_OK;
  if (st != reg::kSuccess) return HrFromStatus(st);
  std::vector<std::string> subs;
  std::string name;
  for (uint32_t i = 0; reg::EnumKey(key, i, &name) == reg::kSuccess; ++i) subs.push_back(name);
  reg::CloseKey(key);
  for (const std::string& sub : subs) {
    HRESULT hr = DeleteKeyTree(path + "\\" + sub);
    if (Failed(hr)) return hr;
  }
  reg::Key root = 0;
  st = reg::OpenKey(reg::Hive::ClassesRoot, "", &root);
  if (st != reg::kSuccess) return HrFromStatus(st);
  st = reg::DeleteKey(root, path);
  reg::CloseKey(root);
  return st == reg::kSuccess || st == reg::kFileNotFound ? S_OK : HrFromStatus(st);
}

HRESULT UpdateRegistryFromScript(const std::vector<ScriptKey>& script, const Replacements& vars, bool doRegister) {
  for (const ScriptKey& k : script) {
    HRESULT hr = doRegister ? WriteKey("", k, vars) : RemoveKey("", k, vars);
    if (Failed(hr)) return hr;
  }
  return S_OK;
}

}  // namespace ax
