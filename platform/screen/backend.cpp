#include "platform/screen/backend.h"

#include <gtk/gtk.h>

#include <cstdlib>
#include <optional>

#include "platform/screen/message_box.h"
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
  if (b == Backend::kScreen) InstallMessageBoxes();
  chosen = b;
  return b;
}

bool OnScreen() { return Chosen() == Backend::kScreen; }

}  // namespace screen
