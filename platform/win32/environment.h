#pragma once
// Process and environment queries of the platform, answered from the Linux
// host. Tests and demos steer them through environment variables:
//   ORN_TEMP_PATH       the temporary path (default: $TMPDIR or /tmp, with "/")
//   ORN_COMPUTER_NAME   the computer name (default: the host name)
//   ORN_USER_NAME       the user name (default: the login name)
//   ORN_FAIL            comma list of queries that fail: temppath,
//                       computername, username
//   ORN_DRIVE_C         the folder that stands for the root "C:\" (default:
//                       the temporary path)
//   ORN_PROGRAM_DIR     the program directory (default: the folder of the
//                       running executable)
//   ORN_EDITOR, ORN_STARTED  see StartProgram

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace win32 {

// The temporary path, ending with "/". Like the platform call: returns the
// length copied; 0 on failure; when the path needs more than `bufferChars`-1
// characters, nothing is copied and the needed size (with terminator) is
// returned, which callers must tell apart from a length.
uint32_t GetTempPath(uint32_t bufferChars, std::string* out);
// The temporary folder without the failure switch and without a trailing
// "/", for the stand-ins' own files (event log, drive C).
std::string TempDirectory();
// Computer and user name, upper case. *size: buffer size on entry (with
// terminator), length on return. False on failure (or a too small buffer).
bool GetComputerName(std::string* out, uint32_t* size);
bool GetUserName(std::string* out, uint32_t* size);

// The folder of the running program (or ORN_PROGRAM_DIR), without a
// trailing "/": the folder of the executable file itself, so a program
// started through a link (bin/Quillet in an installation) finds the files
// that lie beside it.
std::string ProgramDirectory();
// The program's command-line text after its name, rebuilt from argv for a
// program that parses it by its own rules ("/" opens a switch, blanks and
// "," separate, double quotes group): the words joined by one blank. Only a
// word "/NAME" or "/NAME=VALUE" whose NAME is one of the program's switch
// names (given to SetCommandLine, any case) stays a switch; its VALUE is put
// in double quotes when it holds a blank, ",", "=" or "/". Every other word
// is a value and is put in double quotes when it holds a blank, ",", "=" or
// "/" anywhere, so an absolute path ("/scans", "/tmp/out") reaches the
// parser as one positional value. A double quote inside a word cannot be
// carried and is passed as it is. A text that would begin and end with a
// double quote gets a trailing ",", so that the programs' removal of one
// enclosing pair of quotes leaves the words' own quotes alone.
std::string CommandLine();
// The words after the program's name, as main() received them.
std::vector<std::string> CommandLineWords();
// Called once by main() before anything reads the command line, with the
// names of the switches the program knows (upper case). As the start of the
// program's process it also ignores SIGXFSZ: a write beyond the file-size
// limit (ulimit -f) then fails like one on a full disk, and the program
// reports it on its own error path instead of being killed mid-save.
void SetCommandLine(int argc, char** argv, std::vector<std::string> switches = {});
// Rebuilds the text for a word list (the rule above); for tests.
std::string JoinCommandLine(const std::vector<std::string>& words, const std::vector<std::string>& switches);

// The user's own folder for what the kit keeps between runs (logs):
// $XDG_STATE_HOME/orn, or ~/.local/state/orn when XDG_STATE_HOME is unset,
// empty or not absolute. Made (mode 0700, with missing parents) when absent;
// when it cannot be made, the name is returned all the same, so that the
// first write into it reports which file failed.
std::string StateDirectory();

// Maps a platform path to a host path: "C:\" and "C:/" at the start become
// the ORN_DRIVE_C folder, every "\" becomes "/".
std::string HostPath(std::string_view path);

// Ends the process with `code`; a negative code ends it with its low 8 bits
// (-5 gives 251). Flushes standard streams first.
[[noreturn]] void ExitProcess(int32_t code);

// Starts `program` with `args` without waiting. The program named by
// ORN_EDITOR stands for the platform's text editor ("notepad"); without it
// the start is only recorded. Every start is appended to the file named by
// ORN_STARTED (one line: program and arguments joined by " | ").
bool StartProgram(std::string_view program, const std::vector<std::string>& args);

}  // namespace win32
