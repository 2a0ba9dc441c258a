#include "platform/screen/forms_display.h"

#include <gtk/gtk.h>

#include <algorithm>
#include <cstdio>

#include "platform/forms/screen.h"
#include "platform/screen/backend.h"
#include "platform/screen/form_window.h"
#include "platform/screen/list_dialog.h"
#include "platform/screen/pump.h"
#include "platform/screen/signal.h"
#include "platform/screen/widgets.h"
#include "platform/twain/twain.h"

namespace screen {
namespace {

// The classic desktop's compact controls: GTK's theme pads buttons, fields
// and combo boxes beyond the sizes forms are laid out for.
void UseCompactLook() {
  static bool done = false;
  if (done) return;
  done = true;
  AddScreenStyle(
      "button { padding: 0 2px; min-height: 0; min-width: 0; border-radius: 0; }"
      "entry { min-height: 0; padding: 0 2px; border-radius: 0; }"
      "combobox button, combobox entry {"
      " min-height: 0; padding-top: 0; padding-bottom: 0; }"
      "combobox button { padding-left: 2px; padding-right: 2px; }"
      "scale { padding: 4px 6px; }");
}

}  // namespace

FormsDisplay::FormsDisplay(forms::App& app) : app_(app) {
  UseCompactLook();
  SetDisplayLostHandler([this] { DisplayGone(); });
  // The hourglass is set before synchronous work and taken away after it:
  // it shows at once, not when the model is shown again.
  forms::Screen().WatchPointer([this] { ShowPointer(); });
}

void FormsDisplay::ShowPointer() {
  if (DisplayLost()) return;
  for (auto& [form, window] : windows_) window->ShowPointer();
  FlushScreen();
}

FormsDisplay::~FormsDisplay() {
  forms::Screen().WatchPointer(nullptr);
  SetDisplayLostHandler(nullptr);
  if (sessionEnd_) g_source_remove(sessionEnd_);
  timers_.Cancel();
  LetWindowsGo(windows_);
}

void FormsDisplay::WindowDestroyed() {
  if (sessionEnd_) return;
  sessionEnd_ = g_idle_add(Source([](gpointer data) {
                             auto* self = static_cast<FormsDisplay*>(data);
                             self->sessionEnd_ = 0;
                             // A form that cancels stays, in a window made anew.
                             self->Input([self] { self->app_.OperatorEndSession(); });
                             return G_SOURCE_REMOVE;
                           }),
                           this);
}

void FormsDisplay::DisplayGone() {
  timers_.Cancel();
  if (!app_.Running()) return;
  if (!app_.OperatorEndSession()) {
    std::fprintf(stderr, "forms: the program still runs after the display went away, ended with exit code 125\n");
    throw forms::EndProgram{125};
  }
  // Out of every wait that is still running (a box the session ended under).
  throw forms::EndProgram{0};
}

bool FormsDisplay::Loaded(const forms::Form& form) const {
  const std::vector<forms::Form*>& forms = app_.Forms();
  return std::find(forms.begin(), forms.end(), &form) != forms.end();
}

void FormsDisplay::Sync() {
  if (syncing_ > 0 || DisplayLost()) return;
  // What was typed reaches the model before the model is shown again. One
  // field at a time is typed into; its report shows the model itself.
  for (auto& [form, window] : windows_)
    if (window->ReportTyping()) return;
  ++syncing_;
  try {
    std::vector<const forms::Form*> loaded;
    for (forms::Form* f : app_.Forms()) {
      loaded.push_back(f);
      auto it = windows_.find(f);
      if (it != windows_.end() && it->second->Gone()) {
        if (sessionEnd_) continue;  // the session's end decides first
        windows_.erase(it);
        it = windows_.end();
      }
      if (f->Visible()) {
        if (it == windows_.end()) it = windows_.emplace(f, std::make_unique<FormWindow>(*this, *f)).first;
        it->second->Update();
      } else if (it != windows_.end()) {
        it->second->Hide();
      }
    }
    std::erase_if(windows_, [&loaded](const auto& w) {
      return std::find(loaded.begin(), loaded.end(), w.first) == loaded.end();
    });
  } catch (...) {
    --syncing_;
    throw;
  }
  --syncing_;
  SetTimerAlarm();
  // Work that follows without events (a scan under the hourglass) finds
  // the screen as the model is now.
  FlushScreen();
}

void FormsDisplay::SetTimerAlarm() {
  const std::optional<int64_t> due = app_.NextTimerDue();
  if (!due) {
    timers_.Cancel();
    return;
  }
  if (timers_.Armed() && timers_.Due() == *due) return;
  timers_.Set(*due, [this] { Input([this] { app_.FireDueTimers(); }); });
}

void FormsDisplay::Input(const std::function<void()>& work) {
  Guard([&work] {
    try {
      work();
    } catch (const forms::OperatorError&) {
      // The screen offered what the control does not take: nothing happens.
    }
  });
  Guard([this] { Sync(); });
}

void FormsDisplay::Pump() {
  Sync();
  PumpPending();
}

void FormsDisplay::RunUntil(const std::function<bool()>& done) {
  Sync();
  screen::RunUntil(done);
}

void FormsDisplay::RunFor(int64_t ms) {
  Sync();
  screen::RunFor(ms);
}

int64_t FormsDisplay::Clock() const { return ClockMs(); }

int RunForms(forms::Form& main) {
  forms::App& app = forms::App::Instance();
  const Backend backend = StartBackend();
  if (backend == Backend::kHeadless) return app.Run(main);
  forms::Screen().Reset();  // the real screen's size, measured now
  FormsDisplay display(app);
  app.SetDisplay(&display);
  // The scanner's source dialog asks the screen, as the print dialog does.
  twain::SetSourceChooser([](const std::vector<std::string>& sources, size_t marked) {
    return ChooseFromList("Select Source", "Sources:", sources, marked);
  });
  const int code = app.Run(main);
  twain::SetSourceChooser({});
  app.SetDisplay(nullptr);
  return code;
}

}  // namespace screen
