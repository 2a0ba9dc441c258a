#pragma once
// The loaded PKCS#11 module: the bridge's only process-wide state.
//
// Two states: unloaded (both values null) and loaded (both set, from the
// same module). No lock is taken: initialize and cFinalize must not run
// concurrently with any other native method. Other native methods may run
// on several Java threads at once: the module is initialised with its own
// OS locking where it offers it, each call reads the function list once,
// and the calls inside the module are counted, so that the process end
// never unloads a module under a thread that is still inside it.

#include <atomic>

#include "platform/dynload/dynload.h"
#include "pkcs11bridge/bridge_codes.h"

// The handle of the loaded module, or null.
extern std::atomic<dynload::Library> g_hModule;
// The module's function list (the module owns it), or null.
extern std::atomic<CK_FUNCTION_LIST*> g_pFunctionList;

namespace brennix {

// Loads the module at `path` and initialises it, asking for the module's
// own OS locking (CKF_OS_LOCKING_OK, no mutex callbacks); a module that
// answers CKR_CANT_LOCK is initialised again without arguments. On success,
// and when the module answers that it is already initialised, both values
// name the new module and the module's result is returned. On any other
// outcome the values stay as they were and the new reference is dropped:
// CKR_BRIDGE_BAD_ARGUMENT for a null path, CKR_BRIDGE_MODULE_MISSING when
// the file cannot be loaded or has no C_GetFunctionList (or gives no list),
// otherwise the module's result.
CK_RV LoadModule(const char* path);

// C_Finalize, then the module is freed and both values cleared, whatever
// C_Finalize answered. CKR_BRIDGE_MODULE_MISSING when nothing is loaded.
CK_RV UnloadModule();

// Counts a native method's time inside the module. Once the process end has
// closed the module, a new entry raises CKR_BRIDGE_MODULE_MISSING.
class InsideModule {
 public:
  InsideModule();
  ~InsideModule();
  InsideModule(const InsideModule&) = delete;
  InsideModule& operator=(const InsideModule&) = delete;
};

// Calls `entry` of the loaded function list. Raises
// CKR_BRIDGE_MODULE_MISSING when no module is loaded or the list has no such
// function. The list is read once, so a cFinalize on another thread can
// only make the call find no module, never a half-cleared one.
template <class Fn, class... Args>
CK_RV ModuleCall(Fn CK_FUNCTION_LIST::*entry, Args... args) {
  InsideModule inside;
  CK_FUNCTION_LIST* list = g_pFunctionList.load();
  if (list == nullptr) Raise(CKR_BRIDGE_MODULE_MISSING);
  Fn fn = list->*entry;
  if (fn == nullptr) Raise(CKR_BRIDGE_MODULE_MISSING);
  return fn(args...);
}

// Calls the module's extension `name` (looked up on every call, never
// cached) as a function of type Fn. Raises CKR_BRIDGE_MODULE_MISSING when no
// module is loaded or it does not export `name`.
template <class Fn, class... Args>
CK_RV ExtensionCall(const char* name, Args... args) {
  InsideModule inside;
  void* entry = dynload::Symbol(g_hModule.load(), name);
  if (entry == nullptr) Raise(CKR_BRIDGE_MODULE_MISSING);
  return reinterpret_cast<Fn>(entry)(args...);
}

}  // namespace brennix
