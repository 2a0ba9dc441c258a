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

}  // namespace win
