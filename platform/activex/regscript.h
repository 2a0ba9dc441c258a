#pragma once
// Registry scripts: the key trees a server writes below HKEY_CLASSES_ROOT
// when it registers and removes when it unregisters, with replacement
// variables ("%MODULE%", "%VER_CONTROL_ID%" ...) in names and values.

#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform/activex/com.h"

namespace ax {

struct ScriptValue {
  std::string name;
  std::string data;  // string values only
};

struct ScriptKey {
  std::string name;
  std::optional<std::string> value;  // the key's default value
  std::vector<ScriptValue> values;
  std::vector<ScriptKey> keys;
  // Registration removes the key with everything below it first.
  bool forceRemove = false;
  // Unregistration keeps the key itself (it belongs to others) and only
  // removes what the script writes below it.
  bool noRemove = false;
};

using Replacements = std::vector<std::pair<std::string, std::string>>;

// "%NAME%" in `text` replaced by its value; "%%" gives "%"; an unknown name
// stays as written.
std::string ApplyReplacements(const std::string& text, const Replacements& vars);

// Writes (register) or removes (unregister) the script's keys below
// HKEY_CLASSES_ROOT; stops at the first failure and returns it.
HRESULT UpdateRegistryFromScript(const std::vector<ScriptKey>& script, const Replacements& vars, bool doRegister);

// Removes a key with all its sub-keys (missing: S_OK).
HRESULT DeleteKeyTree(const std::string& path);

}  // namespace ax
