#pragma once
// The loaded PKCS#11 module: the bridge's only process-wide state.
//
// Two states: unloaded (both values null) and loaded (both set, from the
// same module). No lock is taken: initialize and cFinalize must not run
// concurrently with any other native method.

#include "platform/dynload/dynload.h"
#include "pkcs11bridge/bridge_codes.h"

// The handle of the loaded module, or null.
extern dynload::Library g_hModule;
// The module's function list (the module owns it), or null.
extern CK_FUNCTION_LIST* g_pFunctionList;

namespace brennix {

// Loads the module at `path` and initialises it (no mutex callbacks, no
// flags). On success, and when the module answers that it is already
// initialised, both values name the new module and the module's result is
// returned. On any other outcome the values stay as they were and the new
// reference is dropped: CKR_BRIDGE_BAD_ARGUMENT for a null path,
// CKR_BRIDGE_MODULE_MISSING when the file cannot be loaded or has no
// C_GetFunctionList (or gives no list), otherwise the module's result.
CK_RV LoadModule(const char* path);

// C_Finalize, then the module is freed and both values cleared, whatever
// C_Finalize answered. CKR_BRIDGE_MODULE_MISSING when nothing is loaded.
CK_RV UnloadModule();

// Calls `entry` of the loaded function list. Raises
// CKR_BRIDGE_MODULE_MISSING when no module is loaded or the list has no such
// function.
template <class Fn, class... Args>
CK_RV ModuleCall(Fn CK_FUNCTION_LIST::*entry, Args... args) {
  if (g_pFunctionList == nullptr) Raise(CKR_BRIDGE_MODULE_MISSING);
  Fn fn = g_pFunctionList->*entry;
  if (fn == nullptr) Raise(CKR_BRIDGE_MODULE_MISSING);
  return fn(args...);
}

// The module's extension `name` (looked up on every call, never cached), as
// a function of type Fn. Raises CKR_BRIDGE_MODULE_MISSING when no module is
// loaded or it does not export `name`.
template <class Fn>
Fn Extension(const char* name) {
  void* entry = dynload::Symbol(g_hModule, name);
  if (entry == nullptr) Raise(CKR_BRIDGE_MODULE_MISSING);
  return reinterpret_cast<Fn>(entry);
}

}  // namespace brennix
