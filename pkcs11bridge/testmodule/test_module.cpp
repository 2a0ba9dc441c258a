// A PKCS#11 module for the bridge's tests, for what a real token does not
// have: the card extensions (each echoes what it was given), functions that
// write output before a failing code, a call counter, a call that never
// returns, and faults of loading chosen at build time (ORN_P11TEST_FAULT:
// 1 C_GetFunctionList fails after writing a bogus list pointer, 2
// C_Initialize fails, 3 C_Finalize fails, 4 C_Initialize cannot lock: it
// answers CKR_CANT_LOCK when asked for OS locking).
//
// Only a few functions of the list are filled in; the others are null, which
// a caller must survive. Events are appended as lines to the file named by
// ORN_P11TEST_LOG (when set): "C_Initialize" (without arguments) or
// "C_Initialize OS locking", "C_Finalize", "C_CardTransmit", "C_Logout
// holding" and "static destructor" when the library's statics go.
//
// For the tests of finalising while calls are inside, C_Logout can be held
// until the test lets it go or can call back into the test, and a blocking
// C_WaitForSlotEvent can wait until C_Finalize; the OrnP11Test* functions
// at the end steer them.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "pkcs11bridge/cryptoki.h"

#ifndef ORN_P11TEST_FAULT
#define ORN_P11TEST_FAULT 0
#endif

