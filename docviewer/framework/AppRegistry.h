#pragma once
// CAppReg: one registry key below HKEY_LOCAL_MACHINE "SOFTWARE", opened on
// first use; CRegValIter walks its values.
//
// Failures go through TXError: with the raise flag set it is shown and
// thrown (TXError::Exec mode 0), without it logged as a warning (mode 2) and
// the call answers its failure value. The registry stand-in knows no access
// rights: the masks are kept and passed for the record only.

#include <cstdint>
#include <mutex>
#include <string>

#include "platform/registry/registry.h"

class CAppReg {
 public:
  static constexpr uint32_t kKeyRead = 0x20019;
  static constexpr uint32_t kKeyAllAccess = 0xF003F;

  // Path "SOFTWARE", then "\" and applKey when given, then "\" and subKey
  // when given (at most 256 characters). Does not open the key. With
  // `create` a missing key is created on open.
  CAppReg(const char* applKey, const char* subKey, uint32_t access = kKeyRead, bool create = false);
  virtual ~CAppReg();
  CAppReg(const CAppReg&) = delete;
  CAppReg& operator=(const CAppReg&) = delete;

  // The open key (opened on first use), 0 on failure.
  reg::Key openKey(bool raise, uint32_t access = 0);
  // Closes the key if open; the handle is forgotten in any case.
  void close(bool raise);

  // REG_SZ or REG_EXPAND_SZ (not expanded) as wide text; true when read.
  bool valStr(const char* name, std::u16string* out, bool raise);
  // The DWORD, or `def` when it cannot be read.
  uint32_t valDW(const char* name, uint32_t def, bool raise);
  // REG_BINARY into buffer; bytes read, 0 on failure.
  uint32_t valBin(const char* name, void* buffer, uint32_t size, bool raise);
  // Reads a value of type *type (REG_EXPAND_SZ counts as REG_SZ) into
  // buffer (*size in: its size, out: the data size; buffer null asks for
  // the size). *type receives the stored type. True when read.
  bool getValue(const char* name, void* buffer, uint32_t* size, uint32_t* type, bool raise);

  const std::string& path() const { return m_path; }
  bool isOpen() {
    std::lock_guard<std::recursive_mutex> lock(m_lock);
    return m_key != 0;
  }

 private:
  friend class CRegValIter;

  std::string m_path;
  uint32_t m_access;
  bool m_create;
  // The open handle; opening, closing and every read through it happen
  // under m_lock, so a read never uses a handle another thread closed.
  reg::Key m_key = 0;
  std::recursive_mutex m_lock;
};

// Walks the values of a key by index. An ended walk has index -1; stepping
// or asking on it raises apperr::kEof.
class CRegValIter {
 public:
  CRegValIter(CAppReg& key, int start = 0);

  // Next value; true while the walk has not ended.
  bool operator++();
  // Name of the current value, its type and data size.
  const char* info(uint32_t* type, uint32_t* size) const;
  bool valid() const { return m_index >= 0; }
  int index() const { return m_index; }

 private:
  void read();

  CAppReg& m_key;
  int m_index;
  uint32_t m_type = 0;
  uint32_t m_size = 0;
  std::string m_name;  // at most 64 characters
};
