#pragma once
// The bridge's own result codes and the error object that carries one of
// them out of a native method.

#include <source_location>

#include "pkcs11bridge/cryptoki.h"

// The codes lie above the range that PKCS#11 defines, so they never stand
// for a module result.
inline constexpr CK_RV CKR_BRIDGE_MODULE_MISSING = 0x7fffff00;  // module or entry point missing
inline constexpr CK_RV CKR_BRIDGE_BAD_ARGUMENT = 0x7fffff01;    // a Java argument of the wrong shape
inline constexpr CK_RV CKR_BRIDGE_UNEXPECTED = 0x7fffff02;      // any other failure

// Thrown and caught inside one native method; Java never sees it. `line` is
// the place it was raised, kept for a debugger only.
struct ZojException {
  CK_RV code;
  int line;
};

[[noreturn]] inline void Raise(CK_RV code,
                               std::source_location where = std::source_location::current()) {
  throw ZojException{code, static_cast<int>(where.line())};
}

// Raises CKR_BRIDGE_BAD_ARGUMENT unless `ok`.
inline void Require(bool ok, std::source_location where = std::source_location::current()) {
  if (!ok) Raise(CKR_BRIDGE_BAD_ARGUMENT, where);
}
