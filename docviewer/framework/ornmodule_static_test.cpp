// The module object as a program has it: constructed before main, destroyed
// after it. The process must end cleanly although the module still holds its
// logger, its registry key and a shared memory view when main returns.

#include <gtest/gtest.h>

#include "docviewer/framework/fwtest.h"
#include "docviewer/framework/ornmodule.h"
#include "docviewer/framework/txerror.h"

COrnModule g_module(u"Lumoret", 0, 3, 4);

namespace {

using StaticModuleTest = fwtest::Sandbox;

TEST_F(StaticModuleTest, ModuleExistsBeforeMainAndOutlivesIt) {
  EXPECT_EQ(CComModuleEx::Module(), &g_module);
  SetDword("SOFTWARE\\Dornvale\\ORN\\SysParam", "LogLevel", 4);
  ASSERT_TRUE(g_module.Init(nullptr));
  EXPECT_TRUE(g_module._LogEvt(5, "::WinMain", 0, 0, 0, nullptr, 0, nullptr, "start"));
  const uint8_t block[] = {1, 2, 3};
  ASSERT_EQ(shm::CreateFileMapping(COrnModule::kSharedMemName, block), shm::kSuccess);
  EXPECT_NE(g_module.MapSharedMem(TXError::exec_log), nullptr);
  shm::RemoveFileMapping(COrnModule::kSharedMemName);  // the view stays valid
  EXPECT_TRUE(g_module.Reg().isOpen());
  // No Term(): what is left is released by the destructor at exit.
}

}  // namespace
