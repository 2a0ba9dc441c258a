// The call journal of the imaging control: an in-memory list that tests
// switch on, and the file named by ORN_PIXO_JOURNAL.

#include <unistd.h>

#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>

#include "platform/imaging/pixo_state.h"

namespace imaging {
namespace {

// The value of one environment variable, looked up again only when the
// environment has changed where it matters: every member call asks, and a
// search of the whole environment per call costs more than the call. A set
// or unset that adds or drops an entry changes the list's address or its
// end; one that replaces the variable's value replaces its entry.
class EnvWatch {
 public:
  explicit EnvWatch(const char* name) : name_(name), length_(std::strlen(name)) {}

  const char* Get() {
    char** env = environ;
    if (!Changed(env)) return value_;
    value_ = nullptr;
    slot_ = -1;
    size_t n = 0;
    for (; env && env[n]; ++n) {
      if (slot_ < 0 && std::strncmp(env[n], name_, length_) == 0 && env[n][length_] == '=') {
        slot_ = static_cast<ptrdiff_t>(n);
        value_ = env[n] + length_ + 1;
      }
    }
    list_ = env;
    count_ = n;
    last_ = n ? env[n - 1] : nullptr;
    entry_ = slot_ >= 0 ? env[slot_] : nullptr;
    return value_;
  }

 private:
  bool Changed(char** env) const {
    if (!list_ || env != list_ || env[count_] != nullptr) return true;
    if (count_ && env[count_ - 1] != last_) return true;
    return slot_ >= 0 && env[slot_] != entry_;
  }

  const char* name_;
  size_t length_;
  char** list_ = nullptr;
  size_t count_ = 0;
  char* last_ = nullptr;
  ptrdiff_t slot_ = -1;
  char* entry_ = nullptr;
  const char* value_ = nullptr;
};

struct Journal {
  std::mutex mutex;
  bool memoryOn = false;
  std::vector<std::string> lines;
  std::ofstream file;
  std::string filePath;
  EnvWatch variable{"ORN_PIXO_JOURNAL"};
};

Journal& TheJournal() {
  static Journal j;
  return j;
}

// The ORN_PIXO_JOURNAL file, (re)opened when the variable names another
// file; the caller holds the mutex.
bool FileOn(Journal& j) {
  const char* env = j.variable.Get();
  if (!env ? j.filePath.empty() : j.filePath == env) return j.file.is_open();
  const std::string path = env ? env : "";
  if (path != j.filePath) {
    j.file.close();
    j.filePath = path;
    if (!path.empty()) j.file.open(path, std::ios::app);
  }
  return j.file.is_open();
}

}  // namespace

bool JournalOn() {
  Journal& j = TheJournal();
  std::lock_guard lock(j.mutex);
  return j.memoryOn || FileOn(j);
}

void JournalWrite(const std::string& line) {
  Journal& j = TheJournal();
  std::lock_guard lock(j.mutex);
  if (j.memoryOn) j.lines.push_back(line);
  if (FileOn(j)) j.file << line << '\n' << std::flush;
}

std::string JournalValue(const rt::Variant& v) {
  switch (v.kind()) {
    case rt::Variant::Kind::Empty: return "Empty";
    case rt::Variant::Kind::Boolean: return v.AsBool() ? "True" : "False";
    case rt::Variant::Kind::Integer: return std::to_string(v.AsInteger()) + "%";
    case rt::Variant::Kind::Long: return std::to_string(v.AsLong()) + "&";
    case rt::Variant::Kind::Double: {
      char buf[32];
      const auto r = std::to_chars(buf, buf + sizeof buf, v.AsDouble());
      return std::string(buf, r.ptr) + "#";
    }
    case rt::Variant::Kind::String: {
      std::string out = "\"";
      for (char c : v.AsString()) out += c == '"' ? std::string("\"\"") : std::string(1, c);
      return out + "\"";
    }
    case rt::Variant::Kind::Object: return v.AsObject() ? "Object" : "Nothing";
  }
  return "?";
}

void StartJournal() {
  Journal& j = TheJournal();
  std::lock_guard lock(j.mutex);
  j.memoryOn = true;
  j.lines.clear();
}

std::vector<std::string> StopJournal() {
  Journal& j = TheJournal();
  std::lock_guard lock(j.mutex);
  j.memoryOn = false;
  std::vector<std::string> out = std::move(j.lines);
  j.lines.clear();
  return out;
}

}  // namespace imaging
