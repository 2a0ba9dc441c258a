#pragma once
// The toolkit's annotation library, loaded by name at run time: containers
// of annotation objects, copied, saved into and loaded from memory blocks.
// Calls answer 1 or a negative toolkit result.
//
// Objects: type 0 is a container (it holds other objects), 1 a rectangle,
// 2 a line. Each has a rectangle in image coordinates (doubles).
// The memory block: "PXANNOT1", uint32 object count, then per object int32
// type, four doubles, uint32 child count and the children, little-endian.

#include <cstdint>

#include "platform/activex/globalmem.h"

extern "C" {

using HANNOBJECT = void*;

struct ANNRECT {
  double left, top, right, bottom;
};

inline constexpr uint32_t ANNFLAG_NOTTHIS = 4;  // destroy the children only

int32_t PX_AnnCreate(int32_t type, HANNOBJECT* out);
// Moves `object` (and everything below it) into `container`; a container
// given as `object` hands over its children and is destroyed.
int32_t PX_AnnInsert(HANNOBJECT container, HANNOBJECT object);
// A deep copy of `object`.
int32_t PX_AnnCopy(HANNOBJECT object, HANNOBJECT* out);
// Destroys `object` with its children; with ANNFLAG_NOTTHIS only its
// children. An object inside a container leaves it.
int32_t PX_AnnDestroy(HANNOBJECT object, uint32_t flags);
// The first child of `container`, 0 when it has none (answer 1 either way).
int32_t PX_AnnGetItem(HANNOBJECT container, HANNOBJECT* item);
// A container holding the objects saved in `length` bytes at `data`; -9
// for bytes that are not a whole annotation block.
int32_t PX_AnnLoadMemory(const uint8_t* data, uint32_t length, HANNOBJECT* out);
// The children of `container` as a new global block of *length bytes.
int32_t PX_AnnSaveMemory(HANNOBJECT container, ax::HGLOBAL* out, uint32_t* length);
int32_t PX_AnnSetRect(HANNOBJECT object, const ANNRECT* rect);

// Not used by the controls: reading back what an object holds.
int32_t PX_AnnGetRect(HANNOBJECT object, ANNRECT* rect);
int32_t PX_AnnGetType(HANNOBJECT object, int32_t* type);
int32_t PX_AnnCountChildren(HANNOBJECT object, int32_t* count);
// Objects alive now (leak checks).
int32_t PX_AnnObjectsAlive();
}
