#pragma once
// The operator script and the transcript, shared by every windowed program.
//
// ORN_UI_SCRIPT names a text file of operator steps, one per line; blank
// lines and lines starting with "#" are skipped. A line is a verb followed
// by arguments separated by blanks; an argument in double quotes may hold
// blanks (\" and \\ inside quotes). Each program's driver gives the verbs
// their meaning; the verbs every driver shares are handled here:
//   answer yes|no|ok|cancel|abort|retry|ignore   queue the next box's answer
// ORN_UI_TRANSCRIPT names a file that receives one line per message box,
// dialog and caption or status change (see Transcript).

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace uiscript {

struct Step {
  int line = 0;  // 1-based line number in the script file
  std::string verb;
  std::vector<std::string> args;
};

// A script that cannot be read or a line that does not parse. what() names
// the file and line: "ui script line 3: unknown verb 'clik'".
class ScriptError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Parses script text (LF or CR LF line ends). Throws ScriptError for an
// unbalanced quote or a quote that does not start or end a word.
std::vector<Step> ParseScript(std::string_view text);
// Reads and parses the file named by ORN_UI_SCRIPT; no variable = no steps.
std::vector<Step> LoadScriptFromEnvironment();
// Throws ScriptError naming the step's line with `message`.
[[noreturn]] void Fail(const Step& step, const std::string& message);
// Runs a step whose verb every driver shares ("answer"); false when the
// verb is not one of them. Throws ScriptError for bad arguments.
bool RunSharedStep(const Step& step);

// Message-box answers with the platform's numbers.
enum Answer : int32_t { kOk = 1, kCancel = 2, kAbort = 3, kRetry = 4, kIgnore = 5, kYes = 6, kNo = 7 };
std::optional<Answer> ParseAnswer(std::string_view word);
std::string_view AnswerName(Answer a);  // "ok", "yes", ...

// Answers queued by "answer" steps, taken by the next box or dialog. Boxes
// may be shown on any thread: each queued answer is taken exactly once.
class AnswerQueue {
 public:
  static AnswerQueue& Instance();
  void Push(Answer a);
  std::optional<Answer> Take();
  void Clear();

 private:
  std::mutex mutex_;
  std::deque<Answer> queue_;
};

// Appends lines to the file named by ORN_UI_TRANSCRIPT (nothing without it;
// a file that cannot be written is reported once on standard error).
// Fields are separated by " | "; line breaks in a field are written as \n,
// carriage returns as \r, "|" as \|.
class Transcript {
 public:
  static bool Enabled();  // ORN_UI_TRANSCRIPT names a file
  static void Write(const std::vector<std::string>& fields);
};

// Message-box styles with the platform's numbers (low nibble: buttons;
// 0x0/0x100/0x200: default button; 0x10..0x40: icon).
enum BoxStyle : int32_t {
  kOkOnly = 0, kOkCancel = 1, kAbortRetryIgnore = 2, kYesNoCancel = 3, kYesNo = 4, kRetryCancel = 5,
  kDefaultButton2 = 0x100, kDefaultButton3 = 0x200,
  kIconCritical = 0x10, kIconQuestion = 0x20, kIconExclamation = 0x30, kIconInformation = 0x40,
};

// The buttons of a box of `style` in their order on screen, and the index
// of its default button (one beyond its buttons falls back to the first).
std::vector<Answer> BoxButtons(int32_t style);
size_t BoxDefaultButton(int32_t style);

// Shows a message box: takes the queued answer when it fits the box's
// buttons; else, on a real screen, the button the operator presses; else
// (headless) the box's default button. Writes the transcript line
//   msgbox | caption | style | text | answer [(default)]
// or, headless and without a transcript, the line "caption: text" on
// standard error (each line break of the text a blank).
// A queued answer that the box does not offer is an error of the script:
// throws ScriptError.
Answer MessageBox(std::string_view text, int32_t style, std::string_view caption);

// The real screen's box (platform/screen sets it at start-up): shows the box
// modal and returns the button pressed, one the style offers. Null: headless.
using BoxPresenter = std::function<Answer(std::string_view text, int32_t style, std::string_view caption)>;
void SetBoxPresenter(BoxPresenter presenter);

// The screen of every windowed program, in pixels: ORN_SCREEN = "WxH",
// read anew on each call; unset, the real screen's work area when one was
// opened (SetRealScreen), else 1280x1024. A malformed value is not guessed:
// settings::BadSetting ends the run with 124.
struct ScreenPixels {
  int32_t width = 1280, height = 1024;
};
ScreenPixels ScreenFromEnvironment();
// The work area of the real screen in the model's pixels (platform/screen
// sets it when it opens the display).
void SetRealScreen(ScreenPixels screen);

// Starts, once per process, the watchdog that ends a run lasting longer than
// ORN_UI_TIMEOUT seconds (default 120, 0 = no limit) with exit code 125 and
// a line on standard error that begins with `who`. A malformed value ends
// the run with 124 (settings::BadSetting).
void StartWatchdog(const char* who);

// Whether the desktop window is visible, i.e. an operator could see a box:
// true unless ORN_DESKTOP is "hidden" (a service or batch session); any
// value but "hidden", "visible" or empty ends the run with 124.
bool DesktopVisible();

}  // namespace uiscript
