#pragma once
// The profile-string reader of the platform (INI files).
//
// Section and key names match without regard to case; blanks at both ends of
// the value are removed and one pair of enclosing quotes ('…' or "…") too;
// lines starting with ";" are comments. The file is read again on every call;
// a missing file, section or key gives `defaultValue`. At most bufferChars-1
// characters come back; the result is the number of characters copied.

#include <cstdint>
#include <string>
#include <string_view>

namespace win32 {

uint32_t GetPrivateProfileString(std::string_view section, std::string_view key,
                                 std::string_view defaultValue, std::string* out,
                                 uint32_t bufferChars, std::string_view file);

}  // namespace win32
