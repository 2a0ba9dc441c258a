#pragma once
// The conversion between the Java arguments of a native method and the
// PKCS#11 structures the module sees. Every wrapper lives on the stack of one
// native method and gives back what it took from the virtual machine when it
// ends, on every path; releases run in the reverse order of declaration.
//
// Every length, offset and count that comes from Java is checked against the
// array it describes before the module can see a pointer into that array
// (CKR_BRIDGE_BAD_ARGUMENT otherwise), because the module would read or
// write outside the Java heap object.

#include <jni.h>

#include <array>
#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pkcs11bridge/bridge_codes.h"
#include "pkcs11bridge/ck_values.h"

namespace brennix {

// When a Java exception is pending, clears it and raises
// CKR_BRIDGE_UNEXPECTED, so that no exception ever reaches the Java caller.
void CheckJava(JNIEnv* env);

// A local reference deleted when the wrapper ends (null is allowed).
class LocalRef {
 public:
  LocalRef() = default;
  LocalRef(JNIEnv* env, jobject ref) : env_(env), ref_(ref) {}
  LocalRef(LocalRef&& other) noexcept : env_(other.env_), ref_(other.ref_) { other.ref_ = nullptr; }
  LocalRef& operator=(LocalRef&& other) noexcept;
  LocalRef(const LocalRef&) = delete;
  LocalRef& operator=(const LocalRef&) = delete;
  ~LocalRef() { reset(); }
  jobject get() const { return ref_; }
  void reset();

 private:
  JNIEnv* env_ = nullptr;
  jobject ref_ = nullptr;
};

// A Java String's characters in modified UTF-8, fetched on first use.
class JniString {
 public:
  JniString(JNIEnv* env, jstring string) : env_(env), string_(string) {}
  JniString(const JniString&) = delete;
  JniString& operator=(const JniString&) = delete;
  ~JniString();
  // Null for a null String and when the virtual machine cannot give them.
  const char* chars();

 private:
  JNIEnv* env_;
  jstring string_;
  const char* chars_ = nullptr;
};

// An Object[]; pins nothing.
class JniObjectArray {
 public:
  JniObjectArray(JNIEnv* env, jobjectArray array) : env_(env), array_(array) {}
  jsize length() const;  // 0 for a null array
  // Element i (0 <= i < length()) as a local reference of the caller's.
  LocalRef get(jsize i) const;
  void set(jsize i, jobject element) const;

 private:
  JNIEnv* env_;
  jobjectArray array_;
};

// A Java primitive array whose elements are pinned on first use and
// released when the wrapper ends: copied back (mode 0) when any use asked
// for write-back, else freed without copying (JNI_ABORT).
template <class Array, class Element, Element* (JNIEnv::*Get)(Array, jboolean*),
          void (JNIEnv::*Release)(Array, Element*, jint)>
class JniPrimitiveArray {
 public:
  JniPrimitiveArray() = default;
  JniPrimitiveArray(JNIEnv* env, Array array) : env_(env), array_(array) {}
  JniPrimitiveArray(const JniPrimitiveArray&) = delete;
  JniPrimitiveArray& operator=(const JniPrimitiveArray&) = delete;
  ~JniPrimitiveArray() { release(); }

  bool isNull() const { return array_ == nullptr; }
  jsize length() const { return array_ ? env_->GetArrayLength(array_) : 0; }

  // The elements, fetched once; null for a null array.
  Element* elements(bool writeBack) {
    if (array_ == nullptr) return nullptr;
    writeBack_ = writeBack_ || writeBack;
    if (elements_ == nullptr) {
      elements_ = (env_->*Get)(array_, nullptr);
      if (elements_ == nullptr) {
        CheckJava(env_);
        Raise(CKR_BRIDGE_UNEXPECTED);
      }
    }
    return elements_;
  }

  bool sameObject(const JniPrimitiveArray& other) const {
    return env_->IsSameObject(array_, other.array_) == JNI_TRUE;
  }

  // Releases what the wrapper holds, then takes `array`.
  void attach(JNIEnv* env, Array array) {
    release();
    env_ = env;
    array_ = array;
  }

  void release() {
    if (elements_ != nullptr) {
      (env_->*Release)(array_, elements_, writeBack_ ? 0 : JNI_ABORT);
      elements_ = nullptr;
    }
    writeBack_ = false;
  }

