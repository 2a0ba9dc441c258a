#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/ole/com.h"
#include "platform/ole/oleobject.h"
#include "platform/ole/storage.h"

namespace ole {
namespace {

constexpr DWORD kCreate = STGM_CREATE | STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

TEST(Com, InitialisationCountsAndCanBeMadeToFail) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  CoUninitialize();
  EXPECT_TRUE(IsComInitializedForTest());
  CoUninitialize();
  EXPECT_FALSE(IsComInitializedForTest());
  FailCoInitializeForTest(E_OUTOFMEMORY);
  EXPECT_EQ(CoInitialize(nullptr), E_OUTOFMEMORY);
  EXPECT_FALSE(IsComInitializedForTest());
}

TEST(Storage, StreamsAndSubStoragesReadBackFromTheSameBytes) {
  ILockBytes* bytes = nullptr;
  ASSERT_EQ(CreateILockBytesOnHGlobal(nullptr, 1, &bytes), S_OK);
  IStorage* stg = nullptr;
  ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes, kCreate, 0, &stg), S_OK);
  IStorage* sub = nullptr;
  ASSERT_EQ(stg->CreateStorage(L"Object 1", kCreate, 0, 0, &sub), S_OK);
  IStream* s = nullptr;
  ASSERT_EQ(sub->CreateStream(L"CONTENTS", kCreate, 0, 0, &s), S_OK);
  ULONG written = 0;
  ASSERT_EQ(s->Write("abc", 3, &written), S_OK);
  EXPECT_EQ(written, 3u);
  CLSID cls{0x12345678, 1, 2, {1, 2, 3, 4, 5, 6, 7, 8}};
  ASSERT_EQ(sub->SetClass(cls), S_OK);
  s->Release();
  sub->Release();
  stg->Release();

  IStorage* again = nullptr;
  ASSERT_EQ(StgOpenStorageOnILockBytes(bytes, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &again), S_OK);
  ASSERT_EQ(again->OpenStorage(L"Object 1", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &sub), S_OK);
  STATSTG st;
  sub->Stat(&st, 0);
  EXPECT_EQ(st.clsid, cls);
  ASSERT_EQ(sub->OpenStream(L"CONTENTS", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &s), S_OK);
  char buf[8] = {};
  ULONG read = 0;
  s->Read(buf, sizeof buf, &read);
  EXPECT_EQ(std::string(buf, read), "abc");
  EXPECT_EQ(s->Write("x", 1, nullptr), STG_E_ACCESSDENIED);
  IStream* none = nullptr;
  EXPECT_EQ(sub->OpenStream(L"Nope", nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, 0, &none), STG_E_FILENOTFOUND);
  EXPECT_EQ(sub->CreateStream(L"New", kCreate, 0, 0, &none), STG_E_ACCESSDENIED);
  s->Release();
  sub->Release();
  again->Release();
  bytes->Release();
}

TEST(Storage, CreationChecksItsArguments) {
  ILockBytes* bytes = nullptr;
  CreateILockBytesOnHGlobal(nullptr, 1, &bytes);
  IStorage* stg = nullptr;
  struct Case {
    ILockBytes* bytes;
    DWORD mode;
    HRESULT hr;
  };
  std::vector<Case> cases = {
      {nullptr, kCreate, STG_E_INVALIDPOINTER},
      {bytes, STGM_CREATE | STGM_READWRITE | STGM_SHARE_DENY_WRITE, STG_E_INVALIDFLAG},
      {bytes, STGM_CREATE | STGM_READ | STGM_SHARE_EXCLUSIVE, STG_E_INVALIDFLAG},
  };
  for (const auto& c : cases) EXPECT_EQ(StgCreateDocfileOnILockBytes(c.bytes, c.mode, 0, &stg), c.hr) << c.mode;
  ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes, kCreate, 0, &stg), S_OK);
  stg->Release();
  IStorage* second = nullptr;
  EXPECT_EQ(StgCreateDocfileOnILockBytes(bytes, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, &second),
            STG_E_FILEALREADYEXISTS);
  ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes, kCreate, 0, &second), S_OK);
  IStream* s = nullptr;
  EXPECT_EQ(second->CreateStream(L"a:b", kCreate, 0, 0, &s), STG_E_INVALIDNAME);
  EXPECT_EQ(second->CreateStream(L"ok", STGM_CREATE | STGM_READWRITE, 0, 0, &s), STG_E_INVALIDFLAG);
  ASSERT_EQ(second->CreateStream(L"ok", kCreate, 0, 0, &s), S_OK);
  s->Release();
  EXPECT_EQ(second->CreateStream(L"ok", STGM_READWRITE | STGM_SHARE_EXCLUSIVE, 0, 0, &s), STG_E_FILEALREADYEXISTS);
  second->Release();
  bytes->Release();
}

