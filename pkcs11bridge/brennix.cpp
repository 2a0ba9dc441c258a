// The native methods of com.zo.pkcs11.Pkcs11Impl. Each returns the module's
// CK_RV as a Java int, or one of the bridge's codes; none ever raises a Java
// exception. The conversions live in jni_args.h, the module in module.h.

#include <jni.h>

#include <array>
#include <string>

#include "pkcs11bridge/ck_values.h"
#include "pkcs11bridge/jni_args.h"
#include "pkcs11bridge/module.h"
#include "platform/debugout/debugout.h"

namespace brennix {
namespace {

using List = CK_FUNCTION_LIST;

// The frame of every native method: a ZojException gives its code, any
// other failure CKR_BRIDGE_UNEXPECTED, and a Java exception left pending by
// the virtual machine is cleared.
template <class Body>
jint Guard(JNIEnv* env, Body body) noexcept {
  CK_RV rc;
  try {
    rc = body();
  } catch (const ZojException& e) {
    rc = e.code;
  } catch (...) {
    rc = CKR_BRIDGE_UNEXPECTED;
  }
  if (env != nullptr && env->ExceptionCheck()) {
    env->ExceptionClear();
    rc = CKR_BRIDGE_UNEXPECTED;
  }
  return Narrow(rc);
}

// session, input slice, output slice, &outLen[0]
template <class Fn>
jint DataCall(JNIEnv* env, Fn List::*fn, jint session, jbyteArray in, jint inOff, jint inLen,
              jbyteArray out, jint outOff, jintArray outLen) {
  return Guard(env, [&] {
    InOutData data(env, in, inOff, inLen, out, outOff, outLen);
    return ModuleCall(fn, Widen(session), data.in(), data.inLength(), data.out(),
                      data.outLength());
  });
}

// session, output slice, &outLen[0]
template <class Fn>
jint FinalCall(JNIEnv* env, Fn List::*fn, jint session, jbyteArray out, jint outOff,
               jintArray outLen) {
  return Guard(env, [&] {
    OutData data(env, out, outOff, outLen);
    return ModuleCall(fn, Widen(session), data.out(), data.outLength());
  });
}

// session, input slice
template <class Fn>
jint PartCall(JNIEnv* env, Fn List::*fn, jint session, jbyteArray part, jint partOff,
              jint partLen) {
  return Guard(env, [&] {
    InSlice input(env, part, partOff, partLen);
    return ModuleCall(fn, Widen(session), input.ptr(), input.length());
  });
}

// session, &mechanism, key
template <class Fn>
jint KeyInitCall(JNIEnv* env, Fn List::*fn, jint session, jint type, jbyteArray parameter,
                 jint parameterLen, jint key) {
  return Guard(env, [&] {
    Mechanism mechanism(env, type, parameter, parameterLen);
    return ModuleCall(fn, Widen(session), mechanism.get(), Widen(key));
  });
}

// One handle, nothing else.
template <class Fn>
jint HandleCall(JNIEnv* env, Fn List::*fn, jint handle) {
  return Guard(env, [&] { return ModuleCall(fn, Widen(handle)); });
}

// session, object, template of `count` entries
template <class Fn>
jint TemplateCall(JNIEnv* env, Fn List::*fn, jint session, jint object, jobjectArray tmpl,
                  jint count) {
  return Guard(env, [&] {
    AttributeTemplate attributes(env, tmpl, count, AttributeTemplate::Use::kWrite);
    return ModuleCall(fn, Widen(session), Widen(object), attributes.data(), attributes.count());
  });
}

// The card extensions, as the module exports them.
using CardAttributeFn = CK_RV (*)(CK_SLOT_ID, CK_CHAR*, CK_BYTE*, CK_ULONG*);
using CardTransmitFn = CK_RV (*)(CK_SLOT_ID, CK_BYTE*, CK_ULONG, CK_BYTE*, CK_ULONG*);
using RegisterFn = CK_RV (*)(CK_ULONG, CK_ULONG, CK_BYTE*, CK_BYTE*, CK_ULONG);

}  // namespace
}  // namespace brennix

using namespace brennix;

