#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "platform/activex/activation.h"
#include "platform/activex/categories.h"
#include "platform/activex/connection.h"
#include "platform/activex/globalmem.h"
#include "platform/activex/regscript.h"
#include "platform/registry/registry.h"
#include "tests/support/scratch_dir.h"

namespace ax {
namespace {

class RegistryDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    setenv("ORN_REGISTRY_DIR", dir_.c_str(), 1);
  }
  static bool KeyExists(const std::string& path) {
    reg::Key k = 0;
    if (reg::OpenKey(reg::Hive::ClassesRoot, path, &k) != reg::kSuccess) return false;
    reg::CloseKey(k);
    return true;
  }
  static std::string Value(const std::string& path, const std::string& name) {
    reg::Key k = 0;
    if (reg::OpenKey(reg::Hive::ClassesRoot, path, &k) != reg::kSuccess) return "<no key>";
    char buf[512] = {};
    uint32_t size = sizeof buf - 1;
    reg::ValueType t = reg::kNone;
    std::string out = reg::QueryValue(k, name, &t, reinterpret_cast<uint8_t*>(buf), &size) == reg::kSuccess
                          ? std::string(buf)
                          : "<no value>";
    reg::CloseKey(k);
    return out;
  }
  orn_test::ScratchDir scratch_{"activex"};
  std::filesystem::path dir_;
};

TEST(GuidText, ParsesWhatItWritesAndRefusesMalformedText) {
  Guid g{0x00120620, 0xB1BA, 0x11CE, {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
  Guid back;
  ASSERT_TRUE(GuidFromText(com::GuidText(g), &back));
  EXPECT_EQ(back, g);
  for (const char* bad : {"", "00120620-B1BA-11CE-ABC6-F5B2E79D9E3F", "{00120620-B1BA-11CE-ABC6-F5B2E79D9E3G}",
                          "{00120620B1BA-11CE-ABC6-F5B2E79D9E3F0}"})
    EXPECT_FALSE(GuidFromText(bad, &back)) << bad;
}

TEST(Replacements, ReplacesKnownNamesOnly) {
  Replacements vars{{"MODULE", "/x/lib.so"}, {"ID", "A.B"}};
  EXPECT_EQ(ApplyReplacements("%MODULE%, 1", vars), "/x/lib.so, 1");
  EXPECT_EQ(ApplyReplacements("%ID%.%UNKNOWN% 100%% %", vars), "A.B.%UNKNOWN% 100% %");
}

TEST_F(RegistryDir, ScriptRegistersRewritesForcedKeysAndUnregistersKeepingNoRemoveKeys) {
  std::vector<ScriptKey> script{
      {"A.B", "Name", {}, {{"CLSID", "{X}", {}, {}}}},
      {"CLSID", std::nullopt, {}, {{"{X}", "Name", {{"ThreadingModel", "Both"}}, {{"Sub", "%MODULE%", {}, {}}}, true}},
       false, true},
  };
  Replacements vars{{"MODULE", "/m.so"}};
  ASSERT_EQ(UpdateRegistryFromScript(script, vars, true), S_OK);
  reg::Key k = 0;
  ASSERT_EQ(reg::CreateKey(reg::Hive::ClassesRoot, "CLSID\\{X}\\Stale", &k), reg::kSuccess);
  reg::CloseKey(k);
  ASSERT_EQ(reg::CreateKey(reg::Hive::ClassesRoot, "CLSID\\{Other}", &k), reg::kSuccess);
  reg::CloseKey(k);
  ASSERT_EQ(UpdateRegistryFromScript(script, vars, true), S_OK);
  EXPECT_FALSE(KeyExists("CLSID\\{X}\\Stale"));
  EXPECT_EQ(Value("CLSID\\{X}\\Sub", ""), "/m.so");
  EXPECT_EQ(Value("CLSID\\{X}", "ThreadingModel"), "Both");
  EXPECT_EQ(Value("A.B\\CLSID", ""), "{X}");

  ASSERT_EQ(UpdateRegistryFromScript(script, vars, false), S_OK);
  EXPECT_FALSE(KeyExists("A.B"));
  EXPECT_FALSE(KeyExists("CLSID\\{X}"));
  EXPECT_TRUE(KeyExists("CLSID\\{Other}"));
}

TEST_F(RegistryDir, CategoriesManagerIsBuiltInAndWritesCategoriesAndClassLists) {
  ICatRegister* cat = nullptr;
  ASSERT_EQ(CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, IID_ICatRegister, reinterpret_cast<void**>(&cat)),
            S_OK);
  CATEGORYINFO info;
  info.catid = Guid{0x7DD95801, 0x9882, 0x11CF, {0x9F, 0xA9, 0x00, 0xAA, 0x00, 0x6C, 0x42, 0xC4}};
  info.lcid = 1033;
  std::u16string text(u"Controls safely scriptable!");
  text.copy(info.szDescription, text.size());
  ASSERT_EQ(cat->RegisterCategories(1, &info), S_OK);
  EXPECT_EQ(Value("Component Categories\\" + com::GuidText(info.catid), "409"), "Controls safely scriptable!");
  Guid cls{1, 2, 3, {}};
  ASSERT_EQ(cat->RegisterClassImplCategories(cls, 1, &info.catid), S_OK);
  EXPECT_TRUE(KeyExists("CLSID\\" + com::GuidText(cls) + "\\Implemented Categories\\" + com::GuidText(info.catid)));
  ASSERT_EQ(cat->UnRegisterClassImplCategories(cls, 1, &info.catid), S_OK);
  EXPECT_FALSE(KeyExists("CLSID\\" + com::GuidText(cls) + "\\Implemented Categories"));
  cat->Release();
}

TEST_F(RegistryDir, CreatingAnUnregisteredClassFailsWithClassNotRegistered) {
  void* p = reinterpret_cast<void*>(1);
  EXPECT_EQ(CoCreateInstance(Guid{9, 9, 9, {}}, nullptr, IID_IUnknown, &p), REGDB_E_CLASSNOTREG);
  EXPECT_EQ(p, nullptr);
  CLSID c;
  EXPECT_EQ(CLSIDFromProgID("No.Such.1", &c), CO_E_CLASSSTRING);
}

TEST(GlobalMemory, DeadHandlesAreRefused) {
  HGLOBAL h = GlobalAlloc(GHND, 24);
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(GlobalSize(h), 24u);
  auto* p = static_cast<unsigned char*>(GlobalLock(h));
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p[23], 0);
  GlobalUnlock(h);
  EXPECT_EQ(GlobalFree(h), nullptr);
  EXPECT_EQ(GlobalLock(h), nullptr);
  EXPECT_EQ(GlobalSize(h), 0u);
  EXPECT_EQ(GlobalFree(h), h);
}

}  // namespace
}  // namespace ax
