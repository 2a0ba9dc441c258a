#include "docviewer/framework/ornmodule.h"

#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/txerror.h"

COrnModule::COrnModule(const char16_t* appName, int batch, int loggerLevel, uint16_t defCategory,
                       const com::Guid* clsid, const com::Guid& iid)
    : CComModuleEx(appName, batch, res_evtsrc, kEventSource, nullptr, clsid, iid),
      m_reg(COrnReg::SysParam, CAppReg::kKeyRead) {
  SetDefCategory(defCategory);
  m_sysLog = new EvtLogSystem(kEventSource, loggerLevel != 0 ? loggerLevel : 4);
  if (AddEventLog(m_sysLog) < 0) {
    delete m_sysLog;
    m_sysLog = nullptr;
  }
}

COrnModule::~COrnModule() {
  // Runs during static destruction: nothing may escape.
  try {
    freeShMem();
  } catch (...) {
  }
}

size_t COrnModule::SharedMemSize() {
  std::lock_guard<std::recursive_mutex> lock(m_shLock);
  return m_viewSize;
}

bool COrnModule::Init(void* instance) {
  if (!CComModuleEx::Init(instance)) return false;
  setDefLogLvl(0);
  return true;
}

int COrnModule::applLogLvl() {
  // A damaged "LogLevel" (beyond its 16 bits) raises the overflow error,
  // which was shown and logged on its way; a damaged value never ends the
  // program: it runs on with the default level.
  try {
    return m_reg.logLvl(4);
  } catch (const TXError&) {
    return 4;
  }
}

void COrnModule::ShutDown(bool process) {
  try {
    std::lock_guard<std::recursive_mutex> lock(m_shLock);
    m_reg.close(false);
  } catch (...) {
  }
  CComModuleEx::ShutDown(process);
  if (process) m_sysLog = nullptr;  // deleted with the logger table
}

const void* COrnModule::MapSharedMem(int raiseMode) {
  // The shared-memory lock, as freeShMem's: the view and its mapping change together.
  std::lock_guard<std::recursive_mutex> lock(m_shLock);
  if (m_pView != nullptr) return m_pView;
  const char* method = "COrnModule::MapSharedMem";
  shm::Mapping mapping = 0;
  shm::Status status = shm::OpenFileMapping(kSharedMemName, &mapping);
  if (status == shm::kFileNotFound) {
    TXError(apperr::kSharedMem, status, method, kSharedMemName).Exec(raiseMode);
    return nullptr;
  }
  if (status != shm::kSuccess) {
    TXError error(apperr::kSysCall, status, method, "OpenFileMapping");
    error.m_sev = 5;
    error.Exec(raiseMode);
    return nullptr;
  }
  const void* view = nullptr;
  size_t size = 0;
  status = shm::MapViewOfFile(mapping, &view, &size);
  if (status != shm::kSuccess) {
    shm::CloseHandle(mapping);
    TXError(apperr::kSharedMem, status, method, kSharedMemName).Exec(raiseMode);
    return nullptr;
  }
  m_hMap = mapping;
  m_pView = view;
  m_viewSize = size;
  return m_pView;
}

void COrnModule::freeShMem() {
  std::lock_guard<std::recursive_mutex> lock(m_shLock);
  shm::Status unmapped = m_pView != nullptr ? shm::UnmapViewOfFile(m_pView) : shm::kSuccess;
  shm::Status closed = m_hMap != 0 ? shm::CloseHandle(m_hMap) : shm::kSuccess;
  m_pView = nullptr;
  m_hMap = 0;
  m_viewSize = 0;
  if (unmapped != shm::kSuccess)
    TXError(apperr::kSysCall, unmapped, "COrnModule::freeShMem", "UnmapViewOfFile").Throw(5);
  if (closed != shm::kSuccess)
    TXError(apperr::kSysCall, closed, "COrnModule::freeShMem", "CloseHandle(map)").Throw(5);
}
