#include "platform/pixokit/pixoann.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <set>
#include <vector>

namespace {

struct AnnObject {
  int32_t type = 0;
  ANNRECT rect{};
  AnnObject* parent = nullptr;
  std::vector<AnnObject*> children;
};

constexpr int32_t kOk = 1;
constexpr int32_t kBadFormat = -9;
constexpr int32_t kBadParam = -13;
constexpr int32_t kInvalidContainer = -630;
constexpr char kMagic[8] = {'P', 'X', 'A', 'N', 'N', 'O', 'T', '1'};
// Nesting beyond this in a stored block is refused rather than recursed into.
constexpr int kMaxDepth = 64;

std::recursive_mutex g_mu;
std::set<AnnObject*>& Live() {
  static std::set<AnnObject*> live;
  return live;
}

AnnObject* Get(HANNOBJECT h) {
  auto* o = static_cast<AnnObject*>(h);
  return Live().count(o) ? o : nullptr;
}

AnnObject* New(int32_t type) {
  auto* o = new AnnObject;
  o->type = type;
  Live().insert(o);
  return o;
}

void Delete(AnnObject* o) {
  for (AnnObject* c : o->children) Delete(c);
  Live().erase(o);
  delete o;
}

void Detach(AnnObject* o) {
  if (!o->parent) return;
  auto& sib = o->parent->children;
  sib.erase(std::remove(sib.begin(), sib.end(), o), sib.end());
  o->parent = nullptr;
}

AnnObject* Copy(const AnnObject* o) {
  AnnObject* c = New(o->type);
  c->rect = o->rect;
  for (const AnnObject* k : o->children) {
    AnnObject* kc = Copy(k);
    kc->parent = c;
    c->children.push_back(kc);
  }
  return c;
}

template <class T>
void Put(std::vector<uint8_t>* out, T v) {
  uint8_t b[sizeof v];
  std::memcpy(b, &v, sizeof v);
  out->insert(out->end(), b, b + sizeof v);
}

void Save(const AnnObject* o, std::vector<uint8_t>* out) {
  Put(out, o->type);
  Put(out, o->rect.left);
  Put(out, o->rect.top);
  Put(out, o->rect.right);
  Put(out, o->rect.bottom);
  Put(out, static_cast<uint32_t>(o->children.size()));
  for (const AnnObject* c : o->children) Save(c, out);
}

class Reader {
 public:
  Reader(const uint8_t* p, uint32_t n) : p_(p), n_(n) {}
  template <class T>
  bool Get(T* v) {
    if (n_ - at_ < sizeof *v) return false;
    std::memcpy(v, p_ + at_, sizeof *v);
    at_ += sizeof *v;
    return true;
  }
  bool AtEnd() const { return at_ == n_; }
  bool Skip(uint32_t n) {
    if (n_ - at_ < n) return false;
    at_ += n;
    return true;
  }

 private:
  const uint8_t* p_;
  uint32_t n_;
  uint32_t at_ = 0;
};

// Reads one object into `parent`; a count larger than the bytes left fails
// at the first object that does not fit.
bool Load(Reader& r, AnnObject* parent, int depth) {
  if (depth > kMaxDepth) return false;
  int32_t type;
  ANNRECT rect;
  uint32_t count;
  if (!r.Get(&type) || !r.Get(&rect.left) || !r.Get(&rect.top) || !r.Get(&rect.right) || !r.Get(&rect.bottom) ||
      !r.Get(&count) || type < 0 || type > 2)
    return false;
  AnnObject* o = New(type);
  o->rect = rect;
  o->parent = parent;
  parent->children.push_back(o);
  for (uint32_t i = 0; i < count; ++i)
    if (!Load(r, o, depth + 1)) return false;
  return true;
}

}  // namespace

