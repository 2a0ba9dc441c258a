#include "pkcs11bridge/module.h"

#include <cstdlib>

dynload::Library g_hModule = nullptr;
CK_FUNCTION_LIST* g_pFunctionList = nullptr;

namespace brennix {

namespace {

// At process end a module left loaded is finalised and freed. Exit handlers
// run in the reverse order of their registration, and the bridge's unload
// hooks only after all of them, so the handler is registered anew after each
// successful C_Initialize: it then runs before the static destructors of the
// module as it is mapped now (a module freed and loaded again registers its
// destructors again). Later registrations find nothing left to do.
void FinalizeAtExit() {
  if (g_hModule != nullptr && g_pFunctionList != nullptr) UnloadModule();
}

}  // namespace

CK_RV LoadModule(const char* path) {
  if (path == nullptr) return CKR_BRIDGE_BAD_ARGUMENT;
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

  rc = list->C_Initialize(nullptr);
  if (rc != CKR_OK && rc != CKR_CRYPTOKI_ALREADY_INITIALIZED) {
    dynload::Free(library);
    return rc;
  }
  // Loading the same file again counts one more reference, as the platform
  // does; one cFinalize still ends the session for every caller.
  g_hModule = library;
  g_pFunctionList = list;
  std::atexit(FinalizeAtExit);
  return rc;
}

CK_RV UnloadModule() {
  if (g_hModule == nullptr || g_pFunctionList == nullptr) return CKR_BRIDGE_MODULE_MISSING;
  CK_RV rc = g_pFunctionList->C_Finalize != nullptr ? g_pFunctionList->C_Finalize(nullptr)
                                                    : CKR_BRIDGE_MODULE_MISSING;
  // A failing C_Finalize does not keep the module loaded.
  dynload::Free(g_hModule);
  g_hModule = nullptr;
  g_pFunctionList = nullptr;
  return rc;
}

}  // namespace brennix
