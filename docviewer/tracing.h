#pragma once
// The "start" and "end" trace lines of one traced operation, named as
// "CRichEditDoc::Initialize".

#include "docviewer/framework/xtrace.h"

class TraceScope {
 public:
  TraceScope(const char* method, const char* file, int line) : method_(method), file_(file), line_(line) {
    XTraceLine(Xt::Msg, "start", method_, file_, line_);
  }
  ~TraceScope() { XTraceLine(Xt::Msg, "end", method_, file_, line_); }
  TraceScope(const TraceScope&) = delete;
  TraceScope& operator=(const TraceScope&) = delete;

 private:
  const char* method_;
  const char* file_;
  int line_;
};

#define TRACE_SCOPE(method) TraceScope traceScope_(method, XTRACE_AT)