extern "C" {

// ---- module loading

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_initialize(JNIEnv* env, jobject,
    jstring libraryPath) {
  return Guard(env, [&] {
    JniString path(env, libraryPath);
    return LoadModule(path.chars());
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_cFinalize(JNIEnv* env, jobject) {
  return Guard(env, [] { return FinalizeModule(); });
}

// ---- general, slot and token

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_getInfo(JNIEnv* env, jobject,
    jobjectArray info) {
  return Guard(env, [&] {
    InfoStrings out(env, info, 5);
    CK_INFO record{};
    CK_RV rc = ModuleCall(&List::C_GetInfo, &record);
    if (rc == CKR_OK) out.write(InfoFields(record));
    return rc;
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_getSlotList(JNIEnv* env, jobject,
    jboolean tokenPresent, jintArray slots, jintArray count) {
  return Guard(env, [&] {
    OutIntArray list(env, slots);
    OutCell n(env, count);
    if (!list.isNull()) Require(SliceFits(list.length(), 0, n.javaValue()));
    CK_BBOOL present = tokenPresent ? CK_TRUE : CK_FALSE;
    return ModuleCall(&List::C_GetSlotList, present, list.ptr(), n.ptr());
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_getSlotInfo(JNIEnv* env, jobject, jint slot,
    jobjectArray info) {
  return Guard(env, [&] {
    InfoStrings out(env, info, 5);
    CK_SLOT_INFO record{};
    CK_RV rc = ModuleCall(&List::C_GetSlotInfo, Widen(slot), &record);
    if (rc == CKR_OK) out.write(SlotInfoFields(record));
    return rc;
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_getTokenInfo(JNIEnv* env, jobject, jint slot,
    jobjectArray info) {
  return Guard(env, [&] {
    InfoStrings out(env, info, 18);
    CK_TOKEN_INFO record{};
    CK_RV rc = ModuleCall(&List::C_GetTokenInfo, Widen(slot), &record);
    if (rc == CKR_OK) out.write(TokenInfoFields(record));
    return rc;
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_waitForSlotEvent(JNIEnv* env, jobject,
    jint flags, jintArray slot) {
  return Guard(env, [&] {
    OutCell event(env, slot);
    // A blocking wait ends only with an event or with C_Finalize.
    auto kind = (Widen(flags) & CKF_DONT_BLOCK) != 0 ? InsideModule::Kind::kCall
                                                     : InsideModule::Kind::kWaiter;
    return ModuleCall(kind, &List::C_WaitForSlotEvent, Widen(flags), event.ptr(), nullptr);
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_getMechanismList(JNIEnv* env, jobject,
    jint slot, jintArray types, jintArray count) {
  return Guard(env, [&] {
    OutIntArray list(env, types);
    OutCell n(env, count);
    if (!list.isNull()) Require(SliceFits(list.length(), 0, n.javaValue()));
    return ModuleCall(&List::C_GetMechanismList, Widen(slot), list.ptr(), n.ptr());
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_getMechanismInfo(JNIEnv* env, jobject,
    jint slot, jint type, jintArray info) {
  return Guard(env, [&] {
    InfoInts out(env, info, 3);
    CK_MECHANISM_INFO record{out[0], out[1], out[2]};
    CK_RV rc = ModuleCall(&List::C_GetMechanismInfo, Widen(slot), Widen(type), &record);
    out[0] = record.ulMinKeySize;
    out[1] = record.ulMaxKeySize;
    out[2] = record.flags;
    return rc;
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_setPIN(JNIEnv* env, jobject, jint session,
    jbyteArray oldPin, jint oldLen, jbyteArray newPin, jint newLen) {
  return Guard(env, [&] {
    InBytes oldBytes(env, oldPin, oldLen);
    InBytes newBytes(env, newPin, newLen);
    return ModuleCall(&List::C_SetPIN, Widen(session), oldBytes.ptr(), oldBytes.length(),
                      newBytes.ptr(), newBytes.length());
  });
}

// ---- sessions

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_openSession(JNIEnv* env, jobject, jint slot,
    jint flags, jintArray session) {
  return Guard(env, [&] {
    OutCell handle(env, session);
    return ModuleCall(&List::C_OpenSession, Widen(slot), Widen(flags), nullptr, nullptr,
                      handle.ptr());
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_closeSession(JNIEnv* env, jobject,
    jint session) {
  return HandleCall(env, &List::C_CloseSession, session);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_closeAllSessions(JNIEnv* env, jobject,
    jint slot) {
  return HandleCall(env, &List::C_CloseAllSessions, slot);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_getSessionInfo(JNIEnv* env, jobject,
    jint session, jintArray info) {
  return Guard(env, [&] {
    InfoInts out(env, info, 4);
    CK_SESSION_INFO record{out[0], out[1], out[2], out[3]};
    CK_RV rc = ModuleCall(&List::C_GetSessionInfo, Widen(session), &record);
    out[0] = record.slotID;
    out[1] = record.state;
    out[2] = record.flags;
    out[3] = record.ulDeviceError;
    return rc;
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_login(JNIEnv* env, jobject, jint session,
    jint userType, jbyteArray pin, jint pinLen) {
  return Guard(env, [&] {
    InBytes bytes(env, pin, pinLen);
    return ModuleCall(&List::C_Login, Widen(session), Widen(userType), bytes.ptr(),
                      bytes.length());
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_logout(JNIEnv* env, jobject, jint session) {
  return HandleCall(env, &List::C_Logout, session);
}

// ---- objects

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_createObject(JNIEnv* env, jobject,
    jint session, jobjectArray tmpl, jint count, jintArray object) {
  return Guard(env, [&] {
    AttributeTemplate attributes(env, tmpl, count, AttributeTemplate::Use::kWrite);
    OutCell handle(env, object);
    return ModuleCall(&List::C_CreateObject, Widen(session), attributes.data(),
                      attributes.count(), handle.ptr());
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_destroyObject(JNIEnv* env, jobject,
    jint session, jint object) {
  return Guard(env, [&] {
    return ModuleCall(&List::C_DestroyObject, Widen(session), Widen(object));
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_getObjectSize(JNIEnv* env, jobject,
    jint session, jint object, jintArray size) {
  return Guard(env, [&] {
    OutCell bytes(env, size);
    return ModuleCall(&List::C_GetObjectSize, Widen(session), Widen(object), bytes.ptr());
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_getAttributeValue(JNIEnv* env, jobject,
    jint session, jint object, jobjectArray tmpl, jint count) {
  return Guard(env, [&] {
    AttributeTemplate attributes(env, tmpl, count, AttributeTemplate::Use::kRead);
    CK_RV rc = ModuleCall(&List::C_GetAttributeValue, Widen(session), Widen(object),
                          attributes.data(), attributes.count());
    // A failed read (too small, sensitive) reports no lengths.
    attributes.readBack(rc);
    return rc;
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_setAttributeValue(JNIEnv* env, jobject,
    jint session, jint object, jobjectArray tmpl, jint count) {
  return TemplateCall(env, &List::C_SetAttributeValue, session, object, tmpl, count);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_findObjectsInit(JNIEnv* env, jobject,
    jint session, jobjectArray tmpl, jint count) {
  return Guard(env, [&] {
    // Count 0 finds every object; the template is not looked at.
    if (count == 0) return ModuleCall(&List::C_FindObjectsInit, Widen(session), nullptr, 0UL);
    AttributeTemplate attributes(env, tmpl, count, AttributeTemplate::Use::kWrite);
    return ModuleCall(&List::C_FindObjectsInit, Widen(session), attributes.data(),
                      attributes.count());
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_findObjects(JNIEnv* env, jobject, jint session,
    jintArray objects, jint maxCount, jintArray count) {
  return Guard(env, [&] {
    OutIntArray found(env, objects);
    OutCell n(env, count);
    Require(SliceFits(found.length(), 0, maxCount));
    return ModuleCall(&List::C_FindObjects, Widen(session), found.ptr(), Widen(maxCount),
                      n.ptr());
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_findObjectsFinal(JNIEnv* env, jobject,
    jint session) {
  return HandleCall(env, &List::C_FindObjectsFinal, session);
}

// ---- operation set-up

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_encryptInit(JNIEnv* env, jobject, jint session,
    jint type, jbyteArray parameter, jint parameterLen, jint key) {
  return KeyInitCall(env, &List::C_EncryptInit, session, type, parameter, parameterLen, key);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_decryptInit(JNIEnv* env, jobject, jint session,
    jint type, jbyteArray parameter, jint parameterLen, jint key) {
  return KeyInitCall(env, &List::C_DecryptInit, session, type, parameter, parameterLen, key);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_signInit(JNIEnv* env, jobject, jint session,
    jint type, jbyteArray parameter, jint parameterLen, jint key) {
  return KeyInitCall(env, &List::C_SignInit, session, type, parameter, parameterLen, key);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_signRecoverInit(JNIEnv* env, jobject,
    jint session, jint type, jbyteArray parameter, jint parameterLen, jint key) {
  return KeyInitCall(env, &List::C_SignRecoverInit, session, type, parameter, parameterLen, key);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_verifyInit(JNIEnv* env, jobject, jint session,
    jint type, jbyteArray parameter, jint parameterLen, jint key) {
  return KeyInitCall(env, &List::C_VerifyInit, session, type, parameter, parameterLen, key);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_verifyRecoverInit(JNIEnv* env, jobject,
    jint session, jint type, jbyteArray parameter, jint parameterLen, jint key) {
  return KeyInitCall(env, &List::C_VerifyRecoverInit, session, type, parameter, parameterLen,
                     key);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_digestInit(JNIEnv* env, jobject, jint session,
    jint type, jbyteArray parameter, jint parameterLen) {
  return Guard(env, [&] {
    Mechanism mechanism(env, type, parameter, parameterLen);
    return ModuleCall(&List::C_DigestInit, Widen(session), mechanism.get());
  });
}

// ---- single-part and update calls with an output

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_encrypt(JNIEnv* env, jobject, jint session,
    jbyteArray in, jint inOff, jint inLen, jbyteArray out, jint outOff, jintArray outLen) {
  return DataCall(env, &List::C_Encrypt, session, in, inOff, inLen, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_encryptUpdate(JNIEnv* env, jobject,
    jint session, jbyteArray in, jint inOff, jint inLen, jbyteArray out, jint outOff,
    jintArray outLen) {
  return DataCall(env, &List::C_EncryptUpdate, session, in, inOff, inLen, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_decrypt(JNIEnv* env, jobject, jint session,
    jbyteArray in, jint inOff, jint inLen, jbyteArray out, jint outOff, jintArray outLen) {
  return DataCall(env, &List::C_Decrypt, session, in, inOff, inLen, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_decryptUpdate(JNIEnv* env, jobject,
    jint session, jbyteArray in, jint inOff, jint inLen, jbyteArray out, jint outOff,
    jintArray outLen) {
  return DataCall(env, &List::C_DecryptUpdate, session, in, inOff, inLen, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_digest(JNIEnv* env, jobject, jint session,
    jbyteArray in, jint inOff, jint inLen, jbyteArray out, jint outOff, jintArray outLen) {
  return DataCall(env, &List::C_Digest, session, in, inOff, inLen, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_sign(JNIEnv* env, jobject, jint session,
    jbyteArray in, jint inOff, jint inLen, jbyteArray out, jint outOff, jintArray outLen) {
  return DataCall(env, &List::C_Sign, session, in, inOff, inLen, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_signRecover(JNIEnv* env, jobject, jint session,
    jbyteArray in, jint inOff, jint inLen, jbyteArray out, jint outOff, jintArray outLen) {
  return DataCall(env, &List::C_SignRecover, session, in, inOff, inLen, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_verifyRecover(JNIEnv* env, jobject,
    jint session, jbyteArray in, jint inOff, jint inLen, jbyteArray out, jint outOff,
    jintArray outLen) {
  return DataCall(env, &List::C_VerifyRecover, session, in, inOff, inLen, out, outOff, outLen);
}

// ---- final calls

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_encryptFinal(JNIEnv* env, jobject,
    jint session, jbyteArray out, jint outOff, jintArray outLen) {
  return FinalCall(env, &List::C_EncryptFinal, session, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_decryptFinal(JNIEnv* env, jobject,
    jint session, jbyteArray out, jint outOff, jintArray outLen) {
  return FinalCall(env, &List::C_DecryptFinal, session, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_digestFinal(JNIEnv* env, jobject, jint session,
    jbyteArray out, jint outOff, jintArray outLen) {
  return FinalCall(env, &List::C_DigestFinal, session, out, outOff, outLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_signFinal(JNIEnv* env, jobject, jint session,
    jbyteArray out, jint outOff, jintArray outLen) {
  return FinalCall(env, &List::C_SignFinal, session, out, outOff, outLen);
}

// ---- input-only calls

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_digestUpdate(JNIEnv* env, jobject,
    jint session, jbyteArray part, jint partOff, jint partLen) {
  return PartCall(env, &List::C_DigestUpdate, session, part, partOff, partLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_signUpdate(JNIEnv* env, jobject, jint session,
    jbyteArray part, jint partOff, jint partLen) {
  return PartCall(env, &List::C_SignUpdate, session, part, partOff, partLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_verifyUpdate(JNIEnv* env, jobject,
    jint session, jbyteArray part, jint partOff, jint partLen) {
  return PartCall(env, &List::C_VerifyUpdate, session, part, partOff, partLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_verifyFinal(JNIEnv* env, jobject, jint session,
    jbyteArray signature, jint sigOff, jint sigLen) {
  return PartCall(env, &List::C_VerifyFinal, session, signature, sigOff, sigLen);
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_digestKey(JNIEnv* env, jobject, jint session,
    jint key) {
  return Guard(env, [&] { return ModuleCall(&List::C_DigestKey, Widen(session), Widen(key)); });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_verify(JNIEnv* env, jobject, jint session,
    jbyteArray data, jint dataOff, jint dataLen, jbyteArray signature, jint sigOff, jint sigLen) {
  return Guard(env, [&] {
    InSlice input(env, data, dataOff, dataLen);
    InSlice sig(env, signature, sigOff, sigLen);
    // The same array for both is pinned once and shares one pointer.
    CK_BYTE* dataPtr = input.ptr();
    CK_BYTE* sigPtr = sig.ptr(&input.array());
    return ModuleCall(&List::C_Verify, Widen(session), dataPtr, input.length(), sigPtr,
                      sig.length());
  });
}

// ---- card extensions

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_reset(JNIEnv* env, jobject, jint slot) {
  return Guard(env, [&] {
    dbgout::OutputDebugStringA("Call Java_com_zo_pkcs11_Pkcs11Impl_reset");
    // The card's answer to the reset is not passed on.
    char name[] = "Reset";
    std::array<CK_BYTE, 256> answer{};
    CK_ULONG length = answer.size();
    return ExtensionCall<CardAttributeFn>("C_CardAttribute", Widen(slot), reinterpret_cast<CK_CHAR*>(name),
                                          answer.data(), &length);
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_cardTransmit(JNIEnv* env, jobject, jint slot,
    jbyteArray command, jint commandLen, jbyteArray response, jintArray responseLen) {
  return Guard(env, [&] {
    dbgout::OutputDebugStringA("Call Java_com_zo_pkcs11_Pkcs11Impl_cardTransmit");
    InBytes commandBytes(env, command, commandLen);
    OutSlice responseBytes(env, response, 0);
    OutIntArray length(env, MinLength(env, responseLen, 1));
    responseBytes.requireRoom(Narrow(length[0]));

    jsize commandArrayLength = command ? env->GetArrayLength(command) : 0;
    dbgout::OutputDebugStringA("dIn.length() is " + std::to_string(commandArrayLength) + "\n");
    dbgout::OutputDebugStringA("Call C_CardTransmit");
    return ExtensionCall<CardTransmitFn>("C_CardTransmit", Widen(slot), commandBytes.ptr(),
                                         commandBytes.length(), responseBytes.ptr(), &length[0]);
  });
}

JNIEXPORT jint JNICALL Java_com_zo_pkcs11_Pkcs11Impl_register(JNIEnv* env, jobject, jint a, jint b,
    jbyteArray input, jbyteArray output, jint c) {
  return Guard(env, [&] {
    JniByteArray in(env, input);
    JniByteArray out(env, output);
    // The output is pinned first; the same array in and out is one buffer.
    auto* outPtr = reinterpret_cast<CK_BYTE*>(out.elements(true));
    auto* inPtr = in.sameObject(out) ? outPtr : reinterpret_cast<CK_BYTE*>(in.elements(false));
    return ExtensionCall<RegisterFn>("C_Register", Widen(a), Widen(b), inPtr, outPtr, Widen(c));
  });
}

}  // extern "C"
