#include "platform/ole/com.h"

#include <map>
#include <vector>

#include "platform/ole/live.h"

namespace ole {

namespace {

thread_local int g_comInits = 0;
HRESULT g_failNext = S_OK;

struct Block {
  std::vector<uint8_t> bytes;
  int locks = 0;
};
std::map<uintptr_t, Block>& Blocks() {
  static std::map<uintptr_t, Block> blocks;
  return blocks;
}
uintptr_t g_nextBlock = 0x60000;

Block* FindBlock(HGLOBAL mem) {
  auto it = Blocks().find(reinterpret_cast<uintptr_t>(mem));
  return it == Blocks().end() ? nullptr : &it->second;
}

int g_live = 0;

}  // namespace

HRESULT CoInitialize(void*) {
  if (g_failNext != S_OK) {
    HRESULT hr = g_failNext;
    g_failNext = S_OK;
    return hr;
  }
  return g_comInits++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize() {
  if (g_comInits > 0) --g_comInits;
}

bool IsComInitializedForTest() { return g_comInits > 0; }
void FailCoInitializeForTest(HRESULT hr) { g_failNext = hr; }

HGLOBAL GlobalAlloc(uint32_t, size_t bytes) {
  uintptr_t id = g_nextBlock += 8;
  Blocks()[id].bytes.assign(bytes, 0);
  return reinterpret_cast<HGLOBAL>(id);
}

HGLOBAL GlobalReAlloc(HGLOBAL mem, size_t bytes, uint32_t) {
  Block* b = FindBlock(mem);
  if (!b) return nullptr;
  b->bytes.resize(bytes, 0);
  return mem;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
  if (!mem) return nullptr;
  return Blocks().erase(reinterpret_cast<uintptr_t>(mem)) ? nullptr : mem;
}

size_t GlobalSize(HGLOBAL mem) {
  Block* b = FindBlock(mem);
  return b ? b->bytes.size() : 0;
}

void* GlobalLock(HGLOBAL mem) {
  Block* b = FindBlock(mem);
  if (!b) return nullptr;
  ++b->locks;
  // An empty block still gets a distinct non-null address.
  if (b->bytes.empty()) b->bytes.reserve(1);
  return b->bytes.data();
}

bool GlobalUnlock(HGLOBAL mem) {
  Block* b = FindBlock(mem);
  if (!b || b->locks == 0) return false;
  return --b->locks > 0;
}

int LiveObjectCount() { return g_live; }

namespace detail {
void CountLive(int delta) { g_live += delta; }
}  // namespace detail

}  // namespace ole
