#pragma once
// COrnModule: the module object of the suite's programs. Over CComModuleEx
// it adds the registry key "SOFTWARE\Dornvale\ORN\SysParam" (COrnReg), the
// system event logger "ORN4" (EvtLogSystem), the application log level
// "LogLevel" from the registry (set by Init) and read-only access to the
// shared memory block "OrnSharedMem". Messages come from the library that
// the event source "ORN4" names in the registry.
//
//   COrnModule g_module(u"Lumoret", 0, 3, 4);   // before main

#include <cstddef>
#include <cstdint>
#include <mutex>

#include "docviewer/framework/OrnRegistry.h"
#include "docviewer/framework/commoduleex.h"
#include "platform/shm/shm.h"

class COrnModule : public CComModuleEx {
 public:
  static constexpr const char16_t* kEventSource = u"ORN4";
  static constexpr const char* kSharedMemName = "OrnSharedMem";

  // loggerLevel: minimum severity of the "ORN4" logger (4 when 0).
  COrnModule(const char16_t* appName, int batch, int loggerLevel, uint16_t defCategory,
             const com::Guid* clsid = nullptr, const com::Guid& iid = com::kGuidNull);
  ~COrnModule() override;

  // Platform set-up, then the log level from the registry.
  bool Init(void* instance) override;
  // "LogLevel" of SysParam, 4 when missing or too large for its 16 bits.
  int applLogLvl() override;
  void ShutDown(bool process) override;

  // Read-only view of "OrnSharedMem" (mapped once, then the same view);
  // null when it cannot be mapped, after raising in TXError::Exec `raiseMode`.
  const void* MapSharedMem(int raiseMode);
  size_t SharedMemSize();
  // Unmaps and closes it; nothing to do when it is not mapped.
  void freeShMem();

  COrnReg& Reg() { return m_reg; }
  EvtLogSystem* SysLog() { return m_sysLog; }

 private:
  COrnReg m_reg;
  EvtLogSystem* m_sysLog = nullptr;  // owned through the logger table
  // Guarded by m_shLock, which also orders shut-down.
  shm::Mapping m_hMap = 0;
  const void* m_pView = nullptr;
  size_t m_viewSize = 0;
  std::recursive_mutex m_shLock;
};
