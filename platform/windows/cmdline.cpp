#include "platform/windows/cmdline.h"

#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/win32/environment.h"
#include "platform/windows/text.h"

namespace win {

namespace {

std::wstring ProgramPath() {
  char buf[4096];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof(buf) - 1);
  if (n <= 0) return L"program";
  return FromUtf8(std::string(buf, static_cast<size_t>(n)));
}

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

std::vector<std::wstring> Split(const wchar_t* line) {
  std::vector<std::wstring> args;
  const wchar_t* p = line;
  // The program name: no escapes.
  std::wstring first;
  if (*p == L'"') {
    ++p;
    while (*p && *p != L'"') first += *p++;
    if (*p == L'"') ++p;
  } else {
    while (*p && !IsBlank(*p)) first += *p++;
  }
  args.push_back(first);
  while (true) {
    while (IsBlank(*p)) ++p;
    if (!*p) break;
    std::wstring arg;
    bool quoted = false;
    while (*p && (quoted || !IsBlank(*p))) {
      if (*p == L'\\') {
        size_t n = 0;
        while (*p == L'\\') {
          ++n;
          ++p;
        }
        if (*p == L'"') {
          arg.append(n / 2, L'\\');
          if (n % 2) {
            arg += L'"';
            ++p;
          }
        } else {
          arg.append(n, L'\\');
        }
      } else if (*p == L'"') {
        if (quoted && p[1] == L'"') {  // "" inside quotes is one literal quote
          arg += L'"';
          p += 2;
        } else {
          quoted = !quoted;
          ++p;
        }
      } else {
        arg += *p++;
      }
    }
    args.push_back(arg);
  }
  return args;
}

}  // namespace

std::wstring QuoteArgument(const std::wstring& arg) {
  if (!arg.empty() && arg.find_first_of(L" \t\"") == std::wstring::npos) return arg;
  std::wstring out = L"\"";
  size_t backslashes = 0;
  for (wchar_t c : arg) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    // Backslashes are doubled only before a quote: theirs and the closing one.
    out.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    out += c;
  }
  out.append(2 * backslashes, L'\\');
  return out + L"\"";
}

const wchar_t* GetCommandLineW() {
  static std::wstring line;
  line = L"\"" + ProgramPath() + L"\"";
  for (const std::string& word : win32::CommandLineWords()) line += L" " + QuoteArgument(FromUtf8(word));
  return line.c_str();
}

wchar_t** CommandLineToArgvW(const wchar_t* commandLine, int* argc) {
  if (!argc) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  std::vector<std::wstring> args;
  if (!commandLine || !*commandLine) args.push_back(ProgramPath());
  else args = Split(commandLine);
  size_t chars = 0;
  for (const auto& a : args) chars += a.size() + 1;
  size_t ptrBytes = (args.size() + 1) * sizeof(wchar_t*);
  auto* block = static_cast<char*>(std::malloc(ptrBytes + chars * sizeof(wchar_t)));
  if (!block) {
    SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    return nullptr;
  }
  auto** argv = reinterpret_cast<wchar_t**>(block);
  auto* text = reinterpret_cast<wchar_t*>(block + ptrBytes);
  for (size_t i = 0; i < args.size(); ++i) {
    argv[i] = text;
    std::memcpy(text, args[i].c_str(), (args[i].size() + 1) * sizeof(wchar_t));
    text += args[i].size() + 1;
  }
  argv[args.size()] = nullptr;
  *argc = static_cast<int>(args.size());
  return argv;
}

void* LocalFree(void* block) {
  std::free(block);
  return nullptr;
}

}  // namespace win