 private:
  JNIEnv* env_ = nullptr;
  Array array_ = nullptr;
  Element* elements_ = nullptr;
  bool writeBack_ = false;
};

using JniIntArray = JniPrimitiveArray<jintArray, jint, &JNIEnv::GetIntArrayElements,
                                      &JNIEnv::ReleaseIntArrayElements>;
using JniByteArray = JniPrimitiveArray<jbyteArray, jbyte, &JNIEnv::GetByteArrayElements,
                                       &JNIEnv::ReleaseByteArrayElements>;

// Raises CKR_BRIDGE_BAD_ARGUMENT unless `array` has exactly (at least)
// `n` elements; a null array has none. Returns `array`.
jintArray ExactLength(JNIEnv* env, jintArray array, jsize n);
jintArray MinLength(JNIEnv* env, jintArray array, jsize n);

// A CK_ULONG copy of a Java int[], sized by the Java array: the module
// never gets a jint*. Widened when made; store() narrows it back into the
// pinned elements, which reach the Java array when the wrapper ends if it
// was made for write-back.
class UlongArray {
 public:
  UlongArray(JNIEnv* env, jintArray array, bool writeBack);
  UlongArray(const UlongArray&) = delete;
  UlongArray& operator=(const UlongArray&) = delete;

  bool isNull() const { return data_ == nullptr; }
  jsize length() const { return length_; }
  CK_ULONG* data() { return data_; }  // null for a null array
  CK_ULONG& operator[](jsize i) { return data_[i]; }
  void store();

 private:
  JniIntArray ints_;
  jint* elements_ = nullptr;
  jsize length_ = 0;
  CK_ULONG* data_ = nullptr;
  std::array<CK_ULONG, 32> inline_{};
  std::unique_ptr<CK_ULONG[]> heap_;
};

// An int[] the module writes (`OutIntArray`; null for a size query): written
// back when the call ends, whatever the module answered.
class OutIntArray {
 public:
  OutIntArray(JNIEnv* env, jintArray array) : ulongs_(env, array, true) {}
  ~OutIntArray() { ulongs_.store(); }
  bool isNull() const { return ulongs_.isNull(); }
  jsize length() const { return ulongs_.length(); }
  CK_ULONG* ptr() { return ulongs_.data(); }
  CK_ULONG& operator[](jsize i) { return ulongs_[i]; }

 private:
  UlongArray ulongs_;
};

// An int[] of exactly one element (`OutCell`), passed as CK_ULONG* to it.
class OutCell : public OutIntArray {
 public:
  OutCell(JNIEnv* env, jintArray array) : OutIntArray(env, ExactLength(env, array, 1)) {}
  // Element 0 as the caller gave it.
  jint javaValue() { return Narrow((*this)[0]); }
};

// Input bytes with a length from Java (`InBytes`), not written back; the
// length must fit the array (0 for a null array).
class InBytes {
 public:
  InBytes(JNIEnv* env, jbyteArray array, jint length);
  CK_BYTE* ptr() { return reinterpret_cast<CK_BYTE*>(array_.elements(false)); }
  CK_ULONG length() const { return length_; }

 private:
  JniByteArray array_;
  CK_ULONG length_;
};

// An input slice of a byte[] (`DataSlice`): `length` bytes from `offset`,
// inside the array (a null array takes offset 0 and length 0 only).
class InSlice {
 public:
  InSlice(JNIEnv* env, jbyteArray array, jint offset, jint length);
  // The module's pointer, null for a null array. When `shared` is the same
  // Java array, its elements are used, so that one buffer is pinned once.
  CK_BYTE* ptr(JniByteArray* shared = nullptr);
  CK_ULONG length() const { return length_; }
  JniByteArray& array() { return array_; }

 private:
  JniByteArray array_;
  jint offset_;
  CK_ULONG length_;
};

// An output slice of a byte[] from `offset`, written back whatever the
// module answers; a null array is a length query.
class OutSlice {
 public:
  OutSlice(JNIEnv* env, jbyteArray array, jint offset) : array_(env, array), offset_(offset) {}
  // The caller's buffer size must fit the array after the offset.
  void requireRoom(jint capacity);
  CK_BYTE* ptr();
  JniByteArray& array() { return array_; }

 private:
  JniByteArray array_;
  jint offset_;
};

// The data pattern of encrypt, decrypt, digest, sign ...: an input slice, an
// output slice whose size the caller passes in outLen[0], and outLen, which
// receives the length produced. The output is pinned first; when in and out
// are the same array the module works in place.
class InOutData {
 public:
  InOutData(JNIEnv* env, jbyteArray in, jint inOff, jint inLen, jbyteArray out, jint outOff,
            jintArray outLen);
  CK_BYTE* in() { return in_; }
  CK_ULONG inLength() const { return input_.length(); }
  CK_BYTE* out() { return out_; }
  CK_ULONG* outLength() { return outLength_.ptr(); }

