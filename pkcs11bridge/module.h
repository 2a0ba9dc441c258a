#pragma once
// The loaded PKCS#11 module: the bridge's only process-wide state.
//
// Two states: unloaded (both values null) and loaded (both set, from the
// same module). Native methods may run on several Java threads at once: the
// module is initialised with its own OS locking where it offers it, each
// call reads the function list once, and the calls inside the module are
// counted, so that neither cFinalize nor the process end finalises or
// unloads a module under a thread that is still inside it.

#include <atomic>
#include <cstdint>

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
// otherwise the module's result. Raises CKR_BRIDGE_MODULE_MISSING while a
// cFinalize is under way.
CK_RV LoadModule(const char* path);

// cFinalize: closes the module to new calls (they get
// CKR_BRIDGE_MODULE_MISSING, as with no module), waits until no call is
// inside it, calls C_Finalize, waits for the threads that C_Finalize
// released from a blocked C_WaitForSlotEvent, then frees the module and
// clears both values, whatever C_Finalize answered, and opens the bridge
// for the next initialize. CKR_BRIDGE_MODULE_MISSING when nothing is loaded
// or another thread is finalising; CKR_BRIDGE_UNEXPECTED, with the module
// left as it is, on a thread that is itself inside the module (a module
// calling back into Java), which would wait for itself.
CK_RV FinalizeModule();

// Counts a native method's time inside the module, from before it reads the
// module's values until it has left the module's code. While the module is
// closed (cFinalize, the process end) an entry raises
// CKR_BRIDGE_MODULE_MISSING. A kWaiter is a blocking wait for a slot event,
// which may last until C_Finalize ends it.
class InsideModule {
 public:
  enum class Kind { kCall, kWaiter };
  explicit InsideModule(Kind kind = Kind::kCall);
  ~InsideModule();
  InsideModule(const InsideModule&) = delete;
  InsideModule& operator=(const InsideModule&) = delete;

 private:
  int64_t unit_;
};

// Calls `entry` of the loaded function list. Raises
// CKR_BRIDGE_MODULE_MISSING when no module is loaded or the list has no such
// function. The list is read once, so a cFinalize on another thread can
// only make the call find no module, never a half-cleared one.
template <class Fn, class... Args>
CK_RV ModuleCall(InsideModule::Kind kind, Fn CK_FUNCTION_LIST::*entry, Args... args) {
  InsideModule inside(kind);
  CK_FUNCTION_LIST* list = g_pFunctionList.load();
  if (list == nullptr) Raise(CKR_BRIDGE_MODULE_MISSING);
  Fn fn = list->*entry;
  if (fn == nullptr) Raise(CKR_BRIDGE_MODULE_MISSING);
  return fn(args...);
}

template <class Fn, class... Args>
CK_RV ModuleCall(Fn CK_FUNCTION_LIST::*entry, Args... args) {
  return ModuleCall(InsideModule::Kind::kCall, entry, args...);
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
