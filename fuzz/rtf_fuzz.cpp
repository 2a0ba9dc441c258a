// The rich edit control's reader and layout, driven through its messages as
// the document viewer drives it: the input streamed in as RTF (bytes that
// are no RTF come in as plain text), embedded objects offered to an OLE
// callback that takes them, then the text read back, the screen lines
// counted and every printed page laid out.

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"
#include "platform/printing/gdi.h"
#include "platform/richedit/richedit.h"
#include "platform/windows/resources.h"
#include "platform/windows/script.h"
#include "platform/windows/window.h"

namespace {

struct Source {
  const uint8_t* data;
  size_t size, pos = 0;
};

win::DWORD Feed(uintptr_t cookie, uint8_t* buffer, win::LONG bytes, win::LONG* done) {
  auto* s = reinterpret_cast<Source*>(cookie);
  // Pieces of at most 4 KB, so a control word may be cut anywhere.
  const size_t n = std::min({static_cast<size_t>(bytes), s->size - s->pos, size_t{4096}});
  std::memcpy(buffer, s->data + s->pos, n);
  s->pos += n;
  *done = static_cast<win::LONG>(n);
  return 0;
}

// Gives every object a storage of its own in memory and lets it in.
class TakeObjects final : public win::IRichEditOleCallback {
 public:
  ole::HRESULT QueryInterface(ole::REFIID, void**) override { return ole::E_NOINTERFACE; }
  ole::ULONG AddRef() override { return 1; }
  ole::ULONG Release() override { return 1; }
  ole::HRESULT GetNewStorage(ole::IStorage** out) override {
    ole::ILockBytes* bytes = nullptr;
    ole::HRESULT hr = ole::CreateILockBytesOnHGlobal(nullptr, 1, &bytes);
    if (hr != ole::S_OK) return hr;
    hr = ole::StgCreateDocfileOnILockBytes(
        bytes, ole::STGM_CREATE | ole::STGM_READWRITE | ole::STGM_SHARE_EXCLUSIVE, 0, out);
    bytes->Release();
    return hr;
  }
  ole::HRESULT GetInPlaceContext(ole::IOleInPlaceFrame**, ole::IOleInPlaceUIWindow**,
                                 ole::OLEINPLACEFRAMEINFO*) override {
    return ole::E_NOTIMPL;
  }
  ole::HRESULT ShowContainerUI(ole::BOOL) override { return ole::E_NOTIMPL; }
  ole::HRESULT QueryInsertObject(ole::CLSID*, ole::IStorage*, win::LONG) override { return ole::S_OK; }
  ole::HRESULT DeleteObject(ole::IOleObject*) override { return ole::S_OK; }
  ole::HRESULT QueryAcceptData(ole::IDataObject*, ole::CLIPFORMAT*, win::DWORD, ole::BOOL, ole::HGLOBAL) override {
    return ole::S_OK;
  }
  ole::HRESULT ContextSensitiveHelp(ole::BOOL) override { return ole::E_NOTIMPL; }
  ole::HRESULT GetClipboardData(win::CHARRANGE*, win::DWORD, ole::IDataObject**) override { return ole::E_NOTIMPL; }
  ole::HRESULT GetDragDropEffect(ole::BOOL, win::DWORD, win::DWORD*) override { return ole::E_NOTIMPL; }
  ole::HRESULT GetContextMenu(win::WORD, ole::IOleObject*, win::CHARRANGE*, win::HMENU*) override {
    return ole::E_NOTIMPL;
  }
};

win::HWND NewControl() {
  win::ResetWindowsForTest();
  win::SetScriptForTest({});
  win::RegisterRichEditLibrary();
  if (!win::LoadLibraryW(win::kRichEditLibrary)) std::abort();
  win::HWND edit = win::CreateWindowExW(0, win::RICHEDIT_CLASSW, L"",
                                        win::WS_VISIBLE | win::ES_MULTILINE | win::ES_READONLY, 0, 0, 400, 300,
                                        nullptr, nullptr, nullptr, nullptr);
  if (!edit) std::abort();
  return edit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static TakeObjects callback;
  win::HWND edit = NewControl();
  win::SendMessageW(edit, win::EM_SETOLECALLBACK, 0, reinterpret_cast<win::LPARAM>(&callback));

  Source source{data, size};
  win::EDITSTREAM stream;
  stream.dwCookie = reinterpret_cast<uintptr_t>(&source);
  stream.pfnCallback = Feed;
  win::SendMessageW(edit, win::EM_STREAMIN, win::SF_RTF, reinterpret_cast<win::LPARAM>(&stream));

  const auto length = static_cast<win::LONG>(win::SendMessageW(edit, win::WM_GETTEXTLENGTH, 0, 0));
  if (length < 0) std::abort();
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  win::TEXTRANGEW range{{0, -1}, text.data()};
  if (win::SendMessageW(edit, win::EM_GETTEXTRANGE, 0, reinterpret_cast<win::LPARAM>(&range)) != length) {
    std::abort();
  }
  win::SendMessageW(edit, win::EM_GETLINECOUNT, 0, 0);

  // A4 pages of the default printer inside 2 cm margins, laid out without
  // drawing, the way the viewer prints: the rectangle is the whole page, so
  // a line higher than the page is taken on a page of its own.
  win::HDC printer = win::CreateDCW(nullptr, L"ORN PDF", nullptr, nullptr);
  win::FORMATRANGE page;
  page.hdc = page.hdcTarget = printer;
  const win::RECT area{1134, 1134, 11906 - 1134, 16838 - 1134};
  win::LONG next = 0;
  for (int pages = 0; next < length && pages < 10000; ++pages) {
    page.rc = page.rcPage = area;
    page.chrg = {next, -1};
    const auto after = static_cast<win::LONG>(
        win::SendMessageW(edit, win::EM_FORMATRANGE, 0, reinterpret_cast<win::LPARAM>(&page)));
    if (after <= next || after > length) std::abort();  // every page moves on
    next = after;
  }
  win::SendMessageW(edit, win::EM_FORMATRANGE, 0, 0);
  win::DeleteDC(printer);
  win::ResetWindowsForTest();
  return 0;
}
