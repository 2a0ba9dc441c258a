#pragma once
// Structured storage on memory: lock bytes over global memory, and storages
// (folders of named streams and sub-storages) kept in lock bytes.
//
// A storage works directly on its lock bytes: every change is written
// through at once. The bytes use this stand-in's own layout (a magic,
// then the element tree), not the platform's compound-file sectors; only the
// stand-in reads them back. The operations present are those of the
// platform's interfaces that this system and its tests use, in slot order;
// the rest of the platform's slots are not there.

#include <string>

#include "platform/ole/com.h"

namespace ole {

// Storage modes with the platform's numbers.
inline constexpr DWORD STGM_READ = 0x00000000;
inline constexpr DWORD STGM_WRITE = 0x00000001;
inline constexpr DWORD STGM_READWRITE = 0x00000002;
inline constexpr DWORD STGM_SHARE_DENY_NONE = 0x00000040;
inline constexpr DWORD STGM_SHARE_DENY_READ = 0x00000030;
inline constexpr DWORD STGM_SHARE_DENY_WRITE = 0x00000020;
inline constexpr DWORD STGM_SHARE_EXCLUSIVE = 0x00000010;
inline constexpr DWORD STGM_CREATE = 0x00001000;

inline constexpr HRESULT STG_E_FILENOTFOUND = Hr(0x80030002);
inline constexpr HRESULT STG_E_ACCESSDENIED = Hr(0x80030005);
inline constexpr HRESULT STG_E_INVALIDPOINTER = Hr(0x80030009);
inline constexpr HRESULT STG_E_FILEALREADYEXISTS = Hr(0x80030050);
inline constexpr HRESULT STG_E_INVALIDHEADER = Hr(0x800300FB);
inline constexpr HRESULT STG_E_INVALIDNAME = Hr(0x800300FC);
inline constexpr HRESULT STG_E_INVALIDFLAG = Hr(0x800300FF);
inline constexpr HRESULT STG_E_REVERTED = Hr(0x80030102);

enum StgType : DWORD { STGTY_STORAGE = 1, STGTY_STREAM = 2, STGTY_LOCKBYTES = 3 };
enum StreamSeek : DWORD { STREAM_SEEK_SET = 0, STREAM_SEEK_CUR = 1, STREAM_SEEK_END = 2 };

struct STATSTG {
  std::wstring name;
  DWORD type = 0;
  uint64_t size = 0;  // bytes of a stream or lock bytes
  DWORD mode = 0;
  CLSID clsid;
};

class ILockBytes : public IUnknown {
 public:
  virtual HRESULT ReadAt(uint64_t offset, void* buffer, ULONG bytes, ULONG* read) = 0;
  virtual HRESULT WriteAt(uint64_t offset, const void* buffer, ULONG bytes, ULONG* written) = 0;
  virtual HRESULT Flush() = 0;
  virtual HRESULT SetSize(uint64_t size) = 0;
  virtual HRESULT Stat(STATSTG* out, DWORD flags) = 0;

 protected:
  ~ILockBytes() = default;
};

class IStream : public IUnknown {
 public:
  virtual HRESULT Read(void* buffer, ULONG bytes, ULONG* read) = 0;
  virtual HRESULT Write(const void* buffer, ULONG bytes, ULONG* written) = 0;
  virtual HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) = 0;
  virtual HRESULT SetSize(uint64_t size) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT Stat(STATSTG* out, DWORD flags) = 0;

 protected:
  ~IStream() = default;
};

// Element names: 1 to 31 characters, none of "\ / : !".
class IStorage : public IUnknown {
 public:
  virtual HRESULT CreateStream(const wchar_t* name, DWORD mode, DWORD reserved1, DWORD reserved2,
                               IStream** out) = 0;
  virtual HRESULT OpenStream(const wchar_t* name, void* reserved1, DWORD mode, DWORD reserved2, IStream** out) = 0;
  virtual HRESULT CreateStorage(const wchar_t* name, DWORD mode, DWORD reserved1, DWORD reserved2,
                                IStorage** out) = 0;
  virtual HRESULT OpenStorage(const wchar_t* name, IStorage* priority, DWORD mode, void* exclude,
                              DWORD reserved, IStorage** out) = 0;
  virtual HRESULT Commit(DWORD flags) = 0;
  virtual HRESULT DestroyElement(const wchar_t* name) = 0;
  virtual HRESULT SetClass(REFCLSID clsid) = 0;
  virtual HRESULT Stat(STATSTG* out, DWORD flags) = 0;

 protected:
  ~IStorage() = default;
};

// Lock bytes over `mem`, or over a new growable block when it is null; with
// `deleteOnRelease` the block is freed with the lock bytes.
HRESULT CreateILockBytesOnHGlobal(HGLOBAL mem, BOOL deleteOnRelease, ILockBytes** out);
HRESULT GetHGlobalFromILockBytes(ILockBytes* bytes, HGLOBAL* out);

// A new root storage in `bytes`. The mode needs write access and
// STGM_SHARE_EXCLUSIVE; without STGM_CREATE, lock bytes that hold data give
// STG_E_FILEALREADYEXISTS. The storage holds its own reference on `bytes`.
HRESULT StgCreateDocfileOnILockBytes(ILockBytes* bytes, DWORD mode, DWORD reserved, IStorage** out);
// Opens the root storage that `bytes` holds (STG_E_INVALIDHEADER when they
// hold none).
HRESULT StgOpenStorageOnILockBytes(ILockBytes* bytes, IStorage* priority, DWORD mode, void* exclude,
                                   DWORD reserved, IStorage** out);

}  // namespace ole
