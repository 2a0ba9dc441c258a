#pragma once
// Fixture of the unit tests on the main window: built from its design table
// (not loaded: no start-up runs) with the real imaging and slider controls,
// on a screen with its defaults and an empty mouse-pointer history, 15
// twips per pixel, the setup button's and the zoom box's Tag "0" as the
// start-up leaves them.

#include <memory>

#include "platform/forms/screen.h"
#include "platform/imaging/pixo_control.h"
#include "platform/slider/slider.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/core_test_env.h"
#include "scanclient/core/quillet1.h"

namespace quillet::testing {

class MainWindowTest : public CoreTest {
 protected:
  void SetUp() override {
    CoreTest::SetUp();
    imaging::RegisterPixoControl();
    slider::RegisterSliderClass();
    forms::Screen().Reset();
    App.TwipsPerPixelX = App.TwipsPerPixelY = 15;
    w = std::make_unique<Quillet1>();
    w->DoSetup.Tag = "0";
    w->ZoomFact.Tag = "0";
  }

  std::unique_ptr<Quillet1> w;
};

}  // namespace quillet::testing
