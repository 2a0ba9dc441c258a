#pragma once
// Conversions between the Java side's values and PKCS#11 values that need no
// Java virtual machine: whole numbers, slices and the text of the
// information records.

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>

#include "pkcs11bridge/cryptoki.h"

namespace brennix {

// Every CK_ULONG travels as a Java int. Widening zero-extends, so a
// vendor-defined 0x80000000 stays 0x80000000 in a 64-bit CK_ULONG; narrowing
// keeps the low 32 bits, so CK_UNAVAILABLE_INFORMATION arrives as -1.
constexpr CK_ULONG Widen(int32_t v) { return static_cast<uint32_t>(v); }
constexpr int32_t Narrow(CK_ULONG v) {
  return static_cast<int32_t>(static_cast<uint32_t>(v));
}

// Attribute values that PKCS#11 types as one CK_ULONG (an object class, a
// key type, a mechanism, a size in bits or bytes ...): CKA_CLASS,
// CKA_CERTIFICATE_TYPE, CKA_CERTIFICATE_CATEGORY,
// CKA_JAVA_MIDP_SECURITY_DOMAIN, CKA_NAME_HASH_ALGORITHM, CKA_KEY_TYPE,
// CKA_MODULUS_BITS, CKA_PRIME_BITS, CKA_SUB_PRIME_BITS, CKA_VALUE_BITS,
// CKA_VALUE_LEN, CKA_KEY_GEN_MECHANISM, CKA_AUTH_PIN_FLAGS, the OTP format,
// length, interval and requirement attributes, CKA_HW_FEATURE_TYPE, the
// display sizes (CKA_PIXEL_X ... CKA_BITS_PER_PIXEL) and CKA_MECHANISM_TYPE.
// The Java side carries such a value as a 4-byte int in native order.
bool IsUlongAttribute(CK_ATTRIBUTE_TYPE type);
inline constexpr CK_ULONG kJavaUlongSize = 4;

// The CK_ULONG of the 4 bytes at `java` (native order, no alignment asked),
// and back.
inline CK_ULONG ReadJavaUlong(const void* java) {
  int32_t v = 0;
  std::memcpy(&v, java, sizeof v);
  return Widen(v);
}
inline void WriteJavaUlong(void* java, CK_ULONG value) {
  const int32_t v = Narrow(value);
  std::memcpy(java, &v, sizeof v);
}

// Attribute values that PKCS#11 types as an array of CK_ULONG
// (CKA_ALLOWED_MECHANISMS); the Java side carries 4 bytes per element.
bool IsUlongArrayAttribute(CK_ATTRIBUTE_TYPE type);

// How many CK_ULONG a Java value of `javaLength` bytes of attribute `type`
// holds in the Java view: 1 for a 4-byte CK_ULONG attribute, length / 4 for
// a CK_ULONG array whose length is a multiple of 4. 0 when the value is not
// converted (other attributes, other lengths: passed through as they are).
CK_ULONG JavaUlongCount(CK_ATTRIBUTE_TYPE type, CK_ULONG javaLength);

// The Java view's length of a value of attribute `type` that the module
// reports as `nativeLength` bytes: 4 per CK_ULONG of a CK_ULONG attribute
// (one) or array (any number); every other length, and
// CK_UNAVAILABLE_INFORMATION, as it is.
CK_ULONG JavaValueLength(CK_ATTRIBUTE_TYPE type, CK_ULONG nativeLength);

// The structure of a mechanism parameter that holds only CK_ULONG fields
// and bytes. The Java side writes it packed: each CK_ULONG as 4 bytes in
// native order, each byte field as it is, no padding; the module gets the
// structure of its own ABI.
struct ParamLayout {
  static constexpr uint8_t kUlong = 0;
  uint8_t count;                  // fields in use
  std::array<uint8_t, 3> fields;  // kUlong, or a byte field of that many bytes
};

// The layout of `mechanism`'s parameter, or null when its parameter is not
// converted (no parameter, bytes only, or pointers inside: those pass
// through unchanged).
const ParamLayout* MechanismParamLayout(CK_MECHANISM_TYPE mechanism);

constexpr size_t AlignUp(size_t n, size_t to) { return (n + to - 1) / to * to; }

constexpr size_t JavaParamSize(const ParamLayout& layout) {
  size_t size = 0;
  for (uint8_t i = 0; i < layout.count; ++i) {
    size += layout.fields[i] == ParamLayout::kUlong ? kJavaUlongSize : layout.fields[i];
  }
  return size;
}

// CK_ULONG fields aligned as the ABI aligns them, the whole padded to a
// CK_ULONG's alignment (every layout starts with one).
constexpr size_t NativeParamSize(const ParamLayout& layout) {
  size_t size = 0;
  for (uint8_t i = 0; i < layout.count; ++i) {
    size = layout.fields[i] == ParamLayout::kUlong
               ? AlignUp(size, alignof(CK_ULONG)) + sizeof(CK_ULONG)
               : size + layout.fields[i];
  }
  return AlignUp(size, alignof(CK_ULONG));
}

// No layout of the table is larger (checked where the table is).
inline constexpr size_t kMaxNativeParamSize = 32;

// Writes the structure for the Java bytes `java` (JavaParamSize bytes) into
// `native` (NativeParamSize bytes, aligned for a CK_ULONG), padding zeroed.
void WidenParam(const ParamLayout& layout, const uint8_t* java, uint8_t* native);

// True when `length` elements from `offset` lie inside an array of
// `arrayLength` elements (negative offsets and lengths never fit).
constexpr bool SliceFits(int32_t arrayLength, int32_t offset, int32_t length) {
  return offset >= 0 && length >= 0 &&
         static_cast<int64_t>(offset) + length <= arrayLength;
}

// One field of an information record as the Java side reads it.
std::string FormatVersion(const CK_VERSION& v);                   // "%02x%02x": 2.20 -> "0214"
std::string FormatText(const CK_UTF8CHAR* field, size_t width);  // "%.*s": padding blanks kept
std::string FormatFlags(CK_FLAGS flags);                          // "%08x"
std::string FormatCounter(CK_ULONG counter);                      // "%d" of the low 32 bits

// The records' fields in the order of the Java String[].
std::array<std::string, 5> InfoFields(const CK_INFO& info);
std::array<std::string, 5> SlotInfoFields(const CK_SLOT_INFO& info);
std::array<std::string, 18> TokenInfoFields(const CK_TOKEN_INFO& info);

// Makes module text safe for the virtual machine's string constructor, which
// takes modified UTF-8 only: valid UTF-8 is kept (characters beyond the
// basic plane become surrogate pairs), and every byte that does not start a
// valid sequence is read as a Latin-1 character, the usual legacy encoding of
// token labels.
std::string ToModifiedUtf8(std::string_view text);

}  // namespace brennix
