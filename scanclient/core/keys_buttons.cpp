// Closing the main window and its three small buttons: help, check and
// setup mode.

#include <string>

#include "platform/forms/form.h"
#include "platform/runtime/convert.h"
#include "platform/uiscript/uiscript.h"
#include "scanclient/core/app_state.h"
#include "scanclient/core/error_tail.h"
#include "scanclient/core/quillet0.h"
#include "scanclient/core/quillet1.h"
#include "scanclient/core/tables.h"

namespace quillet {

void Quillet1::Form_QueryUnload(int16_t& Cancel, int16_t UnloadMode) {
  if (App.DebugLevel > 7) {
    LogLine("BEG-UnLoad," + rt::CStr(static_cast<double>(Cancel)) + "/" +
            rt::CStr(static_cast<double>(UnloadMode)));
  }
  // The window never unloads on a close request: the commit or ExitNow ends
  // the program.
  Cancel = -1;
  if (UnloadMode == forms::kFormControlMenu) {
    DoOK_Click();
  } else {
    ExitNow(-9);
  }
}

void Quillet1::DoSetup_Click() {
  DoSetup.Tag = rt::CDbl(rt::Variant(DoSetup.Tag.Get())) == 1 ? "0" : "1";
  double shown = rt::CDbl(rt::Variant(L1.Tag.Get()));
  if (shown >= 0) Tools(rt::CInt(rt::Variant(Page(rt::CInt(shown)).Tag.Get())));
}

void Quillet1::DoHelp_Click() {
  ProcScope p("Help", Tail::Direct);
  p.Run([&] {
    std::string text = ExpandCR(GetIni("Text", "Help"));
    if (!text.empty()) {
      uiscript::MessageBox(text, uiscript::kOkOnly, App.ProductName + " V" + App.ProductVersion + " HELP !");
    }
  });
}

void Quillet1::DoCheck_Click() {
  ProcScope p("Check", Tail::Direct);
  p.Run([&] { CheckPage(2); });
}

}  // namespace quillet
