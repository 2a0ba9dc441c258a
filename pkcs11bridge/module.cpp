#include "pkcs11bridge/module.h"

#include <cstdint>
#include <cstdlib>
#include <mutex>

std::atomic<dynload::Library> g_hModule{nullptr};
std::atomic<CK_FUNCTION_LIST*> g_pFunctionList{nullptr};

namespace brennix {

namespace {

// Native methods inside the module, in two units: an ordinary call counts
// 1, a thread blocked in C_WaitForSlotEvent kWaiter (C_Finalize is what
// releases it, so closing must not wait for it before C_Finalize). While
// the module is closed a large negative offset is added, so that an entry
// sees a negative value and turns back; the entry is one atomic addition,
// so no call can slip in between "still open" and "inside".
std::atomic<int64_t> g_inside{0};
constexpr int64_t kWaiterUnit = int64_t{1} << 32;
constexpr int64_t kCallMask = kWaiterUnit - 1;
constexpr int64_t kClosed = INT64_MIN / 2;

// Entries of this thread that have not left yet: a thread inside the module
// (a module calling back into Java) cannot wait for itself to leave.
thread_local int t_depth = 0;

// Closes the module to new entries. False when it is closed already (a
// cFinalize on another thread, or the process end).
bool Close() {
  int64_t v = g_inside.load();
  do {
    if (v < 0) return false;
  } while (!g_inside.compare_exchange_weak(v, v + kClosed));
  return true;
}

void Leave(int64_t unit) {
  // Only a closing thread waits for the count; it is told of every change.
  if (g_inside.fetch_sub(unit) - unit < 0) g_inside.notify_all();
}

// Waits while an entry of `mask` is inside the closed module.
void WaitForLeave(int64_t mask) {
  for (int64_t v = g_inside.load(); ((v - kClosed) & mask) != 0; v = g_inside.load()) {
    g_inside.wait(v);
  }
}

// C_Finalize, then the module is freed and both values cleared, whatever
// C_Finalize answered; the module is closed and no ordinary call is inside.
// C_Finalize ends the blocked waits for slot events, and the module's code
// stays mapped until they are out too.
CK_RV Unload() {
  dynload::Library library = g_hModule.load();
  CK_FUNCTION_LIST* list = g_pFunctionList.load();
  if (library == nullptr || list == nullptr) return CKR_BRIDGE_MODULE_MISSING;
  CK_RV rc = list->C_Finalize != nullptr ? list->C_Finalize(nullptr) : CKR_BRIDGE_MODULE_MISSING;
  WaitForLeave(~int64_t{0});
  // A failing C_Finalize does not keep the module loaded.
  g_hModule = nullptr;
  g_pFunctionList = nullptr;
  dynload::Free(library);
  return rc;
}

// At process end a module left loaded is finalised and freed - unless a
// thread is still inside it: HotSpot does not stop threads running native
// code when the process ends, and freeing the module would pull its code
// from under them. Either way the module stays closed to later calls,
// except that a cFinalize already under way on another thread ends as it
// would: it unloads the module and opens the bridge again.
//
// Exit handlers run in the reverse order of their registration, and the
// bridge's unload hooks only after all of them. The module registers its
// static destructors when it is mapped, so the handler is registered after
// each mapping of a module (once for a module loaded and initialised any
// number of times, again when it was freed and mapped anew): it then runs
// before those destructors.
void FinalizeAtExit() {
  int64_t idle = 0;
  if (!g_inside.compare_exchange_strong(idle, kClosed)) {
    Close();
    return;
  }
  Unload();
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

InsideModule::InsideModule(Kind kind) : unit_(kind == Kind::kWaiter ? kWaiterUnit : 1) {
  if (g_inside.fetch_add(unit_) < 0) {
    Leave(unit_);
    Raise(CKR_BRIDGE_MODULE_MISSING);
  }
  ++t_depth;
}

InsideModule::~InsideModule() {
  --t_depth;
  Leave(unit_);
}

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
  {
    // Two initialize calls at once (other modules, say) leave the handle
    // and the list of one of them, never one of each.
    static std::mutex commit;
    std::lock_guard<std::mutex> lock(commit);
    g_hModule = library;
    g_pFunctionList = list;
  }
  if (mappedNow) std::atexit(FinalizeAtExit);
  return rc;
}

CK_RV FinalizeModule() {
  // Waiting here would wait for this thread's own call.
  if (t_depth > 0) return CKR_BRIDGE_UNEXPECTED;
  if (!Close()) return CKR_BRIDGE_MODULE_MISSING;
  WaitForLeave(kCallMask);
  CK_RV rc = Unload();
  g_inside.fetch_sub(kClosed);  // open again for the next initialize
  return rc;
}

}  // namespace brennix
