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
  sigset_t blocked;  // inside the handler every signal is blocked
  sigemptyset(&blocked);
  sigaddset(&blocked, sig);
  ::pthread_sigmask(SIG_UNBLOCK, &blocked, nullptr);
  ::raise(sig);
  ::abort();
}

struct ClearTranslating {
  ~ClearTranslating() { t_translating = false; }
};

// A fault as the translator will get it, recorded by the signal handler.
struct Pending {
  int signal = 0;
  Translator translator = nullptr;
  ExceptionRecord record;
  Context context;
};
thread_local Pending t_pending;

// The exception record and context of a fault (plain stores only: this runs
// inside the signal handler).
void Record(int sig, const siginfo_t* info, const void* uc, Pending* out) {
  uintptr_t accessKind = 0;
  FillContext(uc, &out->context, &accessKind);
  out->signal = sig;
  out->record = ExceptionRecord{};
  out->record.code = CodeOf(sig, info->si_code);
  out->record.address = reinterpret_cast<void*>(out->context.ip);
  if (out->record.code == kAccessViolation || out->record.code == kInPageError) {
    out->record.numberParameters = 2;
    out->record.information[0] = accessKind;
    out->record.information[1] = reinterpret_cast<uintptr_t>(info->si_addr);
  }
}

}  // namespace
}  // namespace sysexc

// Runs the translator of a recorded fault; entered from ResumeAfterFault,
// that is after the signal handler has returned, on the faulting thread.
extern "C" [[noreturn, gnu::visibility("hidden"), gnu::used]] void RaisePendingFault() {
  using namespace sysexc;
  Pending pending = t_pending;  // a fault inside the translator records anew
  ClearTranslating clear;       // as the translator's exception leaves
  ExceptionPointers pointers{&pending.record, &pending.context};
  pending.translator(pending.record.code, &pointers);
  DefaultAction(pending.signal);  // the translator did not throw
}

#if defined(__x86_64__)
// The signal handler leaves the faulting thread's registers in a block on
// its stack (see RedirectToResume) and makes the thread resume here, with
// rbp at the block. This frame's unwind information says
// where the faulting frame's registers are, as the kernel's own signal
// frame does, and is marked as a signal frame, so the unwinder looks the
// faulting instruction itself up in the faulting function's tables.
asm(R"(
    .text
    .p2align 4
    .type ResumeAfterFault, @function
ResumeAfterFault:
    .cfi_startproc simple
    .cfi_signal_frame
    .cfi_escape 0x0f, 0x03, 0x76, 0x08, 0x06
    .cfi_escape 0x10, 0x10, 0x2, 0x76, 0x0
    .cfi_escape 0x10, 0x7, 0x2, 0x76, 0x8
    .cfi_escape 0x10, 0x6, 0x2, 0x76, 0x10
    .cfi_escape 0x10, 0x3, 0x2, 0x76, 0x18
    .cfi_escape 0x10, 0xc, 0x2, 0x76, 0x20
    .cfi_escape 0x10, 0xd, 0x2, 0x76, 0x28
    .cfi_escape 0x10, 0xe, 0x2, 0x76, 0x30
    .cfi_escape 0x10, 0xf, 0x2, 0x76, 0x38
    .cfi_escape 0x10, 0x0, 0x3, 0x76, 0xc0, 0x0
    .cfi_escape 0x10, 0x1, 0x3, 0x76, 0xc8, 0x0
    .cfi_escape 0x10, 0x2, 0x3, 0x76, 0xd0, 0x0
    .cfi_escape 0x10, 0x4, 0x3, 0x76, 0xd8, 0x0
    .cfi_escape 0x10, 0x5, 0x3, 0x76, 0xe0, 0x0
    .cfi_escape 0x10, 0x8, 0x3, 0x76, 0xe8, 0x0
    .cfi_escape 0x10, 0x9, 0x3, 0x76, 0xf0, 0x0
    .cfi_escape 0x10, 0xa, 0x3, 0x76, 0xf8, 0x0
    .cfi_escape 0x10, 0xb, 0x3, 0x76, 0x80, 0x1
    andq $-16, %rsp
    call RaisePendingFault
    ud2
    .cfi_endproc
    .size ResumeAfterFault, .-ResumeAfterFault
)");
extern "C" void ResumeAfterFault();
#endif

namespace sysexc {
namespace {

#if defined(__x86_64__)
// The block's slots, in the order the unwind information above names them.
constexpr int kSavedRegs[] = {REG_RIP, REG_RSP, REG_RBP, REG_RBX, REG_R12, REG_R13, REG_R14, REG_R15, REG_RAX,
                              REG_RDX, REG_RCX, REG_RSI, REG_RDI, REG_R8,  REG_R9,  REG_R10, REG_R11};

// Makes the faulting thread continue in ResumeAfterFault once the handler
// returns. The block goes below the handler's own frame: the kernel's
// signal frame, which the return from the handler reads, lies between it
// and the faulting frame. Every signal stays blocked until that return, so
// nothing else is pushed onto it meanwhile.
void RedirectToResume(void* uc) {
  greg_t* regs = static_cast<ucontext_t*>(uc)->uc_mcontext.gregs;
  uintptr_t sp;
  asm volatile("mov %%rsp, %0" : "=r"(sp));
  constexpr size_t kRedZone = 128;
  uintptr_t block = (sp - kRedZone - sizeof kSavedRegs / sizeof kSavedRegs[0] * sizeof(uintptr_t)) & ~uintptr_t{15};
  auto* slots = reinterpret_cast<volatile uintptr_t*>(block);
  for (size_t i = 0; i < std::size(kSavedRegs); ++i) slots[i] = static_cast<uintptr_t>(regs[kSavedRegs[i]]);
  regs[REG_RBP] = static_cast<greg_t>(block);
  regs[REG_RSP] = static_cast<greg_t>(block);
  regs[REG_RIP] = reinterpret_cast<greg_t>(&ResumeAfterFault);
}
#endif

// Inside the handler nothing is locked or allocated: the fault is recorded
// for this thread and the thread is sent on to RaisePendingFault, which
// runs the translator outside the signal handler. (Where no resume frame
// is written for the processor, the translator runs in the handler.)
void Handler(int sig, siginfo_t* info, void* uc) {
  Translator translator = t_translator;
  // A fault inside the translator, a thread without one, or a signal that a
  // process sent (not a fault of this thread): no translation.
  if (translator == nullptr || t_translating || info->si_code <= 0) DefaultAction(sig);
  t_translating = true;
  Record(sig, info, uc, &t_pending);
  t_pending.translator = translator;
#if defined(__x86_64__)
  RedirectToResume(uc);
#else
  RaisePendingFault();
#endif
}

void InstallHandlers() {
  struct sigaction sa {};
  sa.sa_sigaction = &Handler;
  sa.sa_flags = SA_SIGINFO;
  sigfillset(&sa.sa_mask);
#if !defined(__x86_64__)
  // The translator's exception leaves through the handler's frame, so the
  // signal must not stay blocked.
  sa.sa_flags |= SA_NODEFER;
  sigemptyset(&sa.sa_mask);
#endif
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
