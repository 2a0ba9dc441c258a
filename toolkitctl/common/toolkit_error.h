#pragma once
// How both controls turn a toolkit result into what a COM client sees: the
// error code 20000 minus the result, a text from ToolkitErrorMessages, rich
// error information and an HRESULT, raised while EnableMethodErrors is true
// or when the caller forces it; and the refusal of run-time-only properties
// in design mode.

#include <cstdint>
#include <string>

#include "platform/activex/com.h"

namespace toolkitctl {

inline constexpr int kToolkitErrorSlots = 692;
// Slot i: the text of toolkit result -i, "" when the slot is empty.
extern const char* const ToolkitErrorMessages[kToolkitErrorSlots];

inline constexpr int32_t kToolkitSuccess = 1;
inline constexpr int32_t kErrorCodeBase = 20000;
inline constexpr ax::HRESULT kDesignModeHr = ax::Hr(0x8000FEBF);

// The error code of a failing result: 20000 - result.
constexpr int32_t ToolkitErrorCode(int32_t result) { return kErrorCodeBase - result; }
// "PIXO Error: <slot text>" for a code 20000 to 20691 with a text, else
// "PIXO Error: Internal Error <code> - call PIXO".
std::string ToolkitErrorText(int32_t code);
// The HRESULT a raised error carries: 0x800A0000 | code (the code's low 16
// bits, so a code outside them cannot spill into severity and facility).
constexpr ax::HRESULT ToolkitErrorHr(int32_t code) {
  return ax::Hr(0x800A0000u | (static_cast<uint32_t>(code) & 0xFFFFu));
}

// One reporter per reporting class, bound to its class id and dispatch
// interface id.
class ToolkitErrorReporter {
 public:
  ToolkitErrorReporter(const ax::CLSID& clsid, const ax::IID& iid) : clsid_(clsid), iid_(iid) {}

  // Result 1: *code = 0 and S_OK. Otherwise *code = 20000 - result and, when
  // `enableMethodErrors` or `force`, the thread's error information is set
  // and the error's HRESULT returned; else S_OK (a silent failure). `code`
  // may be null.
  ax::HRESULT Report(int32_t result, int16_t* code, bool force, bool enableMethodErrors) const;
  // Sets the error information of a refusal in design mode and returns
  // 0x8000FEBF.
  ax::HRESULT DesignModeRefusal(bool put) const;

 private:
  ax::CLSID clsid_;
  ax::IID iid_;
};

// True when the container's ambient UserMode can be read and is false; a
// site that does not answer counts as run mode.
bool IsDesignMode(ax::IUnknown* site);

}  // namespace toolkitctl
