// Linked into a program as the library file would be installed beside it:
// makes "RichEd20.dll" loadable before main runs.
#include "platform/richedit/richedit.h"

namespace {
const bool g_registered = [] {
  win::RegisterRichEditLibrary();
  return true;
}();
}  // namespace
