#pragma once
// The automation value of the ActiveX stand-in: the variant kinds the
// controls exchange with their containers.
//
// Booleans are VARIANT_BOOL (-1 true, 0 false). Interface pointers are held
// with a reference of the variant's own. Handles (global memory, windows) are
// pointer-sized here, where the platform passes them as 32-bit Longs.

#include <cstdint>
#include <string>
#include <utility>

#include "platform/activex/com.h"

namespace ax {

enum class VarType : uint16_t { Empty = 0, I2 = 2, I4 = 3, Bstr = 8, Dispatch = 9, Bool = 11, Unknown = 13, Handle = 20 };

inline constexpr int16_t VARIANT_TRUE = -1;
inline constexpr int16_t VARIANT_FALSE = 0;

class IDispatch;

class Variant {
 public:
  Variant() = default;
  ~Variant() { Clear(); }
  Variant(const Variant& o) { CopyFrom(o); }
  Variant(Variant&& o) noexcept : vt_(o.vt_), num_(o.num_), str_(std::move(o.str_)), unk_(o.unk_) {
    o.vt_ = VarType::Empty;
    o.unk_ = nullptr;
  }
  Variant& operator=(const Variant& o) {
    if (this != &o) {
      Clear();
      CopyFrom(o);
    }
    return *this;
  }
  Variant& operator=(Variant&& o) noexcept {
    if (this != &o) {
      Clear();
      vt_ = o.vt_;
      num_ = o.num_;
      str_ = std::move(o.str_);
      unk_ = o.unk_;
      o.vt_ = VarType::Empty;
      o.unk_ = nullptr;
    }
    return *this;
  }

  static Variant I2(int16_t v) { return Variant(VarType::I2, v); }
  static Variant I4(int32_t v) { return Variant(VarType::I4, v); }
  static Variant Bool(bool v) { return Variant(VarType::Bool, v ? VARIANT_TRUE : VARIANT_FALSE); }
  static Variant Handle(intptr_t v) { return Variant(VarType::Handle, v); }
  static Variant Str(std::u16string v) {
    Variant r(VarType::Bstr, 0);
    r.str_ = std::move(v);
    return r;
  }
  // Takes a reference of its own; a null pointer gives a null object.
  static Variant Unknown(IUnknown* p) { return Iface(VarType::Unknown, p); }
  static Variant Dispatch(IDispatch* p);

  VarType vt() const { return vt_; }
  bool IsEmpty() const { return vt_ == VarType::Empty; }
  // Numeric kinds read as integers; other kinds read as 0.
  int64_t AsInt() const { return IsNumeric() ? num_ : 0; }
  bool IsNumeric() const {
    return vt_ == VarType::I2 || vt_ == VarType::I4 || vt_ == VarType::Bool || vt_ == VarType::Handle;
  }
  const std::u16string& AsStr() const { return str_; }
  IUnknown* AsUnknown() const { return unk_; }

  void Clear() {
    if (unk_) unk_->Release();
    unk_ = nullptr;
    vt_ = VarType::Empty;
    num_ = 0;
    str_.clear();
  }

 private:
  Variant(VarType vt, int64_t n) : vt_(vt), num_(n) {}
  static Variant Iface(VarType vt, IUnknown* p) {
    Variant r(vt, 0);
    r.unk_ = p;
    if (p) p->AddRef();
    return r;
  }
  void CopyFrom(const Variant& o) {
    vt_ = o.vt_;
    num_ = o.num_;
    str_ = o.str_;
    unk_ = o.unk_;
    if (unk_) unk_->AddRef();
  }

  VarType vt_ = VarType::Empty;
  int64_t num_ = 0;
  std::u16string str_;
  IUnknown* unk_ = nullptr;
};

// 8-bit text from a wide string (characters above 255 become "?"), and back.
std::string Narrow(std::u16string_view text);
std::u16string Widen(std::string_view text);

}  // namespace ax
