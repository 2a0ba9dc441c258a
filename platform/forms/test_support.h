#pragma once
// Fixtures of the forms tests: a probe outside control and a small form.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/com/control.h"
#include "platform/forms/app.h"
#include "platform/forms/control_array.h"
#include "platform/forms/form.h"
#include "platform/forms/ole_control.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "tests/support/scratch_dir.h"

namespace forms::testing {

// An outside control that keeps every put in a map, answers gets from it
// (438 for ids it never got), and fires event `dispid` when method 900 is
// called with it.
class Probe : public com::Control {
 public:
  static constexpr int32_t kFire = 900;
  rt::Variant Invoke(int32_t dispid, com::InvokeKind kind, std::span<rt::Variant> args) override {
    if (kind == com::InvokeKind::PropertyPut) {
      values[dispid] = args.back();
      return {};
    }
    if (kind == com::InvokeKind::Method && dispid == kFire) {
      std::vector<rt::Variant> rest(args.begin() + 1, args.end());
      Fire(rt::CLng(args[0]), rest);
      return {};
    }
    auto it = values.find(dispid);
    if (it == values.end()) rt::Raise(rt::kNoSuchMember);
    return it->second;
  }
  std::vector<std::pair<std::string, std::string>> DumpState() const override {
    std::vector<std::pair<std::string, std::string>> out;
    for (const auto& [id, v] : values) out.emplace_back("P" + std::to_string(id), rt::CStr(v));
    return out;
  }
  int32_t Width() const { return clientWidth_; }
  int32_t Height() const { return clientHeight_; }
  std::map<int32_t, rt::Variant> values;
};

inline void RegisterProbe() {
  com::RegisterControlClass("Test.Probe", [] { return std::make_shared<Probe>(); });
}

inline const FormDesign kMainDesign = {
    .Name = "Main",
    .Caption = "Test",
    .Width = 6000,
    .Height = 4500,
    .KeyPreview = true,
    .Controls =
        {
            {.Type = ControlType::CommandButton, .Name = "DoOK", .Left = 120, .Top = 3600, .Width = 1200,
             .Height = 375, .Caption = "OK"},
            {.Type = ControlType::CommandButton, .Name = "Page", .Index = 0, .Left = 120, .Top = 120,
             .Width = 1200, .Height = 300, .Caption = "Sheet", .Tag = " 1", .Font = {"Arial", 10, true}},
            {.Type = ControlType::ComboBox, .Name = "Zoom", .Left = 1500, .Top = 120, .Width = 900, .Height = 315},
            {.Type = ControlType::TextBox, .Name = "Status", .Left = 0, .Top = 4000, .Width = 6000, .Height = 300,
             .Text = "ready"},
            {.Type = ControlType::Timer, .Name = "Tim", .Enabled = false, .Interval = 300},
            {.Type = ControlType::OleControl, .Name = "View", .Left = 1500, .Top = 600, .Width = 3000,
             .Height = 1500, .ProgId = "Test.Probe", .Properties = {{154, rt::Variant(int32_t{3})}}},
            {.Type = ControlType::OleControl, .Name = "Thumb", .Index = 0, .Left = 120, .Top = 450, .Width = 1200,
             .Height = 900, .ProgId = "Test.Probe"},
        },
};

class MainForm : public Form {
 public:
  MainForm() : Form(kMainDesign) {
    Bind(DoOK, "DoOK");
    Bind(Page, "Page");
    Bind(Zoom, "Zoom");
    Bind(Status, "Status");
    Bind(Tim, "Tim");
    Bind(View, "View");
    Bind(Thumb, "Thumb");
  }
  CommandButton DoOK;
  ControlArray<CommandButton> Page;
  ComboBox Zoom;
  TextBox Status;
  Timer Tim;
  OleControl View;
  ControlArray<OleControl> Thumb;

  Probe& ViewProbe() { return *static_cast<Probe*>(View.Object()); }
};

// Points ORN_UI_TRANSCRIPT at a fresh file; resets the runtime.
class FormsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    RegisterProbe();
    dir_ = scratch_.path();
    setenv("ORN_UI_TRANSCRIPT", (dir_ / "transcript.txt").c_str(), 1);
    setenv("ORN_UI_TIMEOUT", "0", 1);
    App::Instance().Reset();
    App::Instance().Title = "TestApp";
  }
  void TearDown() override {
    App::Instance().Reset();
    unsetenv("ORN_UI_TRANSCRIPT");
  }
  std::string Transcript() const { return ReadFile(dir_ / "transcript.txt"); }
  static std::string ReadFile(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }
  orn_test::ScratchDir scratch_{"forms"};
  std::filesystem::path dir_;
};

// Parses `text` as script steps.
inline std::vector<uiscript::Step> Script(std::string_view text) { return uiscript::ParseScript(text); }

}  // namespace forms::testing