TEST(Storage, MemoryLivesAsLongAsTheStorageThatHoldsIt) {
  int before = LiveObjectCount();
  ILockBytes* bytes = nullptr;
  CreateILockBytesOnHGlobal(nullptr, 1, &bytes);
  HGLOBAL mem = nullptr;
  GetHGlobalFromILockBytes(bytes, &mem);
  IStorage* stg = nullptr;
  ASSERT_EQ(StgCreateDocfileOnILockBytes(bytes, kCreate, 0, &stg), S_OK);
  bytes->Release();  // the storage keeps the bytes
  EXPECT_GT(GlobalSize(mem), 0u);
  IStream* s = nullptr;
  stg->CreateStream(L"CONTENTS", kCreate, 0, 0, &s);
  stg->Release();
  EXPECT_EQ(GlobalSize(mem), 0u);  // freed with the lock bytes
  EXPECT_EQ(s->Write("x", 1, nullptr), STG_E_REVERTED);
  s->Release();
  EXPECT_EQ(LiveObjectCount(), before);
}

TEST(Storage, DamagedBytesAreRefused) {
  struct Case {
    std::vector<uint8_t> bytes;
  };
  std::vector<uint8_t> good;
  {
    ILockBytes* lb = nullptr;
    CreateILockBytesOnHGlobal(nullptr, 1, &lb);
    IStorage* stg = nullptr;
    StgCreateDocfileOnILockBytes(lb, kCreate, 0, &stg);
    IStream* s = nullptr;
    stg->CreateStream(L"CONTENTS", kCreate, 0, 0, &s);
    s->Write("abcd", 4, nullptr);
    s->Release();
    STATSTG st;
    lb->Stat(&st, 0);
    good.resize(st.size);
    lb->ReadAt(0, good.data(), static_cast<ULONG>(good.size()), nullptr);
    stg->Release();
    lb->Release();
  }
  std::vector<uint8_t> cut(good.begin(), good.end() - 2);
  std::vector<uint8_t> huge = good;
  huge[huge.size() - 8] = 0xFF;  // the stream's length, far beyond the bytes
  std::vector<uint8_t> other = {'n', 'o', 't', ' ', 'o', 'u', 'r', 's', 0};
  for (const auto& bad : {cut, huge, other, std::vector<uint8_t>{}}) {
    ILockBytes* lb = nullptr;
    CreateILockBytesOnHGlobal(nullptr, 1, &lb);
    if (!bad.empty()) lb->WriteAt(0, bad.data(), static_cast<ULONG>(bad.size()), nullptr);
    IStorage* stg = nullptr;
    EXPECT_EQ(StgOpenStorageOnILockBytes(lb, nullptr, STGM_READ | STGM_SHARE_EXCLUSIVE, nullptr, 0, &stg),
              STG_E_INVALIDHEADER);
    EXPECT_EQ(stg, nullptr);
    lb->Release();
  }
}

TEST(Objects, EmbeddedObjectRecordsActivationAndClose) {
  IOleObject* obj = CreateEmbeddedObject(GUID_NULL, nullptr);
  const ObjectActivity* a = ActivityOf(obj);
  ASSERT_NE(a, nullptr);
  obj->DoVerb(OLEIVERB_OPEN);
  obj->DoVerb(OLEIVERB_INPLACEACTIVATE);
  EXPECT_TRUE(a->open && a->inPlace);
  EXPECT_TRUE(DeactivateInPlace(obj));
  EXPECT_FALSE(a->inPlace);
  EXPECT_EQ(obj->Close(OLECLOSE_NOSAVE), S_OK);
  EXPECT_EQ(a->closes, 1);
  EXPECT_EQ(a->lastCloseOption, static_cast<DWORD>(OLECLOSE_NOSAVE));
  EXPECT_FALSE(a->open);
  obj->Release();
}

TEST(Objects, TextDataObjectHandsOutUnicodeTextOnly) {
  IDataObject* data = CreateTextDataObject(L"Grüße");
  FORMATETC f;
  f.cfFormat = CF_TEXT;
  STGMEDIUM m;
  EXPECT_EQ(data->GetData(&f, &m), DV_E_FORMATETC);
  f.cfFormat = CF_UNICODETEXT;
  ASSERT_EQ(data->GetData(&f, &m), S_OK);
  EXPECT_EQ(std::wstring(static_cast<const wchar_t*>(GlobalLock(m.hGlobal))), L"Grüße");
  GlobalUnlock(m.hGlobal);
  HGLOBAL mem = m.hGlobal;
  ReleaseStgMedium(&m);
  EXPECT_EQ(GlobalSize(mem), 0u);
  IUnknown* unk = nullptr;
  EXPECT_EQ(data->QueryInterface(IID_IStorage, reinterpret_cast<void**>(&unk)), E_NOINTERFACE);
  EXPECT_EQ(unk, nullptr);
  data->Release();
}

}  // namespace
}  // namespace ole
