#include "pkcs11bridge/module.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>
#include <vector>

namespace brennix {
namespace {

using List = CK_FUNCTION_LIST;

// A bridge call as a native method sees it: a raised code is its result.
CK_RV Result(const std::function<CK_RV()>& call) {
  try {
    return call();
  } catch (const ZojException& e) {
    return e.code;
  }
}

CK_RV Probe() {
  CK_SLOT_ID slot = 0;
  return Result([&] { return ModuleCall(&List::C_WaitForSlotEvent, CK_FLAGS{CKF_DONT_BLOCK}, &slot, nullptr); });
}

template <class Fn>
Fn Hook(const char* name) {
  auto hook = reinterpret_cast<Fn>(dynload::Symbol(g_hModule.load(), name));
  EXPECT_NE(hook, nullptr) << name;
  return hook;
}

// Polls `done` for up to 10 s; the threads it waits for move on their own.
bool Eventually(const std::function<bool()>& done) {
  for (int i = 0; i < 10000; ++i) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return false;
}

class FinalizeTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_EQ(LoadModule(ORN_P11TEST_MODULE), CKR_OK); }
  void TearDown() override {
    if (g_pFunctionList.load() != nullptr) FinalizeModule();
  }
};

TEST_F(FinalizeTest, WaitsForTheCallInsideAndRefusesNewOnes) {
  auto holding = Hook<bool (*)()>("OrnP11TestHolding");
  auto release = Hook<void (*)()>("OrnP11TestRelease");
  auto initialized = Hook<bool (*)()>("OrnP11TestInitialized");

  CK_RV held = ~CK_RV{0};
  std::thread caller([&] { held = Result([] { return ModuleCall(&List::C_Logout, CK_ULONG{0xB10D}); }); });
  ASSERT_TRUE(Eventually(holding));
  CK_RV finalized = ~CK_RV{0};
  std::thread finalizer([&] { finalized = FinalizeModule(); });

  // Closed: new calls, a second cFinalize and an initialize are refused,
  // and the module is not finalised under the call that is inside.
  ASSERT_TRUE(Eventually([] { return Probe() == CKR_BRIDGE_MODULE_MISSING; }));
  EXPECT_EQ(FinalizeModule(), CKR_BRIDGE_MODULE_MISSING);
  EXPECT_EQ(Result([] { return LoadModule(ORN_P11TEST_MODULE); }), CKR_BRIDGE_MODULE_MISSING);
  EXPECT_TRUE(initialized());
  EXPECT_NE(g_pFunctionList.load(), nullptr);

  release();
  caller.join();
  finalizer.join();
  EXPECT_EQ(held, CKR_OK);  // not CKR_CRYPTOKI_NOT_INITIALIZED
  EXPECT_EQ(finalized, CKR_OK);
  EXPECT_EQ(g_pFunctionList.load(), nullptr);
  EXPECT_EQ(g_hModule.load(), nullptr);

  // Open again for the next initialize.
  EXPECT_EQ(Probe(), CKR_BRIDGE_MODULE_MISSING);
  ASSERT_EQ(LoadModule(ORN_P11TEST_MODULE), CKR_OK);
  EXPECT_EQ(Probe(), CKR_OK);
}

TEST_F(FinalizeTest, EndsABlockedWaitForSlotEventBeforeUnloading) {
  auto waiting = Hook<bool (*)()>("OrnP11TestWaiting");
  CK_RV waited = ~CK_RV{0};
  std::thread waiter([&] {
    CK_SLOT_ID slot = 0xB10C;
    waited = Result([&] {
      return ModuleCall(InsideModule::Kind::kWaiter, &List::C_WaitForSlotEvent, CK_FLAGS{0}, &slot,
                        nullptr);
    });
  });
  ASSERT_TRUE(Eventually(waiting));
  std::atomic<bool> done{false};
  CK_RV finalized = ~CK_RV{0};
  std::thread finalizer([&] {
    finalized = FinalizeModule();
    done = true;
  });
  // Waiting for the waiter before C_Finalize would never end.
  if (!Eventually([&] { return done.load(); })) {
    finalizer.detach();
    waiter.detach();
    FAIL() << "cFinalize waits for a blocked C_WaitForSlotEvent";
  }
  finalizer.join();
  waiter.join();
  EXPECT_EQ(finalized, CKR_OK);
  EXPECT_EQ(waited, CKR_CRYPTOKI_NOT_INITIALIZED);
  EXPECT_EQ(g_pFunctionList.load(), nullptr);
}

TEST_F(FinalizeTest, RefusedOnAThreadInsideTheModule) {
  static CK_RV fromCallback;
  fromCallback = ~CK_RV{0};
  Hook<void (*)(CK_RV (*)())>("OrnP11TestSetCallback")(+[]() -> CK_RV {
    fromCallback = FinalizeModule();
    return CKR_OK;
  });
  EXPECT_EQ(Result([] { return ModuleCall(&List::C_Logout, CK_ULONG{0xCA11}); }), CKR_OK);
  EXPECT_EQ(fromCallback, CKR_BRIDGE_UNEXPECTED);
  // Nothing was closed or finalised.
  EXPECT_EQ(Probe(), CKR_OK);
  EXPECT_EQ(Result([] { return ModuleCall(&List::C_Logout, CK_ULONG{1}); }), CKR_OK);
  EXPECT_EQ(FinalizeModule(), CKR_OK);
}

// Threads call all the time while the module is finalised and loaded
// again: every call either runs in an initialised module or is refused.
TEST_F(FinalizeTest, CallsMeetFinalizeAndInitializeAgain) {
  std::atomic<bool> stop{false};
  std::atomic<int> wrong{0}, refused{0}, done{0};
  std::vector<std::thread> callers;
  for (int t = 0; t < 8; ++t) {
    callers.emplace_back([&] {
      while (!stop) {
        CK_RV rc = Result([] { return ModuleCall(&List::C_Logout, CK_ULONG{1}); });
        if (rc == CKR_OK) ++done;
        else if (rc == CKR_BRIDGE_MODULE_MISSING) ++refused;
        else ++wrong;
      }
    });
  }
  for (int round = 0; round < 50; ++round) {
    int before = done;
    Eventually([&] { return done > before; });
    EXPECT_EQ(FinalizeModule(), CKR_OK);
    ASSERT_EQ(LoadModule(ORN_P11TEST_MODULE), CKR_OK);
  }
  stop = true;
  for (std::thread& c : callers) c.join();
  EXPECT_EQ(wrong, 0);
  EXPECT_GT(refused, 0);
}

TEST_F(FinalizeTest, NothingLoadedAfterwards) {
  EXPECT_EQ(FinalizeModule(), CKR_OK);
  EXPECT_EQ(FinalizeModule(), CKR_BRIDGE_MODULE_MISSING);
  EXPECT_EQ(Probe(), CKR_BRIDGE_MODULE_MISSING);
}

}  // namespace
}  // namespace brennix
