#pragma once
// Wide texts of the platform's "W" calls are wchar_t strings (UTF-32 on
// Linux); the host (files, transcript, cairo) speaks UTF-8. These two
// conversions are the only bridge between them.

#include <string>
#include <string_view>

namespace win {

// Invalid sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);
std::string ToUtf8(std::wstring_view text);

// Appends one code point in UTF-8's form as it is: a surrogate half gives
// its three bytes (invalid UTF-8, which a device may refuse), a value past
// U+10FFFF gives U+FFFD.
void AppendUtf8(std::string& out, char32_t cp);

}  // namespace win
