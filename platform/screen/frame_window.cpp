#include "platform/screen/frame_window.h"

#include <algorithm>
#include <set>

#include "platform/richedit/richedit.h"
#include "platform/screen/backend.h"
#include "platform/screen/input_map.h"
#include "platform/screen/pump.h"
#include "platform/screen/signal.h"
#include "platform/screen/widgets.h"
#include "platform/screen/window_input.h"
#include "platform/screen/windows_display.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/operator.h"
#include "platform/windows/text.h"

namespace screen {

using namespace win;

namespace {

// How long a window may take to stand where it was asked to.
constexpr int64_t kAnswerMs = 1000;

int SizeStateOf(HWND hwnd) {
  return IsIconic(hwnd) ? SIZE_MINIMIZED : IsZoomed(hwnd) ? SIZE_MAXIMIZED : SIZE_RESTORED;
}

std::unique_ptr<ChildView> NewView(FrameWindow& frame, HWND child) {
  const std::wstring cls = GetClassNameW(child);
  if (cls == STATUSCLASSNAMEW) return NewStatusBarView(frame, child);
  if (cls == TOOLBARCLASSNAMEW) return NewToolbarView(frame, child);
  if (cls == RICHEDIT_CLASSW) return NewRichEditView(frame, child);
  return nullptr;  // a class the screen does not show
}

}  // namespace

// ---- ChildView

ChildView::ChildView(FrameWindow& frame, HWND hwnd, GtkWidget* widget) : frame_(frame), hwnd_(hwnd), widget_(widget) {
  g_object_ref_sink(widget_);
}

ChildView::~ChildView() {
  gtk_widget_destroy(widget_);
  g_object_unref(widget_);
}

WindowsDisplay& ChildView::display() const { return frame_.display(); }

// ---- FrameWindow

FrameWindow::FrameWindow(WindowsDisplay& display, HWND hwnd)
    : display_(display), hwnd_(hwnd), menu_(*this, gtk_menu_bar_new()) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  GtkWidget* box = gtk_box_new(GTK_ORIENTATION_VERTICAL, 0);
  gtk_container_add(GTK_CONTAINER(window_), box);
  gtk_box_pack_start(GTK_BOX(box), menu_.Widget(), FALSE, FALSE, 0);
  layout_ = gtk_layout_new(nullptr, nullptr);
  gtk_widget_set_name(layout_, "orn-client");
  Connect<&FrameWindow::OnKey>(window_, "key-press-event", this);
  Connect<&FrameWindow::OnKey>(window_, "key-release-event", this);
  Connect<&FrameWindow::OnDelete>(window_, "delete-event", this);
  Connect<&FrameWindow::OnConfigure>(window_, "configure-event", this);
  Connect<&FrameWindow::OnWindowState>(window_, "window-state-event", this);
  Connect<&FrameWindow::OnDestroyed>(window_, "destroy-event", this);
  gtk_box_pack_end(GTK_BOX(box), layout_, TRUE, TRUE, 0);
  gtk_widget_show_all(box);
}

