#include "platform/registry/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>

#include "platform/runtime/strings.h"

namespace reg {

namespace {

constexpr std::string_view kHeader = "; ORN registry hive, format 1";
constexpr std::string_view kTrailer = "; end of hive";
constexpr size_t kMaxKeyPart = 255;
constexpr size_t kMaxValueName = 16383;

// ---- The tree -------------------------------------------------------------

struct Value {
  std::string name;
  uint32_t type = kNone;
  std::vector<uint8_t> data;
};

// Names compare without regard to case.
std::string Fold(std::string_view s) { return rt::LCase(s); }
bool SameText(std::string_view a, std::string_view b) {
  return rt::StrComp(a, b, rt::kTextCompare) == 0;
}

struct Node {
  std::string name;
  std::vector<Value> values;                           // stored order
  std::map<std::string, std::unique_ptr<Node>> subkeys;  // by folded name

  Node* Child(std::string_view part) {
    auto it = subkeys.find(Fold(part));
    return it == subkeys.end() ? nullptr : it->second.get();
  }
  Node* AddChild(std::string_view part) {
    auto& slot = subkeys[Fold(part)];
    if (!slot) {
      slot = std::make_unique<Node>();
      slot->name = std::string(part);
    }
    return slot.get();
  }
  Value* FindValue(std::string_view n) {
    for (auto& v : values) {
      if (SameText(v.name, n)) return &v;
    }
    return nullptr;
  }
};

using Path = std::vector<std::string>;

// Splits "A\B\C"; empty parts (leading, trailing or doubled "\") are skipped.
std::optional<Path> SplitPath(std::string_view path) {
  Path parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('\\', start);
    if (end == std::string_view::npos) end = path.size();
    std::string_view part = path.substr(start, end - start);
    if (part.size() > kMaxKeyPart) return std::nullopt;
    if (!part.empty()) parts.emplace_back(part);
    start = end + 1;
  }
  return parts;
}

Node* Resolve(Node* root, const Path& path) {
  Node* n = root;
  for (const auto& part : path) {
    if (!(n = n->Child(part))) return nullptr;
  }
  return n;
}

// ---- Text form ------------------------------------------------------------

const char kHex[] = "0123456789abcdef";

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::string QuoteText(std::string_view s) {
  std::string out = "\"";
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '\\': out += "\\\\"; break;
      case '"': out += "\\\""; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          out += "\\x";
          out += kHex[c >> 4];
          out += kHex[c & 15];
        } else {
          out += ch;
        }
    }
  }
  return out + "\"";
}

// Reads a quoted text at s[*pos]; false on any malformation.
bool UnquoteText(std::string_view s, size_t* pos, std::string* out) {
  size_t i = *pos;
  if (i >= s.size() || s[i] != '"') return false;
  out->clear();
  for (++i; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      *pos = i + 1;
      return true;
    }
    if (c != '\\') {
      *out += c;
      continue;
    }
    if (++i >= s.size()) return false;
    switch (s[i]) {
      case '\\': *out += '\\'; break;
      case '"': *out += '"'; break;
      case 'n': *out += '\n'; break;
      case 'r': *out += '\r'; break;
      case 't': *out += '\t'; break;
      case 'x': {
        if (i + 2 >= s.size()) return false;
        int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        *out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default: return false;
    }
  }
  return false;  // no closing quote
}

std::string EscapeKeyPart(std::string_view s) {
  std::string out;
  for (char ch : s) {
    auto c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7F || c == '%') {
      out += '%';
      out += kHex[c >> 4];
      out += kHex[c & 15];
    } else {
      out += ch;
    }
  }
  return out;
}

