#pragma once
// Calls on the imaging control by role: callers name every member through
// imaging::Pixo and never write a bare dispatch id.

#include <cstdint>
#include <utility>
#include <vector>

#include "platform/com/dispatch.h"
#include "platform/imaging/pixo_members.h"
#include "platform/runtime/variant.h"

namespace imaging {

inline rt::Variant PixGet(com::Dispatch& c, Pixo m, std::vector<rt::Variant> args = {}) {
  return c.Get(static_cast<int32_t>(m), std::move(args));
}
inline void PixPut(com::Dispatch& c, Pixo m, rt::Variant v) { c.Put(static_cast<int32_t>(m), std::move(v)); }
inline rt::Variant PixCall(com::Dispatch& c, Pixo m, std::vector<rt::Variant> args = {}) {
  return c.Call(static_cast<int32_t>(m), std::move(args));
}

}  // namespace imaging
