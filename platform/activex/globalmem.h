#pragma once
// Global memory blocks: movable memory named by a handle, locked for access.
// Handles are checked: a handle that was never allocated or was freed is
// refused by every call instead of being dereferenced.

#include <cstddef>
#include <cstdint>

namespace ax {

using HGLOBAL = void*;

inline constexpr uint32_t GMEM_MOVEABLE = 0x0002;
inline constexpr uint32_t GMEM_ZEROINIT = 0x0040;
inline constexpr uint32_t GHND = GMEM_MOVEABLE | GMEM_ZEROINIT;

// Null when out of memory. Zero-filled only with GMEM_ZEROINIT.
HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes);
// Null on success, the handle when it is not a live block.
HGLOBAL GlobalFree(HGLOBAL mem);
void* GlobalLock(HGLOBAL mem);
bool GlobalUnlock(HGLOBAL mem);
size_t GlobalSize(HGLOBAL mem);  // 0 for a dead handle
// Blocks alive now (for leak checks in tests).
size_t GlobalBlocksAlive();

}  // namespace ax

namespace ax {
// Task memory: what a callee allocates and its caller frees (column
// information, pending-row lists). Null is ignored by CoTaskMemFree.
void* CoTaskMemAlloc(size_t bytes);
void CoTaskMemFree(void* p);
}  // namespace ax
