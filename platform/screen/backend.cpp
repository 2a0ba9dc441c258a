#include "platform/screen/backend.h"

#include <gtk/gtk.h>
#ifdef GDK_WINDOWING_X11
#include <gdk/gdkx.h>
#endif

#include <cstdlib>
#include <optional>

#include "platform/screen/message_box.h"
#include "platform/screen/pump.h"
#include "platform/settings/settings.h"

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

// GDK's handler, which also serves GDK's own error traps.
XErrorHandler& GdkErrors() {
  static XErrorHandler gdk = nullptr;
  return gdk;
}
// A window that another client destroyed makes the requests still on their
// way to it fail; GDK would end the process on them.
int OnRequestFailed(::Display* display, XErrorEvent* e) {
  if (e->error_code == BadWindow || e->error_code == BadDrawable) return 0;
  return GdkErrors() ? GdkErrors()(display, e) : 0;
}

void WatchConnection() {
  GdkDisplay* display = gdk_display_get_default();
  if (!display || !GDK_IS_X11_DISPLAY(display)) return;
  GdkErrors() = XSetErrorHandler(&OnRequestFailed);
  XSetIOErrorHandler(&OnConnectionLost);
  XSetIOErrorExitHandler(gdk_x11_display_get_xdisplay(display), &KeepRunning, nullptr);
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
    WatchConnection();
    InstallMessageBoxes();
  }
  chosen = b;
  return b;
}

bool OnScreen() { return Chosen() == Backend::kScreen; }

}  // namespace screen
