#include "platform/ole/storage.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "platform/ole/live.h"

namespace ole {

namespace {

// ---- lock bytes over global memory

class LockBytes final : public ILockBytes, public detail::Counted<LockBytes> {
 public:
  LockBytes(HGLOBAL mem, bool deleteOnRelease) : mem_(mem), deleteOnRelease_(deleteOnRelease) {}
  ~LockBytes() override {
    if (deleteOnRelease_) GlobalFree(mem_);
  }

  HRESULT QueryInterface(REFIID riid, void** out) override {
    return detail::QueryOne<ILockBytes>(this, riid, IID_ILockBytes, out);
  }
  ULONG AddRef() override { return static_cast<ULONG>(AddRefImpl()); }
  ULONG Release() override { return static_cast<ULONG>(ReleaseImpl()); }

  HRESULT ReadAt(uint64_t offset, void* buffer, ULONG bytes, ULONG* read) override {
    if (read) *read = 0;
    if (!buffer) return STG_E_INVALIDPOINTER;
    size_t size = GlobalSize(mem_);
    if (offset >= size) return S_OK;
    auto n = static_cast<ULONG>(std::min<uint64_t>(bytes, size - offset));
    auto* data = static_cast<uint8_t*>(GlobalLock(mem_));
    std::copy_n(data + offset, n, static_cast<uint8_t*>(buffer));
    GlobalUnlock(mem_);
    if (read) *read = n;
    return S_OK;
  }
  HRESULT WriteAt(uint64_t offset, const void* buffer, ULONG bytes, ULONG* written) override {
    if (written) *written = 0;
    if (!buffer) return STG_E_INVALIDPOINTER;
    if (offset + bytes > GlobalSize(mem_) && !GlobalReAlloc(mem_, offset + bytes, GMEM_MOVEABLE)) return E_OUTOFMEMORY;
    auto* data = static_cast<uint8_t*>(GlobalLock(mem_));
    std::copy_n(static_cast<const uint8_t*>(buffer), bytes, data + offset);
    GlobalUnlock(mem_);
    if (written) *written = bytes;
    return S_OK;
  }
  HRESULT Flush() override { return S_OK; }
  HRESULT SetSize(uint64_t size) override { return GlobalReAlloc(mem_, size, GMEM_MOVEABLE) ? S_OK : E_OUTOFMEMORY; }
  HRESULT Stat(STATSTG* out, DWORD) override {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = STATSTG{};
    out->type = STGTY_LOCKBYTES;
    out->size = GlobalSize(mem_);
    return S_OK;
  }

  HGLOBAL mem() const { return mem_; }

