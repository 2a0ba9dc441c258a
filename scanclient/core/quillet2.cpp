#include "scanclient/core/quillet2.h"

#include <algorithm>
#include <vector>

#include "platform/imaging/pixo_members.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet1.h"

namespace quillet {
namespace {

constexpr float kWidth = 6000;  // 400 x 400 pixels at 15 twips per pixel
constexpr float kHeight = 6000;

std::vector<forms::ControlDesign> Controls() {
  // L2 takes the window less what Form_Resize takes off for the frame (8 pixels across, 32 down).
  return {{.Type = forms::ControlType::OleControl, .Name = "L2", .Left = 0, .Top = 0, .Width = kWidth - 8 * 15,
           .Height = kHeight - 32 * 15, .ProgId = imaging::kPixoProgId}};
}

}  // namespace

const forms::FormDesign kQuillet2Design{
    .Name = "Quillet2",
    .Caption = "Sample",
    .Width = kWidth,
    .Height = kHeight,
    .BorderStyle = 2,
    // Escape reaches the window whichever control has the focus.
    .KeyPreview = true,
    .Controls = Controls(),
};

Quillet2::Quillet2() : Form(kQuillet2Design) {
  Bind(L2, "L2");
  KeyDown = [this](int16_t& code, int16_t& shift) { Form_KeyDown(code, shift); };
  Resize = [this] { Form_Resize(); };
}

void Quillet2::Form_KeyDown(int16_t& KeyCode, int16_t& /*Shift*/) {
  if (KeyCode == 27) Hide();
}

void Quillet2::Form_Resize() {
  if (WindowState != forms::kNormal) return;
  // A window sized below its frame leaves L2 empty rather than negative.
  L2.Width = std::max(0.0f, Width - 8.0f * static_cast<float>(App.TwipsPerPixelX));
  L2.Height = std::max(0.0f, Height - 32.0f * static_cast<float>(App.TwipsPerPixelY));
}

Quillet2& Quillet1::SampleWindow() {
  if (!sample_) sample_ = std::make_shared<Quillet2>();
  // Like a reference to another form's control in the runtime: the form is
  // loaded (not shown) when it is not loaded yet.
  sample_->LoadForm();
  return *sample_;
}

}  // namespace quillet
