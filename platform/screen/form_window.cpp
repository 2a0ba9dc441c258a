#include "platform/screen/form_window.h"

#include <algorithm>
#include <set>
#include <utility>
#include <vector>

#include "platform/forms/ole_control.h"
#include "platform/forms/screen.h"
#include "platform/screen/backend.h"
#include "platform/screen/clip_box.h"
#include "platform/screen/form_paint.h"
#include "platform/screen/forms_display.h"
#include "platform/screen/input_map.h"
#include "platform/screen/signal.h"
#include "platform/screen/units.h"
#include "platform/screen/uri_list.h"
#include "platform/screen/widgets.h"

namespace screen {
namespace {

constexpr int16_t kHourglass = 11;

// Every control of the form, design order, array elements by index.
std::vector<forms::Control*> ControlsOf(const forms::Form& form) {
  std::vector<forms::Control*> out;
  for (const forms::Form::Member& m : form.Members()) {
    if (m.single) out.push_back(m.single);
    else
      for (forms::Control* c : m.array->Elements()) out.push_back(c);
  }
  return out;
}

}  // namespace

// ---- ControlWidget

ControlWidget::ControlWidget(FormWindow& window, const forms::Control& control, GtkWidget* widget)
    : window_(window), name_(control.FullName()), widget_(widget), box_(NewClipBox(widget)) {
  g_object_ref_sink(box_);
}

ControlWidget::~ControlWidget() {
  if (typed_) g_source_remove(typed_);
  for (auto& [w, style] : styles_) g_object_unref(style.first);
  gtk_widget_destroy(box_);
  g_object_unref(box_);
}

void ControlWidget::Act(const forms::OperatorAction& action) { window_.Act(name_, action); }

forms::Control* ControlWidget::Find() const {
  if (!window_.display().Loaded(window_.form())) return nullptr;
  return window_.form().FindControl(name_);
}

bool ControlWidget::Syncing() const { return window_.display().Syncing(); }

double ControlWidget::TwipsPerPixel() const { return window_.TwipsPerPixelX(); }

void ControlWidget::Style(GtkWidget* w, const std::string& css) {
  auto& [provider, text] = styles_[w];
  if (provider && text == css) return;
  if (!provider) {
    provider = gtk_css_provider_new();
    // Above the theme and the screen's own sheet: the model's colours win.
    gtk_style_context_add_provider(gtk_widget_get_style_context(w), GTK_STYLE_PROVIDER(provider),
                                   GTK_STYLE_PROVIDER_PRIORITY_APPLICATION + 1);
  }
  text = css;
  gtk_css_provider_load_from_data(provider, css.c_str(), -1, nullptr);
}

void ControlWidget::TakeMouse(GtkWidget* w, MouseMode mode) {
  mouseMode_ = mode;
  gtk_widget_add_events(w, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
  Connect(
      w, "button-press-event",
      [](GtkWidget*, GdkEventButton* e, ControlWidget* self) {
        if (self->Syncing()) return FALSE;
        const bool view = self->mouseMode_ == MouseMode::kView;
        bool second = false;
        if (e->type == GDK_2BUTTON_PRESS) {
          // A button's second press is just another press.
          if (self->mouseMode_ == MouseMode::kButton) return FALSE;
          second = true;
        } else if (e->type != GDK_BUTTON_PRESS) {
          return static_cast<gboolean>(view);
        } else if (self->mouseMode_ != MouseMode::kButton && DoublePressFollows(e)) {
          return static_cast<gboolean>(view);
        }
        const double tpp = self->TwipsPerPixel();
        self->window_.Act(self->name_, self->mouse_.Press(e->button, e->state, e->x, e->y, second, tpp));
        return static_cast<gboolean>(view);
      },
      this);
  Connect(
      w, "button-release-event",
      [](GtkWidget* w, GdkEventButton* e, ControlWidget* self) {
        if (self->Syncing()) return FALSE;
        const bool view = self->mouseMode_ == MouseMode::kView;
        GtkAllocation a;
        gtk_widget_get_allocation(w, &a);
        const bool inside = e->x >= 0 && e->y >= 0 && e->x < a.width && e->y < a.height;
        std::vector<forms::OperatorAction> actions =
            self->mouse_.Release(e->button, e->state, e->x, e->y, inside, self->TwipsPerPixel());
        // A button's Click comes with its "clicked", which the keyboard gives too.
        if (self->mouseMode_ == MouseMode::kButton)
          std::erase_if(actions, [](const forms::OperatorAction& x) { return x.eventOnly; });
        self->window_.Act(self->name_, actions);
        return static_cast<gboolean>(view);
      },
      this);
  Connect(
      w, "motion-notify-event",
      [](GtkWidget*, GdkEventMotion* e, ControlWidget* self) {
        if (self->Syncing()) return FALSE;
        const bool view = self->mouseMode_ == MouseMode::kView;
        self->window_.Act(self->name_, self->mouse_.Move(e->state, e->x, e->y, self->TwipsPerPixel()));
        return static_cast<gboolean>(view);
      },
      this);
}

void ControlWidget::TakeDrops(GtkWidget* w) {
  static GtkTargetEntry uriList = {const_cast<gchar*>("text/uri-list"), 0, 0};
  gtk_drag_dest_set(w, GTK_DEST_DEFAULT_ALL, &uriList, 1,
                    static_cast<GdkDragAction>(GDK_ACTION_COPY | GDK_ACTION_MOVE | GDK_ACTION_LINK));
  Connect(
      w, "drag-data-received",
      [](GtkWidget*, GdkDragContext*, int x, int y, GtkSelectionData* data, unsigned, unsigned, ControlWidget* self) {
        const guchar* bytes = gtk_selection_data_get_data(data);
        const int length = gtk_selection_data_get_length(data);
        if (!bytes || length <= 0) return;
        forms::OperatorAction a;
        a.kind = forms::OperatorAction::Drop;
        a.files = PathsFromUriList(std::string_view(reinterpret_cast<const char*>(bytes), static_cast<size_t>(length)));
        if (a.files.empty()) return;
        a.x = static_cast<float>(PixelsToTwips(x, self->TwipsPerPixel()));
        a.y = static_cast<float>(PixelsToTwips(y, self->TwipsPerPixel()));
        self->Act(a);
      },
      this);
}

void ControlWidget::TakeFocus(GtkWidget* w) {
  Connect(
      w, "focus-in-event",
      [](GtkWidget*, GdkEvent*, ControlWidget* self) {
        self->window_.Focused(self->name_);
        return FALSE;
      },
      this);
}

void ControlWidget::TakeTyping(GtkWidget* entry) {
  typing_ = entry;
  Connect(
      entry, "changed",
      [](GtkEditable*, ControlWidget* self) {
        if (self->Syncing() || !self->Typed() || self->typed_) return;
        // Reported once the field's handling of the key is over, before the
        // next event (the key's release), or when the model is shown again
        // before that (ReportTyping).
        self->typed_ = g_idle_add_full(G_PRIORITY_HIGH, Source<&ControlWidget::OnTyped>(), self, nullptr);
      },
      this);
}

gboolean ControlWidget::OnTyped(gpointer data) {
  auto* self = static_cast<ControlWidget*>(data);
  self->typed_ = 0;
  self->SendTyping();
  return G_SOURCE_REMOVE;
}

void ControlWidget::ReportTyping() {
  if (!typed_) return;
  g_source_remove(typed_);
  typed_ = 0;
  SendTyping();
}

void ControlWidget::SendTyping() {
  forms::OperatorAction type;
  type.kind = forms::OperatorAction::Type;
  type.text = gtk_entry_get_text(GTK_ENTRY(typing_));
  Act(type);
}

// ---- FormWindow

FormWindow::FormWindow(FormsDisplay& display, forms::Form& form) : display_(display), form_(form) {
  window_ = gtk_window_new(GTK_WINDOW_TOPLEVEL);
  g_object_ref_sink(window_);
  layout_ = gtk_layout_new(nullptr, nullptr);
  gtk_container_add(GTK_CONTAINER(window_), layout_);
  gtk_widget_add_events(layout_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK);
  Connect<&FormWindow::OnDraw>(layout_, "draw", this);
  Connect<&FormWindow::OnButton>(layout_, "button-press-event", this);
  Connect<&FormWindow::OnButton>(layout_, "button-release-event", this);
  Connect<&FormWindow::OnMotion>(layout_, "motion-notify-event", this);
  Connect<&FormWindow::OnKey>(window_, "key-press-event", this);
  Connect<&FormWindow::OnKey>(window_, "key-release-event", this);
  Connect<&FormWindow::OnDelete>(window_, "delete-event", this);
  Connect<&FormWindow::OnConfigure>(window_, "configure-event", this);
  Connect<&FormWindow::OnWindowState>(window_, "window-state-event", this);
  Connect<&FormWindow::OnDestroyed>(window_, "destroy-event", this);
  gtk_widget_show(layout_);
}

FormWindow::~FormWindow() {
  ForgetOwnCursors();
  widgets_.clear();
  gtk_widget_destroy(window_);
  g_object_unref(window_);
}

double FormWindow::TwipsPerPixelX() const { return forms::Screen().TwipsPerPixelX() * DeviceScale(); }
double FormWindow::TwipsPerPixelY() const { return forms::Screen().TwipsPerPixelY() * DeviceScale(); }

void FormWindow::Update() {
  UpdateControls();
  UpdateWindow();
}

bool FormWindow::ReportTyping() {
  for (auto& [control, cw] : widgets_) {
    if (!cw->TypingPending()) continue;
    cw->ReportTyping();  // may end this window
    return true;
  }
  return false;
}

void FormWindow::Hide() {
  if (!shown_) return;
  gtk_widget_hide(window_);
  shown_ = false;
}

void FormWindow::UpdateWindow() {
  const double tx = TwipsPerPixelX(), ty = TwipsPerPixelY();
  GtkWindow* w = GTK_WINDOW(window_);
  if (title_ != form_.Caption.Get() || !shown_) {
    title_ = form_.Caption.Get();
    gtk_window_set_title(w, title_.c_str());
  }
  gtk_window_set_resizable(w, form_.BorderStyle == 2 || form_.BorderStyle == 5);
  gtk_window_set_decorated(w, form_.BorderStyle != 0);
  const int x = TwipsToPixels(form_.Left, tx), y = TwipsToPixels(form_.Top, ty);
  if (x != x_ || y != y_) {
    x_ = x;
    y_ = y;
    gtk_window_move(w, x, y);
  }
  if (form_.WindowState == forms::kNormal) {
    const int width = std::max(1, TwipsToPixels(form_.ScaleWidth(), tx));
    const int height = std::max(1, TwipsToPixels(form_.ScaleHeight(), ty));
    if (width != width_ || height != height_) {
      width_ = width;
      height_ = height;
      if (shown_) gtk_window_resize(w, width, height);
      else gtk_window_set_default_size(w, width, height);
    }
  }
  if (form_.WindowState != state_) {
    state_ = form_.WindowState;
    if (state_ == forms::kMaximized) gtk_window_maximize(w);
    else if (state_ == forms::kMinimized) gtk_window_iconify(w);
    else {
      gtk_window_unmaximize(w);
      gtk_window_deiconify(w);
    }
  }
  gtk_widget_set_sensitive(layout_, form_.Enabled);
  if (!shown_) {
    shown_ = true;
    gtk_widget_show(window_);
  }
  ShowPointer();
  gtk_widget_queue_draw(layout_);
}

namespace {

// `w` and every window inside it.
void WindowsOf(GdkWindow* w, std::vector<GdkWindow*>& out) {
  out.push_back(w);
  GList* children = gdk_window_peek_children(w);
  for (GList* c = children; c; c = c->next) WindowsOf(GDK_WINDOW(c->data), out);
}

}  // namespace

void FormWindow::ShowPointer() {
  GdkWindow* top = gtk_widget_get_window(window_);
  if (!top) return;
  const bool busy = forms::Screen().MousePointer == kHourglass || form_.MousePointer == kHourglass;
  std::vector<GdkWindow*> windows;
  WindowsOf(top, windows);
  if (busy) {
    // Over every part of the window, the fields' and the view's own
    // pointers too; each keeps its own to come back to.
    GdkCursor* wait = gdk_cursor_new_from_name(gdk_window_get_display(top), "wait");
    for (GdkWindow* w : windows) {
      if (!ownCursors_.count(w)) {
        GdkCursor* own = gdk_window_get_cursor(w);
        ownCursors_[w] = own ? GDK_CURSOR(g_object_ref(own)) : nullptr;
      }
      gdk_window_set_cursor(w, wait);
    }
    if (wait) g_object_unref(wait);
    return;
  }
  for (GdkWindow* w : windows) {
    auto it = ownCursors_.find(w);
    if (it != ownCursors_.end()) gdk_window_set_cursor(w, it->second);
  }
  ForgetOwnCursors();
}

void FormWindow::ForgetOwnCursors() {
  for (auto& [w, own] : ownCursors_)
    if (own) g_object_unref(own);
  ownCursors_.clear();
}

std::unique_ptr<ControlWidget> FormWindow::NewWidget(forms::Control& c) {
  switch (c.Type()) {
    case forms::ControlType::CommandButton: return NewButtonWidget(*this, static_cast<forms::CommandButton&>(c));
    case forms::ControlType::ComboBox: return NewComboWidget(*this, static_cast<forms::ComboBox&>(c));
    case forms::ControlType::TextBox: return NewTextWidget(*this, static_cast<forms::TextBox&>(c));
    case forms::ControlType::OleControl: {
      const auto& host = static_cast<forms::OleControl&>(c);
      if (auto pixo = NewPixoWidget(*this, host)) return pixo;
      return NewSliderWidget(*this, host);
    }
    default: return nullptr;  // painted on the form, or no look at all
  }
}

void FormWindow::UpdateControls() {
  std::set<const forms::Control*> seen;
  for (forms::Control* c : ControlsOf(form_)) {
    auto* vc = dynamic_cast<forms::VisibleControl*>(c);
    if (!vc) continue;
    auto it = widgets_.find(c);
    if (it != widgets_.end() && !it->second->Shows(*c)) {
      widgets_.erase(it);
      it = widgets_.end();
    }
    if (it == widgets_.end()) {
      std::unique_ptr<ControlWidget> made = NewWidget(*c);
      if (!made) continue;
      gtk_layout_put(GTK_LAYOUT(layout_), made->box(), 0, 0);
      it = widgets_.emplace(c, std::move(made)).first;
    }
    seen.insert(c);
    it->second->Update(*c);
    Place(*it->second, *vc);
  }
  std::erase_if(widgets_, [&seen](const auto& entry) { return !seen.count(entry.first); });

  const forms::Control* active = form_.ActiveControl();
  if (active != focused_) {
    focused_ = active;
    auto it = widgets_.find(active);
    if (it != widgets_.end() && gtk_widget_is_sensitive(it->second->widget()) &&
        gtk_widget_get_visible(it->second->box()))
      gtk_widget_grab_focus(it->second->FocusWidget());
  }
}

void FormWindow::Place(ControlWidget& cw, const forms::VisibleControl& c) {
  const double tx = TwipsPerPixelX(), ty = TwipsPerPixelY();
  GtkWidget* w = cw.box();
  gtk_layout_move(GTK_LAYOUT(layout_), w, TwipsToPixels(c.Left, tx), TwipsToPixels(c.Top, ty));
  gtk_widget_set_size_request(w, std::max(1, TwipsToPixels(c.Width, tx)), std::max(1, TwipsToPixels(c.Height, ty)));
  gtk_widget_set_sensitive(w, c.Enabled);
  const std::string& tip = c.ToolTipText.Get();
  gtk_widget_set_tooltip_text(cw.widget(), tip.empty() ? nullptr : tip.c_str());
  if (c.Visible) gtk_widget_show(w);
  else gtk_widget_hide(w);
}

void FormWindow::Act(const std::string& control, const forms::OperatorAction& action) {
  Act(control, std::vector<forms::OperatorAction>{action});
}

void FormWindow::Act(const std::string& control, const std::vector<forms::OperatorAction>& actions) {
  if (actions.empty()) return;
  // Each action may unload the form and so end this window: the work holds
  // what it needs by value.
  FormsDisplay* display = &display_;
  forms::Form* form = &form_;
  display->Input([display, form, control, actions] {
    for (const forms::OperatorAction& a : actions) {
      if (!display->Loaded(*form)) return;
      forms::Control* c = nullptr;
      if (!control.empty() && !(c = form->FindControl(control))) return;
      try {
        display->app().OperatorAct(*form, c, a);
      } catch (const forms::OperatorError&) {
        // What this control does not take (a drop on a label) does nothing.
      }
    }
  });
}

void FormWindow::Focused(const std::string& control) {
  if (display_.Syncing() || !display_.Loaded(form_)) return;
  if (auto* c = dynamic_cast<forms::VisibleControl*>(form_.FindControl(control))) {
    form_.SetActiveControl(c);
    focused_ = c;
  }
}

gboolean FormWindow::OnDraw(GtkWidget* w, cairo_t* cr, FormWindow* self) {
  if (!gtk_cairo_should_draw_window(cr, gtk_layout_get_bin_window(GTK_LAYOUT(w)))) return FALSE;
  if (!self->display_.Loaded(self->form_)) return FALSE;
  // Painted in the model's pixels, which are the device's.
  const double scale = DeviceScale();
  cairo_scale(cr, 1 / scale, 1 / scale);
  PaintForm(cr, self->form_, self->TwipsPerPixelX() / scale, self->TwipsPerPixelY() / scale);
  return FALSE;
}

gboolean FormWindow::OnKey(GtkWidget*, GdkEventKey* e, FormWindow* self) {
  if (self->display_.Syncing()) return FALSE;
  // The key as pressed without modifiers: Shift+1 is the key 1.
  const int16_t code = KeyCodeOfEvent(e);
  if (code == 0) return FALSE;
  const bool down = e->type == GDK_KEY_PRESS;
  const int16_t shift = ShiftOfKey(e->keyval, e->state, down);
  const int16_t ascii = KeyAsciiOf(e->keyval, e->state);
  bool swallowed = false;
  FormsDisplay* display = &self->display_;
  forms::Form* form = &self->form_;
  display->Input([&] {
    if (!display->Loaded(*form)) return;
    forms::App& app = display->app();
    if (!down) {
      app.OperatorKeyUp(*form, code, shift);
      return;
    }
    if (app.OperatorKeyDown(*form, code, shift) == 0) swallowed = true;
    if (ascii != 0 && display->Loaded(*form) && app.OperatorKeyPress(*form, ascii) == 0) swallowed = true;
    if (!display->Loaded(*form)) swallowed = true;
  });
  return swallowed;
}

gboolean FormWindow::OnButton(GtkWidget* w, GdkEventButton* e, FormWindow* self) {
  if (self->display_.Syncing() || e->window != gtk_layout_get_bin_window(GTK_LAYOUT(w))) return FALSE;
  const double tx = self->TwipsPerPixelX(), ty = self->TwipsPerPixelY();
  forms::VisibleControl* hit = LightControlAt(self->form_, e->x * tx, e->y * ty);
  if (e->type == GDK_BUTTON_PRESS || e->type == GDK_2BUTTON_PRESS) {
    if (e->type == GDK_BUTTON_PRESS && DoublePressFollows(e)) return TRUE;
    self->pressed_ = hit ? hit->FullName() : "";
  } else if (e->type != GDK_BUTTON_RELEASE) {
    return TRUE;
  }
  // The release belongs to the control the press was on.
  const std::string target = self->pressed_;
  forms::Control* c = target.empty() ? nullptr : self->form_.FindControl(target);
  auto* vc = dynamic_cast<forms::VisibleControl*>(c);
  if (!target.empty() && !vc) return TRUE;
  const double left = vc ? vc->Left / tx : 0, top = vc ? vc->Top / ty : 0;
  std::vector<forms::OperatorAction> actions;
  if (e->type == GDK_BUTTON_RELEASE)
    actions = self->mouse_.Release(e->button, e->state, e->x - left, e->y - top, hit == vc, tx);
  else
    actions = self->mouse_.Press(e->button, e->state, e->x - left, e->y - top, e->type == GDK_2BUTTON_PRESS, tx);
  self->Act(target, actions);
  return TRUE;
}

gboolean FormWindow::OnMotion(GtkWidget* w, GdkEventMotion* e, FormWindow* self) {
  if (self->display_.Syncing() || e->window != gtk_layout_get_bin_window(GTK_LAYOUT(w))) return FALSE;
  const double tx = self->TwipsPerPixelX(), ty = self->TwipsPerPixelY();
  // While a button is held the control pressed keeps the mouse.
  std::string target;
  forms::VisibleControl* vc = nullptr;
  if (ButtonsHeldOf(e->state) != 0) {
    target = self->pressed_;
    vc = dynamic_cast<forms::VisibleControl*>(target.empty() ? nullptr : self->form_.FindControl(target));
    if (!target.empty() && !vc) return TRUE;
  } else if ((vc = LightControlAt(self->form_, e->x * tx, e->y * ty))) {
    target = vc->FullName();
  }
  const double left = vc ? vc->Left / tx : 0, top = vc ? vc->Top / ty : 0;
  self->Act(target, self->mouse_.Move(e->state, e->x - left, e->y - top, tx));
  return TRUE;
}

gboolean FormWindow::OnDelete(GtkWidget*, GdkEvent*, FormWindow* self) {
  FormsDisplay* display = &self->display_;
  forms::Form* form = &self->form_;
  // The program decides: QueryUnload may keep the window, Unload ends it.
  display->Input([display, form] {
    if (display->Loaded(*form)) display->app().OperatorClose(*form);
  });
  return TRUE;
}

gboolean FormWindow::OnConfigure(GtkWidget*, GdkEventConfigure* e, FormWindow* self) {
  if (self->display_.Syncing() || !self->shown_) return FALSE;
  forms::Form& f = self->form_;
  const double tx = self->TwipsPerPixelX(), ty = self->TwipsPerPixelY();
  int x = 0, y = 0;
  gtk_window_get_position(GTK_WINDOW(self->window_), &x, &y);
  if (x != self->x_ || y != self->y_) {
    // The operator moved the window: the form's position follows, with no event.
    self->x_ = x;
    self->y_ = y;
    if (f.WindowState == forms::kNormal) {
      f.Left.Init(static_cast<float>(x * tx));
      f.Top.Init(static_cast<float>(y * ty));
    }
  }
  if (f.WindowState != forms::kNormal || (e->width == self->width_ && e->height == self->height_)) return FALSE;
  self->width_ = e->width;
  self->height_ = e->height;
  // The frame the model counts around the client area, in pixels.
  const int frameX = TwipsToPixels(f.Width - f.ScaleWidth(), tx);
  const int frameY = TwipsToPixels(f.Height - f.ScaleHeight(), ty);
  FormsDisplay* display = &self->display_;
  forms::Form* form = &f;
  // The model's pixels are the device's.
  const int outerW = (e->width + frameX) * DeviceScale(), outerH = (e->height + frameY) * DeviceScale();
  display->Input([display, form, outerW, outerH] {
    if (display->Loaded(*form)) display->app().OperatorResize(*form, outerW, outerH);
  });
  return FALSE;
}

gboolean FormWindow::OnDestroyed(GtkWidget*, GdkEvent*, FormWindow* self) {
  self->gone_ = true;
  self->display_.WindowDestroyed();
  return FALSE;  // GTK lets the widget go with its window
}

gboolean FormWindow::OnWindowState(GtkWidget*, GdkEventWindowState* e, FormWindow* self) {
  if (self->display_.Syncing()) return FALSE;
  const GdkWindowState s = e->new_window_state;
  const int16_t state = (s & GDK_WINDOW_STATE_ICONIFIED)   ? forms::kMinimized
                        : (s & GDK_WINDOW_STATE_MAXIMIZED) ? forms::kMaximized
                                                           : forms::kNormal;
  if (state == self->state_) return FALSE;
  self->state_ = state;
  FormsDisplay* display = &self->display_;
  forms::Form* form = &self->form_;
  display->Input([display, form, state] {
    if (display->Loaded(*form) && form->WindowState != state) display->app().OperatorWindowState(*form, state);
  });
  return FALSE;
}

}  // namespace screen
