// The call journal of the imaging control: an in-memory list that tests
// switch on, and the file named by ORN_PIXO_JOURNAL.

#include <charconv>
#include <cstdlib>
#include <fstream>
#include <mutex>

#include "platform/imaging/pixo_state.h"

namespace imaging {
namespace {

struct Journal {
  std::mutex mutex;
  bool memoryOn = false;
  std::vector<std::string> lines;
  std::ofstream file;
  std::string filePath;
};

Journal& TheJournal() {
  static Journal j;
  return j;
}

// The ORN_PIXO_JOURNAL file, (re)opened when the variable names another
// file; the caller holds the mutex.
bool FileOn(Journal& j) {
  const char* env = std::getenv("ORN_PIXO_JOURNAL");
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
