// The rich-text control on the screen: its document painted by the control
// itself (PaintRichEdit, the path printing takes) from the first line the
// control shows and scrolled to the left as far as the control is, at the
// width the control wraps its lines at, with scroll bars over the control's
// lines and their width. The mouse and the scroll bars reach the control as
// its messages.
#include <algorithm>

#include "platform/richedit/richedit.h"
#include "platform/runtime/step_times.h"
#include "platform/screen/backend.h"
#include "platform/screen/frame_window.h"
#include "platform/screen/pump.h"
#include "platform/screen/signal.h"
#include "platform/screen/widgets.h"
#include "platform/screen/window_input.h"
#include "platform/screen/windows_display.h"

namespace screen {

using namespace win;

namespace {

constexpr double kScreenDpi = 96;  // a twip is 1/15 pixel, as the control counts
constexpr int kLayoutSliceMs = 20;  // short enough not to delay a key or a scroll

class RichEditView : public ChildView {
 public:
  RichEditView(FrameWindow& frame, HWND hwnd) : ChildView(frame, hwnd, gtk_layout_new(nullptr, nullptr)) {
    area_ = gtk_drawing_area_new();
    gtk_widget_set_can_focus(area_, TRUE);
    gtk_widget_add_events(area_, GDK_BUTTON_PRESS_MASK | GDK_BUTTON_RELEASE_MASK | GDK_POINTER_MOTION_MASK |
                                     GDK_SCROLL_MASK);
    Connect<&RichEditView::OnDraw>(area_, "draw", this);
    Connect<&RichEditView::OnButton>(area_, "button-press-event", this);
    Connect<&RichEditView::OnButton>(area_, "button-release-event", this);
    Connect<&RichEditView::OnMotion>(area_, "motion-notify-event", this);
    Connect<&RichEditView::OnScroll>(area_, "scroll-event", this);
    lines_ = gtk_adjustment_new(0, 0, 1, 1, 1, 1);
    Connect<&RichEditView::OnLineBar>(lines_, "value-changed", this);
    pixels_ = gtk_adjustment_new(0, 0, 1, 16, 1, 1);
    Connect<&RichEditView::OnPixelBar>(pixels_, "value-changed", this);
    vbar_ = gtk_scrollbar_new(GTK_ORIENTATION_VERTICAL, lines_);
    hbar_ = gtk_scrollbar_new(GTK_ORIENTATION_HORIZONTAL, pixels_);
    for (GtkWidget* w : {area_, vbar_, hbar_}) gtk_layout_put(GTK_LAYOUT(widget()), w, 0, 0);
    gtk_widget_show_all(widget());
  }

  ~RichEditView() override {
    if (idle_) g_source_remove(idle_);
  }

  void Update(int, int) override {
    // The client area, and the scroll bars beside and below it, where the
    // window has them.
    RECT client;
    GetClientRect(hwnd_, &client);
    const RECT frame = NonClientOf(hwnd_);
    Place(area_, 0, 0, client.right, client.bottom);
    Place(vbar_, client.right, 0, frame.right, client.bottom);
    Place(hbar_, 0, client.bottom, client.right, frame.bottom);
    UpdateBars();
    gtk_widget_queue_draw(area_);
  }

 private:
  void UpdateBars() {
    // The vertical bar over the control's lines: the first one shown and as
    // many as the view holds; the horizontal one over the pixels of the
    // lines' width.
    RichEditPainted painted = Measure();
    // A long document's lines are laid out while the operator reads its
    // start; until then the bar's range is an estimate and is corrected as
    // the lines come.
    bool complete = true;
    const auto count = static_cast<double>(std::max<LONG>(1, RichEditScreenLines(hwnd_, &complete)));
    if (!complete && !idle_) idle_ = g_idle_add_full(G_PRIORITY_LOW, &RichEditView::OnIdle, this, nullptr);
    const auto first = static_cast<double>(SendMessageW(hwnd_, EM_GETFIRSTVISIBLELINE, 0, 0));
    const double page = std::max(1.0, static_cast<double>(VisibleLines(painted)));
    gtk_adjustment_configure(lines_, first, 0, std::max(count, first + page), 1, page, page);
    POINT scrolled;
    SendMessageW(hwnd_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scrolled));
    RECT format;
    SendMessageW(hwnd_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    const double width = painted.width * kScreenDpi / 1440;
    const double shown = std::max<LONG>(1, format.right - format.left);
    gtk_adjustment_configure(pixels_, scrolled.x, 0, std::max(width, scrolled.x + shown), 16, shown, shown);
    gtk_widget_set_sensitive(hbar_, width > shown);
  }

