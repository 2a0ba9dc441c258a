#include "toolkitctl/common/toolkit_error.h"

#include <cstdio>

#include "platform/activex/control.h"
#include "platform/activex/dispatch.h"

namespace toolkitctl {

std::string ToolkitErrorText(int32_t code) {
  int32_t slot = code - kErrorCodeBase;
  char text[160];
  if (slot >= 0 && slot < kToolkitErrorSlots && ToolkitErrorMessages[slot][0] != '\0') {
    std::snprintf(text, sizeof text, "PIXO Error: %s", ToolkitErrorMessages[slot]);
  } else {
    std::snprintf(text, sizeof text, "PIXO Error: Internal Error %d - call PIXO", code);
  }
  return text;
}

ax::HRESULT ToolkitErrorReporter::Report(int32_t result, int16_t* code, bool force, bool enableMethodErrors) const {
  if (result == kToolkitSuccess) {
    if (code) *code = 0;
    return ax::S_OK;
  }
  int32_t c = ToolkitErrorCode(result);
  if (code) *code = static_cast<int16_t>(c);
  if (!enableMethodErrors && !force) return ax::S_OK;
  ax::SetRichError(clsid_, iid_, ToolkitErrorText(c));
  return ToolkitErrorHr(c);
}

ax::HRESULT ToolkitErrorReporter::DesignModeRefusal(bool put) const {
  ax::SetRichError(clsid_, iid_, put ? "Put not supported in design mode" : "Get not supported in design mode");
  return kDesignModeHr;
}

bool IsDesignMode(ax::IUnknown* site) {
  ax::Variant userMode;
  if (!ax::GetAmbientProperty(site, ax::DISPID_AMBIENT_USERMODE, &userMode) || !userMode.IsNumeric()) return false;
  return userMode.AsInt() == 0;
}

}  // namespace toolkitctl
