#include "toolkitctl/common/toolkit_error.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "platform/activex/dispatch.h"
#include "tests/support/scratch_dir.h"

namespace toolkitctl {
namespace {

constexpr ax::CLSID kClass{0x00120400, 0xB1BA, 0x11CE, {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};
constexpr ax::IID kIface{0x00120402, 0xB1BA, 0x11CE, {0xAB, 0xC6, 0xF5, 0xB2, 0xE7, 0x9D, 0x9E, 0x3F}};

class ErrorScheme : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = scratch_.path();
    setenv("ORN_REGISTRY_DIR", dir_.c_str(), 1);
    com::SetErrorInfo(nullptr);
  }
  orn_test::ScratchDir scratch_{"toolkit-error"};
  std::filesystem::path dir_;
};

TEST_F(ErrorScheme, ResultsBecomeCodesTextsAndHresults) {
  struct Case {
    int32_t result;
    int16_t code;
    const char* text;
    uint32_t hr;
  } cases[] = {
      {-5, 20005, "PIXO Error: Error writing file", 0x800A4E25},
      {0, 20000, "PIXO Error: General failure", 0x800A4E20},
      {-13, 20013, "PIXO Error: Invalid parmameter passed", 0x800A4E2D},
      {-691, 20691, "PIXO Error: Automation - Invalid State", 0x800A50D3},
      {-20, 20020, "PIXO Error: Internal Error 20020 - call PIXO", 0x800A4E34},   // empty slot
      {-692, 20692, "PIXO Error: Internal Error 20692 - call PIXO", 0x800A50D4},  // past the table
      {2, 19998, "PIXO Error: Internal Error 19998 - call PIXO", 0x800A4E1E},     // positive, not 1
  };
  ToolkitErrorReporter reporter(kClass, kIface);
  for (const Case& c : cases) {
    int16_t code = 0;
    EXPECT_EQ(reporter.Report(c.result, &code, false, true), ax::Hr(c.hr)) << c.result;
    EXPECT_EQ(code, c.code) << c.result;
    auto info = com::GetErrorInfo();
    ASSERT_TRUE(info) << c.result;
    EXPECT_EQ(ax::Narrow(info->description), c.text);
    EXPECT_EQ(info->guid, kIface);
    EXPECT_EQ(ax::Narrow(info->source), com::GuidText(kClass));  // no program id registered
  }
}

TEST_F(ErrorScheme, SuccessClearsTheCodeAndSetsNoErrorInformation) {
  ToolkitErrorReporter reporter(kClass, kIface);
  int16_t code = 77;
  EXPECT_EQ(reporter.Report(1, &code, true, true), ax::S_OK);
  EXPECT_EQ(code, 0);
  EXPECT_EQ(com::PeekErrorInfo(), nullptr);
}

TEST_F(ErrorScheme, WithoutMethodErrorsAFailureIsSilentUnlessForced) {
  ToolkitErrorReporter reporter(kClass, kIface);
  int16_t code = 0;
  EXPECT_EQ(reporter.Report(-5, &code, false, false), ax::S_OK);
  EXPECT_EQ(code, 20005);
  EXPECT_EQ(com::PeekErrorInfo(), nullptr);
  EXPECT_EQ(reporter.Report(-5, nullptr, true, false), ax::Hr(0x800A4E25));
  ASSERT_NE(com::PeekErrorInfo(), nullptr);
}

TEST_F(ErrorScheme, ACodeBeyondSixteenBitsCannotChangeTheHresultsSeverityOrFacility) {
  // Result 30000 gives code -10000: the HRESULT stays an 0x800A failure.
  EXPECT_EQ(static_cast<uint32_t>(ToolkitErrorHr(ToolkitErrorCode(30000))) >> 16, 0x800Au);
}

// Every slot against the kept list of the toolkit's texts: a listed slot
// holds its text exactly, every other slot is empty.
TEST(MessageTable, EverySlotHoldsItsListedTextOrNothing) {
  const char* root = std::getenv("ORN_TEST_SRCDIR");
  ASSERT_NE(root, nullptr);
  std::ifstream in(std::filesystem::path(root) / "toolkitctl/common/testdata/toolkit_messages.txt");
  ASSERT_TRUE(in) << "fixture missing";
  std::map<int, std::string> listed;
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '#') continue;
    size_t open = line.find(" \""), close = line.rfind('"');
    ASSERT_TRUE(open != std::string::npos && close > open + 1) << line;
    listed[std::stoi(line.substr(0, open))] = line.substr(open + 2, close - open - 2);
  }
  ASSERT_EQ(listed.size(), 405u);
  for (int slot = 0; slot < kToolkitErrorSlots; ++slot) {
    auto it = listed.find(slot);
    EXPECT_EQ(std::string(ToolkitErrorMessages[slot]), it == listed.end() ? "" : it->second) << "slot " << slot;
  }
}

// A container site whose ambient UserMode answers `mode`, or nothing.
class Site final : public ax::IDispatch {
 public:
  explicit Site(int mode) : mode_(mode) {}
  ax::HRESULT QueryInterface(const ax::IID& iid, void** out) override {
    if (iid == ax::IID_IDispatch || iid == ax::IID_IUnknown) {
      *out = static_cast<ax::IDispatch*>(this);
      return ax::S_OK;
    }
    *out = nullptr;
    return ax::E_NOINTERFACE;
  }
  ax::ULONG AddRef() override { return 2; }
  ax::ULONG Release() override { return 1; }
  const ax::InterfaceDesc* GetTypeInfo() override { return nullptr; }
  ax::HRESULT Invoke(ax::DISPID dispid, uint16_t, std::span<ax::Variant>, ax::Variant* result) override {
    if (dispid != ax::DISPID_AMBIENT_USERMODE || mode_ < 0) return ax::DISP_E_MEMBERNOTFOUND;
    *result = ax::Variant::Bool(mode_ != 0);
    return ax::S_OK;
  }

 private:
  int mode_;
};

TEST_F(ErrorScheme, DesignModeIsAnAnsweredFalseUserMode) {
  Site design(0), run(1), silent(-1);
  EXPECT_TRUE(IsDesignMode(&design));
  EXPECT_FALSE(IsDesignMode(&run));
  EXPECT_FALSE(IsDesignMode(&silent));
  EXPECT_FALSE(IsDesignMode(nullptr));
  ToolkitErrorReporter reporter(kClass, kIface);
  for (bool put : {false, true}) {
    EXPECT_EQ(reporter.DesignModeRefusal(put), ax::Hr(0x8000FEBF));
    auto info = com::GetErrorInfo();
    ASSERT_TRUE(info);
    EXPECT_EQ(ax::Narrow(info->description),
              put ? "Put not supported in design mode" : "Get not supported in design mode");
  }
}

}  // namespace
}  // namespace toolkitctl
