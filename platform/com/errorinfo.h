#pragma once
// COM error information of a thread, and the class id lookup of the COM
// registry.
//
// A thread holds at most one ErrorInfo; SetErrorInfo replaces it,
// GetErrorInfo hands it out and leaves the thread without one, as the
// platform does.

#include <cstdint>
#include <memory>
#include <string>

#include "platform/com/com_types.h"

namespace com {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}", upper-case hex.
std::string GuidText(const Guid& guid);

struct ErrorInfo {
  Guid guid;                 // the interface that failed
  std::u16string source;     // program id of the failing component
  std::u16string description;
  std::u16string helpFile;
  uint32_t helpContext = 0;
};

std::shared_ptr<ErrorInfo> CreateErrorInfo();
// Sets (null: clears) the calling thread's error information.
void SetErrorInfo(std::shared_ptr<ErrorInfo> info);
// Takes the calling thread's error information; null when it has none.
std::shared_ptr<ErrorInfo> GetErrorInfo();
// Looks at it without taking it.
std::shared_ptr<ErrorInfo> PeekErrorInfo();

// The program id registered for class `clsid` (the default value of the
// key HKEY_CLASSES_ROOT "CLSID\{...}\ProgID"); false when there is none.
bool ProgIDFromCLSID(const Guid& clsid, std::string* progId);

// The default value of a key below HKEY_CLASSES_ROOT as text; false when the
// key or its string value is missing.
bool ReadClassesRootDefault(const std::string& path, std::string* out);

}  // namespace com
