#pragma once
// Files a user keeps, written so that a crash, a power cut or a second
// program writing the same name never leaves half a file under the name:
// the bytes go to a temporary file beside it, are flushed to the disk, and
// the temporary is renamed over the name, then the folder is flushed.
//
// The temporary is "<name>.<pid>.<n>.part": it belongs to this process,
// which holds a lock on it (flock) from creating it to renaming it. A
// temporary that nobody holds locked was left by a process that ended;
// starting a new file of the name removes those.

#include <sys/types.h>

#include <string>
#include <string_view>

namespace rt {

// The steps of a durable write, in their order, for the fault seam.
enum class DurableStep { kCreate, kWrite, kSyncFile, kRename, kSyncFolder };

// A test's hand in durable writes. Before() is asked before each step of
// every durable write in the process, with the final name; it answers 0 to
// go on or an errno value that the step then fails with, and may end the
// process there as a crash would. For kWrite it is asked once the first
// half of each Write has reached the temporary (so a crash there leaves a
// torn temporary), and at every Wrote().
class DurableFaults {
 public:
  virtual ~DurableFaults() = default;
  virtual int Before(DurableStep step, const std::string& name) = 0;
};

// Puts `faults` in place for the whole process (nullptr: none, the
// default); returns the one that was in place. Without one, the variable
// ORN_DURABLE_KILL=<step>:<n> (step one of create, write, sync, rename,
// syncdir) kills the process with SIGKILL when the n-th durable step of that
// kind is reached: program tests stop a save or a print there.
DurableFaults* SetDurableFaults(DurableFaults* faults);

// One file being written aside for `name`. Every method answers 0 or the
// errno value of the failure; after a failure only Discard() is of use.
// Not shared between threads.
class DurableFile {
 public:
  DurableFile() = default;
  DurableFile(const DurableFile&) = delete;
  DurableFile& operator=(const DurableFile&) = delete;
  // A file neither committed nor discarded is discarded.
  ~DurableFile();

  // Creates the temporary beside `name` (a host path; its folder must
  // exist), with `mode` less the umask, after removing the stale
  // temporaries of the name.
  int Create(std::string name, mode_t mode = 0666);
  // The temporary's path, for a writer that opens the file by its name;
  // "" when none is open.
  const std::string& aside() const { return aside_; }
  const std::string& name() const { return name_; }
  // Appends `bytes` to the temporary.
  int Write(std::string_view bytes);
  // Tells the seam that a writer using aside() has written a part.
  int Wrote();
  // Flushes the temporary to the disk, renames it over the name and
  // flushes the folder. On a failure before the rename the temporary is
  // removed and the name keeps its old file.
  int Commit();
  // Removes the temporary; the name keeps its old file.
  void Discard();

 private:
  std::string name_;
  std::string aside_;
  int fd_ = -1;
};

// Writes `bytes` as the whole new content of `name` (host path) through a
// DurableFile: 0 or the errno value of the failure.
int WriteFileDurably(const std::string& name, std::string_view bytes, mode_t mode = 0666);

// Removes the temporaries beside `name` that no live process holds,
// temporaries of the older form "<name>.part" among them.
void RemoveStaleAsides(const std::string& name);

}  // namespace rt
