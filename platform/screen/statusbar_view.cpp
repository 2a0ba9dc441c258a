// The status bar on the screen: its simple text, or its first part's.
#include "platform/screen/frame_window.h"
#include "platform/windows/commctrl.h"
#include "platform/windows/text.h"

namespace screen {

using namespace win;

namespace {

class StatusBarView : public ChildView {
 public:
  StatusBarView(FrameWindow& frame, HWND hwnd) : ChildView(frame, hwnd, gtk_event_box_new()) {
    gtk_widget_set_name(widget(), "orn-status");
    label_ = gtk_label_new("");
    gtk_label_set_xalign(GTK_LABEL(label_), 0);
    gtk_label_set_ellipsize(GTK_LABEL(label_), PANGO_ELLIPSIZE_END);
    gtk_container_add(GTK_CONTAINER(widget()), label_);
    gtk_widget_show(label_);
  }

  void Update(int, int) override {
    const WPARAM part = SendMessageW(hwnd_, SB_ISSIMPLE, 0, 0) ? SB_SIMPLEID : 0;
    const auto length = static_cast<size_t>(SendMessageW(hwnd_, SB_GETTEXTLENGTHW, part, 0) & 0xFFFF);
    std::wstring text(length + 1, L'\0');
    SendMessageW(hwnd_, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(text.data()));
    text.resize(length);
    if (text == shown_) return;
    shown_ = text;
    gtk_label_set_text(GTK_LABEL(label_), ToUtf8(text).c_str());
  }

 private:
  GtkWidget* label_;
  std::wstring shown_;
};

}  // namespace

std::unique_ptr<ChildView> NewStatusBarView(FrameWindow& frame, HWND hwnd) {
  return std::make_unique<StatusBarView>(frame, hwnd);
}

}  // namespace screen
