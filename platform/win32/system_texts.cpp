#include "platform/win32/system_texts.h"

#include <map>

namespace win32 {

const char* SystemErrorText(uint32_t code) {
  static const auto* texts = new std::map<uint32_t, const char*>{
      {0, "The operation completed successfully."},
      {2, "The system cannot find the file specified."},
      {3, "The system cannot find the path specified."},
      {5, "Access is denied."},
      {6, "The handle is invalid."},
      {8, "Not enough memory resources are available to process this command."},
      {11, "An attempt was made to load a program with an incorrect format."},
      {21, "The device is not ready."},
      {29, "The system cannot write to the specified device."},
      {30, "The system cannot read from the specified device."},
      {31, "A device attached to the system is not functioning."},
      {38, "Reached the end of the file."},
      {63, "Your file waiting to be printed was deleted."},
      {87, "The parameter is incorrect."},
      {112, "There is not enough space on the disk."},
      {122, "The data area passed to a system call is too small."},
      {126, "The specified module could not be found."},
      {234, "More data is available."},
      {259, "No more data is available."},
      {317, "The system cannot find message text for this message number in the message file."},
      {487, "Attempt to access invalid address."},
      {1006, "The file is no longer valid."},
      {1009, "The configuration registry database is corrupt."},
      {1113, "No mapping for the Unicode character exists in the target multi-byte code page."},
      {1223, "The operation was canceled by the user."},
      {1400, "Invalid window handle."},
      {1401, "Invalid menu handle."},
      {1502, "The event log file is full."},
      {1801, "The printer name is invalid."},
      {1814, "The specified resource name cannot be found in the image file."},
  };
  auto it = texts->find(code);
  return it == texts->end() ? nullptr : it->second;
}

}  // namespace win32