bool UnescapeKeyPath(std::string_view s, std::string* out) {
  out->clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      *out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return false;
    int hi = HexValue(s[i + 1]), lo = HexValue(s[i + 2]);
    if (hi < 0 || lo < 0) return false;
    *out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

bool IsPlainText(const std::vector<uint8_t>& d) {
  if (d.empty() || d.back() != 0) return false;
  return std::memchr(d.data(), 0, d.size() - 1) == nullptr;
}

std::string ValueLine(const Value& v) {
  std::string line = v.name.empty() ? "@" : QuoteText(v.name);
  line += '=';
  if ((v.type == kString || v.type == kExpandString) && IsPlainText(v.data)) {
    line += v.type == kString ? "sz:" : "expand_sz:";
    line += QuoteText(std::string_view(reinterpret_cast<const char*>(v.data.data()), v.data.size() - 1));
  } else if (v.type == kDword && v.data.size() == 4) {
    uint32_t x = v.data[0] | v.data[1] << 8 | v.data[2] << 16 | static_cast<uint32_t>(v.data[3]) << 24;
    char buf[16];
    std::snprintf(buf, sizeof buf, "%08x", x);
    line += "dword:";
    line += buf;
  } else {
    line += v.type == kBinary ? "hex:" : "hex(" + std::to_string(v.type) + "):";
    for (size_t i = 0; i < v.data.size(); ++i) {
      if (i) line += ',';
      line += kHex[v.data[i] >> 4];
      line += kHex[v.data[i] & 15];
    }
  }
  return line;
}

bool ParseHexBytes(std::string_view s, std::vector<uint8_t>* out) {
  out->clear();
  if (s.empty()) return true;
  for (size_t i = 0;; i += 3) {
    if (i + 2 > s.size()) return false;
    int hi = HexValue(s[i]), lo = HexValue(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out->push_back(static_cast<uint8_t>(hi * 16 + lo));
    if (i + 2 == s.size()) return true;
    if (s[i + 2] != ',') return false;
  }
}

bool ParseValueLine(std::string_view line, Value* v) {
  size_t pos = 0;
  if (line.substr(0, 1) == "@") {
    v->name.clear();
    pos = 1;
  } else if (!UnquoteText(line, &pos, &v->name) || v->name.empty()) {
    return false;
  }
  if (pos >= line.size() || line[pos] != '=') return false;
  std::string_view rest = line.substr(pos + 1);
  size_t colon = rest.find(':');
  if (colon == std::string_view::npos) return false;
  std::string_view kind = rest.substr(0, colon), body = rest.substr(colon + 1);
  if (kind == "sz" || kind == "expand_sz") {
    std::string text;
    size_t p = 0;
    if (!UnquoteText(body, &p, &text) || p != body.size()) return false;
    v->type = kind == "sz" ? kString : kExpandString;
    v->data.assign(text.begin(), text.end());
    v->data.push_back(0);
    return true;
  }
  if (kind == "dword") {
    if (body.size() != 8) return false;
    uint32_t x = 0;
    for (char c : body) {
      int h = HexValue(c);
      if (h < 0) return false;
      x = x << 4 | static_cast<uint32_t>(h);
    }
    v->type = kDword;
    v->data = {static_cast<uint8_t>(x), static_cast<uint8_t>(x >> 8), static_cast<uint8_t>(x >> 16),
               static_cast<uint8_t>(x >> 24)};
    return true;
  }
  if (kind == "hex") {
    v->type = kBinary;
  } else if (kind.size() > 5 && kind.substr(0, 4) == "hex(" && kind.back() == ')') {
    std::string_view num = kind.substr(4, kind.size() - 5);
    if (num.empty() || num.size() > 10) return false;
    uint64_t t = 0;
    for (char c : num) {
      if (c < '0' || c > '9') return false;
      t = t * 10 + static_cast<uint64_t>(c - '0');
    }
    if (t > UINT32_MAX) return false;
    v->type = static_cast<uint32_t>(t);
  } else {
    return false;
  }
  return ParseHexBytes(body, &v->data);
}

void WriteNode(const Node& n, const std::string& path, std::string* out) {
  *out += "[" + path + "]\n";
  for (const auto& v : n.values) *out += ValueLine(v) + "\n";
  for (const auto& [folded, child] : n.subkeys) {
    WriteNode(*child, (path.empty() ? "" : path + "\\") + EscapeKeyPart(child->name), out);
  }
}

std::string Serialize(const Node& root) {
  std::string out(kHeader);
  out += '\n';
  WriteNode(root, "", &out);
  out += kTrailer;
  out += '\n';
  return out;
}

// Any line that is not exactly as the writer makes it (comments and blank
// lines aside) makes the whole hive damaged.
bool Parse(std::string_view text, Node* root) {
  if (text.empty() || text.back() != '\n') return false;
  std::vector<std::string_view> lines;
  for (size_t start = 0; start < text.size();) {
    size_t end = text.find('\n', start);
    std::string_view l = text.substr(start, end - start);
    if (!l.empty() && l.back() == '\r') l.remove_suffix(1);  // edited elsewhere
    lines.push_back(l);
    start = end + 1;
  }
  if (lines.size() < 2 || lines.front() != kHeader || lines.back() != kTrailer) return false;
  Node* current = nullptr;
  std::set<std::string> seenKeys, seenValues;  // folded; seenValues of `current`
  for (size_t i = 1; i + 1 < lines.size(); ++i) {
    std::string_view l = lines[i];
    if (l.empty() || l[0] == ';') continue;
    if (l[0] == '[') {
      std::string path;
      if (l.size() < 2 || l.back() != ']' || !UnescapeKeyPath(l.substr(1, l.size() - 2), &path)) {
        return false;
      }
      auto parts = SplitPath(path);
      if (!parts || !seenKeys.insert(Fold(path)).second) return false;
      seenValues.clear();
      current = root;
      for (const auto& p : *parts) current = current->AddChild(p);
      continue;
    }
    Value v;
    if (!current || !ParseValueLine(l, &v) || !seenValues.insert(Fold(v.name)).second) return false;
    current->values.push_back(std::move(v));
  }
  return true;
}

// ---- Files ----------------------------------------------------------------

const char* HiveName(Hive h) {
  switch (h) {
    case Hive::ClassesRoot: return "HKEY_CLASSES_ROOT";
    case Hive::CurrentUser: return "HKEY_CURRENT_USER";
    case Hive::LocalMachine: return "HKEY_LOCAL_MACHINE";
    case Hive::Users: return "HKEY_USERS";
  }
  return "HKEY_UNKNOWN";
}

}  // namespace

std::string RegistryDirectory() {
  if (const char* d = std::getenv("ORN_REGISTRY_DIR"); d && *d) return d;
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.orn-registry";
  return "/tmp/orn-registry-" + std::to_string(getuid());
}

namespace {

bool MakeDirs(const std::string& dir) {
  for (size_t pos = 1; pos <= dir.size(); ++pos) {
    if (pos == dir.size() || dir[pos] == '/') {
      std::string part = dir.substr(0, pos);
      if (mkdir(part.c_str(), 0777) != 0 && errno != EEXIST) return false;
    }
  }
  struct stat st;
  return stat(dir.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

enum class Load { Ok, Missing, Damaged };

Load LoadHive(const std::string& file, Node* root) {
  int fd = open(file.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT ? Load::Missing : Load::Damaged;
  std::string text;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return Load::Damaged;
    }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return Parse(text, root) ? Load::Ok : Load::Damaged;
}

bool SaveHive(const std::string& file, const Node& root) {
  std::string tmp = file + ".tmp" + std::to_string(getpid());
  int fd = open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  std::string text = Serialize(root);
  size_t done = 0;
  bool ok = true;
  while (ok && done < text.size()) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n < 0 && errno == EINTR) continue;
    ok = n > 0;
    if (ok) done += static_cast<size_t>(n);
  }
  // No fsync: the rename keeps other processes from ever seeing half a hive,
  // which is what the lock promises; surviving a power cut is not asked for,
  // and a flush per write would make every setting cost tens of milliseconds.
  ok = close(fd) == 0 && ok;
  ok = ok && rename(tmp.c_str(), file.c_str()) == 0;
  if (!ok) unlink(tmp.c_str());
  return ok;
}

// ---- Handles and the call frame ---------------------------------------------

struct Handle {
  Hive hive;
  Path path;
};

std::mutex g_mutex;  // guards everything below and serialises this process's calls
thread_local bool t_inCall = false;

// The lock of one call. A call made on a thread that is already inside one
// can only come from a processor-exception translator running on top of a
// call that faulted (writing into the caller's buffer, say): it must not
// wait for the lock its own thread holds, so it fails with kBusy at once.
class CallLock {
 public:
  CallLock() : reentered_(t_inCall) {
    if (reentered_) return;
    g_mutex.lock();
    t_inCall = true;
  }
  ~CallLock() {
    if (reentered_) return;
    t_inCall = false;
    g_mutex.unlock();
  }
  CallLock(const CallLock&) = delete;
  CallLock& operator=(const CallLock&) = delete;
  bool reentered() const { return reentered_; }

 private:
  bool reentered_;
};
// Made on first use and never destroyed: programs reach this from their
// static constructors and destructors too.
std::map<Key, Handle>& Handles() {
  static auto* table = new std::map<Key, Handle>;
  return *table;
}
Key g_nextKey = 0x100;
Status g_fail[4] = {kSuccess, kSuccess, kSuccess, kSuccess};

Status& FailFor(Hive h) { return g_fail[static_cast<int>(h)]; }

// Runs `body` on the current tree of `hive`. A writing call holds the hive's
// lock file from reading to renaming, so it always changes the newest tree;
// the file is rewritten only when `body` sets *changed.
Status OnHive(Hive hive, bool write, const std::function<Status(Node& root, bool* changed)>& body) {
  if (FailFor(hive) != kSuccess) return FailFor(hive);
  std::string dir = RegistryDirectory();
  std::string file = dir + "/" + HiveName(hive) + ".hive";
  int lock = -1;
  if (write) {
    if (!MakeDirs(dir)) return kAccessDenied;
    lock = open((dir + "/" + HiveName(hive) + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (lock < 0) return kAccessDenied;
    while (flock(lock, LOCK_EX) != 0) {
      if (errno != EINTR) {
        close(lock);
        return kIoFailed;
      }
    }
  }
  Node root;
  Status st;
  if (LoadHive(file, &root) == Load::Damaged) {
    st = kBadDb;
  } else {
    bool changed = false;
    st = body(root, &changed);
    if (st == kSuccess && write && changed && !SaveHive(file, root)) st = kIoFailed;
  }
  if (lock >= 0) close(lock);  // releases the flock
  return st;
}

// The node of a handle, or the status that says why there is none.
Status NodeOf(Node& root, const Handle& h, Node** out) {
  *out = Resolve(&root, h.path);
  return *out ? kSuccess : kKeyDeleted;
}

const Handle* Find(Key key) {
  auto it = Handles().find(key);
  return it == Handles().end() ? nullptr : &it->second;
}

Key NewHandle(Hive hive, Path path) {
  Key k = g_nextKey++;
  Handles()[k] = Handle{hive, std::move(path)};
  return k;
}

// Copies into a buffer of the caller's with plain stores. A buffer that
// cannot be written faults here, and the fault leaves the call as the
// caller's processor exception through this library's unwind tables (it is
// built with -fnon-call-exceptions); the C library's memcpy is declared
// never to throw, so a fault inside it could not leave a frame with cleanups.
void CopyOut(void* to, const void* from, size_t n) {
  auto* out = static_cast<volatile uint8_t*>(to);
  auto* in = static_cast<const uint8_t*>(from);
  for (size_t i = 0; i < n; ++i) out[i] = in[i];
}

// Copies data the way the value queries do: buffer may be null to ask for
// the size; kMoreData and the needed size when it is too small.
Status CopyData(const Value& v, ValueType* type, uint8_t* buffer, uint32_t* size) {
  if (type) *type = static_cast<ValueType>(v.type);
  if (!size) return buffer ? kInvalidParameter : kSuccess;
  uint32_t need = static_cast<uint32_t>(v.data.size());
  if (buffer && *size < need) {
    *size = need;
    return kMoreData;
  }
  if (buffer && need) CopyOut(buffer, v.data.data(), need);
  *size = need;
  return kSuccess;
}

// A call on an open key: looks the handle up and runs `body` on its node.
Status OnKey(Key key, bool write, const std::function<Status(Node& root, Node& node, bool* changed)>& body) {
  const Handle* h = Find(key);
  if (!h) return kInvalidHandle;
  Handle handle = *h;
  return OnHive(handle.hive, write, [&](Node& root, bool* changed) {
    Node* node;
    if (Status st = NodeOf(root, handle, &node); st != kSuccess) return st;
    return body(root, *node, changed);
  });
}

}  // namespace

namespace {

Status OpenOrCreate(Hive hive, std::string_view path, Key* out, bool create) {
  if (!out) return kInvalidParameter;
  *out = 0;
  auto parts = SplitPath(path);
  if (!parts) return kInvalidParameter;
  CallLock lock;
  if (lock.reentered()) return kBusy;
  Status st = OnHive(hive, false, [&](Node& root, bool*) {
    return Resolve(&root, *parts) ? kSuccess : kFileNotFound;
  });
  // Only a missing key takes the write path: opening an existing one with
  // CreateKey must not rewrite the hive.
  if (st == kFileNotFound && create) {
    st = OnHive(hive, true, [&](Node& root, bool* changed) {
      Node* n = &root;
      for (const auto& p : *parts) {
        if (!n->Child(p)) *changed = true;
        n = n->AddChild(p);
      }
      return kSuccess;
    });
  }
  if (st == kSuccess) *out = NewHandle(hive, *parts);
  return st;
}

}  // namespace

Status OpenKey(Hive hive, std::string_view path, Key* out) {
  return OpenOrCreate(hive, path, out, false);
}

Status CreateKey(Hive hive, std::string_view path, Key* out) {
  return OpenOrCreate(hive, path, out, true);
}

Status CloseKey(Key key) {
  CallLock lock;
  if (lock.reentered()) return kBusy;
  auto it = Handles().find(key);
  if (it == Handles().end()) return kInvalidHandle;
  Status fail = FailFor(it->second.hive);
  Handles().erase(it);
  return fail;
}

Status QueryValue(Key key, std::string_view name, ValueType* type, uint8_t* buffer, uint32_t* size) {
  CallLock lock;
  if (lock.reentered()) return kBusy;
  return OnKey(key, false, [&](Node&, Node& node, bool*) {
    const Value* v = node.FindValue(name);
    return v ? CopyData(*v, type, buffer, size) : kFileNotFound;
  });
}

Status SetValue(Key key, std::string_view name, ValueType type, const uint8_t* data, uint32_t size) {
  if ((!data && size) || name.size() > kMaxValueName) return kInvalidParameter;
  CallLock lock;
  if (lock.reentered()) return kBusy;
  return OnKey(key, true, [&](Node&, Node& node, bool* changed) {
    Value* v = node.FindValue(name);
    if (!v) {
      node.values.push_back(Value{std::string(name), kNone, {}});
      v = &node.values.back();
    }
    v->type = type;
    v->data.assign(data, data + size);
    *changed = true;
    return kSuccess;
  });
}

Status DeleteValue(Key key, std::string_view name) {
  CallLock lock;
  if (lock.reentered()) return kBusy;
  return OnKey(key, true, [&](Node&, Node& node, bool* changed) {
    for (auto it = node.values.begin(); it != node.values.end(); ++it) {
      if (SameText(it->name, name)) {
        node.values.erase(it);
        *changed = true;
        return kSuccess;
      }
    }
    return kFileNotFound;
  });
}

Status DeleteKey(Key parent, std::string_view subkey) {
  auto parts = SplitPath(subkey);
  if (!parts || parts->empty()) return kInvalidParameter;
  CallLock lock;
  if (lock.reentered()) return kBusy;
  return OnKey(parent, true, [&](Node&, Node& node, bool* changed) {
    Path up(parts->begin(), parts->end() - 1);
    Node* owner = Resolve(&node, up);
    Node* victim = owner ? owner->Child(parts->back()) : nullptr;
    if (!victim) return kFileNotFound;
    if (!victim->subkeys.empty()) return kAccessDenied;
    owner->subkeys.erase(Fold(parts->back()));
    *changed = true;
    return kSuccess;
  });
}

Status EnumValue(Key key, uint32_t index, char* name, uint32_t* nameSize, ValueType* type,
                 uint8_t* data, uint32_t* dataSize) {
  if (!name || !nameSize) return kInvalidParameter;
  CallLock lock;
  if (lock.reentered()) return kBusy;
  return OnKey(key, false, [&](Node&, Node& node, bool*) {
    if (index >= node.values.size()) return kNoMoreItems;
    const Value& v = node.values[index];
    if (*nameSize < v.name.size() + 1) return kMoreData;
    CopyOut(name, v.name.c_str(), v.name.size() + 1);
    *nameSize = static_cast<uint32_t>(v.name.size());
    return CopyData(v, type, data, dataSize);
  });
}

Status EnumKey(Key key, uint32_t index, std::string* name) {
  if (!name) return kInvalidParameter;
  CallLock lock;
  if (lock.reentered()) return kBusy;
  return OnKey(key, false, [&](Node&, Node& node, bool*) {
    if (index >= node.subkeys.size()) return kNoMoreItems;
    auto it = node.subkeys.begin();
    std::advance(it, index);
    *name = it->second->name;
    return kSuccess;
  });
}

Status SetString(Key key, std::string_view name, std::string_view text) {
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0);
  return SetValue(key, name, kString, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

Status SetDword(Key key, std::string_view name, uint32_t value) {
  const uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                            static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
  return SetValue(key, name, kDword, bytes, 4);
}

Status SetBinary(Key key, std::string_view name, const std::vector<uint8_t>& bytes) {
  return SetValue(key, name, kBinary, bytes.data(), static_cast<uint32_t>(bytes.size()));
}

void FailHiveForTest(Hive hive, Status status) {
  CallLock lock;
  if (lock.reentered()) return;
  FailFor(hive) = status;
}

}  // namespace reg
