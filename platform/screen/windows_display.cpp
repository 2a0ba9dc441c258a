#include "platform/screen/windows_display.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <set>

#include "platform/screen/backend.h"
#include "platform/screen/dialog_window.h"
#include "platform/screen/frame_window.h"
#include "platform/screen/list_dialog.h"
#include "platform/screen/pump.h"
#include "platform/screen/signal.h"
#include "platform/screen/widgets.h"
#include "platform/win32/environment.h"
#include "platform/windows/script.h"
#include "platform/windows/text.h"

namespace screen {

using namespace win;

namespace {

// The classic desktop's bars: the menu colour behind the toolbar and the
// status bar, a line above the status text, compact flat buttons; and the
// dialogs' font.
void UseClassicBars() {
  static bool done = false;
  if (done) return;
  done = true;
  AddScreenStyle(
      "#orn-client, #orn-toolbar, #orn-status { background-color: #f0f0f0; }"
      "#orn-status { border-top: 1px solid #a0a0a0; padding: 0 4px; }"
      "#orn-toolbar button { padding: 0 2px; min-height: 0; min-width: 0; }"
      // Dialogs are laid out for the classic 8-point dialog font.
      "#orn-dialog label, #orn-dialog button { font-size: 8pt; }"
      "#orn-dialog button { padding: 0 2px; min-height: 0; min-width: 0; }");
}

// Dialogs show themselves while they are answered (AnswerDialog).
bool IsDialog(HWND hwnd) { return GetClassNameW(hwnd) == L"#32770"; }

}  // namespace

WindowsDisplay::WindowsDisplay() {
  UseClassicBars();
  SetDisplayLostHandler([this] { DisplayGone(); });
}

WindowsDisplay::~WindowsDisplay() {
  SetDisplayLostHandler(nullptr);
  if (sessionEnd_) g_source_remove(sessionEnd_);
  frames_.clear();
}

void WindowsDisplay::WindowDestroyed() {
  if (sessionEnd_) return;
  sessionEnd_ = g_idle_add(Source([](gpointer data) {
                               auto* self = static_cast<WindowsDisplay*>(data);
                               self->sessionEnd_ = 0;
                               // A window that refuses stays, shown anew.
                               self->Input([] { EndSession(); });
                               return G_SOURCE_REMOVE;
                             }),
                           this);
}

void WindowsDisplay::DisplayGone() {
  EndSession();
  if (!FindWindowExW(nullptr, nullptr, nullptr, nullptr)) return;  // the program ends its own way
  std::fprintf(stderr, "windows: the program still runs after the display went away, ended with exit code 125\n");
  win32::ExitProcess(125);
}

void WindowsDisplay::Sync() {
  if (syncing_ > 0 || DisplayLost()) return;
  ++syncing_;
  try {
    std::set<HWND> open;
    for (HWND h = FindWindowExW(nullptr, nullptr, nullptr, nullptr); h; h = FindWindowExW(nullptr, h, nullptr, nullptr)) {
      if (IsDialog(h)) continue;
      open.insert(h);
      auto it = frames_.find(h);
      if (it != frames_.end() && it->second->Gone()) {
        if (sessionEnd_) continue;  // the session's end decides first
        frames_.erase(it);
        it = frames_.end();
      }
      if (IsWindowVisible(h)) {
        if (it == frames_.end()) it = frames_.emplace(h, std::make_unique<FrameWindow>(*this, h)).first;
        it->second->Update();
      } else if (it != frames_.end()) {
        it->second->Hide();
      }
    }
    std::erase_if(frames_, [&open](const auto& f) { return !open.count(f.first); });
  } catch (...) {
    --syncing_;
    throw;
  }
  --syncing_;
}

void WindowsDisplay::Input(const std::function<void()>& work) {
  Guard(work);
  Guard([this] { Sync(); });
}

void WindowsDisplay::Pump() {
  Sync();
  PumpPending();
}

void WindowsDisplay::RunUntil(const std::function<bool()>& done) {
  Sync();
  screen::RunUntil(done);
}

int WindowsDisplay::AnswerDialog(HWND dialog, int defaultButton) {
  Sync();
  return ShowDialogWindow(dialog, defaultButton);
}

std::optional<size_t> WindowsDisplay::ChoosePrinter(const std::vector<std::wstring>& printers, size_t marked) {
  Sync();
  std::vector<std::string> names;
  for (const std::wstring& p : printers) names.push_back(ToUtf8(p));
  return ChooseFromList("Print", "Select Printer", names, marked);
}

int RunWindows(const std::function<int()>& program) {
  if (StartBackend() == Backend::kHeadless) return program();
  WindowsDisplay display;
  struct Installed {
    explicit Installed(WindowsDisplay* d) { SetDisplay(d); }
    ~Installed() { SetDisplay(nullptr); }
  } installed(&display);
  return program();
}

}  // namespace screen
