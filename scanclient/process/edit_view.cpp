#include "scanclient/process/edit_view.h"

#include "platform/imaging/pixo_calls.h"
#include "platform/runtime/convert.h"
#include "platform/runtime/error.h"
#include "platform/runtime/strings.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet2.h"

namespace quillet {

int16_t ShownSheet(Quillet1& w) { return rt::CInt(rt::Variant(w.L1.Tag.Get())); }

bool HoldsImage(forms::OleControl& c) { return rt::CLng(PixGet(c, imaging::Pixo::BitmapHandle)) != 0; }

double SampleScale(int16_t longest, int16_t w, int16_t h) {
  const double sx = rt::Int(static_cast<double>(longest) / w * 100) / 100;
  const double sy = rt::Int(static_cast<double>(longest) / h * 100) / 100;
  return sx < sy ? sx : sy;
}

double MakeGreySample(Quillet1& w, int16_t longest, bool deepen, const std::string& suffix) {
  using imaging::Pixo;
  Quillet2& q2 = w.SampleWindow();
  if (App.DebugLevel > 7) {
    q2.Top = static_cast<float>(w.Top);
    q2.Left = w.Left + w.Width;
    q2.Show();
  }
  forms::OleControl& sample = q2.L2;
  PixPut(sample, Pixo::BitmapHandle, PixGet(w.L1, Pixo::BitmapHandle));
  PixPut(sample, Pixo::ScaleMode, int32_t{0});

  App.TmpW = rt::CLng(PixGet(w.L1, Pixo::ImageWidth));
  App.TmpH = rt::CLng(PixGet(w.L1, Pixo::ImageHeight));
  const double scale = SampleScale(longest, App.TmpW, App.TmpH);
  if (scale == 0) rt::Raise(rt::kDivisionByZero);
  PixCall(sample, Pixo::ResizeImage, {App.TmpW * scale, App.TmpH * scale, int16_t{2}});
  PixCall(sample, Pixo::Repaint);
  if (deepen && rt::CInt(PixGet(sample, Pixo::ImageBits)) < 24) {
    PixCall(sample, Pixo::ChangeColorDepth, {int16_t{24}, int16_t{0}, int16_t{0}, int16_t{0}});
  }
  PixCall(sample, Pixo::ConvertToGray, {int16_t{8}});
  PixCall(sample, Pixo::Repaint);
  if (App.DebugLevel > 7) {
    PixCall(sample, Pixo::SaveImageFile, {JoinPath(App.ProgramDir, App.ProductName + suffix), int16_t{6}, int16_t{24},
                                          int16_t{0}, int16_t{0}});
  }
  return scale;
}

}  // namespace quillet
