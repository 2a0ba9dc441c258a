#include "platform/sysexcept/translator.h"

#include <pthread.h>
#include <signal.h>
#include <ucontext.h>

#include <mutex>

namespace sysexc {
namespace {

thread_local Translator t_translator = nullptr;
thread_local bool t_translating = false;
thread_local uintptr_t t_stackLow = 0;
thread_local uintptr_t t_stackHigh = 0;

constexpr int kSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL};

uint32_t CodeOf(int sig, int code) {
  switch (sig) {
    case SIGSEGV: return kAccessViolation;
    case SIGBUS: return code == BUS_ADRALN ? kDatatypeMisalignment : kInPageError;
    case SIGILL: return code == ILL_PRVOPC || code == ILL_PRVREG ? kPrivInstruction : kIllegalInstruction;
    case SIGFPE:
      switch (code) {
        case FPE_INTDIV: return kIntDivideByZero;
        case FPE_INTOVF: return kIntOverflow;
        case FPE_FLTDIV: return kFltDivideByZero;
        case FPE_FLTOVF: return kFltOverflow;
        case FPE_FLTUND: return kFltUnderflow;
        case FPE_FLTRES: return kFltInexactResult;
        case FPE_FLTSUB: return kArrayBoundsExceeded;
        default: return kFltInvalidOperation;
      }
    default: return 0;
  }
}

void FillContext(const void* uc, Context* ctx, uintptr_t* accessKind) {
  *accessKind = 0;
#if defined(__x86_64__)
  const mcontext_t& mc = static_cast<const ucontext_t*>(uc)->uc_mcontext;
  ctx->ip = static_cast<uintptr_t>(mc.gregs[REG_RIP]);
  ctx->sp = static_cast<uintptr_t>(mc.gregs[REG_RSP]);
  ctx->fp = static_cast<uintptr_t>(mc.gregs[REG_RBP]);
  // Page-fault error code: bit 1 write access, bit 4 instruction fetch.
  uintptr_t err = static_cast<uintptr_t>(mc.gregs[REG_ERR]);
  *accessKind = (err & 0x10) ? 8 : (err & 0x2) ? 1 : 0;
#elif defined(__aarch64__)
  const mcontext_t& mc = static_cast<const ucontext_t*>(uc)->uc_mcontext;
  ctx->ip = mc.pc;
  ctx->sp = mc.sp;
  ctx->fp = mc.regs[29];
#else
  (void)uc;
  (void)ctx;
#endif
}

// Ends the process the way the signal would without this handler.
[[noreturn]] void DefaultAction(int sig) {
  ::signal(sig, SIG_DFL);
  ::raise(sig);
  ::abort();
}

struct ClearTranslating {
  ~ClearTranslating() { t_translating = false; }
};

void Handler(int sig, siginfo_t* info, void* uc) {
  Translator translator = t_translator;
  // A fault inside the translator, a thread without one, or a signal that a
  // process sent (not a fault of this thread): no translation.
  if (translator == nullptr || t_translating || info->si_code <= 0) DefaultAction(sig);

  ExceptionRecord record;
  Context context;
  uintptr_t accessKind = 0;
  FillContext(uc, &context, &accessKind);
  record.code = CodeOf(sig, info->si_code);
  record.flags = 0;
  record.address = reinterpret_cast<void*>(context.ip);
  if (record.code == kAccessViolation || record.code == kInPageError) {
    record.numberParameters = 2;
    record.information[0] = accessKind;
    record.information[1] = reinterpret_cast<uintptr_t>(info->si_addr);
  }
  ExceptionPointers pointers{&record, &context};

  // The handler was installed with SA_NODEFER, so the signal is not blocked
  // while the translator's exception leaves through this frame.
  t_translating = true;
  {
    ClearTranslating clear;
    translator(record.code, &pointers);
  }
  DefaultAction(sig);  // the translator did not throw
}

void InstallHandlers() {
  struct sigaction sa {};
  sa.sa_sigaction = &Handler;
  sa.sa_flags = SA_SIGINFO | SA_NODEFER;
  sigemptyset(&sa.sa_mask);
  for (int sig : kSignals) ::sigaction(sig, &sa, nullptr);
}

void NoteStackBounds() {
  if (t_stackHigh != 0) return;
  pthread_attr_t attr;
  if (::pthread_getattr_np(::pthread_self(), &attr) != 0) return;
  void* low = nullptr;
  size_t size = 0;
  if (::pthread_attr_getstack(&attr, &low, &size) == 0) {
    t_stackLow = reinterpret_cast<uintptr_t>(low);
    t_stackHigh = t_stackLow + size;
  }
  ::pthread_attr_destroy(&attr);
}

}  // namespace

Translator SetTranslator(Translator translator) {
  static std::once_flag installed;
  std::call_once(installed, InstallHandlers);
  if (translator != nullptr) NoteStackBounds();
  Translator previous = t_translator;
  t_translator = translator;
  return previous;
}

bool InThreadStack(const void* p, size_t n) {
  uintptr_t a = reinterpret_cast<uintptr_t>(p);
  return t_stackHigh != 0 && a >= t_stackLow && a <= t_stackHigh && n <= t_stackHigh - a;
}

}  // namespace sysexc
