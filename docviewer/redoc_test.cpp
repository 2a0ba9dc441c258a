// CRichEditDoc, RichEditSubclassProc and CBasicReOleCallback.
#include "docviewer/redoc.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "docviewer/reolecb.h"
#include "docviewer/reutil.h"
#include "platform/windows/resources.h"
#include "platform/windows/script.h"
#include "tests/support/scratch_dir.h"

using namespace win;

namespace {

int g_callbacksDeleted = 0;

// The basic callback, counting its deletion.
class CountedCallback : public CBasicReOleCallback {
 public:
  ~CountedCallback() override { ++g_callbacksDeleted; }
};

class DocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetWindowsForTest();
    SetScriptForTest({});
    regDir_ = scratch_.path();
    setenv("ORN_REGISTRY_DIR", regDir_.c_str(), 1);
    RegisterRichEditLibrary();
    LoadLibraryW(L"RichEd20.dll");
    WNDCLASSEXW wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"Host";
    RegisterClassExW(&wc);
    host_ = CreateWindowExW(0, L"Host", L"", WS_OVERLAPPEDWINDOW, 0, 0, 400, 300, nullptr, nullptr, nullptr, nullptr);
    edit_ = CreateWindowExW(0, RICHEDIT_CLASSW, nullptr, WS_CHILD | WS_VISIBLE | ES_MULTILINE, 0, 0, 200, 100,
                            host_, nullptr, nullptr, nullptr);
    g_callbacksDeleted = 0;
  }
  void TearDown() override {
    ResetWindowsForTest();
    unsetenv("ORN_REGISTRY_DIR");
    std::filesystem::remove_all(regDir_);
  }
  CHARRANGE Sel() {
    CHARRANGE r;
    SendMessageW(edit_, EM_EXGETSEL, 0, reinterpret_cast<LPARAM>(&r));
    return r;
  }
  LRESULT Length() { return SendMessageW(edit_, WM_GETTEXTLENGTH, 0, 0); }

  orn_test::ScratchDir scratch_{"redoc"};
  std::filesystem::path regDir_;
  HWND host_ = nullptr, edit_ = nullptr;
};

TEST_F(DocTest, InitializeBindsTheControl) {
  REUtil::LoadREText(edit_, "old text");
  WNDPROC classProc = LongToProc(GetWindowLongPtrW(edit_, GWLP_WNDPROC));
  auto* doc = new CRichEditDoc;
  EXPECT_EQ(doc->Control(), nullptr);
  ASSERT_TRUE(doc->Initialize(edit_));
  EXPECT_EQ(Length(), 0);
  auto* cb = dynamic_cast<CBasicReOleCallback*>(doc->Callback());
  ASSERT_NE(cb, nullptr);
  EXPECT_EQ(cb->RefCount(), 2);  // the document's and the control's
  ASSERT_NE(doc->RichEditOle(), nullptr);
  RichEditInspection in;
  InspectRichEdit(edit_, &in);
  EXPECT_EQ(in.hostApp, "ORN");
  EXPECT_EQ(in.hostObject, "Untitled");
  EXPECT_EQ(in.callback, doc->Callback());
  EXPECT_EQ(LongToProc(GetWindowLongPtrW(edit_, GWLP_WNDPROC)), RichEditSubclassProc);
  EXPECT_EQ(HandleToProc(GetPropW(edit_, kOldProcProp)), classProc);
  delete doc;
}

TEST_F(DocTest, CallbackLivesUntilBothReferencesAreGone) {
  for (bool controlFirst : {true, false}) {
    HWND edit = CreateWindowExW(0, RICHEDIT_CLASSW, nullptr, WS_CHILD, 0, 0, 10, 10, host_, nullptr, nullptr, nullptr);
    g_callbacksDeleted = 0;
    auto* cb = new CountedCallback;
    EXPECT_EQ(cb->RefCount(), 0);
    auto* doc = new CRichEditDoc;
    doc->Initialize(edit, cb);
    EXPECT_EQ(cb->RefCount(), 2);
    if (controlFirst) DestroyWindow(edit);
    else delete doc;
    EXPECT_EQ(cb->RefCount(), 1);
    EXPECT_EQ(g_callbacksDeleted, 0);
    if (controlFirst) delete doc;
    else DestroyWindow(edit);
    EXPECT_EQ(g_callbacksDeleted, 1);
  }
}

