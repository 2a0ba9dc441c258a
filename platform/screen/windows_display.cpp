#include "platform/screen/windows_display.h"

#include <gtk/gtk.h>

#include <cstdio>
#include <set>
#include <string>

#include "platform/screen/backend.h"
#include "platform/screen/dialog_window.h"
#include "platform/screen/frame_window.h"
#include "platform/screen/list_dialog.h"
#include "platform/screen/message_box.h"
#include "platform/screen/pump.h"
#include "platform/screen/signal.h"
#include "platform/screen/widgets.h"
#include "platform/win32/environment.h"
#include "platform/windows/script.h"
#include "platform/windows/text.h"

namespace screen {

using namespace win;

namespace {

// The size of the desktop's font in points, divided by the device scale:
// the tree counts the device's pixels, GTK draws a point that many times
// as large.
std::string DesktopPoints(double points) {
  if (points <= 0) {
    points = 10;
    gchar* name = nullptr;
    g_object_get(gtk_settings_get_default(), "gtk-font-name", &name, nullptr);
    if (name) {
      PangoFontDescription* font = pango_font_description_from_string(name);
      if (const int size = pango_font_description_get_size(font); size > 0) points = size / double(PANGO_SCALE);
      pango_font_description_free(font);
      g_free(name);
    }
  }
  char text[32];
  std::snprintf(text, sizeof text, "%gpt", points / DeviceScale());
  return text;
}

// The classic desktop's bars: the menu colour behind the toolbar and the
// status bar, a line above the status text, compact flat buttons; and the
// dialogs' font.
void UseClassicBars() {
  static bool done = false;
  if (done) return;
  done = true;
  const std::string css =
      "#orn-client, #orn-toolbar, #orn-status { background-color: #f0f0f0; }"
      "#orn-status { border-top: 1px solid #a0a0a0; padding: 0 4px; }"
      "#orn-toolbar button { padding: 0 2px; min-height: 0; min-width: 0; }"
      "menubar, menubar menuitem, menu menuitem, #orn-toolbar label, #orn-status label { font-size: " +
      DesktopPoints(0) +
      "; }"
      // Dialogs are laid out for the classic 8-point dialog font.
      "#orn-dialog label, #orn-dialog button { font-size: " +
      DesktopPoints(8) +
      "; }"
      "#orn-dialog button { padding: 0 2px; min-height: 0; min-width: 0; }";
  AddScreenStyle(css.c_str());
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
  LetWindowsGo(frames_);
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

std::optional<PrinterPick> WindowsDisplay::ChoosePrinter(const std::vector<std::wstring>& printers, size_t marked) {
  Sync();
  std::vector<std::string> names;
  for (const std::wstring& p : printers) names.push_back(ToUtf8(p));
  PrinterPick pick;
  // The number of copies and collation below the printers, handed over as a
  // script's printer step hands them; labels in GTK's own words.
  auto copiesAndCollate = [&pick](void* box) -> std::function<void()> {
    GtkWidget* row = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 6);
    GtkWidget* label = gtk_label_new_with_mnemonic(DesktopLabel("Copie_s:", true).c_str());
    GtkWidget* copies = gtk_spin_button_new_with_range(1, 9999, 1);
    gtk_widget_set_name(copies, "Copies");
    gtk_spin_button_set_numeric(GTK_SPIN_BUTTON(copies), TRUE);
    gtk_entry_set_activates_default(GTK_ENTRY(copies), TRUE);
    gtk_label_set_mnemonic_widget(GTK_LABEL(label), copies);
    GtkWidget* collate = gtk_check_button_new_with_mnemonic(DesktopLabel("C_ollate", true).c_str());
    gtk_box_pack_start(GTK_BOX(row), label, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), copies, FALSE, FALSE, 0);
    gtk_box_pack_start(GTK_BOX(row), collate, FALSE, FALSE, 12);
    gtk_box_pack_start(GTK_BOX(box), row, FALSE, FALSE, 0);
    gtk_widget_show_all(row);
    return [&pick, copies, collate] {
      gtk_spin_button_update(GTK_SPIN_BUTTON(copies));  // a number typed but not yet taken counts
      pick.copies = gtk_spin_button_get_value_as_int(GTK_SPIN_BUTTON(copies));
      pick.collate = gtk_toggle_button_get_active(GTK_TOGGLE_BUTTON(collate));
    };
  };
  std::optional<size_t> index = ChooseFromList("Print", "Select Printer", names, marked, "_Print", copiesAndCollate);
  if (!index) return std::nullopt;
  pick.index = *index;
  return pick;
}

void WindowsDisplay::CursorChanged() {
  for (auto& [hwnd, frame] : frames_) frame->ShowPointer();
  // Sent to the X server before the work that asked for it goes on.
  FlushScreen();
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
