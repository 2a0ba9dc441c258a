// Quillet: the main window is the start-up object; the forms runtime loads
// it (Form_Load does the start-up) and then runs the operator's steps, or
// shows it on the screen for the operator to work in.

#include "platform/forms/app.h"
#include "platform/imaging/pixo_control.h"
#include "platform/screen/forms_display.h"
#include "platform/slider/slider.h"
#include "platform/win32/environment.h"
#include "scanclient/core/quillet1.h"

int main(int argc, char** argv) {
  win32::SetCommandLine(argc, argv, quillet::kSwitchNames);
  imaging::RegisterPixoControl();
  slider::RegisterSliderClass();
  forms::App::Instance().Title = "Quillet";
  quillet::Quillet1 main;
  return screen::RunForms(main);
}