// A window procedure that records what reaches it below the subclass.
std::vector<UINT> g_reached;
bool g_propAtDestroy = true;
WNDPROC g_procAtDestroy = nullptr;
LRESULT Below(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_DESTROY) {
    g_propAtDestroy = GetPropW(h, kOldProcProp) != nullptr;
    g_procAtDestroy = LongToProc(GetWindowLongPtrW(h, GWLP_WNDPROC));
  }
  if (m >= WM_MOUSEMOVE && m <= WM_MOUSEWHEEL) g_reached.push_back(m);
  return DefWindowProcW(h, m, w, l);
}

TEST_F(DocTest, SubclassSwallowsButtonsOnlyWhileReadOnly) {
  WNDCLASSEXW wc;
  wc.lpfnWndProc = Below;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"Below";
  RegisterClassExW(&wc);
  HWND w = CreateWindowExW(0, L"Below", L"", WS_CHILD | ES_READONLY, 0, 0, 10, 10, host_, nullptr, nullptr, nullptr);
  ASSERT_TRUE(SubclassWithProp(w, RichEditSubclassProc));
  std::vector<UINT> all;
  for (UINT m = WM_MOUSEMOVE; m <= WM_MOUSEWHEEL; ++m) all.push_back(m);
  g_reached.clear();
  for (UINT m : all) SendMessageW(w, m, 0, 0);
  EXPECT_EQ(g_reached, (std::vector<UINT>{WM_MOUSEMOVE, WM_MOUSEWHEEL}));
  SetWindowLongPtrW(w, GWL_STYLE, WS_CHILD);
  g_reached.clear();
  for (UINT m : all) SendMessageW(w, m, 0, 0);
  EXPECT_EQ(g_reached, all);

  g_propAtDestroy = true;
  DestroyWindow(w);
  EXPECT_FALSE(g_propAtDestroy);
  EXPECT_EQ(g_procAtDestroy, Below);
}

