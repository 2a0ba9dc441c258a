#include "platform/registry/registry.h"

#include <dirent.h>
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
#include <mutex>
#include <string_view>

#include "platform/eventlog/eventlog.h"
#include "platform/registry/hive.h"
#include "platform/runtime/durable_file.h"
#include "platform/runtime/files.h"
#include "platform/runtime/shared_folder.h"

namespace reg {

namespace {

using hive::Node;
using hive::Path;
using hive::Value;

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

namespace {

// The folder of the hive files; *inTemp tells that it is the default in the
// shared temporary folder, which must be this user's own (another user may
// have planted the name with a hive of theirs, or a link to their folder).
std::string Directory(bool* inTemp) {
  *inTemp = false;
  if (const char* d = std::getenv("ORN_REGISTRY_DIR"); d && *d) return d;
  if (const char* home = std::getenv("HOME"); home && *home) return std::string(home) + "/.orn-registry";
  *inTemp = true;
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/orn-registry-" + std::to_string(getuid());
}

}  // namespace

std::string RegistryDirectory() {
  bool inTemp;
  return Directory(&inTemp);
}

std::string HiveFile(Hive hive) { return RegistryDirectory() + "/" + HiveName(hive) + ".hive"; }

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

enum class Load { Ok, Missing, Damaged, Unreadable };

// Which file a parsed tree was read from: a write by any process renames a
// new file over the name (another inode), and an edit in place changes the
// size or the change time.
struct FileId {
  dev_t dev = 0;
  ino_t ino = 0;
  off_t size = -1;
  struct timespec mtime {}, ctime {};
  bool operator==(const FileId& o) const {
    return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
           mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
  }
};

FileId IdOf(const struct stat& st) { return FileId{st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }

// The parsed tree of one hive file, kept between calls: parsing a large
// hive costs far more than one look at the file's identity.
struct ParsedHive {
  std::string file;  // "" when nothing is kept
  FileId id;
  Node root;
};

// Reads `file` into an empty `root`; *id is the identity of what was read.
// Only a regular file is read: a pipe or a device put there must not block
// the call or feed it without end.
Load LoadHive(const std::string& file, Node* root, FileId* id) {
  int fd = rt::OpenRegularFile(file);
  if (fd < 0) return errno == ENOENT ? Load::Missing : Load::Unreadable;
  struct stat st;
  if (fstat(fd, &st) != 0) {
    close(fd);
    return Load::Unreadable;
  }
  *id = IdOf(st);
  std::string text;
  char buf[65536];
  for (;;) {
    ssize_t n = read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      close(fd);
      return Load::Unreadable;
    }
    if (n == 0) break;
    text.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return hive::Parse(text, root) ? Load::Ok : Load::Damaged;
}

// The current tree of `file` in `kept`: the one kept when the file is the
// one it was read from, else read anew. A missing file is an empty tree.
Load Current(const std::string& file, ParsedHive* kept) {
  struct stat st;
  if (!kept->file.empty() && kept->file == file && stat(file.c_str(), &st) == 0 && IdOf(st) == kept->id) {
    return Load::Ok;
  }
  kept->file.clear();
  kept->root = Node{};
  Node root;
  FileId id;
  const Load load = LoadHive(file, &root, &id);
  if (load == Load::Ok) {
    kept->root = std::move(root);
    kept->id = id;
    kept->file = file;
  }
  return load;
}

// A writer killed (or failing) between writing aside and renaming leaves its
// temporary behind; the durable write removes its own kind. Older versions
// left "<hive>.hive.tmp<pid>": called under the hive's lock, when no other
// writer of the hive is at work, every such file is stale.
void RemoveStaleWrites(const std::string& dir, const std::string& hiveFileName) {
  DIR* d = opendir(dir.c_str());
  if (!d) return;
  const std::string prefix = hiveFileName + ".tmp";
  while (const dirent* e = readdir(d)) {
    if (std::string_view(e->d_name).substr(0, prefix.size()) == prefix) unlinkat(dirfd(d), e->d_name, 0);
  }
  closedir(d);
}

// Written aside, flushed and renamed (durable_file.h): after a crash or a
// power cut the hive is the old one or the new one, never empty or half.
bool SaveHive(const std::string& file, const Node& root, ParsedHive* kept) {
  kept->file.clear();
  if (rt::WriteFileDurably(file, hive::Serialize(root)) != 0) return false;
  struct stat st;
  if (stat(file.c_str(), &st) == 0) {
    kept->id = IdOf(st);
    kept->file = file;
  }
  return true;
}

// A hive file that does not parse is what a crash or a full disk may have
// left: it is kept beside the hive as "<hive>.damaged" for a look, an event
// record names it, and the hive starts empty, so the user's later settings
// work again. Called under the hive's lock.
bool RecoverDamaged(const std::string& file, const char* hiveName, ParsedHive* kept) {
  const std::string aside = file + ".damaged";
  if (rename(file.c_str(), aside.c_str()) != 0) return false;
  kept->root = Node{};
  const bool saved = SaveHive(file, kept->root, kept);
  if (evlog::Source source = evlog::RegisterEventSource("", "ORN registry")) {
    evlog::ReportEvent(source, evlog::kWarning, 0, 0,
                       {std::string("The registry hive ") + hiveName + " in " + file +
                        " was damaged; it is kept as " + aside + " and the hive starts empty."},
                       {});
    evlog::DeregisterEventSource(source);
  }
  return saved;
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

// The hive's lock file, held (flock) by every writer from reading to
// renaming.
Status LockHive(const std::string& dir, Hive hive, int* lock) {
  if (!MakeDirs(dir)) return kAccessDenied;
  *lock = open((dir + "/" + HiveName(hive) + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (*lock < 0) return kAccessDenied;
  while (flock(*lock, LOCK_EX) != 0) {
    if (errno != EINTR) {
      close(*lock);
      *lock = -1;
      return kIoFailed;
    }
  }
  return kSuccess;
}

ParsedHive& Kept(Hive h) {
  static auto* kept = new ParsedHive[4];  // never destroyed, as Handles()
  return kept[static_cast<int>(h)];
}

// Runs `body` on the current tree of `hive`. A writing call holds the hive's
// lock file from reading to renaming, so it always changes the newest tree;
// the file is rewritten only when `body` sets *changed.
Status OnHive(Hive hive, bool write, const std::function<Status(Node& root, bool* changed)>& body) {
  if (FailFor(hive) != kSuccess) return FailFor(hive);
  bool inTemp;
  const std::string dir = Directory(&inTemp);
  if (inTemp) {
    // A write makes the folder; a read before it was ever made finds no hive.
    struct stat st;
    const bool missing = lstat(dir.c_str(), &st) != 0 && errno == ENOENT;
    if (!(write ? rt::MakePrivateFolder(dir) : missing || rt::IsPrivateFolder(dir))) return kAccessDenied;
  }
  const std::string fileName = std::string(HiveName(hive)) + ".hive";
  const std::string file = dir + "/" + fileName;
  int lock = -1;
  if (write) {
    if (Status st = LockHive(dir, hive, &lock); st != kSuccess) return st;
    RemoveStaleWrites(dir, fileName);
  }
  ParsedHive& kept = Kept(hive);
  Load load = Current(file, &kept);
  if (load == Load::Damaged && lock < 0) {
    // Setting the damaged file aside is a write: under the lock, and only
    // when it is still damaged once the lock is held.
    if (Status st = LockHive(dir, hive, &lock); st != kSuccess) return st;
    load = Current(file, &kept);
  }
  if (load == Load::Damaged && RecoverDamaged(file, HiveName(hive), &kept)) load = Load::Ok;
  Status st;
  if (load == Load::Damaged || load == Load::Unreadable) {
    kept.file.clear();
    st = kBadDb;
  } else {
    bool changed = false;
    st = body(kept.root, &changed);
    if (write && changed && (st != kSuccess || !SaveHive(file, kept.root, &kept))) {
      // The tree kept no longer is the file's.
      kept.file.clear();
      if (st == kSuccess) st = kIoFailed;
    }
  }
  if (lock >= 0) close(lock);  // releases the flock
  return st;
}

// The node of a handle, or the status that says why there is none.
Status NodeOf(Node& root, const Handle& h, Node** out) {
  *out = hive::Resolve(&root, h.path);
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
  auto parts = hive::SplitPath(path);
  if (!parts) return kInvalidParameter;
  CallLock lock;
  if (lock.reentered()) return kBusy;
  Status st = OnHive(hive, false, [&](Node& root, bool*) {
    return hive::Resolve(&root, *parts) ? kSuccess : kFileNotFound;
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
  if ((!data && size) || name.size() > hive::kMaxValueName) return kInvalidParameter;
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
      if (hive::SameText(it->name, name)) {
        node.values.erase(it);
        *changed = true;
        return kSuccess;
      }
    }
    return kFileNotFound;
  });
}

Status DeleteKey(Key parent, std::string_view subkey) {
  auto parts = hive::SplitPath(subkey);
  if (!parts || parts->empty()) return kInvalidParameter;
  CallLock lock;
  if (lock.reentered()) return kBusy;
  return OnKey(parent, true, [&](Node&, Node& node, bool* changed) {
    Path up(parts->begin(), parts->end() - 1);
    Node* owner = hive::Resolve(&node, up);
    Node* victim = owner ? owner->Child(parts->back()) : nullptr;
    if (!victim) return kFileNotFound;
    if (!victim->subkeys.empty()) return kAccessDenied;
    owner->subkeys.erase(hive::Fold(parts->back()));
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
