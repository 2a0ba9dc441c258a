#include "platform/screen/backend.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/screen/message_box.h"
#include "platform/screen/pump.h"
#include "platform/settings/settings.h"
#include "platform/uiscript/uiscript.h"

namespace screen {
namespace {

std::string Var(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

std::optional<Backend>& Chosen() {
  static std::optional<Backend> chosen;
  return chosen;
}

int& Scale() {
  static int scale = 1;
  return scale;
}

// The primary monitor, else the first one.
GdkMonitor* MainMonitor() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display) return nullptr;
  GdkMonitor* m = gdk_display_get_primary_monitor(display);
  return m ? m : gdk_display_get_monitor(display, 0);
}

void MeasureScreen() {
  GdkMonitor* monitor = MainMonitor();
  if (!monitor) return;
  Scale() = std::max(1, gdk_monitor_get_scale_factor(monitor));
  GdkRectangle work;
  gdk_monitor_get_workarea(monitor, &work);
  if (work.width > 0 && work.height > 0) uiscript::SetRealScreen({work.width * Scale(), work.height * Scale()});
}

#ifdef GDK_WINDOWING_X11
// The X server went away or closed this connection. GDK's own handler ends
// the process at once, so the program could neither ask its forms nor write
// its end record; instead the connection is marked lost, Xlib turns every
// later call into nothing, and the pump ends the session.
int OnConnectionLost(::Display*) {
  NoteDisplayLost();
  return 0;
}
void KeepRunning(::Display*, void*) {}

void WatchConnection() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return;
  // A window that another client destroyed makes the requests still on
  // their way to it fail, at any moment; GDK ends the process on an error
  // outside its traps. One trap held for the whole run keeps them from
  // ending it.
  gdk_x11_display_error_trap_push(display);
  XSetIOErrorHandler(&OnConnectionLost);
  XSetIOErrorExitHandler(gdk_x11_display_get_xdisplay(display), &KeepRunning, nullptr);
  // GDK fetches the keyboard map on its first use and aborts the process
  // when it cannot; fetched now, a display lost before the first key press
  // (a window closed while the program tears it down) finds it there.
  GdkKeymapKey* keys = nullptr;
  gint count = 0;
  if (gdk_keymap_get_entries_for_keyval(gdk_keymap_get_for_display(display), GDK_KEY_a, &keys, &count))
    g_free(keys);
}
#else
void WatchConnection() {}
#endif

}  // namespace

BackendEnvironment BackendEnvironment::FromProcess() {
  return {Var("ORN_DISPLAY"), Var("ORN_UI_SCRIPT"), Var("DISPLAY"), Var("WAYLAND_DISPLAY")};
}

Backend ChooseBackend(const BackendEnvironment& env) {
  if (env.ornDisplay == "none") return Backend::kHeadless;
  if (env.ornDisplay == "screen") return Backend::kScreen;
  if (!env.ornDisplay.empty()) settings::BadSetting("ORN_DISPLAY", "none or screen", env.ornDisplay);
  if (!env.uiScript.empty()) return Backend::kHeadless;
  if (!env.display.empty() || !env.waylandDisplay.empty()) return Backend::kScreen;
  return Backend::kHeadless;
}

Backend StartBackend() {
  std::optional<Backend>& chosen = Chosen();
  if (chosen) return *chosen;
  const BackendEnvironment env = BackendEnvironment::FromProcess();
  Backend b = ChooseBackend(env);
  if (b == Backend::kScreen && !gtk_init_check(nullptr, nullptr)) {
    if (env.ornDisplay == "screen")
      settings::BadSetting("ORN_DISPLAY", "none or unset when no display can be opened", env.ornDisplay);
    b = Backend::kHeadless;
  }
  if (b == Backend::kScreen) {
    MeasureScreen();
    WatchConnection();
    InstallMessageBoxes();
  }
  chosen = b;
  return b;
}

bool OnScreen() { return Chosen() == Backend::kScreen; }

int DeviceScale() { return Scale(); }

}  // namespace screen