 private:
  // Released as outLen, out, in.
  InSlice input_;
  OutSlice output_;
  OutCell outLength_;
  CK_BYTE* in_ = nullptr;
  CK_BYTE* out_ = nullptr;
};

// The output pattern of the ...Final calls: out from outOff, outLen[0] its
// size in and the produced length out.
class OutData {
 public:
  OutData(JNIEnv* env, jbyteArray out, jint outOff, jintArray outLen);
  CK_BYTE* out() { return output_.ptr(); }
  CK_ULONG* outLength() { return outLength_.ptr(); }

 private:
  OutSlice output_;
  OutCell outLength_;
};

// `MechanismArgs`: a CK_MECHANISM whose parameter is a byte[] with a length.
// A parameter whose structure holds only CK_ULONG fields and bytes
// (MechanismParamLayout) comes in the Java view, 4 bytes per CK_ULONG: one
// of exactly that length is widened into the module's structure. Any other
// parameter, or length, passes through unchanged.
class Mechanism {
 public:
  Mechanism(JNIEnv* env, jint type, jbyteArray parameter, jint parameterLen);
  CK_MECHANISM* get();

 private:
  InBytes parameter_;
  const ParamLayout* layout_ = nullptr;  // set when the parameter is widened
  CK_MECHANISM mechanism_{};
  alignas(CK_ULONG) std::array<uint8_t, kMaxNativeParamSize> widened_{};
};

// `InfoStrings`: a String[] of a fixed length that receives the fields of an
// information record (only when the module returned 0).
class InfoStrings {
 public:
  InfoStrings(JNIEnv* env, jobjectArray array, jsize n);
  template <size_t N>
  void write(const std::array<std::string, N>& fields) {
    for (size_t i = 0; i < N; ++i) writeOne(static_cast<jsize>(i), fields[i]);
  }

 private:
  void writeOne(jsize i, const std::string& field);
  JNIEnv* env_;
  JniObjectArray array_;
};

// `InfoInts`: an int[] of a fixed length that carries the CK_ULONG fields of
// a record in their order, written back whatever the module answered.
class InfoInts : public OutIntArray {
 public:
  InfoInts(JNIEnv* env, jintArray array, jsize n) : OutIntArray(env, ExactLength(env, array, n)) {}
};

// `AttributeTemplate`: {int[] types, Object[] values} for writing, plus
// int[] lengths for reading, with `count` entries (1..32). Writing passes
// each value's bytes and length; reading passes the caller's buffer sizes
// and buffers (written back), or no buffers at all when the values array has
// fewer than `count` entries (a length query).
//
// The Java side carries a CK_ULONG-typed value (IsUlongAttribute) as 4
// bytes and a CK_ULONG array (IsUlongArrayAttribute) as 4 bytes per
// element (JavaUlongCount): such a value is widened into CK_ULONGs of the
// module's size when written, a buffer of such a size is read as CK_ULONGs
// and narrowed into it, and a length of CK_ULONGs is reported as 4 bytes
// each. A value of any other length passes through unchanged.
class AttributeTemplate {
 public:
  static constexpr jint kMaxCount = 32;
  enum class Use { kWrite, kRead };

  AttributeTemplate(JNIEnv* env, jobjectArray tmpl, jint count, Use use);
  CK_ATTRIBUTE* data() { return attributes_.data(); }
  CK_ULONG count() const { return static_cast<CK_ULONG>(count_); }
  // Reading, after the module's call: the narrowed values go into their Java
  // buffers whatever `rc` is; the lengths the module reported go into the
  // lengths array only when `rc` is CKR_OK.
  void readBack(CK_RV rc);

 private:
  // Takes values[i] (null or a byte[]) and points entry i at its bytes.
  void takeValue(const JniObjectArray& values, jint i, bool writeBack);
  // Points entry i at `n` CK_ULONG cells of its own instead of the Java bytes.
  CK_ULONG* useUlongCells(jint i, CK_ULONG n);

  // The widened value of one entry: one cell on the stack, more (a
  // CK_ULONG array) on the heap.
  struct UlongCells {
    CK_ULONG count = 0;  // 0: the entry points at the Java bytes
    CK_ULONG one = 0;
    std::vector<CK_ULONG> many;
    CK_ULONG* data() { return count > 1 ? many.data() : &one; }
  };

  JNIEnv* env_;
  jint count_;
  // Declared before what is pinned through them, so they outlive it.
  LocalRef objectArrayClass_, byteArrayClass_, intArrayClass_;
  LocalRef types_, values_, lengths_;
  std::array<LocalRef, kMaxCount> valueRefs_;
  std::optional<UlongArray> lengthCells_;
  std::array<JniByteArray, kMaxCount> valueArrays_;
  std::array<CK_ATTRIBUTE, kMaxCount> attributes_{};
  std::array<UlongCells, kMaxCount> cells_{};
};

}  // namespace brennix
