#include "platform/activex/globalmem.h"

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <set>

namespace ax {
namespace {

struct Block {
  size_t size;
  int locks;
  unsigned char* data;
};

std::mutex g_mu;
std::set<Block*>& Live() {
  static std::set<Block*> live;
  return live;
}

Block* Find(HGLOBAL mem) {
  auto* b = static_cast<Block*>(mem);
  return Live().count(b) ? b : nullptr;
}

}  // namespace

HGLOBAL GlobalAlloc(uint32_t flags, size_t bytes) {
  // A block of 0 bytes still gets storage, so its lock gives a usable pointer.
  auto* data = static_cast<unsigned char*>(std::malloc(bytes ? bytes : 1));
  if (!data) return nullptr;
  if (flags & GMEM_ZEROINIT) std::memset(data, 0, bytes ? bytes : 1);
  auto* b = new Block{bytes, 0, data};
  std::lock_guard lock(g_mu);
  Live().insert(b);
  return b;
}

HGLOBAL GlobalFree(HGLOBAL mem) {
  std::lock_guard lock(g_mu);
  Block* b = Find(mem);
  if (!b) return mem;
  Live().erase(b);
  std::free(b->data);
  delete b;
  return nullptr;
}

void* GlobalLock(HGLOBAL mem) {
  std::lock_guard lock(g_mu);
  Block* b = Find(mem);
  if (!b) return nullptr;
  ++b->locks;
  return b->data;
}

bool GlobalUnlock(HGLOBAL mem) {
  std::lock_guard lock(g_mu);
  Block* b = Find(mem);
  if (!b || b->locks == 0) return false;
  return --b->locks > 0;
}

size_t GlobalSize(HGLOBAL mem) {
  std::lock_guard lock(g_mu);
  Block* b = Find(mem);
  return b ? b->size : 0;
}

size_t GlobalBlocksAlive() {
  std::lock_guard lock(g_mu);
  return Live().size();
}

}  // namespace ax

namespace ax {
void* CoTaskMemAlloc(size_t bytes) { return std::malloc(bytes ? bytes : 1); }
void CoTaskMemFree(void* p) { std::free(p); }
}  // namespace ax
