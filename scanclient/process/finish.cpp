// The finish image: the profile's picture with the sheets pasted at fixed
// places, shown in the view while the commit asks its question.

#include "scanclient/process/finish.h"

#include "platform/runtime/convert.h"
#include "platform/runtime/strings.h"
#include "platform/win32/environment.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"

namespace quillet {

using imaging::Pixo;

namespace {

int32_t Operand(std::string_view text) { return rt::IsNumeric(text) ? rt::CLng(rt::Val(text)) : 0; }

}  // namespace

std::optional<Placement> ParsePlacement(std::string_view text) {
  const std::string fields[4] = {rt::Mid(text, 1, 4), rt::Mid(text, 6, 4), rt::Mid(text, 11, 4), rt::Mid(text, 16, 4)};
  for (const std::string& f : fields) {
    if (!rt::IsNumeric(f)) return std::nullopt;
  }
  Placement p;
  p.left = rt::Val(fields[0]);
  p.top = rt::Val(fields[1]);
  p.width = rt::Val(fields[2]);
  p.height = rt::Val(fields[3]);
  if (!rt::Trim(rt::Mid(text, 20)).empty()) {
    p.hasOperands = true;
    const std::string op = rt::Mid(text, 20, 1);
    p.op = op.empty() ? ' ' : op[0];
    p.first = Operand(rt::Mid(text, 21, 8));
    p.second = Operand(rt::Mid(text, 30, 8));
  }
  return p;
}

// No tail of its own: a failure passes to the commit's.
void Quillet1::ComposeFinish() {
  const int16_t to24[] = {24, 12, 0, 0};
  auto depth24 = [&to24](forms::OleControl& c) {
    PixCall(c, Pixo::ChangeColorDepth, {to24[0], to24[1], to24[2], to24[3]});
  };
  PixCall(L1, Pixo::LoadImageFile, {win32::HostPath(App.FinishTable[0]), int16_t{24}, int32_t{1}, int32_t{1}});
  depth24(L1);
  Tools(0);
  for (int16_t i = 1; i <= 9; ++i) {
    std::optional<Placement> at = ParsePlacement(App.FinishTable[static_cast<size_t>(i)]);
    if (!at) continue;
    L2Prepare(static_cast<int16_t>(i - 1), 0);
    depth24(L2);
    PixCall(L2, Pixo::ResizeImage, {at->width, at->height, int16_t{2}});
    if (at->hasOperands) {
      if (at->op == '+') PixCall(L2, Pixo::ComposeOp570, {at->first, at->second, int16_t{1}});
      if (at->op == '-') PixCall(L2, Pixo::ComposeOp570, {at->first, at->second, int16_t{6}});
    }
    PixCall(L1, Pixo::Combine,
            {at->left, at->top, rt::CDbl(PixGet(L2, Pixo::ImageWidth)), rt::CDbl(PixGet(L2, Pixo::ImageHeight)),
             rt::CLng(PixGet(L2, Pixo::BitmapHandle)), 0.0, 0.0, int32_t{800}});
  }
  if (App.DebugLevel > 7) {
    PixCall(
        L1, Pixo::SaveImageFile,
        {JoinPath(App.ProgramDir, App.ProductName + "_FIN.JPG"), int16_t{10}, int16_t{24}, int16_t{10}, int16_t{0}});
  }
}

}  // namespace quillet
