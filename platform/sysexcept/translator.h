#pragma once
// Processor exceptions and their translation into C++ exceptions.
//
// A thread that sets a translator gets every processor fault of its own -
// SIGSEGV, SIGBUS, SIGFPE, SIGILL - handed to that translator as the
// platform's exception code, record and context; the translator is expected
// to throw a C++ exception, which then travels out of the faulting code. For
// that the faulting code must be compiled with -fnon-call-exceptions (and
// unwind tables, the default on x86-64). A fault on a thread without
// translator, a fault inside a translator, a translator that returns, and a
// signal sent by a process all end the process as without a handler.
//
// The signal handler itself only records the fault: it takes no lock and
// allocates nothing. The translator runs after the handler has returned,
// on the faulting thread, as if the faulting instruction had called it, so
// it may allocate and lock - but the faulting code may still hold locks of
// its own until the exception has left it.

#include <cstddef>
#include <cstdint>

namespace sysexc {

// Exception codes with the platform's numbers.
inline constexpr uint32_t kDatatypeMisalignment = 0x80000002;
inline constexpr uint32_t kBreakpoint = 0x80000003;
inline constexpr uint32_t kSingleStep = 0x80000004;
inline constexpr uint32_t kAccessViolation = 0xC0000005;  // info[0]: 0 read, 1 write, 8 execute; info[1]: address
inline constexpr uint32_t kInPageError = 0xC0000006;
inline constexpr uint32_t kIllegalInstruction = 0xC000001D;
inline constexpr uint32_t kArrayBoundsExceeded = 0xC000008C;
inline constexpr uint32_t kFltDenormalOperand = 0xC000008D;
inline constexpr uint32_t kFltDivideByZero = 0xC000008E;
inline constexpr uint32_t kFltInexactResult = 0xC000008F;
inline constexpr uint32_t kFltInvalidOperation = 0xC0000090;
inline constexpr uint32_t kFltOverflow = 0xC0000091;
inline constexpr uint32_t kFltStackCheck = 0xC0000092;
inline constexpr uint32_t kFltUnderflow = 0xC0000093;
inline constexpr uint32_t kIntDivideByZero = 0xC0000094;
inline constexpr uint32_t kIntOverflow = 0xC0000095;
inline constexpr uint32_t kPrivInstruction = 0xC0000096;

// Exception record flags.
inline constexpr uint32_t kNoncontinuable = 1;
inline constexpr uint32_t kUnwinding = 2;
inline constexpr uint32_t kExitUnwind = 4;
inline constexpr uint32_t kStackInvalid = 8;
inline constexpr uint32_t kNestedCall = 16;

inline constexpr uint32_t kMaxParameters = 15;

struct ExceptionRecord {
  uint32_t code = 0;
  uint32_t flags = 0;
  ExceptionRecord* nested = nullptr;
  void* address = nullptr;  // the faulting instruction
  uint32_t numberParameters = 0;
  uintptr_t information[kMaxParameters] = {};
};

// The processor registers a stack walk needs.
struct Context {
  uintptr_t ip = 0;  // instruction pointer
  uintptr_t sp = 0;  // stack pointer
  uintptr_t fp = 0;  // frame pointer
};

struct ExceptionPointers {
  ExceptionRecord* record = nullptr;
  Context* context = nullptr;
};

using Translator = void (*)(uint32_t code, ExceptionPointers* pointers);

// Sets the calling thread's translator (null = none) and returns the one it
// had. The first call in the process installs the signal handlers.
Translator SetTranslator(Translator translator);

// Sets a translator for the life of the object, then restores the previous.
class ScopedTranslator {
 public:
  explicit ScopedTranslator(Translator translator) : previous_(SetTranslator(translator)) {}
  ~ScopedTranslator() { SetTranslator(previous_); }
  ScopedTranslator(const ScopedTranslator&) = delete;
  ScopedTranslator& operator=(const ScopedTranslator&) = delete;

 private:
  Translator previous_;
};

// Whether [p, p+n) lies in the calling thread's stack, which is writable.
// Known for threads that have set a translator; false for others. A stack
// walk uses it to stop at a frame pointer that points elsewhere.
bool InThreadStack(const void* p, size_t n);

}  // namespace sysexc
