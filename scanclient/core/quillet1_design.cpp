// The design table of Quillet1 (twips; 15 twips per pixel at design time).
//
// The sheet column on the left holds slot 0 (Page(0) above Thumb(0)); the
// command row runs along the top inside Shape(0); the view L1 fills Shape(2)
// below it. The window's design size (800 x 600 pixels) is the smallest it
// may take. Buttons that start-up enables (DoInfo, ZoomFact, Zoom, Tool) and
// the scan button DoAqu start disabled; the setup-mode combos, their
// captions, the slider row and the help button start hidden.

#include <string_view>

#include "platform/imaging/pixo_members.h"
#include "platform/slider/slider.h"
#include "scanclient/core/quillet1.h"

namespace quillet {
namespace {

using forms::ControlDesign;
using forms::ControlType;

constexpr float kRowTop = 120;
constexpr float kButton = 480;

ControlDesign Button(std::string_view name, int16_t index, float left, std::string_view caption,
                     bool enabled = true) {
  return ControlDesign{.Type = ControlType::CommandButton, .Name = name, .Index = index, .Left = left,
                       .Top = kRowTop, .Width = kButton, .Height = kButton, .Caption = caption,
                       .Enabled = enabled};
}

ControlDesign Pixo(std::string_view name, int16_t index, float left, float top, float width, float height,
                   bool visible) {
  return ControlDesign{.Type = ControlType::OleControl, .Name = name, .Index = index, .Left = left, .Top = top,
                       .Width = width, .Height = height, .Visible = visible, .ProgId = imaging::kPixoProgId};
}

// A slider with its range and start position (Min before Max before Value,
// so that each put is valid on the slider's own default range).
ControlDesign Slider(std::string_view name, float left, int32_t min, int32_t max, int32_t value) {
  return ControlDesign{.Type = ControlType::OleControl, .Name = name, .Left = left, .Top = 690, .Width = 1800,
                       .Height = 450, .Visible = false, .ProgId = slider::kProgId,
                       .Properties = {{slider::kMin, rt::Variant(min)},
                                      {slider::kMax, rt::Variant(max)},
                                      {slider::kValue, rt::Variant(value)}}};
}

std::vector<ControlDesign> Controls() {
  std::vector<ControlDesign> c;
  c.push_back({.Type = ControlType::Shape, .Name = "Shape", .Index = 0, .Left = 2040, .Top = 60, .Width = 9840,
               .Height = 600});
  c.push_back({.Type = ControlType::Shape, .Name = "Shape", .Index = 1, .Left = 60, .Top = 60, .Width = 1920,
               .Height = 1680});
  c.push_back({.Type = ControlType::Shape, .Name = "Shape", .Index = 2, .Left = 2040, .Top = 660, .Width = 9840,
               .Height = 7440});

  c.push_back(Button("DoCheck", -1, 2160, "Chk"));
  c.push_back(Button("DoSelect", -1, 2700, "Src"));
  c.push_back(Button("DoInfo", -1, 3240, "Inf", false));
  c.push_back(Button("DoSetup", -1, 3780, "Set"));
  c.push_back({.Type = ControlType::ComboBox, .Name = "ZoomFact", .Left = 4320, .Top = 165, .Width = 1050,
               .Height = 315, .Text = "100", .Enabled = false});
  constexpr std::string_view kZoomCaptions[] = {"W", "H", "P"};
  for (int16_t i = 0; i < 3; ++i) c.push_back(Button("Zoom", i, 5460 + 540 * i, kZoomCaptions[i], false));
  constexpr std::string_view kToolCaptions[] = {"Mov", "Win", "Zm", "Crp", "Aut", "Und", "RoL", "RoR", "Flp", "Mir"};
  for (int16_t i = 0; i < 10; ++i) c.push_back(Button("Tool", i, 7080 + 540 * i, kToolCaptions[i], false));
  c.push_back({.Type = ControlType::Image, .Name = "Logo", .Left = 10500, .Top = 45, .Width = 1200, .Height = 480});
  c.push_back({.Type = ControlType::CommandButton, .Name = "DoHelp", .Left = 11000, .Top = kRowTop, .Width = 900,
               .Height = kButton, .Caption = "Help", .Visible = false});

  constexpr std::string_view kSlideCaptions[] = {"Brightness", "Contrast", "Gamma"};
  for (int16_t i = 0; i < 3; ++i) {
    c.push_back({.Type = ControlType::Label, .Name = "Slide", .Index = i, .Left = 2160 + 2880.0f * i, .Top = 690,
                 .Width = 900, .Height = 255, .Caption = kSlideCaptions[i], .Visible = false});
  }
  c.push_back(Slider("SlideB", 3120, -100, 100, 0));  // brightness
  c.push_back(Slider("SlideC", 6000, -100, 100, 0));  // contrast
  c.push_back(Slider("SlideG", 8880, 1, 100, 10));    // gamma
  for (int16_t i = 0; i < 6; ++i) {
    c.push_back({.Type = ControlType::Label, .Name = "Label", .Index = i, .Left = 2160 + 1860.0f * i, .Top = 720,
                 .Width = 600, .Height = 195, .Visible = false, .Enabled = false});
    c.push_back({.Type = ControlType::ComboBox, .Name = "Twain", .Index = i, .Left = 2820 + 1860.0f * i,
                 .Top = 600, .Width = 1200, .Height = 315, .Visible = false, .Enabled = false});
  }

  c.push_back(Pixo("L1", -1, 2100, 720, 9720, 7320, true));
  c.push_back(Pixo("L2", -1, 0, 0, 1500, 1500, false));
  c.push_back({.Type = ControlType::CommandButton, .Name = "Page", .Index = 0, .Left = 120, .Top = 120,
               .Width = 1800, .Height = 300, .Caption = "Sheet"});
  c.push_back(Pixo("Thumb", 0, 120, 420, 1800, 1200, true));
  c.push_back(Pixo("Thsav", 0, 0, 0, 1800, 1200, false));
  c.push_back(Pixo("Thbas", 0, 0, 0, 1800, 1200, false));
  c.push_back({.Type = ControlType::CommandButton, .Name = "DoOK", .Left = 120, .Top = 1740, .Width = 1800,
               .Height = kButton, .Caption = "OK"});
  c.push_back({.Type = ControlType::CommandButton, .Name = "DoAqu", .Left = 120, .Top = 2400, .Width = 1800,
               .Height = kButton, .Caption = "Scan", .Enabled = false});
  c.push_back({.Type = ControlType::TextBox, .Name = "Status", .Left = 60, .Top = 8280, .Width = 11880,
               .Height = 285});
  return c;
}

}  // namespace

const forms::FormDesign kQuillet1Design{
    .Name = "Quillet1",
    .Caption = "Quillet",
    .Width = 12000,
    .Height = 9000,
    .BorderStyle = 2,
    .KeyPreview = true,
    .Controls = Controls(),
};

}  // namespace quillet
