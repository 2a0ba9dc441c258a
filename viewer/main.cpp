// Glimpra: shows one image file, page by page, with zoom, rotation and an
// optional watermark. It never sets an exit code of its own.

#include "platform/forms/app.h"
#include "platform/imaging/pixo_control.h"
#include "platform/screen/forms_display.h"
#include "platform/win32/environment.h"
#include "viewer/glimpra1.h"

int main(int argc, char** argv) {
  win32::SetCommandLine(argc, argv, viewer::kSwitchNames);
  imaging::RegisterPixoControl();
  forms::App& app = forms::App::Instance();
  app.Title = "Glimpra";
  viewer::Glimpra1 form;
  return screen::RunForms(form);
}