namespace {

std::atomic<bool> g_initialized{false};
std::atomic<unsigned long> g_calls{0};  // every call of the module, this one included
std::atomic<bool> g_holding{false};     // a C_Logout of session 0xB10D is held
std::atomic<bool> g_release{false};
std::atomic<bool> g_waiting{false};     // a blocking C_WaitForSlotEvent waits
CK_RV (*g_callback)() = nullptr;

void Log(const char* event) {
  const char* path = std::getenv("ORN_P11TEST_LOG");
  if (path == nullptr || *path == '\0') return;
  if (FILE* f = std::fopen(path, "a")) {
    std::fprintf(f, "%s\n", event);
    std::fclose(f);
  }
}

// Shows when the module's static destructors run relative to C_Finalize.
struct Farewell {
  ~Farewell() { Log("static destructor"); }
} g_farewell;

CK_RV Initialize(void* args) {
  ++g_calls;
  auto* init = static_cast<CK_C_INITIALIZE_ARGS*>(args);
  bool osLocking = init != nullptr && (init->flags & CKF_OS_LOCKING_OK) != 0;
  Log(osLocking ? "C_Initialize OS locking" : "C_Initialize");
  if (ORN_P11TEST_FAULT == 4 && osLocking) return CKR_CANT_LOCK;
  if (ORN_P11TEST_FAULT == 2) return CKR_GENERAL_ERROR;
  if (g_initialized.exchange(true)) return CKR_CRYPTOKI_ALREADY_INITIALIZED;
  return CKR_OK;
}

CK_RV Finalize(void*) {
  ++g_calls;
  Log("C_Finalize");
  if (!g_initialized.exchange(false)) return CKR_CRYPTOKI_NOT_INITIALIZED;
  return ORN_P11TEST_FAULT == 3 ? CKR_DEVICE_ERROR : CKR_OK;
}

// The slot event reports the number of module calls made before this one,
// so a test sees whether a refused call reached the module.
// A blocking wait whose slot cell comes in as 0xB10C waits until
// C_Finalize and answers CKR_CRYPTOKI_NOT_INITIALIZED, as a module must.
CK_RV WaitForSlotEvent(CK_FLAGS flags, CK_SLOT_ID* slot, void*) {
  if ((flags & CKF_DONT_BLOCK) == 0 && *slot == 0xB10C) {
    ++g_calls;
    g_waiting = true;
    while (g_initialized) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_waiting = false;
    return CKR_CRYPTOKI_NOT_INITIALIZED;
  }
  *slot = g_calls++;
  return CKR_OK;
}

// Fills every field, then fails: the caller must not show what was written.
CK_RV GetTokenInfo(CK_SLOT_ID, CK_TOKEN_INFO* info) {
  ++g_calls;
  std::memset(info, 'X', sizeof *info);
  return CKR_TOKEN_NOT_PRESENT;
}

// Echoes the handle as it arrived: slotID its low and state its high 32
// bits (0 unless the handle was sign-extended). Session 0 is filled in as
// well but answered with CKR_SESSION_HANDLE_INVALID.
CK_RV GetSessionInfo(CK_SESSION_HANDLE session, CK_SESSION_INFO* info) {
  ++g_calls;
  info->slotID = session & 0xFFFFFFFFUL;
  info->state = session >> 32;
  info->flags = CKF_SERIAL_SESSION;
  info->ulDeviceError = CK_UNAVAILABLE_INFORMATION;
  return session == 0 ? CKR_SESSION_HANDLE_INVALID : CKR_OK;
}

// The new handle is count * 1000 + the sum of the value lengths; a type
// wider than 32 bits (a sign-extended Java int) is refused.
CK_RV CreateObject(CK_SESSION_HANDLE, CK_ATTRIBUTE* attributes, CK_ULONG count,
                   CK_OBJECT_HANDLE* object) {
  ++g_calls;
  CK_ULONG lengths = 0;
  for (CK_ULONG i = 0; i < count; ++i) {
    if (attributes[i].type > 0xFFFFFFFFUL) return CKR_ATTRIBUTE_TYPE_INVALID;
    if (attributes[i].ulValueLen != 0 && attributes[i].pValue == nullptr) {
      return CKR_ARGUMENTS_BAD;
    }
    lengths += attributes[i].ulValueLen;
  }
  *object = count * 1000 + lengths;
  return CKR_OK;
}

// Every attribute's value is the five bytes "value". CKA_VALUE is
// sensitive: its buffer is still scribbled on, then the call fails.
CK_RV GetAttributeValue(CK_SESSION_HANDLE, CK_OBJECT_HANDLE, CK_ATTRIBUTE* attributes,
                        CK_ULONG count) {
  ++g_calls;
  CK_RV rc = CKR_OK;
  for (CK_ULONG i = 0; i < count; ++i) {
    CK_ATTRIBUTE& a = attributes[i];
    if (a.pValue != nullptr) std::memcpy(a.pValue, "value", a.ulValueLen < 5 ? a.ulValueLen : 5);
    if (a.type == CKA_VALUE) {
      a.ulValueLen = CK_UNAVAILABLE_INFORMATION;
      rc = CKR_ATTRIBUTE_SENSITIVE;
    } else if (a.pValue != nullptr && a.ulValueLen < 5) {
      a.ulValueLen = CK_UNAVAILABLE_INFORMATION;
      if (rc == CKR_OK) rc = CKR_BUFFER_TOO_SMALL;
    } else {
      a.ulValueLen = 5;
    }
  }
  return rc;
}

// "Encrypts" by adding 1 to every byte (so it works in place). A buffer that
// is too small gets what fits and CKR_BUFFER_TOO_SMALL.
CK_RV Encrypt(CK_SESSION_HANDLE, CK_BYTE* in, CK_ULONG inLen, CK_BYTE* out, CK_ULONG* outLen) {
  ++g_calls;
  if (out == nullptr) {
    *outLen = inLen;
    return CKR_OK;
  }
  CK_ULONG n = *outLen < inLen ? *outLen : inLen;
  for (CK_ULONG i = 0; i < n; ++i) out[i] = static_cast<CK_BYTE>(in[i] + 1);
  CK_RV rc = n < inLen ? CKR_BUFFER_TOO_SMALL : CKR_OK;
  *outLen = inLen;
  return rc;
}

// Session 0xB10C never comes back: the thread stays inside the module
// (until the process ends). Session 0xB10D is held until OrnP11TestRelease,
// session 0xCA11 answers what the test's callback answers. Any call ends
// with CKR_CRYPTOKI_NOT_INITIALIZED when C_Finalize ran while it was inside.
CK_RV Logout(CK_SESSION_HANDLE session) {
  ++g_calls;
  if (!g_initialized) return CKR_CRYPTOKI_NOT_INITIALIZED;
  if (session == 0xB10C) {
    Log("C_Logout holding");
    for (;;) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  if (session == 0xB10D) {
    g_holding = true;
    while (!g_release) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    g_holding = false;
    g_release = false;
  }
  if (session == 0xCA11 && g_callback != nullptr) return g_callback();
  return g_initialized ? CKR_OK : CKR_CRYPTOKI_NOT_INITIALIZED;
}

CK_FUNCTION_LIST g_list = [] {
  CK_FUNCTION_LIST list{};
  list.version = {2, 20};
  list.C_Initialize = Initialize;
  list.C_Finalize = Finalize;
  list.C_WaitForSlotEvent = WaitForSlotEvent;
  list.C_GetTokenInfo = GetTokenInfo;
  list.C_GetSessionInfo = GetSessionInfo;
  list.C_CreateObject = CreateObject;
  list.C_GetAttributeValue = GetAttributeValue;
  list.C_Encrypt = Encrypt;
  list.C_Logout = Logout;
  return list;
}();

}  // namespace

extern "C" {

CK_RV C_GetFunctionList(CK_FUNCTION_LIST** list) {
  ++g_calls;
  if (ORN_P11TEST_FAULT == 1) {
    *list = reinterpret_cast<CK_FUNCTION_LIST*>(0x1);
    return CKR_HOST_MEMORY;
  }
  *list = &g_list;
  return CKR_OK;
}

// Answers the slot number when asked for "Reset" with a 256-byte buffer,
// CKR_ARGUMENTS_BAD otherwise.
CK_RV C_CardAttribute(CK_SLOT_ID slot, CK_CHAR* name, CK_BYTE* buffer, CK_ULONG* length) {
  ++g_calls;
  if (name == nullptr || std::strcmp(reinterpret_cast<char*>(name), "Reset") != 0 ||
      buffer == nullptr || length == nullptr || *length != 256) {
    return CKR_ARGUMENTS_BAD;
  }
  std::memset(buffer, 0x3B, *length);
  *length = 2;
  return slot;
}

// The response is the command followed by the status 90 00; a response
// buffer that is too small gets nothing and CKR_BUFFER_TOO_SMALL.
CK_RV C_CardTransmit(CK_SLOT_ID, CK_BYTE* command, CK_ULONG commandLen, CK_BYTE* response,
                     CK_ULONG* responseLen) {
  ++g_calls;
  Log("C_CardTransmit");
  CK_ULONG needed = commandLen + 2;
  if (response == nullptr || *responseLen < needed) {
    *responseLen = needed;
    return response == nullptr ? CKR_OK : CKR_BUFFER_TOO_SMALL;
  }
  std::memmove(response, command, commandLen);
  response[commandLen] = 0x90;
  response[commandLen + 1] = 0x00;
  *responseLen = needed;
  return CKR_OK;
}

// output[i] = input[i] ^ 0x5A for i < c; answers a + b, with bit 30 set when
// input and output are one buffer.
CK_RV C_Register(CK_ULONG a, CK_ULONG b, CK_BYTE* input, CK_BYTE* output, CK_ULONG c) {
  ++g_calls;
  for (CK_ULONG i = 0; i < c; ++i) output[i] = input[i] ^ 0x5A;
  return (a + b) | (input == output ? 0x40000000UL : 0);
}

// Whether a C_Logout of session 0xB10D is held now.
bool OrnP11TestHolding() { return g_holding; }

// Whether a blocking C_WaitForSlotEvent waits for C_Finalize now.
bool OrnP11TestWaiting() { return g_waiting; }

// Lets the held C_Logout return.
void OrnP11TestRelease() { g_release = true; }

// Whether the module is initialised (C_Finalize not called since).
bool OrnP11TestInitialized() { return g_initialized; }

// What a C_Logout of session 0xCA11 calls, on the caller's thread.
void OrnP11TestSetCallback(CK_RV (*callback)()) { g_callback = callback; }

}  // extern "C"