 private:
  HGLOBAL mem_;
  bool deleteOnRelease_;
};

// ---- the element tree and its bytes

struct Node {
  bool storage = false;
  std::wstring name;
  CLSID clsid;
  std::vector<uint8_t> data;
  std::vector<std::shared_ptr<Node>> children;
};

// What the objects of one root storage share.
struct Root {
  ILockBytes* bytes = nullptr;  // one reference, held by the root storage
  std::shared_ptr<Node> node;
  bool reverted = false;  // the root storage is gone
};

constexpr char kMagic[8] = {'O', 'R', 'N', 'S', 'T', 'G', '1', '\0'};

void PutU32(std::vector<uint8_t>* out, uint32_t v) {
  for (int i = 0; i < 4; ++i) out->push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutNode(std::vector<uint8_t>* out, const Node& n) {
  out->push_back(n.storage ? 1 : 2);
  PutU32(out, static_cast<uint32_t>(n.name.size()));
  for (wchar_t c : n.name) PutU32(out, static_cast<uint32_t>(c));
  const auto* g = reinterpret_cast<const uint8_t*>(&n.clsid);
  out->insert(out->end(), g, g + sizeof(CLSID));
  if (n.storage) {
    PutU32(out, static_cast<uint32_t>(n.children.size()));
    for (const auto& c : n.children) PutNode(out, *c);
  } else {
    PutU32(out, static_cast<uint32_t>(n.data.size()));
    out->insert(out->end(), n.data.begin(), n.data.end());
  }
}

// Reads the tree back; every length is checked against what is left, since
// the bytes may come from anywhere.
class Reader {
 public:
  explicit Reader(const std::vector<uint8_t>& b) : b_(b) {}
  bool U32(uint32_t* v) {
    if (b_.size() - pos_ < 4) return false;
    *v = 0;
    for (int i = 0; i < 4; ++i) *v |= static_cast<uint32_t>(b_[pos_ + static_cast<size_t>(i)]) << (8 * i);
    pos_ += 4;
    return true;
  }
  bool ReadNode(Node* n, int depth) {
    if (depth > 64 || pos_ >= b_.size()) return false;
    uint8_t type = b_[pos_++];
    if (type != 1 && type != 2) return false;
    n->storage = type == 1;
    uint32_t len = 0;
    if (!U32(&len) || len > 31) return false;
    for (uint32_t i = 0; i < len; ++i) {
      uint32_t c = 0;
      if (!U32(&c)) return false;
      n->name += static_cast<wchar_t>(c);
    }
    if (b_.size() - pos_ < sizeof(CLSID)) return false;
    std::copy_n(b_.begin() + static_cast<long>(pos_), sizeof(CLSID), reinterpret_cast<uint8_t*>(&n->clsid));
    pos_ += sizeof(CLSID);
    uint32_t count = 0;
    if (!U32(&count)) return false;
    if (n->storage) {
      for (uint32_t i = 0; i < count; ++i) {
        auto child = std::make_shared<Node>();
        if (!ReadNode(child.get(), depth + 1)) return false;
        n->children.push_back(child);
      }
    } else {
      if (b_.size() - pos_ < count) return false;
      n->data.assign(b_.begin() + static_cast<long>(pos_), b_.begin() + static_cast<long>(pos_ + count));
      pos_ += count;
    }
    return true;
  }

 private:
  const std::vector<uint8_t>& b_;
  size_t pos_ = 0;
};

HRESULT Persist(const Root& root) {
  std::vector<uint8_t> out(kMagic, kMagic + sizeof kMagic);
  PutNode(&out, *root.node);
  HRESULT hr = root.bytes->SetSize(out.size());
  if (Failed(hr)) return hr;
  return root.bytes->WriteAt(0, out.data(), static_cast<ULONG>(out.size()), nullptr);
}

bool ValidName(const wchar_t* name) {
  if (!name) return false;
  std::wstring n(name);
  return !n.empty() && n.size() <= 31 && n.find_first_of(L"\\/:!") == std::wstring::npos;
}

bool CanWrite(DWORD mode) { return (mode & 3) == STGM_WRITE || (mode & 3) == STGM_READWRITE; }
bool CanRead(DWORD mode) { return (mode & 3) == STGM_READ || (mode & 3) == STGM_READWRITE; }
// Elements below a root may only be opened exclusively, as on the platform.
bool ExclusiveOnly(DWORD mode) { return (mode & 0x70) == STGM_SHARE_EXCLUSIVE; }

class Stream final : public IStream, public detail::Counted<Stream> {
 public:
  Stream(std::shared_ptr<Root> root, std::shared_ptr<Node> node, DWORD mode)
      : root_(std::move(root)), node_(std::move(node)), mode_(mode) {}

  HRESULT QueryInterface(REFIID riid, void** out) override {
    return detail::QueryOne<IStream>(this, riid, IID_IStream, out);
  }
  ULONG AddRef() override { return static_cast<ULONG>(AddRefImpl()); }
  ULONG Release() override { return static_cast<ULONG>(ReleaseImpl()); }

  HRESULT Read(void* buffer, ULONG bytes, ULONG* read) override {
    if (read) *read = 0;
    if (root_->reverted) return STG_E_REVERTED;
    if (!CanRead(mode_)) return STG_E_ACCESSDENIED;
    if (!buffer) return STG_E_INVALIDPOINTER;
    auto& d = node_->data;
    size_t n = pos_ >= d.size() ? 0 : std::min<size_t>(bytes, d.size() - pos_);
    std::copy_n(d.begin() + static_cast<long>(pos_), n, static_cast<uint8_t*>(buffer));
    pos_ += n;
    if (read) *read = static_cast<ULONG>(n);
    return S_OK;
  }
  HRESULT Write(const void* buffer, ULONG bytes, ULONG* written) override {
    if (written) *written = 0;
    if (root_->reverted) return STG_E_REVERTED;
    if (!CanWrite(mode_)) return STG_E_ACCESSDENIED;
    if (!buffer) return STG_E_INVALIDPOINTER;
    auto& d = node_->data;
    if (pos_ + bytes > d.size()) d.resize(pos_ + bytes);
    std::copy_n(static_cast<const uint8_t*>(buffer), bytes, d.begin() + static_cast<long>(pos_));
    pos_ += bytes;
    if (written) *written = bytes;
    return Persist(*root_);
  }
  HRESULT Seek(int64_t move, DWORD origin, uint64_t* newPosition) override {
    if (root_->reverted) return STG_E_REVERTED;
    int64_t base = origin == STREAM_SEEK_SET ? 0
                   : origin == STREAM_SEEK_CUR ? static_cast<int64_t>(pos_)
                                               : static_cast<int64_t>(node_->data.size());
    if (origin > STREAM_SEEK_END || base + move < 0) return STG_E_INVALIDPOINTER;
    pos_ = static_cast<size_t>(base + move);
    if (newPosition) *newPosition = pos_;
    return S_OK;
  }
  HRESULT SetSize(uint64_t size) override {
    if (root_->reverted) return STG_E_REVERTED;
    if (!CanWrite(mode_)) return STG_E_ACCESSDENIED;
    node_->data.resize(size);
    return Persist(*root_);
  }
  HRESULT Commit(DWORD) override { return root_->reverted ? STG_E_REVERTED : S_OK; }
  HRESULT Stat(STATSTG* out, DWORD) override {
    if (root_->reverted) return STG_E_REVERTED;
    if (!out) return STG_E_INVALIDPOINTER;
    *out = STATSTG{};
    out->name = node_->name;
    out->type = STGTY_STREAM;
    out->size = node_->data.size();
    out->mode = mode_;
    return S_OK;
  }

 private:
  std::shared_ptr<Root> root_;
  std::shared_ptr<Node> node_;
  DWORD mode_;
  size_t pos_ = 0;
};

class Storage final : public IStorage, public detail::Counted<Storage> {
 public:
  Storage(std::shared_ptr<Root> root, std::shared_ptr<Node> node, DWORD mode, bool isRoot)
      : root_(std::move(root)), node_(std::move(node)), mode_(mode), isRoot_(isRoot) {}
  ~Storage() override {
    if (isRoot_) {
      root_->reverted = true;
      root_->bytes->Release();
    }
  }

  HRESULT QueryInterface(REFIID riid, void** out) override {
    return detail::QueryOne<IStorage>(this, riid, IID_IStorage, out);
  }
  ULONG AddRef() override { return static_cast<ULONG>(AddRefImpl()); }
  ULONG Release() override { return static_cast<ULONG>(ReleaseImpl()); }

  HRESULT CreateStream(const wchar_t* name, DWORD mode, DWORD, DWORD, IStream** out) override {
    std::shared_ptr<Node> node;
    HRESULT hr = Create(name, mode, false, &node, out);
    if (Succeeded(hr)) *out = new Stream(root_, node, mode);
    return hr;
  }
  HRESULT OpenStream(const wchar_t* name, void*, DWORD mode, DWORD, IStream** out) override {
    std::shared_ptr<Node> node;
    HRESULT hr = Open(name, mode, false, &node, out);
    if (Succeeded(hr)) *out = new Stream(root_, node, mode);
    return hr;
  }
  HRESULT CreateStorage(const wchar_t* name, DWORD mode, DWORD, DWORD, IStorage** out) override {
    std::shared_ptr<Node> node;
    HRESULT hr = Create(name, mode, true, &node, out);
    if (Succeeded(hr)) *out = new Storage(root_, node, mode, false);
    return hr;
  }
  HRESULT OpenStorage(const wchar_t* name, IStorage*, DWORD mode, void*, DWORD, IStorage** out) override {
    std::shared_ptr<Node> node;
    HRESULT hr = Open(name, mode, true, &node, out);
    if (Succeeded(hr)) *out = new Storage(root_, node, mode, false);
    return hr;
  }
  HRESULT Commit(DWORD) override { return root_->reverted ? STG_E_REVERTED : root_->bytes->Flush(); }
  HRESULT DestroyElement(const wchar_t* name) override {
    if (root_->reverted) return STG_E_REVERTED;
    if (!CanWrite(mode_)) return STG_E_ACCESSDENIED;
    auto& list = node_->children;
    auto it = Find(name);
    if (it == list.end()) return STG_E_FILENOTFOUND;
    list.erase(it);
    return Persist(*root_);
  }
  HRESULT SetClass(REFCLSID clsid) override {
    if (root_->reverted) return STG_E_REVERTED;
    if (!CanWrite(mode_)) return STG_E_ACCESSDENIED;
    node_->clsid = clsid;
    return Persist(*root_);
  }
  HRESULT Stat(STATSTG* out, DWORD) override {
    if (root_->reverted) return STG_E_REVERTED;
    if (!out) return STG_E_INVALIDPOINTER;
    *out = STATSTG{};
    out->name = node_->name;
    out->type = STGTY_STORAGE;
    out->mode = mode_;
    out->clsid = node_->clsid;
    return S_OK;
  }

 private:
  std::vector<std::shared_ptr<Node>>::iterator Find(const wchar_t* name) {
    auto& list = node_->children;
    return std::find_if(list.begin(), list.end(), [name](const auto& n) { return n->name == name; });
  }

  template <class Out>
  HRESULT Check(const wchar_t* name, DWORD mode, Out** out) {
    if (!out) return STG_E_INVALIDPOINTER;
    *out = nullptr;
    if (root_->reverted) return STG_E_REVERTED;
    if (!ValidName(name)) return STG_E_INVALIDNAME;
    if (!ExclusiveOnly(mode)) return STG_E_INVALIDFLAG;
    return S_OK;
  }

  template <class Out>
  HRESULT Create(const wchar_t* name, DWORD mode, bool storage, std::shared_ptr<Node>* node, Out** out) {
    HRESULT hr = Check(name, mode, out);
    if (Failed(hr)) return hr;
    if (!CanWrite(mode_) || !CanWrite(mode)) return STG_E_ACCESSDENIED;
    auto it = Find(name);
    if (it != node_->children.end()) {
      if (!(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
      node_->children.erase(it);
    }
    *node = std::make_shared<Node>();
    (*node)->storage = storage;
    (*node)->name = name;
    node_->children.push_back(*node);
    return Persist(*root_);
  }

  template <class Out>
  HRESULT Open(const wchar_t* name, DWORD mode, bool storage, std::shared_ptr<Node>* node, Out** out) {
    HRESULT hr = Check(name, mode, out);
    if (Failed(hr)) return hr;
    if (CanWrite(mode) && !CanWrite(mode_)) return STG_E_ACCESSDENIED;
    auto it = Find(name);
    if (it == node_->children.end() || (*it)->storage != storage) return STG_E_FILENOTFOUND;
    *node = *it;
    return S_OK;
  }

  std::shared_ptr<Root> root_;
  std::shared_ptr<Node> node_;
  DWORD mode_;
  bool isRoot_;
};

}  // namespace

HRESULT CreateILockBytesOnHGlobal(HGLOBAL mem, BOOL deleteOnRelease, ILockBytes** out) {
  if (!out) return E_INVALIDARG;
  *out = nullptr;
  if (!mem) mem = GlobalAlloc(GMEM_MOVEABLE, 0);
  else if (!GlobalLock(mem)) return E_INVALIDARG;
  else GlobalUnlock(mem);
  *out = new LockBytes(mem, deleteOnRelease != 0);
  return S_OK;
}

HRESULT GetHGlobalFromILockBytes(ILockBytes* bytes, HGLOBAL* out) {
  auto* lb = dynamic_cast<LockBytes*>(bytes);
  if (!out) return E_INVALIDARG;
  *out = lb ? lb->mem() : nullptr;
  return lb ? S_OK : E_INVALIDARG;
}

HRESULT StgCreateDocfileOnILockBytes(ILockBytes* bytes, DWORD mode, DWORD, IStorage** out) {
  if (!out || !bytes) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  if (!CanWrite(mode) || !ExclusiveOnly(mode)) return STG_E_INVALIDFLAG;
  STATSTG st;
  bytes->Stat(&st, 0);
  if (st.size > 0 && !(mode & STGM_CREATE)) return STG_E_FILEALREADYEXISTS;
  auto root = std::make_shared<Root>();
  root->bytes = bytes;
  root->node = std::make_shared<Node>();
  root->node->storage = true;
  root->node->name = L"Root Entry";
  HRESULT hr = Persist(*root);
  if (Failed(hr)) return hr;
  bytes->AddRef();
  *out = new Storage(root, root->node, mode, true);
  return S_OK;
}

HRESULT StgOpenStorageOnILockBytes(ILockBytes* bytes, IStorage*, DWORD mode, void*, DWORD, IStorage** out) {
  if (!out || !bytes) return STG_E_INVALIDPOINTER;
  *out = nullptr;
  STATSTG st;
  bytes->Stat(&st, 0);
  std::vector<uint8_t> all(static_cast<size_t>(st.size));
  ULONG read = 0;
  if (!all.empty()) bytes->ReadAt(0, all.data(), static_cast<ULONG>(all.size()), &read);
  if (read < sizeof kMagic || !std::equal(kMagic, kMagic + sizeof kMagic, all.begin())) return STG_E_INVALIDHEADER;
  std::vector<uint8_t> body(all.begin() + sizeof kMagic, all.end());
  auto node = std::make_shared<Node>();
  Reader reader(body);
  if (!reader.ReadNode(node.get(), 0) || !node->storage) return STG_E_INVALIDHEADER;
  auto root = std::make_shared<Root>();
  root->bytes = bytes;
  root->node = node;
  bytes->AddRef();
  *out = new Storage(root, node, mode, true);
  return S_OK;
}

}  // namespace ole
