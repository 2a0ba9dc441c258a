#pragma once
// Late-bound automation: an object reached by dispatch id alone.
//
// Outside controls (the imaging control, the slider) implement Dispatch; the
// forms runtime hosts them and system code calls them through Get/Put/Call.
// An id the object does not know raises run-time error 438.

#include <cstdint>
#include <initializer_list>
#include <span>
#include <vector>

#include "platform/runtime/variant.h"

namespace com {

enum class InvokeKind { PropertyGet, PropertyPut, Method };

class Dispatch {
 public:
  virtual ~Dispatch() = default;

  // Invokes member `dispid`. For PropertyPut the new value is the last
  // argument. Arguments may be changed by the callee (by-reference
  // arguments). Failures are raised as rt::RuntimeError.
  virtual rt::Variant Invoke(int32_t dispid, InvokeKind kind, std::span<rt::Variant> args) = 0;

  rt::Variant Get(int32_t dispid, std::vector<rt::Variant> args = {}) {
    return Invoke(dispid, InvokeKind::PropertyGet, args);
  }
  void Put(int32_t dispid, rt::Variant value) {
    rt::Variant args[1] = {std::move(value)};
    Invoke(dispid, InvokeKind::PropertyPut, args);
  }
  void Put(int32_t dispid, std::vector<rt::Variant> index, rt::Variant value) {
    index.push_back(std::move(value));
    Invoke(dispid, InvokeKind::PropertyPut, index);
  }
  rt::Variant Call(int32_t dispid, std::vector<rt::Variant> args = {}) {
    return Invoke(dispid, InvokeKind::Method, args);
  }
};

}  // namespace com
