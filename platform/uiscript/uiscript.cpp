#include "platform/uiscript/uiscript.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <thread>

#include "platform/settings/settings.h"

namespace uiscript {
namespace {

std::string LineError(int line, const std::string& message) {
  return "ui script line " + std::to_string(line) + ": " + message;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// Splits one line into words; quoted words may hold blanks and the escapes
// \" and \\ (any other backslash is kept as it is, so Windows-style paths
// need no doubling).
std::vector<std::string> SplitWords(std::string_view text, int line) {
  std::vector<std::string> words;
  size_t i = 0;
  while (true) {
    while (i < text.size() && IsBlank(text[i])) ++i;
    if (i >= text.size()) break;
    std::string word;
    if (text[i] == '"') {
      ++i;
      bool closed = false;
      while (i < text.size()) {
        char c = text[i];
        if (c == '\\' && i + 1 < text.size() && (text[i + 1] == '"' || text[i + 1] == '\\')) {
          word += text[i + 1];
          i += 2;
        } else if (c == '"') {
          ++i;
          closed = true;
          break;
        } else {
          word += c;
          ++i;
        }
      }
      if (!closed) throw ScriptError(LineError(line, "unbalanced quote"));
      if (i < text.size() && !IsBlank(text[i]))
        throw ScriptError(LineError(line, "blank expected after closing quote"));
    } else {
      while (i < text.size() && !IsBlank(text[i])) {
        if (text[i] == '"') throw ScriptError(LineError(line, "quote inside a word"));
        word += text[i++];
      }
    }
    words.push_back(std::move(word));
  }
  return words;
}

const char* const kAnswerNames[] = {"", "ok", "cancel", "abort", "retry", "ignore", "yes", "no"};

// The buttons of a box in their order on screen.
std::vector<Answer> Buttons(int32_t style) {
  switch (style & 0xF) {
    case kOkCancel: return {kOk, kCancel};
    case kAbortRetryIgnore: return {kAbort, kRetry, kIgnore};
    case kYesNoCancel: return {kYes, kNo, kCancel};
    case kYesNo: return {kYes, kNo};
    case kRetryCancel: return {kRetry, kCancel};
    default: return {kOk};  // kOkOnly, and button codes the box does not know
  }
}

std::string Escape(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (char c : field) {
    switch (c) {
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '|': out += "\\|"; break;
      default: out += c;
    }
  }
  return out;
}

}  // namespace

std::vector<Step> ParseScript(std::string_view text) {
  std::vector<Step> steps;
  int line = 0;
  size_t pos = 0;
  while (pos <= text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string_view::npos) end = text.size();
    std::string_view raw = text.substr(pos, end - pos);
    pos = end + 1;
    ++line;
    if (!raw.empty() && raw.back() == '\r') raw.remove_suffix(1);
    size_t first = 0;
    while (first < raw.size() && IsBlank(raw[first])) ++first;
    if (first == raw.size() || raw[first] == '#') continue;
    std::vector<std::string> words = SplitWords(raw, line);
    Step step;
    step.line = line;
    step.verb = std::move(words.front());
    step.args.assign(std::make_move_iterator(words.begin() + 1), std::make_move_iterator(words.end()));
    steps.push_back(std::move(step));
    if (end == text.size()) break;
  }
  return steps;
}

std::vector<Step> LoadScriptFromEnvironment() {
  const char* path = std::getenv("ORN_UI_SCRIPT");
  if (!path || !*path) return {};
  std::ifstream in(path, std::ios::binary);
  if (!in) throw ScriptError(std::string("ui script: cannot read '") + path + "'");
  std::ostringstream text;
  text << in.rdbuf();
  return ParseScript(text.str());
}

void Fail(const Step& step, const std::string& message) {
  throw ScriptError(LineError(step.line, message));
}

bool RunSharedStep(const Step& step) {
  if (step.verb != "answer") return false;
  if (step.args.size() != 1) Fail(step, "answer takes one word: yes|no|ok|cancel|abort|retry|ignore");
  std::optional<Answer> a = ParseAnswer(step.args[0]);
  if (!a) Fail(step, "unknown answer '" + step.args[0] + "'");
  AnswerQueue::Instance().Push(*a);
  return true;
}

std::optional<Answer> ParseAnswer(std::string_view word) {
  for (int32_t i = kOk; i <= kNo; ++i)
    if (word == kAnswerNames[i]) return static_cast<Answer>(i);
  return std::nullopt;
}

std::string_view AnswerName(Answer a) {
  if (a < kOk || a > kNo) return "?";
  return kAnswerNames[a];
}

AnswerQueue& AnswerQueue::Instance() {
  static AnswerQueue queue;
  return queue;
}

void AnswerQueue::Push(Answer a) {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.push_back(a);
}

void AnswerQueue::Clear() {
  std::lock_guard<std::mutex> lock(mutex_);
  queue_.clear();
}

std::optional<Answer> AnswerQueue::Take() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (queue_.empty()) return std::nullopt;
  Answer a = queue_.front();
  queue_.pop_front();
  return a;
}

bool Transcript::Enabled() {
  const char* path = std::getenv("ORN_UI_TRANSCRIPT");
  return path != nullptr && *path != 0;
}

