#include "pkcs11bridge/jni_args.h"

#include <cstring>

namespace brennix {

void CheckJava(JNIEnv* env) {
  if (env->ExceptionCheck()) {
    env->ExceptionClear();
    Raise(CKR_BRIDGE_UNEXPECTED);
  }
}

LocalRef& LocalRef::operator=(LocalRef&& other) noexcept {
  if (this != &other) {
    reset();
    env_ = other.env_;
    ref_ = other.ref_;
    other.ref_ = nullptr;
  }
  return *this;
}

void LocalRef::reset() {
  if (ref_ != nullptr) env_->DeleteLocalRef(ref_);
  ref_ = nullptr;
}

JniString::~JniString() {
  if (chars_ != nullptr) env_->ReleaseStringUTFChars(string_, chars_);
}

const char* JniString::chars() {
  if (chars_ == nullptr && string_ != nullptr) {
    chars_ = env_->GetStringUTFChars(string_, nullptr);
    // Out of memory: the caller treats it like a missing String.
    if (chars_ == nullptr && env_->ExceptionCheck()) env_->ExceptionClear();
  }
  return chars_;
}

jsize JniObjectArray::length() const { return array_ ? env_->GetArrayLength(array_) : 0; }

LocalRef JniObjectArray::get(jsize i) const {
  jobject element = env_->GetObjectArrayElement(array_, i);
  CheckJava(env_);
  return LocalRef(env_, element);
}

void JniObjectArray::set(jsize i, jobject element) const {
  env_->SetObjectArrayElement(array_, i, element);
  CheckJava(env_);
}

jintArray ExactLength(JNIEnv* env, jintArray array, jsize n) {
  Require((array ? env->GetArrayLength(array) : 0) == n);
  return array;
}

jintArray MinLength(JNIEnv* env, jintArray array, jsize n) {
  Require((array ? env->GetArrayLength(array) : 0) >= n);
  return array;
}

UlongArray::UlongArray(JNIEnv* env, jintArray array, bool writeBack) : ints_(env, array) {
  if (array == nullptr) return;
  length_ = ints_.length();
  elements_ = ints_.elements(writeBack);
  if (static_cast<size_t>(length_) <= inline_.size()) {
    data_ = inline_.data();
  } else {
    heap_ = std::make_unique<CK_ULONG[]>(static_cast<size_t>(length_));
    data_ = heap_.get();
  }
  for (jsize i = 0; i < length_; ++i) data_[i] = Widen(elements_[i]);
}

void UlongArray::store() {
  for (jsize i = 0; i < length_; ++i) elements_[i] = Narrow(data_[i]);
}

InBytes::InBytes(JNIEnv* env, jbyteArray array, jint length)
    : array_(env, array), length_(Widen(length)) {
  Require(SliceFits(array_.length(), 0, length));
}

InSlice::InSlice(JNIEnv* env, jbyteArray array, jint offset, jint length)
    : array_(env, array), offset_(offset), length_(Widen(length)) {
  Require(SliceFits(array_.length(), offset, length));
}

CK_BYTE* InSlice::ptr(JniByteArray* shared) {
  jbyte* base = (shared != nullptr && array_.sameObject(*shared)) ? shared->elements(false)
                                                                  : array_.elements(false);
  return base ? reinterpret_cast<CK_BYTE*>(base + offset_) : nullptr;
}

void OutSlice::requireRoom(jint capacity) {
  // A null buffer asks for the length only; the module writes nothing.
  if (!array_.isNull()) Require(SliceFits(array_.length(), offset_, capacity));
}

CK_BYTE* OutSlice::ptr() {
  jbyte* base = array_.elements(true);
  return base ? reinterpret_cast<CK_BYTE*>(base + offset_) : nullptr;
}

InOutData::InOutData(JNIEnv* env, jbyteArray in, jint inOff, jint inLen, jbyteArray out,
                     jint outOff, jintArray outLen)
    : input_(env, in, inOff, inLen), output_(env, out, outOff), outLength_(env, outLen) {
  output_.requireRoom(outLength_.javaValue());
  out_ = output_.ptr();
  in_ = input_.ptr(&output_.array());
}

OutData::OutData(JNIEnv* env, jbyteArray out, jint outOff, jintArray outLen)
    : output_(env, out, outOff), outLength_(env, outLen) {
  output_.requireRoom(outLength_.javaValue());
}

Mechanism::Mechanism(JNIEnv* env, jint type, jbyteArray parameter, jint parameterLen)
    : parameter_(env, parameter, parameterLen) {
  mechanism_.mechanism = Widen(type);
  mechanism_.ulParameterLen = parameter_.length();
  layout_ = MechanismParamLayout(mechanism_.mechanism);
  if (layout_ != nullptr && JavaParamSize(*layout_) != parameter_.length()) layout_ = nullptr;
}

CK_MECHANISM* Mechanism::get() {
  if (layout_ == nullptr) {
    mechanism_.pParameter = parameter_.ptr();
    return &mechanism_;
  }
  WidenParam(*layout_, parameter_.ptr(), widened_.data());
  mechanism_.pParameter = widened_.data();
  mechanism_.ulParameterLen = NativeParamSize(*layout_);
  return &mechanism_;
}

InfoStrings::InfoStrings(JNIEnv* env, jobjectArray array, jsize n) : env_(env), array_(env, array) {
  Require(array_.length() == n);
}

void InfoStrings::writeOne(jsize i, const std::string& field) {
  LocalRef text(env_, env_->NewStringUTF(ToModifiedUtf8(field).c_str()));
  CheckJava(env_);
  if (text.get() == nullptr) Raise(CKR_BRIDGE_UNEXPECTED);
  array_.set(i, text.get());
}

namespace {

LocalRef FindClass(JNIEnv* env, const char* name) {
  LocalRef cls(env, env->FindClass(name));
  CheckJava(env);
  if (cls.get() == nullptr) Raise(CKR_BRIDGE_UNEXPECTED);
  return cls;
}

// True for a non-null object of class `cls` (IsInstanceOf says yes to null).
bool IsA(JNIEnv* env, jobject object, const LocalRef& cls) {
  return object != nullptr && env->IsInstanceOf(object, static_cast<jclass>(cls.get())) == JNI_TRUE;
}

}  // namespace

AttributeTemplate::AttributeTemplate(JNIEnv* env, jobjectArray tmpl, jint count, Use use)
    : env_(env), count_(count) {
  Require(count >= 1 && count <= kMaxCount);
  // Up to 32 value references live at once; more than the default local
  // frame holds.
  if (env->EnsureLocalCapacity(count + 16) != JNI_OK) {
    CheckJava(env);
    Raise(CKR_BRIDGE_UNEXPECTED);
  }
  JniObjectArray parts(env, tmpl);
  Require(parts.length() == (use == Use::kRead ? 3 : 2));

  objectArrayClass_ = FindClass(env, "[Ljava/lang/Object;");
  byteArrayClass_ = FindClass(env, "[B");
  intArrayClass_ = FindClass(env, "[I");

  types_ = parts.get(0);
  Require(IsA(env, types_.get(), intArrayClass_));
  JniIntArray types(env, static_cast<jintArray>(types_.get()));
  Require(types.length() >= count);
  const jint* typeValues = types.elements(false);
  for (jint i = 0; i < count; ++i) attributes_[i].type = Widen(typeValues[i]);
  types.release();

  values_ = parts.get(1);
  Require(values_.get() == nullptr || IsA(env, values_.get(), objectArrayClass_));
  JniObjectArray values(env, static_cast<jobjectArray>(values_.get()));

  if (use == Use::kWrite) {
    Require(values.length() >= count);
    for (jint i = 0; i < count; ++i) takeValue(values, i, false);
    return;
  }

  lengths_ = parts.get(2);
  Require(IsA(env, lengths_.get(), intArrayClass_));
  lengthCells_.emplace(env, MinLength(env, static_cast<jintArray>(lengths_.get()), count), true);
  for (jint i = 0; i < count; ++i) attributes_[i].ulValueLen = (*lengthCells_)[i];
  // Fewer buffers than entries: every pValue stays null and the module
  // reports the lengths only.
  if (values.length() < count) return;
  for (jint i = 0; i < count; ++i) takeValue(values, i, true);
}

void AttributeTemplate::takeValue(const JniObjectArray& values, jint i, bool writeBack) {
  valueRefs_[i] = values.get(i);
  jobject value = valueRefs_[i].get();
  Require(value == nullptr || IsA(env_, value, byteArrayClass_));
  JniByteArray& bytes = valueArrays_[i];
  bytes.attach(env_, static_cast<jbyteArray>(value));
  CK_ATTRIBUTE& a = attributes_[i];
  if (writeBack) {
    // The caller's buffer size is what the module may fill.
    Require(bytes.isNull() || SliceFits(bytes.length(), 0, Narrow(a.ulValueLen)));
    CK_ULONG n = bytes.isNull() ? 0 : JavaUlongCount(a.type, a.ulValueLen);
    if (n > 0) {
      useUlongCells(i, n);
      return;
    }
  } else {
    a.ulValueLen = Widen(bytes.length());
    if (CK_ULONG n = JavaUlongCount(a.type, a.ulValueLen); n > 0) {
      CK_ULONG* cells = useUlongCells(i, n);
      const jbyte* java = bytes.elements(false);
      for (CK_ULONG k = 0; k < n; ++k) cells[k] = ReadJavaUlong(java + k * kJavaUlongSize);
      return;
    }
  }
  a.pValue = bytes.elements(writeBack);
}

CK_ULONG* AttributeTemplate::useUlongCells(jint i, CK_ULONG n) {
  UlongCells& cells = cells_[i];
  cells.count = n;
  if (n > 1) cells.many.assign(n, 0);
  attributes_[i].pValue = cells.data();
  attributes_[i].ulValueLen = n * sizeof(CK_ULONG);
  return cells.data();
}

void AttributeTemplate::readBack(CK_RV rc) {
  if (!lengthCells_) return;
  for (jint i = 0; i < count_; ++i) {
    CK_ATTRIBUTE& a = attributes_[i];
    UlongCells& cells = cells_[i];
    // What the module wrote into the cells (as many as it reports, never
    // more than there are) goes into the Java buffer as 4 bytes each.
    if (cells.count > 0 && a.ulValueLen != CK_UNAVAILABLE_INFORMATION &&
        a.ulValueLen % sizeof(CK_ULONG) == 0 && a.ulValueLen / sizeof(CK_ULONG) <= cells.count) {
      jbyte* java = valueArrays_[i].elements(true);
      for (CK_ULONG k = 0; k < a.ulValueLen / sizeof(CK_ULONG); ++k) {
        WriteJavaUlong(java + k * kJavaUlongSize, cells.data()[k]);
      }
    }
    // Length queries of such values, and what the module wrote: the Java
    // side sees 4 bytes per CK_ULONG.
    if (cells.count > 0 || a.pValue == nullptr) a.ulValueLen = JavaValueLength(a.type, a.ulValueLen);
  }
  if (rc != CKR_OK) return;
  for (jint i = 0; i < count_; ++i) (*lengthCells_)[i] = attributes_[i].ulValueLen;
  lengthCells_->store();
}

}  // namespace brennix