TEST_F(DocTest, ReadOnlyControlIgnoresClicksButScrollsAndSelects) {
  CRichEditDoc doc;
  doc.Initialize(edit_);
  SendMessageW(edit_, EM_SETREADONLY, 1, 0);
  REUtil::LoadREText(edit_, "one\ntwo\nthree\nfour\nfive\nsix");
  SendMessageW(edit_, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
  SendMessageW(edit_, WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
  SendMessageW(edit_, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(20, 20));
  EXPECT_EQ(Sel().cpMin, 0);
  EXPECT_EQ(Sel().cpMax, 0);
  SendMessageW(edit_, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<WORD>(-WHEEL_DELTA)), 0);
  EXPECT_EQ(SendMessageW(edit_, EM_GETFIRSTVISIBLELINE, 0, 0), 3);
  SendMessageW(edit_, WM_KEYDOWN, VK_RIGHT, 0);
  SendMessageW(edit_, WM_KEYDOWN, VK_END, 0);
  EXPECT_EQ(Sel().cpMin, 3);  // the end of "one"
}

TEST_F(DocTest, PastedAndDroppedDataIsRefused) {
  CRichEditDoc doc;
  doc.Initialize(edit_);  // left writable: only the callback refuses
  SetClipboardText(L"pasted");
  SendMessageW(edit_, WM_PASTE, 0, 0);
  EXPECT_FALSE(DropTextForTest(edit_, L"dropped"));
  EXPECT_EQ(Length(), 0);
  SendMessageW(edit_, WM_CHAR, 'x', 0);  // typing is not the callback's to refuse
  EXPECT_EQ(Length(), 1);
}

TEST_F(DocTest, DestructorClosesOpenObjectsAndEndsInPlaceActivity) {
  auto* doc = new CRichEditDoc;
  doc->Initialize(edit_);
  REUtil::LoadREText(edit_, "{\\rtf1 {\\object{\\*\\objclass A}{\\*\\objdata 01}}{\\object{\\*\\objclass B}}"
                            "{\\object{\\*\\objclass C}}}");
  IRichEditOle* reo = doc->RichEditOle();
  ASSERT_EQ(reo->GetObjectCount(), 3);
  std::vector<ole::IOleObject*> objects;
  for (LONG i = 0; i < 3; ++i) {
    REOBJECT o;
    ASSERT_EQ(reo->GetObject(i, &o, REO_GETOBJ_POLEOBJ), ole::S_OK);
    objects.push_back(o.poleobj);
  }
  objects[0]->DoVerb(ole::OLEIVERB_OPEN);
  objects[1]->DoVerb(ole::OLEIVERB_INPLACEACTIVATE);
  delete doc;
  const ole::ObjectActivity* open = ole::ActivityOf(objects[0]);
  const ole::ObjectActivity* inPlace = ole::ActivityOf(objects[1]);
  const ole::ObjectActivity* idle = ole::ActivityOf(objects[2]);
  EXPECT_EQ(open->closes, 1);
  EXPECT_EQ(open->lastCloseOption, static_cast<ole::DWORD>(ole::OLECLOSE_NOSAVE));
  EXPECT_FALSE(inPlace->inPlace);
  EXPECT_EQ(inPlace->closes, 0);
  EXPECT_EQ(idle->closes, 0);
  for (auto* o : objects) o->Release();
}

TEST(BasicCallback, AnswersRefuseEverythingButStorageAndInsertion) {
  auto* cb = new CBasicReOleCallback;
  cb->AddRef();
  ole::IDataObject* data = ole::CreateTextDataObject(L"x");
  ole::CLIPFORMAT format = 0;
  DWORD effect = 0;
  HMENU menu = nullptr;
  CHARRANGE range;
  ole::IDataObject* out = data;
  struct Case {
    const char* name;
    ole::HRESULT got, expected;
  };
  std::vector<Case> cases = {
      {"GetInPlaceContext", cb->GetInPlaceContext(nullptr, nullptr, nullptr), ole::E_FAIL},
      {"ShowContainerUI", cb->ShowContainerUI(1), ole::E_FAIL},
      {"QueryInsertObject", cb->QueryInsertObject(nullptr, nullptr, 0), ole::S_OK},
      {"DeleteObject", cb->DeleteObject(nullptr), ole::E_FAIL},
      {"QueryAcceptData", cb->QueryAcceptData(data, &format, RECO_PASTE, 1, nullptr), ole::E_FAIL},
      {"ContextSensitiveHelp", cb->ContextSensitiveHelp(1), ole::E_NOTIMPL},
      {"GetClipboardData", cb->GetClipboardData(&range, RECO_COPY, &out), ole::E_NOTIMPL},
      {"GetDragDropEffect", cb->GetDragDropEffect(0, 0, &effect), ole::E_NOTIMPL},
      {"GetContextMenu", cb->GetContextMenu(0, nullptr, &range, &menu), ole::E_NOTIMPL},
      {"GetNewStorage(null)", cb->GetNewStorage(nullptr), ole::E_INVALIDARG},
  };
  for (const auto& c : cases) EXPECT_EQ(c.got, c.expected) << c.name;
  EXPECT_EQ(out, nullptr);
  data->Release();

  void* self = nullptr;
  EXPECT_EQ(cb->QueryInterface(IID_IRichEditOleCallback, &self), ole::S_OK);
  EXPECT_EQ(self, static_cast<IRichEditOleCallback*>(cb));
  EXPECT_EQ(cb->RefCount(), 2);
  cb->Release();
  EXPECT_EQ(cb->QueryInterface(ole::IID_IStorage, &self), ole::E_NOINTERFACE);
  EXPECT_EQ(self, nullptr);
  EXPECT_EQ(cb->Release(), 0u);
}

TEST(BasicCallback, NewStorageWorksAndTakesItsMemoryWithIt) {
  CBasicReOleCallback* cb = new CBasicReOleCallback;
  cb->AddRef();
  int before = ole::LiveObjectCount();
  ole::IStorage* stg = nullptr;
  ASSERT_EQ(cb->GetNewStorage(&stg), ole::S_OK);
  EXPECT_EQ(ole::LiveObjectCount(), before + 2);  // the storage and its lock bytes, no more
  ole::IStream* s = nullptr;
  ASSERT_EQ(stg->CreateStream(L"CONTENTS", ole::STGM_CREATE | ole::STGM_READWRITE | ole::STGM_SHARE_EXCLUSIVE, 0, 0,
                              &s),
            ole::S_OK);
  EXPECT_EQ(s->Write("abc", 3, nullptr), ole::S_OK);
  s->Release();
  stg->Release();
  EXPECT_EQ(ole::LiveObjectCount(), before);
  cb->Release();
}

}  // namespace
