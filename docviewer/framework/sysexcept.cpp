#include "docviewer/framework/sysexcept.h"

#include <algorithm>

#include "docviewer/framework/commoduleex.h"
#include "docviewer/framework/fwtext.h"
#include "docviewer/framework/xtrace.h"
#include "platform/imagehlp/imagehlp.h"

SysExcept::SysExcept(uint32_t code, const sysexc::ExceptionPointers* pointers) : m_code(code) {
  if (pointers != nullptr && pointers->record != nullptr) m_rec = *pointers->record;
  m_rec.numberParameters = std::min(m_rec.numberParameters, sysexc::kMaxParameters);
  DumpExcept("SysExcept::ctor", m_rec);
  if (pointers == nullptr || pointers->context == nullptr) return;

  // The stack entries go into the parameter slots after the exception's own.
  uint32_t slot = m_rec.numberParameters;
  auto add = [&](uintptr_t address) {
    m_rec.information[slot++] = address;
    ++m_nStkTrc;
  };
  const sysexc::Context& ctx = *pointers->context;
  if (slot < sysexc::kMaxParameters) add(ctx.ip);
  // Frame-pointer chain: each frame holds the caller's frame pointer and,
  // above it, the return address. A frame pointer that does not lead upwards
  // inside this thread's stack ends the walk (code without frame pointers).
  uintptr_t below = ctx.sp;
  uintptr_t fp = ctx.fp;
  while (slot < sysexc::kMaxParameters && fp >= below && fp % sizeof(uintptr_t) == 0 &&
         sysexc::InThreadStack(reinterpret_cast<const void*>(fp), 2 * sizeof(uintptr_t))) {
    const uintptr_t* frame = reinterpret_cast<const uintptr_t*>(fp);
    add(frame[1]);
    below = fp + 1;
    fp = frame[0];
  }
}

void SysExcept::se_trans(uint32_t code, sysexc::ExceptionPointers* pointers) { throw SysExcept(code, pointers); }

const void* SysExcept::StackEntry(int i) const {
  if (i < 0 || i >= m_nStkTrc) return nullptr;
  return reinterpret_cast<const void*>(m_rec.information[m_rec.numberParameters + static_cast<uint32_t>(i)]);
}

std::u16string SysExcept::CodeText(uint32_t code, const sysexc::ExceptionRecord* record) {
  switch (code) {
    case sysexc::kDatatypeMisalignment: return u"Data Misalignment";
    case sysexc::kBreakpoint: return u"Breakpoint";
    case sysexc::kSingleStep: return u"Single Step";
    case sysexc::kAccessViolation: {
      bool write = record != nullptr && record->numberParameters > 0 && record->information[0] != 0;
      uintptr_t address = record != nullptr && record->numberParameters > 1 ? record->information[1] : 0;
      // All digits of a 64-bit address; eight at least, as on the 32-bit platform.
      return fw::WFmt("Access Violation (%.32s %08lX)", write ? "Write" : "Read", address);
    }
    case sysexc::kInPageError: return u"In page Error";
    case sysexc::kArrayBoundsExceeded: return u"Array bounds exceeded";
    case sysexc::kFltDenormalOperand: return u"Float - Denormal operand";
    case sysexc::kFltDivideByZero: return u"Float - Divide by zero";
    case sysexc::kFltInexactResult: return u"Float - inexact result";
    case sysexc::kFltInvalidOperation: return u"Float - invalid operation";
    case sysexc::kFltOverflow: return u"Float - Overflow";
    case sysexc::kFltStackCheck: return u"Float - Stack Check";
    case sysexc::kFltUnderflow: return u"Float - Underflow";
    case sysexc::kIntDivideByZero: return u"Integer Divide by zero";
    case sysexc::kIntOverflow: return u"Integer Overflow";
    case sysexc::kPrivInstruction: return u"Privileged Instruction";
    default: return fw::WFmt("<%08X>", code);
  }
}

void SysExcept::Description(std::u16string* text, std::u16string* stack) const {
  *text = CodeText(m_code, &m_rec);
  std::u16string module, location;
  GetSectDescr(m_rec.address, &module, &location);
  if (!location.empty()) *text += u" @ " + location;
  if (!module.empty()) *text += u" - " + module;
  if (stack == nullptr) return;
  stack->clear();
  for (int i = 0; i < m_nStkTrc; ++i) {
    const void* address = StackEntry(i);
    if (address == nullptr) break;
    GetSectDescr(address, &module, &location);
    *stack += location + u" - " + module + u"\n";
  }
}

bool SysExcept::GetSectDescr(const void* address, std::u16string* module, std::u16string* location) {
  const void* base = imghlp::AllocationBase(address);
  CComModuleEx* owner = CComModuleEx::Module();
  const CComModuleEx::ImgHelpTable* help = owner != nullptr ? owner->ImgHelpProc() : nullptr;
  if (base != nullptr && help != nullptr) {
    const imghlp::ImageHeader* header = help->ImageNtHeader(base);
    uint64_t rva = static_cast<uint64_t>(static_cast<const char*>(address) - static_cast<const char*>(base));
    const imghlp::Section* section = header != nullptr ? help->ImageRvaToSection(header, base, rva) : nullptr;
    if (section != nullptr) {
      *module = GetModName(base);
      *location = fw::WFmt("%08lX %X:%08lX '%.32hs'", address, section->number, rva - section->rva, section->name);
      return true;
    }
  }
  *location = fw::WFmt(" ?:%08lX  ", address);
  *module = u"unknown";
  return false;
}

std::u16string GetModName(const void* module, size_t size) {
  std::string path = module != nullptr ? imghlp::GetModuleFileName(module) : std::string();
  std::u16string name = path.empty() ? u"<?>" : fw::Wide(fw::BaseName(path));
  if (size > 0 && name.size() > size - 1) name.resize(size - 1);
  return name;
}

void DumpExcept(const char* title, const sysexc::ExceptionRecord& record) {
  if (!XTraceEnabled()) return;
  const char* m = "DumpExcept";
  XTraceText(Xt::Msg, "DumpExcept", title != nullptr ? title : "", m, XTRACE_AT);
  XTraceHex(Xt::Msg, "    err", static_cast<uint64_t>(record.code), m, XTRACE_AT);
  XTraceHex(Xt::Msg, "    @", record.address, m, XTRACE_AT);
  XTraceHex(Xt::Msg, "    flg", static_cast<uint64_t>(record.flags), m, XTRACE_AT);
  XTraceHex(Xt::Msg, "    relER", static_cast<const void*>(record.nested), m, XTRACE_AT);
  static constexpr std::pair<uint32_t, const char*> kFlags[] = {
      {sysexc::kNoncontinuable, "\t\tEH_NONCONTINUABLE"}, {sysexc::kUnwinding, "\t\tEH_UNWINDING"},
      {sysexc::kExitUnwind, "\t\tEH_EXIT_UNWIND"},        {sysexc::kStackInvalid, "\t\tEH_STACK_INVALID"},
      {sysexc::kNestedCall, "\t\tEH_NESTED_CALL"}};
  for (const auto& [bit, name] : kFlags)
    if (record.flags & bit) XTraceLine(Xt::Msg, name, m, XTRACE_AT);
}
