#pragma once
// Run-time errors of the forms runtime: a number and a description.
// Raised as C++ exceptions; a procedure's error tail catches them.

#include <cstdint>
#include <stdexcept>
#include <string>

namespace rt {

// Error numbers the system quotes.
enum ErrorNumber : int32_t {
  kInvalidCall = 5,          // "Invalid procedure call or argument"
  kOverflow = 6,             // "Overflow"
  kOutOfMemory = 7,          // "Out of memory"
  kSubscriptOutOfRange = 9,  // "Subscript out of range"
  kDivisionByZero = 11,      // "Division by zero"
  kTypeMismatch = 13,        // "Type mismatch"
  kBadFileName = 52,         // "Bad file name or number"
  kFileNotFound = 53,        // "File not found"
  kFileAlreadyOpen = 55,     // "File already open"
  kDeviceIO = 57,            // "Device I/O error"
  kFileExists = 58,          // "File already exists"
  kDiskFull = 61,            // "Disk full"
  kPermissionDenied = 70,    // "Permission denied"
  kPathFileAccess = 75,      // "Path/File access error"
  kPathNotFound = 76,        // "Path not found"
  kObjectNotSet = 91,        // "Object variable or With block variable not set"
  kControlArrayElement = 340,  // "Control array element doesn't exist"
  kInvalidPropertyValue = 380, // "Invalid property value"
  kNoSuchMember = 438,       // "Object doesn't support this property or method"
  kInvalidPicture = 481,     // "Invalid picture"
};

// The runtime's own description of an error number; "" for 0 and
// "Application-defined or object-defined error" for numbers it does not know.
std::string ErrorDescription(int32_t number);

class RuntimeError : public std::runtime_error {
 public:
  RuntimeError(int32_t number, std::string description)
      : std::runtime_error(description), number_(number), description_(std::move(description)) {}
  explicit RuntimeError(int32_t number) : RuntimeError(number, ErrorDescription(number)) {}

  int32_t number() const { return number_; }
  const std::string& description() const { return description_; }

 private:
  int32_t number_;
  std::string description_;
};

// Raises error `number` with the runtime's description (or `description`).
[[noreturn]] void Raise(int32_t number);
[[noreturn]] void Raise(int32_t number, const std::string& description);

}  // namespace rt
