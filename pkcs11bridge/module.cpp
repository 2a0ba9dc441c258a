#include "pkcs11bridge/module.h"

#include <cstdint>
#include <cstdlib>

std::atomic<dynload::Library> g_hModule{nullptr};
std::atomic<CK_FUNCTION_LIST*> g_pFunctionList{nullptr};

namespace brennix {

namespace {

// Native methods inside the module; a large negative offset once the process
// end has closed it.
std::atomic<int64_t> g_inside{0};
constexpr int64_t kClosed = INT64_MIN / 2;

// At process end a module left loaded is finalised and freed - unless a
// thread is still inside it: HotSpot does not stop threads running native
// code when the process ends, and freeing the module would pull its code
// from under them. Either way the module is closed to later calls.
//
// Exit handlers run in the reverse order of their registration, and the
// bridge's unload hooks only after all of them. The module registers its
// static destructors when it is mapped, so the handler is registered after
// each mapping of a module (once for a module loaded and initialised any
// number of times, again when it was freed and mapped anew): it then runs
// before those destructors.
void FinalizeAtExit() {
  if (g_inside.fetch_add(kClosed) != 0) return;  // closed before, or in use
  if (g_hModule.load() != nullptr && g_pFunctionList.load() != nullptr) UnloadModule();
}

CK_RV Initialize(CK_FUNCTION_LIST* list) {
  // A JVM always runs several threads; the module must lock for itself.
  CK_C_INITIALIZE_ARGS args{};
  args.flags = CKF_OS_LOCKING_OK;
  CK_RV rc = list->C_Initialize(&args);
  if (rc == CKR_CANT_LOCK) rc = list->C_Initialize(nullptr);
  return rc;
}

}  // namespace

InsideModule::InsideModule() {
  if (g_inside.fetch_add(1) < 0) {
    g_inside.fetch_sub(1);
    Raise(CKR_BRIDGE_MODULE_MISSING);
  }
}

InsideModule::~InsideModule() { g_inside.fetch_sub(1); }

CK_RV LoadModule(const char* path) {
  if (path == nullptr) return CKR_BRIDGE_BAD_ARGUMENT;
  InsideModule inside;
  const bool mappedNow = !dynload::IsLoaded(path);
  dynload::Library library = dynload::Load(path);
  if (library == nullptr) return CKR_BRIDGE_MODULE_MISSING;

  // Nothing is committed until the new module stands: a failed second load
  // keeps the values of the first, never a handle of one module with the
  // list of another.
  auto getFunctionList =
      reinterpret_cast<CK_C_GetFunctionList>(dynload::Symbol(library, "C_GetFunctionList"));
  if (getFunctionList == nullptr) {
    dynload::Free(library);
    return CKR_BRIDGE_MODULE_MISSING;
  }
  CK_FUNCTION_LIST* list = nullptr;
  CK_RV rc = getFunctionList(&list);
  if (rc == CKR_OK && (list == nullptr || list->C_Initialize == nullptr)) {
    rc = CKR_BRIDGE_MODULE_MISSING;
  }
  if (rc != CKR_OK) {
    dynload::Free(library);
    return rc;
  }

  rc = Initialize(list);
  if (rc != CKR_OK && rc != CKR_CRYPTOKI_ALREADY_INITIALIZED) {
    dynload::Free(library);
    return rc;
  }
  // Loading the same file again counts one more reference, as the platform
  // does; one cFinalize still ends the session for every caller.
  g_hModule = library;
  g_pFunctionList = list;
  if (mappedNow) std::atexit(FinalizeAtExit);
  return rc;
}

CK_RV UnloadModule() {
  dynload::Library library = g_hModule.load();
  CK_FUNCTION_LIST* list = g_pFunctionList.load();
  if (library == nullptr || list == nullptr) return CKR_BRIDGE_MODULE_MISSING;
  CK_RV rc = list->C_Finalize != nullptr ? list->C_Finalize(nullptr) : CKR_BRIDGE_MODULE_MISSING;
  // A failing C_Finalize does not keep the module loaded.
  g_hModule = nullptr;
  g_pFunctionList = nullptr;
  dynload::Free(library);
  return rc;
}

}  // namespace brennix
