#include "platform/runtime/error.h"

#include <string_view>

namespace rt {

namespace {

struct Description {
  int32_t number;
  std::string_view text;
};

// The runtime's texts for the errors it raises itself.
constexpr Description kDescriptions[] = {
    {3, "Return without GoSub"},
    {kInvalidCall, "Invalid procedure call or argument"},
    {kOverflow, "Overflow"},
    {kOutOfMemory, "Out of memory"},
    {kSubscriptOutOfRange, "Subscript out of range"},
    {10, "This array is fixed or temporarily locked"},
    {kDivisionByZero, "Division by zero"},
    {kTypeMismatch, "Type mismatch"},
    {14, "Out of string space"},
    {28, "Out of stack space"},
    {35, "Sub or Function not defined"},
    {48, "Error in loading DLL"},
    {51, "Internal error"},
    {kBadFileName, "Bad file name or number"},
    {kFileNotFound, "File not found"},
    {54, "Bad file mode"},
    {kFileAlreadyOpen, "File already open"},
    {kDeviceIO, "Device I/O error"},
    {kFileExists, "File already exists"},
    {kDiskFull, "Disk full"},
    {62, "Input past end of file"},
    {67, "Too many files"},
    {68, "Device unavailable"},
    {kPermissionDenied, "Permission denied"},
    {71, "Disk not ready"},
    {74, "Can't rename with different drive"},
    {kPathFileAccess, "Path/File access error"},
    {kPathNotFound, "Path not found"},
    {kObjectNotSet, "Object variable or With block variable not set"},
    {92, "For loop not initialized"},
    {94, "Invalid use of Null"},
    {kControlArrayElement, "Control array element doesn't exist"},
    {kInvalidPropertyValue, "Invalid property value"},
    {381, "Invalid property array index"},
    {424, "Object required"},
    {429, "ActiveX component can't create object"},
    {kNoSuchMember, "Object doesn't support this property or method"},
    {440, "Automation error"},
    {449, "Argument not optional"},
    {kInvalidPicture, "Invalid picture"},
};

}  // namespace

std::string ErrorDescription(int32_t number) {
  if (number == 0) return "";
  for (const auto& d : kDescriptions) {
    if (d.number == number) return std::string(d.text);
  }
  return "Application-defined or object-defined error";
}

void Raise(int32_t number) { throw RuntimeError(number); }

void Raise(int32_t number, const std::string& description) {
  throw RuntimeError(number, description);
}

}  // namespace rt
