// A tiny program on the headless forms runtime, run by the whole-program
// test under an operator script. With the argument "refuse" it refuses to be
// closed, with "hang" its OK button never returns: the runtime has to end it.

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/forms/app.h"
#include "platform/forms/ole_control.h"
#include "platform/runtime/convert.h"
#include "platform/slider/slider.h"

namespace {

const forms::FormDesign kDemo1Design = {
    .Name = "Demo1",
    .Caption = "Demo",
    .Width = 4800,
    .Height = 3600,
    .KeyPreview = true,
    .Controls =
        {
            {.Type = forms::ControlType::CommandButton, .Name = "DoOK", .Left = 120, .Top = 2400, .Width = 1200,
             .Height = 375, .Caption = "OK"},
            {.Type = forms::ControlType::CommandButton, .Name = "Page", .Index = 0, .Left = 120, .Top = 120,
             .Width = 1200, .Height = 300, .Caption = "Sheet 1"},
            {.Type = forms::ControlType::ComboBox, .Name = "ZoomFact", .Left = 1500, .Top = 120, .Width = 900,
             .Height = 315},
            {.Type = forms::ControlType::Label, .Name = "Status", .Left = 120, .Top = 2900, .Width = 4400,
             .Height = 255, .Font = {"Arial", 8}},
            {.Type = forms::ControlType::Timer, .Name = "Tim", .Enabled = false, .Interval = 300},
            {.Type = forms::ControlType::OleControl, .Name = "SlideB", .Left = 1500, .Top = 600, .Width = 1500,
             .Height = 300, .ProgId = slider::kProgId,
             .Properties = {{slider::kMax, rt::Variant(int32_t{100})}, {slider::kMin, rt::Variant(int32_t{-100})}}},
        },
};

class Demo1 : public forms::Form {
 public:
  Demo1(bool refuse, bool hang) : Form(kDemo1Design), refuse_(refuse), hang_(hang) {
    Bind(DoOK, "DoOK");
    Bind(Page, "Page");
    Bind(ZoomFact, "ZoomFact");
    Bind(Status, "Status");
    Bind(Tim, "Tim");
    Bind(SlideB, "SlideB");
    Load = [this] { Form_Load(); };
    KeyDown = [this](int16_t& code, int16_t& shift) { Form_KeyDown(code, shift); };
    QueryUnload = [this](int16_t& cancel, int16_t mode) { Form_QueryUnload(cancel, mode); };
    DoOK.Click = [this] { DoOK_Click(); };
    Page.MouseUp = [this](int16_t index, int16_t, int16_t shift, float, float) { Page_MouseUp(index, shift); };
    ZoomFact.Click = [this] { Status.Caption = "zoom " + ZoomFact.Text; };
    Tim.Tick = [this] { Tim_Timer(); };
    SlideB.Event = [this](int32_t id, std::span<rt::Variant>) {
      if (id == slider::kEventChange) Status.Caption = "brightness " + rt::CStr(SlideB.Get(slider::kValue));
    };
  }

  forms::CommandButton DoOK;
  forms::ControlArray<forms::CommandButton> Page;
  forms::ComboBox ZoomFact;
  forms::Label Status;
  forms::Timer Tim;
  forms::OleControl SlideB;

 private:
  void Form_Load() {
    Caption = "Demo 1.0";
    for (const char* z : {"50", "100", "200"}) ZoomFact.AddItem(z);
    ZoomFact.Text = "100";
    // The label fits its text exactly, measured in the form's font.
    Status.Caption = "ready";
    Status.Width = TextWidth("ready");
  }
  void Form_KeyDown(int16_t& code, int16_t& shift) {
    if (code == 27) forms::End(3);
    if (code == 116 && shift == 0) Status.Caption = "refreshed";
  }
  void Form_QueryUnload(int16_t& cancel, int16_t mode) {
    forms::MsgBox("Closing, mode " + std::to_string(mode));
    if (refuse_) cancel = 1;
  }
  void DoOK_Click() {
    while (hang_) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    int16_t answer = forms::MsgBox("Save the sheet?\r\nAll pages", 4 + 32, "Frage !");
    Status.Caption = answer == 6 ? "saved" : "not saved";
    Tim.Enabled = true;
  }
  void Page_MouseUp(int16_t index, int16_t shift) {
    int16_t next = static_cast<int16_t>(index + 1);
    if (!Page.Find(next)) Page.Load(next);
    Page(next).Top = Page(index).Top + Page(index).Height + 120;
    Page(next).Caption = "Sheet " + std::to_string(next + 1);
    Page(next).Visible = true;
    Page(index).Tag = std::to_string(shift);
  }
  void Tim_Timer() {
    Tim.Tag = std::to_string(std::stoi("0" + Tim.Tag.Get()) + 1);
    if (Tim.Tag == "2") Tim.Enabled = false;
  }
  bool refuse_;
  bool hang_;
};

}  // namespace

int main(int argc, char** argv) {
  slider::RegisterSliderClass();
  forms::App::Instance().Title = "Demo";
  bool refuse = argc > 1 && std::strcmp(argv[1], "refuse") == 0;
  bool hang = argc > 1 && std::strcmp(argv[1], "hang") == 0;
  Demo1 form(refuse, hang);
  return forms::App::Instance().Run(form);
}
