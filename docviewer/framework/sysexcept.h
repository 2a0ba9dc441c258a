#pragma once
// SysExcept: a processor exception (access violation, division by zero ...)
// as a C++ exception, with a copy of the exception record and a short stack
// trace. SysExcept::se_trans is the translator the module installs for its
// thread; other threads run code under SysExcept::Guard. Code that can
// fault must be compiled with -fnon-call-exceptions (orn_framework passes it
// on to what links it).
//
//   try { SysExcept::Guard([&] { Work(); }); }
//   catch (const SysExcept& e) { std::u16string text; e.Description(&text, nullptr); }

#include <cstdint>
#include <string>
#include <utility>

#include "platform/sysexcept/translator.h"

class SysExcept {
 public:
  SysExcept(uint32_t code, const sysexc::ExceptionPointers* pointers);

  // Builds a SysExcept and throws it.
  [[noreturn]] static void se_trans(uint32_t code, sysexc::ExceptionPointers* pointers);

  // Runs `f` with se_trans as the calling thread's translator.
  template <class F>
  static decltype(auto) Guard(F&& f) {
    sysexc::ScopedTranslator translator(&SysExcept::se_trans);
    return std::forward<F>(f)();
  }

  // The code's text, " @ " and the location of the exception address, " - "
  // and the module name. `stack` (may be null): one line per stack entry,
  // "location - module\n".
  void Description(std::u16string* text, std::u16string* stack) const;
  // The text of an exception code alone ("Integer Divide by zero").
  static std::u16string CodeText(uint32_t code, const sysexc::ExceptionRecord* record);
  // Module name and location "address section:offset 'name'" of `address`;
  // false (" ?:address  ", "unknown") without image help or section.
  static bool GetSectDescr(const void* address, std::u16string* module, std::u16string* location);

  uint32_t Code() const { return m_code; }
  const sysexc::ExceptionRecord& Record() const { return m_rec; }
  // Stack entry i (0 = the faulting instruction), i < m_nStkTrc.
  const void* StackEntry(int i) const;

  int m_nStkTrc = 0;

 private:
  uint32_t m_code;
  sysexc::ExceptionRecord m_rec;
};

// File name of a module (after the last "/" or "\"), at most size-1
// characters; "<?>" when unknown.
std::u16string GetModName(const void* module, size_t size = 48);

// Writes an exception record as a block of trace lines.
void DumpExcept(const char* title, const sysexc::ExceptionRecord& record);
