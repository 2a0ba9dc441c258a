#pragma once
// The wide command line and its split into arguments.

#include "platform/windows/window.h"

namespace win {

// The program's path in quotes and each word of win32::CommandLineWords()
// after a blank, quoted by QuoteArgument: CommandLineToArgvW gives back the
// words exactly as main() received them.
const wchar_t* GetCommandLineW();
// One argument as CommandLineToArgvW reads it back: as it is when it has no
// blank, tab or double quote and is not empty; else in double quotes, with
// every double quote written \" and the backslashes before a quote (or
// before the closing quote) doubled.
std::wstring QuoteArgument(const std::wstring& arg);
// Splits a command line by the platform's rules: blanks and tabs separate
// arguments; double quotes group; 2n backslashes before a quote give n
// backslashes and a grouping quote, 2n+1 give n and a literal quote; other
// backslashes are literal. The first argument (the program) ends at the next
// blank, or at the closing quote when it starts with one. Returns one block
// to free with LocalFree; null with ERROR_INVALID_PARAMETER for a null count.
wchar_t** CommandLineToArgvW(const wchar_t* commandLine, int* argc);
void* LocalFree(void* block);

}  // namespace win
