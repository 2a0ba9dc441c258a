#include "viewer/error_box.h"

#include "platform/forms/app.h"
#include "platform/runtime/convert.h"

namespace viewer {

std::string ErrorBox::Text(int32_t number, const std::string& description) const {
  // The viewer makes no platform call that leaves a last error behind, so
  // the system result is always 0.
  constexpr int32_t kLastSystemResult = 0;
  return "Error:" + rt::Str(number) + "/" + rt::Str(kLastSystemResult) + "=" + description + " in " + tag_ +
         " Step-" + rt::Str(step) + "\r\n" + cmdLine_;
}

void ErrorBox::Report(const rt::RuntimeError& e) const {
  forms::MsgBox(Text(e.number(), e.description()), 0, "Error !");
}

}  // namespace viewer
