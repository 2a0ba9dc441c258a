#pragma once
// Calls on the imaging control by role: the viewer names every member
// through imaging::Pixo and never writes a bare dispatch id.

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/imaging/pixo_members.h"
#include "platform/runtime/variant.h"

namespace viewer {

using imaging::Pixo;

inline rt::Variant Get(com::Dispatch& c, Pixo m) { return c.Get(static_cast<int32_t>(m)); }
inline void Put(com::Dispatch& c, Pixo m, rt::Variant v) { c.Put(static_cast<int32_t>(m), std::move(v)); }
inline rt::Variant Call(com::Dispatch& c, Pixo m, std::vector<rt::Variant> args = {}) {
  return c.Call(static_cast<int32_t>(m), std::move(args));
}

}  // namespace viewer