  // The paint of the control from its first shown line into the view.
  RichEditPaint PaintFor(cairo_t* cr) const {
    RichEditPaint p;
    p.cr = cr;
    p.dpiX = p.dpiY = kScreenDpi;
    // The lines stand in the control's formatting rectangle, the part
    // scrolled off at the left outside it.
    POINT scrolled;
    SendMessageW(hwnd_, EM_GETSCROLLPOS, 0, reinterpret_cast<LPARAM>(&scrolled));
    RECT format;
    SendMessageW(hwnd_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
    p.area = {format.left - scrolled.x, format.top, format.right, format.bottom};
    p.lineWidth = kControlLineWidth;
    p.screen = true;
    const LRESULT line = SendMessageW(hwnd_, EM_GETFIRSTVISIBLELINE, 0, 0);
    p.first = static_cast<LONG>(std::max<LRESULT>(0, SendMessageW(hwnd_, EM_LINEINDEX, static_cast<WPARAM>(line), 0)));
    return p;
  }

  // What the view holds, measured without drawing.
  RichEditPainted Measure() const {
    RichEditPainted painted;
    PaintRichEdit(hwnd_, PaintFor(nullptr), &painted);
    return painted;
  }

  LRESULT VisibleLines(const RichEditPainted& painted) const {
    const LRESULT first = SendMessageW(hwnd_, EM_GETFIRSTVISIBLELINE, 0, 0);
    const LRESULT length = SendMessageW(hwnd_, WM_GETTEXTLENGTH, 0, 0);
    const LRESULT last = painted.next >= length ? SendMessageW(hwnd_, EM_GETLINECOUNT, 0, 0)
                                                : SendMessageW(hwnd_, EM_LINEFROMCHAR, painted.next, 0);
    return std::max<LRESULT>(1, last - first);
  }

  // A slice of the rest of the layout between the operator's events.
  // Guarded here rather than through a trampoline (signal.h): the source's
  // id is forgotten also when the slice throws, so none is removed twice.
  static gboolean OnIdle(gpointer data) {
    auto* self = static_cast<RichEditView*>(data);
    bool more = false;
    Guard([&] {
      more = IsWindow(self->hwnd_) && RichEditLayOutMore(self->hwnd_, kLayoutSliceMs);
      if (IsWindow(self->hwnd_)) self->UpdateBars();
    });
    if (!more) self->idle_ = 0;
    return more ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }

  // Posts the operator's `message` to the control when it is still there.
  // The tree changes only when the loop takes it, and is shown then.
  void Post(UINT message, WPARAM wParam, LPARAM lParam) {
    if (display().Syncing()) return;
    HWND control = hwnd_;
    Guard([control, message, wParam, lParam] {
      if (IsWindow(control)) PostMessageW(control, message, wParam, lParam);
    });
  }

  static gboolean OnDraw(GtkWidget* w, cairo_t* cr, RichEditView* self) {
    // Painted in the control's pixels, which are the device's.
    const int scale = DeviceScale();
    cairo_scale(cr, 1.0 / scale, 1.0 / scale);
    const int width = gtk_widget_get_allocated_width(w) * scale, height = gtk_widget_get_allocated_height(w) * scale;
    // The window's colour inside a sunken edge.
    cairo_set_source_rgb(cr, 1, 1, 1);
    cairo_paint(cr);
    cairo_set_line_width(cr, 1);
    cairo_set_source_rgb(cr, 0.63, 0.63, 0.63);
    cairo_move_to(cr, 0.5, height);
    cairo_line_to(cr, 0.5, 0.5);
    cairo_line_to(cr, width, 0.5);
    cairo_stroke(cr);
    if (IsWindow(self->hwnd_)) {
      const RichEditPaint paint = self->PaintFor(cr);
      RECT format;
      SendMessageW(self->hwnd_, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
      cairo_save(cr);
      // What is scrolled off at the left stays out of the margin.
      const LONG left = paint.area.left < format.left ? format.left : 1;
      cairo_rectangle(cr, left, 0, width - left, height);
      cairo_clip(cr);
      PaintRichEdit(self->hwnd_, paint, nullptr);
      cairo_restore(cr);
      rt::MarkStep("richedit.painted");
    }
    return TRUE;
  }

  static gboolean OnButton(GtkWidget* w, GdkEventButton* e, RichEditView* self) {
    int presses = 0;
    if (e->type == GDK_BUTTON_PRESS) {
      gtk_widget_grab_focus(w);
      if (DoublePressFollows(e)) return TRUE;
      presses = 1;
    } else if (e->type == GDK_2BUTTON_PRESS) {
      presses = 2;
    } else if (e->type != GDK_BUTTON_RELEASE) {
      return TRUE;
    }
    const UINT message = ButtonMessageOf(e->button, presses);
    if (message == WM_NULL) return TRUE;
    self->Post(message, MouseKeysOf(e->state, e->button, presses > 0), At(e->x, e->y));
    return TRUE;
  }

  static gboolean OnMotion(GtkWidget*, GdkEventMotion* e, RichEditView* self) {
    // The control does something with a move only while a button is held.
    const WPARAM keys = MouseKeysOf(e->state, 0, false);
    if (keys & (MK_LBUTTON | MK_RBUTTON | MK_MBUTTON)) self->Post(WM_MOUSEMOVE, keys, At(e->x, e->y));
    return TRUE;
  }

  static gboolean OnScroll(GtkWidget*, GdkEventScroll* e, RichEditView* self) {
    const int delta = WheelDeltaOf(e->direction);
    if (delta == 0) return FALSE;
    const WPARAM wParam = MAKEWPARAM(static_cast<WORD>(MouseKeysOf(e->state, 0, false)), static_cast<WORD>(delta));
    // The wheel's point is on the screen.
    const LPARAM at =
        MAKELPARAM(static_cast<WORD>(e->x_root * DeviceScale()), static_cast<WORD>(e->y_root * DeviceScale()));
    self->Post(WM_MOUSEWHEEL, wParam, at);
    return TRUE;
  }

  // The scroll bars' thumbs, as the platform's scroll bars report them.
  static void OnLineBar(GtkAdjustment* a, RichEditView* self) {
    // The thumb at the bar's end is the document's end, wherever that lies:
    // the range may still be an estimate, and a position has 16 bits only.
    const bool end = gtk_adjustment_get_value(a) + gtk_adjustment_get_page_size(a) >= gtk_adjustment_get_upper(a);
    if (end && gtk_adjustment_get_value(a) > 0) {
      self->Post(WM_VSCROLL, SB_BOTTOM, 0);
      return;
    }
    self->Post(WM_VSCROLL, MAKEWPARAM(SB_THUMBPOSITION, Position(a)), 0);
  }
  static void OnPixelBar(GtkAdjustment* a, RichEditView* self) {
    self->Post(WM_HSCROLL, MAKEWPARAM(SB_THUMBPOSITION, Position(a)), 0);
  }
  static WORD Position(GtkAdjustment* a) {
    return static_cast<WORD>(std::clamp(gtk_adjustment_get_value(a), 0.0, 65535.0));
  }

  // Places `w` at a rectangle of the control's pixels.
  void Place(GtkWidget* w, int x, int y, int width, int height) {
    gtk_layout_move(GTK_LAYOUT(widget()), w, GtkPixels(x), GtkPixels(y));
    gtk_widget_set_size_request(w, std::max(1, GtkPixels(width)), std::max(1, GtkPixels(height)));
    gtk_widget_set_visible(w, width > 0 && height > 0);
  }

  // A point of the view in the control's client coordinates.
  static LPARAM At(double x, double y) {
    x *= DeviceScale();
    y *= DeviceScale();
    return MAKELPARAM(static_cast<WORD>(static_cast<int16_t>(x)), static_cast<WORD>(static_cast<int16_t>(y)));
  }

  GtkWidget* area_;
  GtkWidget* vbar_;
  GtkWidget* hbar_;
  GtkAdjustment* lines_;
  GtkAdjustment* pixels_;
  guint idle_ = 0;  // the layout of the rest, while it runs
};

}  // namespace

std::unique_ptr<ChildView> NewRichEditView(FrameWindow& frame, HWND hwnd) {
  return std::make_unique<RichEditView>(frame, hwnd);
}

}  // namespace screen
