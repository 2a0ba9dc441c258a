#pragma once
// Inside the forms display: one form's top-level window, the widgets of its
// windowed controls (command buttons, combo and text boxes, outside
// controls) and the painting of its light controls (form_paint.h). Only GTK
// handles and what was last handed to GTK are kept here; what they show is
// read from the form at every Update.

#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "platform/forms/form.h"
#include "platform/forms/ole_control.h"
#include "platform/forms/operator_input.h"
#include "platform/screen/mouse_actions.h"

namespace screen {

class FormsDisplay;
class FormWindow;

// The widget of one windowed control. Geometry, visibility, the enabled
// state and the tooltip are the window's; the rest (caption, items, text,
// colours, font) each kind's Update.
class ControlWidget {
 public:
  ControlWidget(FormWindow& window, const forms::Control& control, GtkWidget* widget);
  virtual ~ControlWidget();
  ControlWidget(const ControlWidget&) = delete;
  ControlWidget& operator=(const ControlWidget&) = delete;

  // The control's own widget, and the box that holds it at the model's
  // place and size (clip_box.h).
  GtkWidget* widget() const { return widget_; }
  GtkWidget* box() const { return box_; }
  // The part that takes the keyboard focus (a combo box's entry).
  virtual GtkWidget* FocusWidget() const { return widget_; }
  // Whether this widget can show `control` (else it is made anew).
  virtual bool Shows(const forms::Control& control) const = 0;
  virtual void Update(forms::Control& control) = 0;
  // Whether an edit of the typing field waits to be reported.
  bool TypingPending() const { return typed_ != 0; }
  // Reports the waiting edit now: the model must have it before it is
  // shown again, or the field would be written back over what was typed.
  // The action may end the window (and this widget).
  void ReportTyping();

 protected:
  // Runs `action` on this control as operator input.
  void Act(const forms::OperatorAction& action);
  // The control, null once it is gone.
  forms::Control* Find() const;
  bool Syncing() const;
  double TwipsPerPixel() const;
  // Puts style sheet rules on the widget ("button { ... }"); nothing when
  // they are the ones it has.
  void Style(GtkWidget* w, const std::string& css);
  // How a widget shares its mouse with GTK:
  //   kView    a view of the program's own: every press, release and move
  //            is the program's (the imaging view);
  //   kButton  GTK keeps its own handling; the Click comes with GTK's
  //            "clicked" (the keyboard gives it too), and a second press is
  //            another press (buttons know no double click);
  //   kField   GTK keeps its own handling (a text field).
  enum class MouseMode { kView, kButton, kField };
  // Presses, releases and moves of the mouse on `w` become MouseActions'
  // actions on this control.
  void TakeMouse(GtkWidget* w, MouseMode mode);
  // A file manager's drop of files on `w` becomes a Drop action.
  void TakeDrops(GtkWidget* w);
  // The keyboard focus on `w` makes this control the form's active one.
  void TakeFocus(GtkWidget* w);
  // What the operator types into the field `entry` becomes a Type action
  // with the field's text, one for each edit: a key that replaces the
  // selected text is one edit, though the field reports a deletion and an
  // insertion.
  void TakeTyping(GtkWidget* entry);
  // Whether a change of the typing field is the operator's typing (a combo
  // box's pick fills its field too).
  virtual bool Typed() const { return true; }
  static gboolean OnTyped(gpointer data);
  void SendTyping();

  FormWindow& window_;
  const std::string name_;

