// The toolbar on the screen: its buttons at their places, with their text
// and, for the standard print image, a printer; greyed unless enabled.
#include <string>
#include <vector>

#include "platform/screen/backend.h"
#include "platform/screen/frame_window.h"
#include "platform/screen/signal.h"
#include "platform/screen/windows_display.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/operator.h"
#include "platform/windows/text.h"

namespace screen {

using namespace win;

namespace {

// The standard print image, 16 x 16: paper above and below a printer;
// faded on a greyed button.
gboolean DrawPrinter(GtkWidget* w, cairo_t* cr, gpointer) {
  const bool greyed = !gtk_widget_is_sensitive(w);
  if (greyed) cairo_push_group(cr);
  cairo_set_line_width(cr, 1);
  cairo_set_source_rgb(cr, 1, 1, 1);
  cairo_rectangle(cr, 4.5, 1.5, 7, 5);
  cairo_rectangle(cr, 4.5, 10.5, 7, 4);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0.55, 0.55, 0.6);
  cairo_rectangle(cr, 1.5, 6.5, 13, 5);
  cairo_fill_preserve(cr);
  cairo_set_source_rgb(cr, 0.2, 0.2, 0.2);
  cairo_stroke(cr);
  cairo_set_source_rgb(cr, 0.1, 0.7, 0.1);
  cairo_rectangle(cr, 11, 8, 2, 1.5);
  cairo_fill(cr);
  if (greyed) {
    cairo_pop_group_to_source(cr);
    cairo_paint_with_alpha(cr, 0.35);
  }
  return TRUE;
}

struct Button {
  TBBUTTON info;
  std::wstring text;
};

class ToolbarView : public ChildView {
 public:
  ToolbarView(FrameWindow& frame, HWND hwnd) : ChildView(frame, hwnd, gtk_layout_new(nullptr, nullptr)) {
    gtk_widget_set_name(widget(), "orn-toolbar");
  }

  void Update(int, int) override {
    std::vector<Button> now = Read();
    std::string shape;
    for (const Button& b : now)
      shape += std::to_string(b.info.idCommand) + "/" + std::to_string(b.info.iBitmap) + "/" +
               std::to_string(b.info.fsStyle) + "/" + ToUtf8(b.text) + "\x1f";
    if (shape != shape_) {
      shape_ = shape;
      Build(now);
    }
    for (size_t i = 0; i < now.size() && i < buttons_.size(); ++i) {
      GtkWidget* b = buttons_[i];
      if (!b) continue;
      const BYTE state = now[i].info.fsState;
      gtk_widget_set_sensitive(b, (state & TBSTATE_ENABLED) != 0);
      gtk_widget_set_visible(b, !(state & TBSTATE_HIDDEN));
    }
  }

 private:
  std::vector<Button> Read() const {
    std::vector<Button> out;
    const LRESULT count = SendMessageW(hwnd_, TB_BUTTONCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
      Button b;
      SendMessageW(hwnd_, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&b.info));
      const LRESULT length = SendMessageW(hwnd_, TB_GETBUTTONTEXTW, static_cast<WPARAM>(b.info.idCommand), 0);
      if (length > 0) {
        b.text.assign(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(hwnd_, TB_GETBUTTONTEXTW, static_cast<WPARAM>(b.info.idCommand),
                     reinterpret_cast<LPARAM>(b.text.data()));
        b.text.resize(static_cast<size_t>(length));
      }
      out.push_back(std::move(b));
    }
    return out;
  }

  void Build(const std::vector<Button>& now) {
    for (GtkWidget* b : buttons_)
      if (b) gtk_widget_destroy(b);
    buttons_.clear();
    for (size_t i = 0; i < now.size(); ++i) {
      const Button& b = now[i];
      RECT r;
      if (b.info.fsStyle == BTNS_SEP ||
          !SendMessageW(hwnd_, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&r))) {
        buttons_.push_back(nullptr);
        continue;
      }
      GtkWidget* button = gtk_button_new();
      gtk_button_set_relief(GTK_BUTTON(button), GTK_RELIEF_NONE);  // a flat toolbar
      GtkWidget* box = gtk_box_new(GTK_ORIENTATION_HORIZONTAL, 4);
      if (b.info.iBitmap == STD_PRINT) {
        GtkWidget* image = gtk_drawing_area_new();
        gtk_widget_set_size_request(image, 16, 16);
        gtk_widget_set_valign(image, GTK_ALIGN_CENTER);
        Connect<&DrawPrinter>(image, "draw", nullptr);
        gtk_box_pack_start(GTK_BOX(box), image, FALSE, FALSE, 0);
      }
      gtk_box_pack_start(GTK_BOX(box), gtk_label_new(ToUtf8(b.text).c_str()), FALSE, FALSE, 0);
      gtk_widget_set_halign(box, GTK_ALIGN_CENTER);
      gtk_container_add(GTK_CONTAINER(button), box);
      gtk_widget_set_size_request(button, GtkPixels(r.right - r.left), GtkPixels(r.bottom - r.top));
      gtk_widget_set_can_focus(button, FALSE);
      gtk_layout_put(GTK_LAYOUT(widget()), button, GtkPixels(r.left), GtkPixels(r.top));
      // A click is the script's "button" verb: a press and release on the
      // toolbar, which sends the command when the button is enabled.
      g_object_set_data(G_OBJECT(button), "orn-command", GINT_TO_POINTER(b.info.idCommand));
      Connect(
          button, "clicked",
          [](GtkButton* w, ToolbarView* self) {
            if (self->display().Syncing()) return;
            const int id = GPOINTER_TO_INT(g_object_get_data(G_OBJECT(w), "orn-command"));
            HWND toolbar = self->hwnd_;
            self->display().Input([toolbar, id] {
              if (IsWindow(toolbar)) ClickToolbarButton(toolbar, id);
            });
          },
          this);
      gtk_widget_show_all(button);
      buttons_.push_back(button);
    }
  }

  std::string shape_;
  std::vector<GtkWidget*> buttons_;  // by index; null for separators
};

}  // namespace

std::unique_ptr<ChildView> NewToolbarView(FrameWindow& frame, HWND hwnd) {
  return std::make_unique<ToolbarView>(frame, hwnd);
}

}  // namespace screen
