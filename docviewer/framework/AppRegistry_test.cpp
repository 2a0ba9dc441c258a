#include "docviewer/framework/AppRegistry.h"

#include <atomic>
#include <functional>
#include <thread>
#include <vector>

#include "docviewer/framework/OrnRegistry.h"
#include "docviewer/framework/apperrors.h"
#include "docviewer/framework/commoduleex.h"
#include "docviewer/framework/fwtest.h"
#include "docviewer/framework/txerror.h"

namespace {

using fwtest::RecordingLogger;

constexpr const char* kKey = "SOFTWARE\\Dornvale\\ORN\\SysParam";

class RegistryTest : public fwtest::Sandbox {
 protected:
  void SetUp() override {
    Sandbox::SetUp();
    log_ = new RecordingLogger(0);
    module_ = std::make_unique<CComModuleEx>(u"Test", 1, CComModuleEx::res_this, nullptr, log_, nullptr,
                                             com::kGuidNull);
  }
  RecordingLogger* log_ = nullptr;
  std::unique_ptr<CComModuleEx> module_;
};

uint32_t RaisedId(const std::function<void()>& f) {
  try {
    f();
  } catch (const TXError& e) {
    return e.m_hr;
  }
  return 0;
}

TEST_F(RegistryTest, ValuesByTypeWithDefaultsAndRaiseFlag) {
  SetString(kKey, "CertDir", "C:\\ORN\\Cert \u00e4");
  SetString(kKey, "TemplateDir", "%ORNROOT%\\tpl", reg::kExpandString);
  SetString(kKey, "Empty", "");
  SetDword(kKey, "LogLevel", 3);
  {
    reg::Key k = 0;
    reg::CreateKey(reg::Hive::LocalMachine, kKey, &k);
    reg::SetBinary(k, "Blob", {1, 2, 3});
    reg::CloseKey(k);
  }
  CAppReg key("Dornvale\\ORN", "SysParam");
  EXPECT_EQ(key.path(), kKey);
  EXPECT_FALSE(key.isOpen());

  std::u16string text;
  EXPECT_TRUE(key.valStr("CertDir", &text, false));
  EXPECT_EQ(text, u"C:\\ORN\\Cert \u00e4");
  EXPECT_TRUE(key.valStr("TemplateDir", &text, false));
  EXPECT_EQ(text, u"%ORNROOT%\\tpl");  // not expanded
  EXPECT_TRUE(key.valStr("Empty", &text, false));
  EXPECT_EQ(text, u"");
  EXPECT_EQ(key.valDW("LogLevel", 9, false), 3u);
  uint8_t blob[8] = {};
  EXPECT_EQ(key.valBin("Blob", blob, sizeof blob, false), 3u);
  EXPECT_EQ(blob[2], 3);
  EXPECT_TRUE(log_->records.empty());

  // Failures without the raise flag: the default, and a warning in the log.
  EXPECT_EQ(key.valDW("Missing", 9, false), 9u);
  EXPECT_EQ(key.valDW("CertDir", 9, false), 9u);  // wrong type
  EXPECT_FALSE(key.valStr("LogLevel", &text, false));
  ASSERT_EQ(log_->records.size(), 3u);
  EXPECT_EQ(log_->records[0].severity, 4);
  EXPECT_EQ(log_->records[0].appError, apperr::kRegValue);
  EXPECT_EQ(log_->records[0].sysError, 2u);

  // With it: raised.
  EXPECT_EQ(RaisedId([&] { key.valDW("Missing", 9, true); }), apperr::kRegValue);
  EXPECT_EQ(RaisedId([&] { key.valStr("LogLevel", &text, true); }), apperr::kRegValue);

  CAppReg absent("Dornvale\\ORN", "Nowhere");
  EXPECT_EQ(absent.valDW("LogLevel", 7, false), 7u);
  EXPECT_EQ(log_->records.back().appError, apperr::kRegOpen);
  EXPECT_EQ(RaisedId([&] { absent.openKey(true); }), apperr::kRegOpen);

  CAppReg created("Dornvale\\ORN", "Fresh", CAppReg::kKeyAllAccess, true);
  EXPECT_NE(created.openKey(true), 0u);
}

TEST_F(RegistryTest, IteratorWalksTheValues) {
  SetDword(kKey, "A", 1);
  SetString(kKey, "B", "two");
  SetDword(kKey, "C", 3);
  CAppReg key("Dornvale\\ORN", "SysParam");
  CRegValIter it(key);
  std::vector<std::string> names;
  uint32_t type = 0, size = 0;
  do {
    names.push_back(it.info(&type, &size));
  } while (++it);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_FALSE(it.valid());
  EXPECT_EQ(RaisedId([&] { ++it; }), apperr::kEof);
  EXPECT_EQ(RaisedId([&] { it.info(&type, &size); }), apperr::kEof);

  CRegValIter fromSecond(key, 1);
  EXPECT_STREQ(fromSecond.info(&type, &size), "B");
  EXPECT_EQ(type, static_cast<uint32_t>(reg::kString));
  EXPECT_EQ(size, 4u);
}

TEST_F(RegistryTest, SuiteKeysByIndex) {
  SetDword(kKey, "LogLevel", 70000);
  SetDword(kKey, "Options", 70000);
  SetString(kKey, "IPCardosASM2", "10.0.0.2");
  COrnReg reg(COrnReg::SysParam);
  EXPECT_EQ(reg.path(), kKey);
  EXPECT_EQ(reg.intVal(2, 0, false), 70000u);
  EXPECT_EQ(RaisedId([&] { reg.shortVal(COrnReg::LogLevel, 4, false); }), apperr::kOverflow);
  std::u16string text;
  EXPECT_TRUE(reg.strVal(45, &text, false));
  EXPECT_EQ(text, u"10.0.0.2");
  EXPECT_EQ(RaisedId([&] { reg.strVal(46, &text, false); }), apperr::kIndex);
  EXPECT_EQ(RaisedId([&] { reg.intVal(-1, 0, false); }), apperr::kIndex);
  EXPECT_EQ(RaisedId([] { COrnReg bad(3); }), apperr::kIndex);

  SetDword(kKey, "LogLevel", 2);
  EXPECT_EQ(reg.logLvl(4), 2);
  EXPECT_EQ(reg.logLvlExt(4), 4);
  DeleteValue(kKey, "LogLevel");
  EXPECT_EQ(reg.logLvl(4), 4);

  EXPECT_STREQ(COrnReg::ornSubKey[2], "ProductDetail");
  EXPECT_STREQ(COrnReg::intValName[3], "#RecCount");
  EXPECT_STREQ(COrnReg::strValName[0], "ConnORNDB");
  EXPECT_STREQ(COrnReg::shortValName[61], "CardosASMVKPinPuk");
}

TEST(OrnRegLevels, SeverityAndTraceLevelMapping) {
  const std::pair<int, int> sev2xt[] = {{-1, 5}, {0, 5}, {1, 5}, {4, 2}, {6, 0}, {7, 0}};
  for (auto [sev, xt] : sev2xt) EXPECT_EQ(COrnReg::sev2XT(sev), xt) << sev;
  const std::pair<int, int> xt2sev[] = {{-1, 6}, {0, 6}, {2, 4}, {5, 1}, {6, 1}, {9, 1}};
  for (auto [xt, sev] : xt2sev) EXPECT_EQ(COrnReg::XT2errSev(xt), sev) << xt;
}

// A read on one thread while another closes the key: the read gets the
// stored value, never the default of a handle closed under it.
TEST_F(RegistryTest, AReadIsNeverCutOffByACloseOnAnotherThread) {
  SetDword(kKey, "LogLevel", 3);
  CAppReg key("Dornvale\\ORN", "SysParam");
  std::atomic<bool> done{false};
  std::thread closer([&] {
    while (!done) key.close(false);
  });
  int defaults = 0;
  for (int i = 0; i < 10000; ++i) defaults += key.valDW("LogLevel", 99, false) == 99;
  done = true;
  closer.join();
  EXPECT_EQ(defaults, 0);
}

}  // namespace