 private:
  GtkWidget* widget_;
  GtkWidget* box_;
  std::map<GtkWidget*, std::pair<GtkCssProvider*, std::string>> styles_;
  MouseActions mouse_;
  MouseMode mouseMode_ = MouseMode::kView;
  GtkWidget* typing_ = nullptr;
  // The pending report of the field's edit; 0 when none is pending.
  guint typed_ = 0;
};

// The outside control of class T that `c` hosts; null for anything else.
template <class T>
T* HostedBy(const forms::Control* c) {
  const auto* host = dynamic_cast<const forms::OleControl*>(c);
  return host ? dynamic_cast<T*>(host->Object()) : nullptr;
}

std::unique_ptr<ControlWidget> NewButtonWidget(FormWindow& window, const forms::CommandButton& button);
std::unique_ptr<ControlWidget> NewComboWidget(FormWindow& window, const forms::ComboBox& combo);
std::unique_ptr<ControlWidget> NewTextWidget(FormWindow& window, const forms::TextBox& text);
// The imaging control's view, or the slider; null for an outside control
// of another class (it then has no widget).
std::unique_ptr<ControlWidget> NewPixoWidget(FormWindow& window, const forms::OleControl& host);
std::unique_ptr<ControlWidget> NewSliderWidget(FormWindow& window, const forms::OleControl& host);

class FormWindow {
 public:
  FormWindow(FormsDisplay& display, forms::Form& form);
  ~FormWindow();
  FormWindow(const FormWindow&) = delete;
  FormWindow& operator=(const FormWindow&) = delete;

  forms::Form& form() const { return form_; }
  FormsDisplay& display() const { return display_; }
  // Twips of one of GTK's pixels (DeviceScale() of the model's).
  double TwipsPerPixelX() const;
  double TwipsPerPixelY() const;

  // Brings the window and its widgets in line with the form.
  void Update();
  // Hides the window (the form is loaded but hidden).
  void Hide();
  // The mouse pointer over the window: the hourglass while the screen's or
  // the form's MousePointer is 11.
  void ShowPointer();
  // Reports the edit a field of this window has waiting (ControlWidget::
  // ReportTyping); true when there was one (the window may then be gone).
  bool ReportTyping();
  // Runs `action`, or `actions` in order, on the control `control` of this
  // form ("" = the form itself) as operator input; an action may end the
  // window (and the caller's widget) before it returns.
  void Act(const std::string& control, const forms::OperatorAction& action);
  void Act(const std::string& control, const std::vector<forms::OperatorAction>& actions);
  // The keyboard focus went to `control`.
  void Focused(const std::string& control);
  // Whether the window was destroyed from outside (it is then made anew).
  bool Gone() const { return gone_; }

 private:
  static gboolean OnDraw(GtkWidget* w, cairo_t* cr, FormWindow* self);
  static gboolean OnKey(GtkWidget* w, GdkEventKey* e, FormWindow* self);
  static gboolean OnButton(GtkWidget* w, GdkEventButton* e, FormWindow* self);
  static gboolean OnMotion(GtkWidget* w, GdkEventMotion* e, FormWindow* self);
  static gboolean OnDelete(GtkWidget* w, GdkEvent* e, FormWindow* self);
  static gboolean OnConfigure(GtkWidget* w, GdkEventConfigure* e, FormWindow* self);
  static gboolean OnWindowState(GtkWidget* w, GdkEventWindowState* e, FormWindow* self);
  static gboolean OnDestroyed(GtkWidget* w, GdkEvent* e, FormWindow* self);
  void UpdateWindow();
  void UpdateControls();
  // Lets go of the pointers kept while the hourglass showed.
  void ForgetOwnCursors();
  void Place(ControlWidget& cw, const forms::VisibleControl& c);
  std::unique_ptr<ControlWidget> NewWidget(forms::Control& c);

  FormsDisplay& display_;
  forms::Form& form_;
  GtkWidget* window_ = nullptr;
  GtkWidget* layout_ = nullptr;
  std::map<const forms::Control*, std::unique_ptr<ControlWidget>> widgets_;
  // What the window was last given, so that only changes reach GTK and the
  // window's own reports of them are not taken for the operator's.
  std::string title_;
  int x_ = -1, y_ = -1, width_ = -1, height_ = -1;
  int16_t state_ = 0;
  const forms::Control* focused_ = nullptr;
  bool shown_ = false;
  bool gone_ = false;
  // While the hourglass shows: each window's own pointer (null: inherited).
  std::map<GdkWindow*, GdkCursor*> ownCursors_;
  // The light control (or "" the form) the mouse pressed, for its release.
  std::string pressed_;
  MouseActions mouse_;
};

}  // namespace screen
