#pragma once
// Inside the windows display: one top-level window of the tree as a GTK
// window (its title, placement, show state, cursor and close box), its menu
// bar built from the window's menu, and a widget for each visible child
// window of a class the screen knows (status bar, toolbar, rich-text
// control), placed at the child's rectangle. Only GTK handles, window
// handles and what was last handed to GTK are kept here; what they show is
// read from the tree at every Update.

#include <gtk/gtk.h>

#include <map>
#include <memory>
#include <string>

#include "platform/screen/alarm.h"
#include "platform/windows/window.h"

namespace screen {

class WindowsDisplay;
class FrameWindow;

// The widget of one child window.
class ChildView {
 public:
  ChildView(FrameWindow& frame, win::HWND hwnd, GtkWidget* widget);
  virtual ~ChildView();
  ChildView(const ChildView&) = delete;
  ChildView& operator=(const ChildView&) = delete;

  GtkWidget* widget() const { return widget_; }
  win::HWND hwnd() const { return hwnd_; }
  // Brings the widget in line with the child window (its size is set).
  virtual void Update(int width, int height) = 0;

 protected:
  WindowsDisplay& display() const;
  FrameWindow& frame_;
  const win::HWND hwnd_;

 private:
  GtkWidget* widget_;
};

// The views of the child classes the screen shows; null for other classes.
std::unique_ptr<ChildView> NewStatusBarView(FrameWindow& frame, win::HWND hwnd);
std::unique_ptr<ChildView> NewToolbarView(FrameWindow& frame, win::HWND hwnd);
std::unique_ptr<ChildView> NewRichEditView(FrameWindow& frame, win::HWND hwnd);

// The menu bar of a frame, built from its menu.
class MenuBar {
 public:
  MenuBar(FrameWindow& frame, GtkWidget* bar);
  // Rebuilds the bar when the menu's items, texts or checks changed, and
  // greys the items the menu has greyed.
  void Update(win::HMENU menu);
  GtkWidget* Widget() const { return bar_; }

 private:
  void Build(win::HMENU menu, GtkWidget* shell);
  void Grey(win::HMENU menu);

  FrameWindow& frame_;
  GtkWidget* bar_;
  std::string shape_;
  std::map<win::UINT, GtkWidget*> items_;
};

class FrameWindow {
 public:
  FrameWindow(WindowsDisplay& display, win::HWND hwnd);
  ~FrameWindow();
  FrameWindow(const FrameWindow&) = delete;
  FrameWindow& operator=(const FrameWindow&) = delete;

  WindowsDisplay& display() const { return display_; }
  win::HWND hwnd() const { return hwnd_; }
  GtkWindow* window() const { return GTK_WINDOW(window_); }

  // Brings the window, its menu bar and its child views in line with the tree.
  void Update();
  // Shows the hourglass while the tree's pointer is the wait cursor.
  void ShowPointer();
  void Hide();
  // Whether the window was destroyed from outside (it is then made anew).
  bool Gone() const { return gone_; }

 private:
  static gboolean OnKey(GtkWidget* w, GdkEventKey* e, FrameWindow* self);
  static gboolean OnDelete(GtkWidget* w, GdkEvent* e, FrameWindow* self);
  static gboolean OnConfigure(GtkWidget* w, GdkEventConfigure* e, FrameWindow* self);
  static gboolean OnWindowState(GtkWidget* w, GdkEventWindowState* e, FrameWindow* self);
  static gboolean OnDestroyed(GtkWidget* w, GdkEvent* e, FrameWindow* self);
  void UpdatePlacement();
  void UpdateChildren();
  // Takes the real window's show state and geometry (its size, menu bar
  // included) into the tree.
  void ReadPlacement(int width, int height);
  int MenuBarHeight() const;

  WindowsDisplay& display_;
  const win::HWND hwnd_;
  GtkWidget* window_ = nullptr;
  GtkWidget* layout_ = nullptr;
  MenuBar menu_;
  std::map<win::HWND, std::unique_ptr<ChildView>> children_;
  // A window's place as GTK has it: the position of its frame, its size
  // (menu bar included) and its show state (SIZE_RESTORED ...); the
  // position and size count only for a normal window.
  struct RealPlace {
    int x = 0, y = 0, width = 0, height = 0;
    int state = -1;
    bool operator==(const RealPlace& o) const {
      return state == o.state &&
             (state != win::SIZE_RESTORED || (x == o.x && y == o.y && width == o.width && height == o.height));
    }
  };
  // What the window was last given or reported, so that only the tree's
  // changes reach GTK and the window's own reports of them are not taken
  // for the operator's.
  std::wstring title_;
  win::RECT rect_{-1, -1, -1, -1};  // the tree's normal rectangle
  RealPlace place_;
  // Asked to go to place_ until askedUntil_ (ClockMs); recheck_ reads the
  // place when the time is up.
  bool asked_ = false;
  int64_t askedUntil_ = 0;
  Alarm recheck_;
  bool busy_ = false;
  bool shown_ = false;
  bool gone_ = false;
};

}  // namespace screen