void Transcript::Write(const std::vector<std::string>& fields) {
  if (!Enabled()) return;
  const char* path = std::getenv("ORN_UI_TRANSCRIPT");
  std::string line;
  for (size_t i = 0; i < fields.size(); ++i) {
    if (i) line += " | ";
    line += Escape(fields[i]);
  }
  line += '\n';
  // Opened per line so the transcript is complete even when the program is
  // ended abruptly right after a box.
  std::ofstream out(path, std::ios::binary | std::ios::app);
  out << line;
  out.flush();
  // A transcript that silently lost lines would pass for a run without boxes.
  static bool complained = false;
  if (!out && !complained) {
    complained = true;
    std::fprintf(stderr, "ui transcript: cannot write '%s'\n", path);
  }
}

std::vector<Answer> BoxButtons(int32_t style) { return Buttons(style); }

size_t BoxDefaultButton(int32_t style) {
  const size_t index = static_cast<size_t>((style >> 8) & 0xF);
  // A default button beyond the box's buttons falls back to the first.
  return index < Buttons(style).size() ? index : 0;
}

namespace {

BoxPresenter& Presenter() {
  static BoxPresenter presenter;
  return presenter;
}

}  // namespace

void SetBoxPresenter(BoxPresenter presenter) { Presenter() = std::move(presenter); }

Answer MessageBox(std::string_view text, int32_t style, std::string_view caption) {
  std::vector<Answer> buttons = Buttons(style);
  const size_t defaultIndex = BoxDefaultButton(style);

  std::string answerField;
  Answer answer;
  if (std::optional<Answer> queued = AnswerQueue::Instance().Take()) {
    bool offered = false;
    for (Answer b : buttons) offered = offered || b == *queued;
    if (!offered) {
      std::string names;
      for (Answer b : buttons) names += (names.empty() ? "" : "/") + std::string(AnswerName(b));
      throw ScriptError("ui script: answer '" + std::string(AnswerName(*queued)) +
                        "' does not fit the message box \"" + std::string(caption) + "\" (" + names + ")");
    }
    answer = *queued;
    answerField = std::string(AnswerName(answer));
  } else if (Presenter()) {
    answer = Presenter()(text, style, caption);
    answerField = std::string(AnswerName(answer));
  } else {
    answer = buttons[defaultIndex];
    answerField = std::string(AnswerName(answer)) + " (default)";
  }
  Transcript::Write({"msgbox", std::string(caption), std::to_string(style), std::string(text), answerField});
  if (!Presenter() && !Transcript::Enabled()) {
    // Headless, nobody sees the box: without a transcript it goes to
    // standard error, so that what went wrong is not lost in silence.
    std::string line = std::string(caption) + ": ";
    for (size_t i = 0; i < text.size(); ++i) {
      const bool lineEnd = text[i] == '\r' || text[i] == '\n';
      if (!lineEnd) line += text[i];
      else if (i + 1 == text.size() || (text[i + 1] != '\r' && text[i + 1] != '\n')) line += ' ';
    }
    while (!line.empty() && line.back() == ' ') line.pop_back();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }
  return answer;
}

bool DesktopVisible() {
  const char* desktop = std::getenv("ORN_DESKTOP");
  if (desktop == nullptr || !*desktop || std::string_view(desktop) == "visible") return true;
  if (std::string_view(desktop) != "hidden") settings::BadSetting("ORN_DESKTOP", "hidden or visible", desktop);
  return false;
}

namespace {

// A whole number of at most six digits in [min, max].
bool ParseWhole(const std::string& s, long min, long max, long* out) {
  if (s.empty() || s.size() > 6) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  const long v = std::strtol(s.c_str(), nullptr, 10);
  if (v < min || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

namespace {
std::optional<ScreenPixels>& RealScreen() {
  static std::optional<ScreenPixels> real;
  return real;
}
}  // namespace

void SetRealScreen(ScreenPixels screen) { RealScreen() = screen; }

ScreenPixels ScreenFromEnvironment() {
  ScreenPixels screen;
  const char* v = std::getenv("ORN_SCREEN");
  if (!v || !*v) return RealScreen().value_or(screen);
  const std::string s(v);
  const size_t x = s.find_first_of("xX");
  long w = 0, h = 0;
  if (x == std::string::npos || !ParseWhole(s.substr(0, x), 1, 100000, &w) ||
      !ParseWhole(s.substr(x + 1), 1, 100000, &h))
    settings::BadSetting("ORN_SCREEN", "WIDTHxHEIGHT in pixels, such as 1280x1024", s);
  screen.width = static_cast<int32_t>(w);
  screen.height = static_cast<int32_t>(h);
  return screen;
}

void StartWatchdog(const char* who) {
  static bool started = false;
  if (started) return;
  long seconds = 120;
  if (const char* v = std::getenv("ORN_UI_TIMEOUT"); v && *v) {
    if (!ParseWhole(v, 0, 86400, &seconds))
      settings::BadSetting("ORN_UI_TIMEOUT", "a number of seconds from 0 (no limit) to 86400", v);
  }
  started = true;
  if (seconds == 0) return;
  std::string name(who);
  std::thread([seconds, name] {
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    std::fprintf(stderr, "%s: the run took longer than %ld s (ORN_UI_TIMEOUT), ended with exit code 125\n",
                 name.c_str(), seconds);
    std::fflush(stderr);
    std::_Exit(125);
  }).detach();
}

}  // namespace uiscript