FrameWindow::~FrameWindow() {
  children_.clear();
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

void FrameWindow::Hide() {
  if (!shown_) return;
  gtk_widget_hide(window_);
  shown_ = false;
}

void FrameWindow::Update() {
  if (!IsWindow(hwnd_)) return;
  const std::wstring title = GetWindowTextW(hwnd_);
  if (title != title_ || !shown_) {
    title_ = title;
    gtk_window_set_title(GTK_WINDOW(window_), ToUtf8(title).c_str());
  }
  menu_.Update(GetMenu(hwnd_));
  UpdateChildren();
  UpdatePlacement();
  if (!shown_) {
    shown_ = true;
    gtk_widget_show(window_);
  }
  ShowPointer();
}

void FrameWindow::ShowPointer() {
  const bool busy = GetCursor() == LoadCursorW(nullptr, MAKEINTRESOURCEW(IDC_WAIT));
  if (busy != busy_) {
    busy_ = busy;
    SetWidgetCursor(window_, busy ? "wait" : nullptr);
  }
}

int FrameWindow::MenuBarHeight() const {
  GtkWidget* bar = menu_.Widget();
  if (!gtk_widget_get_visible(bar)) return 0;
  // The box gives the bar its natural height; the client area has the rest.
  int minimum = 0, natural = 0;
  gtk_widget_get_preferred_height(bar, &minimum, &natural);
  return natural;
}

void FrameWindow::UpdatePlacement() {
  GtkWindow* w = GTK_WINDOW(window_);
  const int state = SizeStateOf(hwnd_);
  bool asked = false;
  // A window that starts maximised or minimised gets its normal place first,
  // to come back to.
  if (state == SIZE_RESTORED || !shown_) {
    WINDOWPLACEMENT wp;
    RECT r;
    if (state == SIZE_RESTORED) GetWindowRect(hwnd_, &r);
    else if (GetWindowPlacement(hwnd_, &wp)) r = wp.rcNormalPosition;
    if (r != rect_) {
      rect_ = r;
      const RECT frame = NonClientOf(hwnd_);
      place_.x = GtkPixels(r.left);
      place_.y = GtkPixels(r.top);
      place_.width = std::max<int>(1, GtkPixels(r.right - r.left - frame.left - frame.right));
      place_.height = std::max<int>(1, GtkPixels(r.bottom - r.top - frame.top - frame.bottom)) + MenuBarHeight();
      gtk_window_move(w, place_.x, place_.y);
      if (shown_) gtk_window_resize(w, place_.width, place_.height);
      else gtk_window_set_default_size(w, place_.width, place_.height);
      asked = true;
    }
  }
  if (state != place_.state) {
    place_.state = state;
    if (state == SIZE_MAXIMIZED) {
      gtk_window_maximize(w);
    } else if (state == SIZE_MINIMIZED) {
      gtk_window_iconify(w);
    } else {
      gtk_window_unmaximize(w);
      gtk_window_deiconify(w);
    }
    asked = true;
  }
  if (asked) {
    // The window reports its way there (a move before the size, say), and
    // a window manager may refuse: until it stands where it was asked, or
    // the time for that is up, its reports are not the operator's.
    asked_ = true;
    askedUntil_ = ClockMs() + kAnswerMs;
    recheck_.Set(askedUntil_, [this] {
      int width = 0, height = 0;
      gtk_window_get_size(GTK_WINDOW(window_), &width, &height);
      ReadPlacement(width, height);
    });
  }
}

void FrameWindow::UpdateChildren() {
  std::set<HWND> seen;
  for (HWND c = GetWindow(hwnd_, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
    if (!IsWindowVisible(c)) continue;
    auto it = children_.find(c);
    if (it == children_.end()) {
      std::unique_ptr<ChildView> view = NewView(*this, c);
      if (!view) continue;
      gtk_layout_put(GTK_LAYOUT(layout_), view->widget(), 0, 0);
      it = children_.emplace(c, std::move(view)).first;
    }
    seen.insert(c);
    RECT r;
    GetWindowRect(c, &r);
    POINT at{r.left, r.top};
    ScreenToClient(hwnd_, &at);
    const int width = std::max<int>(1, r.right - r.left), height = std::max<int>(1, r.bottom - r.top);
    GtkWidget* w = it->second->widget();
    gtk_layout_move(GTK_LAYOUT(layout_), w, GtkPixels(at.x), GtkPixels(at.y));
    gtk_widget_set_size_request(w, std::max(1, GtkPixels(width)), std::max(1, GtkPixels(height)));
    it->second->Update(width, height);
    gtk_widget_show(w);
  }
  std::erase_if(children_, [&seen](const auto& entry) { return !seen.count(entry.first); });
}

void FrameWindow::ReadPlacement(int width, int height) {
  if (!shown_ || display_.Syncing() || !IsWindow(hwnd_)) return;
  GdkWindow* gw = gtk_widget_get_window(window_);
  if (!gw) return;
  const GdkWindowState s = gdk_window_get_state(gw);
  RealPlace real;
  real.state = (s & GDK_WINDOW_STATE_ICONIFIED)                                  ? SIZE_MINIMIZED
               : (s & (GDK_WINDOW_STATE_MAXIMIZED | GDK_WINDOW_STATE_FULLSCREEN)) ? SIZE_MAXIMIZED
                                                                                  : SIZE_RESTORED;
  gtk_window_get_position(GTK_WINDOW(window_), &real.x, &real.y);
  real.width = width;
  real.height = height;
  if (asked_) {
    if (!(real == place_) && ClockMs() < askedUntil_) return;  // on its way
    asked_ = false;
    recheck_.Cancel();
  }
  HWND hwnd = hwnd_;
  WindowsDisplay& display = display_;
  if (real.state != SizeStateOf(hwnd)) {
    place_.state = real.state;
    // The window manager's own buttons: the system menu's commands, sent as
    // the platform sends them from the caption.
    const WPARAM command = real.state == SIZE_MINIMIZED   ? SC_MINIMIZE
                           : real.state == SIZE_MAXIMIZED ? SC_MAXIMIZE
                                                          : SC_RESTORE;
    display.Input([hwnd, command] {
      if (IsWindow(hwnd)) SendMessageW(hwnd, WM_SYSCOMMAND, command, 0);
    });
  }
  if (real.state == SIZE_MINIMIZED || !IsWindow(hwnd) || SizeStateOf(hwnd) != real.state) return;
  const int scale = DeviceScale();
  const RECT r = ModelRectOf(real.x * scale, real.y * scale, width * scale,
                             std::max(0, height - MenuBarHeight()) * scale, NonClientOf(hwnd));
  if (real.state == SIZE_RESTORED) {
    rect_ = r;
    place_ = real;
  }
  RECT now;
  GetWindowRect(hwnd, &now);
  if (r == now) return;
  // Moved or sized by the operator: as the script's "move" does; a
  // maximised window keeps its state and the place it comes back to.
  display.Input([hwnd, r] {
    if (IsWindow(hwnd)) MoveWindow(hwnd, r.left, r.top, r.right - r.left, r.bottom - r.top, true);
  });
}

gboolean FrameWindow::OnKey(GtkWidget*, GdkEventKey* e, FrameWindow* self) {
  if (self->display_.Syncing()) return FALSE;
  const int vk = KeyCodeOfEvent(e);
  if (vk == 0) return FALSE;
  const bool down = e->type == GDK_KEY_PRESS;
  const bool alt = (e->state & GDK_MOD1_MASK) != 0;
  HWND top = self->hwnd_;
  self->display_.Input([top, vk, down, alt] {
    if (!IsWindow(top)) return;
    // The window that has the focus inside this frame, else the frame.
    HWND focus = GetFocus();
    PostKey(focus && GetAncestor(focus, GA_ROOT) == top ? focus : top, vk, down, alt);
  });
  // The menu bar keeps its own keys: Alt with a letter opens a menu, F10 the bar.
  constexpr int kF10 = VK_F1 + 9;
  if ((alt && vk >= 'A' && vk <= 'Z') || vk == kF10) return FALSE;
  return TRUE;
}

gboolean FrameWindow::OnDelete(GtkWidget*, GdkEvent*, FrameWindow* self) {
  HWND top = self->hwnd_;
  // The program decides: the close question may keep the window.
  self->display_.Input([top] {
    if (IsWindow(top)) PostSysCommand(top, SC_CLOSE);
  });
  return TRUE;
}

gboolean FrameWindow::OnDestroyed(GtkWidget*, GdkEvent*, FrameWindow* self) {
  self->gone_ = true;
  self->display_.WindowDestroyed();
  return FALSE;  // GTK lets the widget go with its window
}

gboolean FrameWindow::OnConfigure(GtkWidget*, GdkEventConfigure* e, FrameWindow* self) {
  self->ReadPlacement(e->width, e->height);
  return FALSE;
}

gboolean FrameWindow::OnWindowState(GtkWidget* w, GdkEventWindowState*, FrameWindow* self) {
  int width = 0, height = 0;
  gtk_window_get_size(GTK_WINDOW(w), &width, &height);
  self->ReadPlacement(width, height);
  return FALSE;
}

}  // namespace screen