extern "C" {

int32_t PX_AnnCreate(int32_t type, HANNOBJECT* out) {
  if (!out || type < 0 || type > 2) return kBadParam;
  std::lock_guard lock(g_mu);
  *out = New(type);
  return kOk;
}

int32_t PX_AnnInsert(HANNOBJECT container, HANNOBJECT object) {
  std::lock_guard lock(g_mu);
  AnnObject* c = Get(container);
  AnnObject* o = Get(object);
  if (!c || c->type != 0) return kInvalidContainer;
  if (!o || o == c) return kBadParam;
  for (AnnObject* up = c; up; up = up->parent)
    if (up == o) return kBadParam;  // would put an object inside itself
  Detach(o);
  if (o->type == 0) {
    for (AnnObject* k : o->children) {
      k->parent = c;
      c->children.push_back(k);
    }
    o->children.clear();
    Delete(o);
    return kOk;
  }
  o->parent = c;
  c->children.push_back(o);
  return kOk;
}

int32_t PX_AnnCopy(HANNOBJECT object, HANNOBJECT* out) {
  std::lock_guard lock(g_mu);
  AnnObject* o = Get(object);
  if (!o || !out) return kBadParam;
  *out = Copy(o);
  return kOk;
}

int32_t PX_AnnDestroy(HANNOBJECT object, uint32_t flags) {
  std::lock_guard lock(g_mu);
  AnnObject* o = Get(object);
  if (!o) return kBadParam;
  if (flags & ANNFLAG_NOTTHIS) {
    for (AnnObject* c : o->children) Delete(c);
    o->children.clear();
    return kOk;
  }
  Detach(o);
  Delete(o);
  return kOk;
}

int32_t PX_AnnGetItem(HANNOBJECT container, HANNOBJECT* item) {
  std::lock_guard lock(g_mu);
  AnnObject* c = Get(container);
  if (!c || !item) return kBadParam;
  *item = c->children.empty() ? nullptr : c->children.front();
  return kOk;
}

int32_t PX_AnnLoadMemory(const uint8_t* data, uint32_t length, HANNOBJECT* out) {
  if (!out || (!data && length)) return kBadParam;
  *out = nullptr;
  if (length < sizeof kMagic + 4 || std::memcmp(data, kMagic, sizeof kMagic) != 0) return kBadFormat;
  std::lock_guard lock(g_mu);
  Reader r(data, length);
  r.Skip(sizeof kMagic);
  uint32_t count = 0;
  r.Get(&count);
  AnnObject* c = New(0);
  for (uint32_t i = 0; i < count; ++i) {
    if (!Load(r, c, 0)) {
      Delete(c);
      return kBadFormat;
    }
  }
  if (!r.AtEnd()) {
    Delete(c);
    return kBadFormat;
  }
  *out = c;
  return kOk;
}

int32_t PX_AnnSaveMemory(HANNOBJECT container, ax::HGLOBAL* out, uint32_t* length) {
  if (!out || !length) return kBadParam;
  std::vector<uint8_t> bytes(kMagic, kMagic + sizeof kMagic);
  {
    std::lock_guard lock(g_mu);
    AnnObject* c = Get(container);
    if (!c) return kBadParam;
    Put(&bytes, static_cast<uint32_t>(c->children.size()));
    for (const AnnObject* o : c->children) Save(o, &bytes);
  }
  ax::HGLOBAL mem = ax::GlobalAlloc(ax::GMEM_MOVEABLE, bytes.size());
  if (!mem) return -1;
  std::memcpy(ax::GlobalLock(mem), bytes.data(), bytes.size());
  ax::GlobalUnlock(mem);
  *out = mem;
  *length = static_cast<uint32_t>(bytes.size());
  return kOk;
}

int32_t PX_AnnSetRect(HANNOBJECT object, const ANNRECT* rect) {
  std::lock_guard lock(g_mu);
  AnnObject* o = Get(object);
  if (!o || !rect) return kBadParam;
  o->rect = *rect;
  return kOk;
}

int32_t PX_AnnGetRect(HANNOBJECT object, ANNRECT* rect) {
  std::lock_guard lock(g_mu);
  AnnObject* o = Get(object);
  if (!o || !rect) return kBadParam;
  *rect = o->rect;
  return kOk;
}

int32_t PX_AnnGetType(HANNOBJECT object, int32_t* type) {
  std::lock_guard lock(g_mu);
  AnnObject* o = Get(object);
  if (!o || !type) return kBadParam;
  *type = o->type;
  return kOk;
}

int32_t PX_AnnCountChildren(HANNOBJECT object, int32_t* count) {
  std::lock_guard lock(g_mu);
  AnnObject* o = Get(object);
  if (!o || !count) return kBadParam;
  *count = static_cast<int32_t>(o->children.size());
  return kOk;
}

int32_t PX_AnnObjectsAlive() {
  std::lock_guard lock(g_mu);
  return static_cast<int32_t>(Live().size());
}
}
