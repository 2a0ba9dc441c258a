#pragma once
// Registration steps both control libraries share: component categories
// and the order in which a server registers and unregisters itself.

#include <string>
#include <vector>

#include "platform/activex/regscript.h"
#include "platform/activex/typelib.h"

namespace toolkitctl {

inline constexpr ax::Guid CATID_SafeForInitializing{0x7DD95802, 0x9882, 0x11CF,
                                                    {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
inline constexpr ax::Guid CATID_SafeForScripting{0x7DD95801, 0x9882, 0x11CF,
                                                 {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
inline constexpr char kSafeForInitializingText[] = "Controls safely initializable from persistent data!";
inline constexpr char kSafeForScriptingText[] = "Controls safely scriptable!";

// Creates category `catid` with locale 1033 and the description cut to 127
// characters, through the standard component categories manager.
ax::HRESULT RegisterCategory(const ax::Guid& catid, const std::string& description);
ax::HRESULT AddClassToCategory(const ax::CLSID& clsid, const ax::Guid& catid);
ax::HRESULT RemoveClassFromCategory(const ax::CLSID& clsid, const ax::Guid& catid);

// One class's registry script with its replacement variables.
struct ClassScript {
  const std::vector<ax::ScriptKey>* script;
  ax::Replacements vars;  // %MODULE% is added by the steps below
};

// Registration: every class script, the type library, then the two safety
// categories for the control class; stops at the first failure.
ax::HRESULT ControlCategoryRegistration(const std::vector<ClassScript>& classes, const ax::TypeLibDesc& lib,
                                        const ax::CLSID& control, const std::string& modulePath);
// The reverse: type library, the control's categories, the class scripts.
ax::HRESULT ControlCategoryUnregistration(const std::vector<ClassScript>& classes, const ax::TypeLibDesc& lib,
                                          const ax::CLSID& control, const std::string& modulePath);

}  // namespace toolkitctl

namespace toolkitctl {

// Builders for readable registry scripts.
inline ax::ScriptKey Key(std::string name, std::optional<std::string> value = std::nullopt,
                         std::vector<ax::ScriptKey> keys = {}, std::vector<ax::ScriptValue> values = {}) {
  ax::ScriptKey k;
  k.name = std::move(name);
  k.value = std::move(value);
  k.keys = std::move(keys);
  k.values = std::move(values);
  return k;
}
inline ax::ScriptKey ForceRemove(ax::ScriptKey k) {
  k.forceRemove = true;
  return k;
}
inline ax::ScriptKey NoRemove(ax::ScriptKey k) {
  k.noRemove = true;
  return k;
}

// The keys of a control class: the versioned program id, the
// version-independent program-id key `progIdKey`, and the class key with
// `versionIndependentProgId`, the threading model and the control keys.
// Variables: VER_CONTROL_ID, VER_CONTROL_NAME, VER_CONTROL_UID, VER_LIB_UID,
// MODULE.
std::vector<ax::ScriptKey> ControlClassScript(const std::string& progIdKey, const std::string& versionIndependentProgId,
                                              const std::string& threadingModel);

}  // namespace toolkitctl
