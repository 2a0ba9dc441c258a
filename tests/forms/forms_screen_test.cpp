// The forms display inside this process, on an X server of the test's own:
// what the widgets hand the model and what the model makes them show, read
// straight from the GTK widgets and windows.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <chrono>
#include <clocale>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/forms/app.h"
#include "platform/forms/ole_control.h"
#include "platform/forms/screen.h"
#include "platform/imaging/pixo_calls.h"
#include "platform/imaging/pixo_control.h"
#include "platform/runtime/convert.h"
#include "platform/screen/forms_display.h"
#include "platform/screen/list_dialog.h"
#include "platform/screen/message_box.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/screen_session.h"

namespace {

using namespace std::chrono_literals;

const forms::FormDesign kDesign = {
    .Name = "Typing",
    .Caption = "Typing",
    .Width = 4800,
    .Height = 3600,
    .Controls =
        {
            {.Type = forms::ControlType::ComboBox,
             .Name = "ZoomFact",
             .Left = 120,
             .Top = 120,
             .Width = 900,
             .Height = 315,
             .Text = "149"},
            {.Type = forms::ControlType::TextBox,
             .Name = "Status",
             .Left = 120,
             .Top = 600,
             .Width = 2000,
             .Height = 315,
             .Text = "Anna"},
            {.Type = forms::ControlType::OleControl,
             .Name = "L1",
             .Left = 120,
             .Top = 1200,
             .Width = 3000,
             .Height = 2000,
             .ProgId = imaging::kPixoProgId},
        },
};

class TypingForm : public forms::Form {
 public:
  TypingForm() : Form(kDesign) {
    Bind(ZoomFact, "ZoomFact");
    Bind(Status, "Status");
    Bind(L1, "L1");
  }
  forms::ComboBox ZoomFact;
  forms::TextBox Status;
  forms::OleControl L1;
};

// The widgets of class `type` under `w`, in the order GTK keeps them.
void Collect(GtkWidget* w, GType type, std::vector<GtkWidget*>& out) {
  if (G_TYPE_CHECK_INSTANCE_TYPE(w, type)) out.push_back(w);
  if (GTK_IS_CONTAINER(w)) {
    GList* children = gtk_container_get_children(GTK_CONTAINER(w));
    for (GList* c = children; c; c = c->next) Collect(GTK_WIDGET(c->data), type, out);
    g_list_free(children);
  }
}
std::vector<GtkWidget*> WidgetsOf(GType type) {
  std::vector<GtkWidget*> out;
  GList* all = gtk_window_list_toplevels();
  for (GList* l = all; l; l = l->next) Collect(GTK_WIDGET(l->data), type, out);
  g_list_free(all);
  return out;
}

class FormsScreenTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    x_ = new orn_test::ScreenSession;
    if (!x_->Available()) return;
    setenv("DISPLAY", x_->DisplayName().c_str(), 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    imaging::RegisterPixoControl();
    opened_ = gtk_init_check(nullptr, nullptr);
  }
  static void TearDownTestSuite() {
    delete x_;
    x_ = nullptr;
  }
  void SetUp() override {
    if (!x_->Available()) GTEST_SKIP() << x_->Missing();
    ASSERT_TRUE(opened_);
    app_.Reset();
    app_.SetDisplay(&display_);
    form_.Show();
    display_.Pump();
  }
  void TearDown() override {
    if (!opened_) return;
    form_.Close(forms::kFormCode);
    display_.Pump();
    app_.SetDisplay(nullptr);
    app_.Reset();
  }

  static orn_test::ScreenSession* x_;
  static bool opened_;
  forms::App& app_ = forms::App::Instance();
  screen::FormsDisplay display_{app_};
  TypingForm form_;
};
orn_test::ScreenSession* FormsScreenTest::x_ = nullptr;
bool FormsScreenTest::opened_ = false;

TEST_F(FormsScreenTest, WhatWasTypedReachesTheModelBeforeTheModelIsShownAgain) {
  // A key's edit is reported once the field's handling of it is over; the
  // model shown again in between (a script step, a nested DoEvents) must
  // not write the field back over it.
  const std::vector<GtkWidget*> entries = WidgetsOf(GTK_TYPE_ENTRY);
  ASSERT_EQ(entries.size(), 2u);
  struct Case {
    GtkWidget* entry;
    forms::Control* control;
    const char* typed;
  } cases[] = {{entries[0], &form_.ZoomFact, "5"}, {entries[1], &form_.Status, "Anna 4"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    gtk_entry_set_text(GTK_ENTRY(c.entry), c.typed);  // the operator's edit, not yet reported
    display_.Sync();
    const std::string model = c.control == &form_.ZoomFact ? form_.ZoomFact.Text.Get() : form_.Status.Text.Get();
    EXPECT_EQ(model, c.typed);
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(c.entry)), c.typed);
    display_.Pump();
    EXPECT_STREQ(gtk_entry_get_text(GTK_ENTRY(c.entry)), c.typed) << "reported once";
  }
}

TEST_F(FormsScreenTest, ThePointersShowAtOnceAndTheImagingViewsAsTheDesktopsCursors) {
  const unsigned long window = x_->WaitForWindow("^Typing$");
  ASSERT_NE(window, 0u);
  // The pointer over the imaging view (8, 80 .. 208, 213 of the client
  // area), once the screen has taken its arrival.
  const std::vector<GtkWidget*> views = WidgetsOf(GTK_TYPE_DRAWING_AREA);
  ASSERT_EQ(views.size(), 1u);
  gtk_widget_add_events(views[0], GDK_ENTER_NOTIFY_MASK);
  bool entered = false;
  g_signal_connect(views[0], "enter-notify-event", G_CALLBACK(+[](GtkWidget*, GdkEvent*, bool* e) {
                     *e = true;
                     return FALSE;
                   }),
                   &entered);
  ASSERT_TRUE(x_->PointAt(window, 100, 150));
  for (int i = 0; i < 500 && !entered; ++i) {
    display_.Pump();
    g_usleep(10000);
  }
  ASSERT_TRUE(entered);
  const std::string before = x_->CursorName();
  // The screen's hourglass, set before synchronous work: shown before the
  // loop runs again.
  forms::Screen().MousePointer = 11;
  EXPECT_EQ(x_->WaitForCursor("wait", 2s), "wait");
  forms::Screen().MousePointer = 0;
  EXPECT_EQ(x_->WaitForCursor(before, 2s), before);
  struct Case {
    int16_t pointer;
    const char* cursor;
  } cases[] = {{2, "crosshair"}, {4, "move"}, {8, "nwse-resize"}, {11, "wait"}, {0, nullptr}};
  for (const Case& c : cases) {
    imaging::PixPut(*form_.L1.Object(), imaging::Pixo::MousePointer, c.pointer);
    display_.Pump();
    gdk_display_flush(gdk_display_get_default());
    EXPECT_EQ(x_->CursorName(), c.cursor ? c.cursor : before) << c.pointer;
  }
}

TEST_F(FormsScreenTest, ScrollBarsShowWhileThePictureExceedsTheViewAndMoveIt) {
  const unsigned long window = x_->WaitForWindow("^Typing$");
  ASSERT_NE(window, 0u);
  com::Dispatch& view = *form_.L1.Object();
  auto number = [&view](imaging::Pixo m) { return rt::CLng(imaging::PixGet(view, m)); };
  imaging::PixCall(view, imaging::Pixo::CreateImage, {int32_t{150}, int32_t{100}, int32_t{24}});
  imaging::PixPut(view, imaging::Pixo::ScaleMode, int16_t{0});
  display_.Pump();
  // The view (200 x 133) holds the picture: no bars.
  std::vector<GtkWidget*> bars = WidgetsOf(GTK_TYPE_SCROLLBAR);
  ASSERT_EQ(bars.size(), 2u);
  EXPECT_FALSE(gtk_widget_get_visible(bars[0]) || gtk_widget_get_visible(bars[1]));
  // Four times as large: 600 x 400, both bars.
  imaging::PixPut(view, imaging::Pixo::ScaleMode, int16_t{4});
  imaging::PixPut(view, imaging::Pixo::ZoomPercent, 400.0);
  display_.Pump();
  ASSERT_EQ(number(imaging::Pixo::DstWidth), 600);
  EXPECT_TRUE(gtk_widget_get_visible(bars[0]) && gtk_widget_get_visible(bars[1]));
  // A click on the horizontal bar's trough near its right end moves the
  // picture left, as the pan tool does; the vertical position stays.
  GtkAllocation a{};
  for (int i = 0; i < 500 && a.width < 100; ++i) {  // once the bar has its room
    display_.Pump();
    gtk_widget_get_allocation(bars[0], &a);
    g_usleep(2000);
  }
  int x = 0, y = 0;
  gtk_widget_translate_coordinates(bars[0], gtk_widget_get_toplevel(bars[0]), a.width - 30, a.height / 2, &x, &y);
  ASSERT_TRUE(x_->Click(window, x, y));
  for (int i = 0; i < 500 && number(imaging::Pixo::DstLeft) == 0; ++i) {
    display_.Pump();
    g_usleep(10000);
  }
  EXPECT_LT(number(imaging::Pixo::DstLeft), 0);
  EXPECT_GE(number(imaging::Pixo::DstLeft), 200 - 600);
  EXPECT_EQ(number(imaging::Pixo::DstTop), 0);
}

// The labels of the buttons of the dialog that shows next, read once it
// shows; the dialog is then answered with the button labelled `press`.
struct DialogButtons {
  std::vector<std::string> labels;
  std::string press;
  static gboolean Read(gpointer data) {
    auto* self = static_cast<DialogButtons*>(data);
    GList* all = gtk_window_list_toplevels();
    for (GList* l = all; l; l = l->next) {
      if (!GTK_IS_DIALOG(l->data) || !gtk_widget_get_visible(GTK_WIDGET(l->data))) continue;
      std::vector<GtkWidget*> buttons;
      Collect(GTK_WIDGET(l->data), GTK_TYPE_BUTTON, buttons);
      for (GtkWidget* b : buttons) {
        if (gtk_dialog_get_response_for_widget(GTK_DIALOG(l->data), b) == GTK_RESPONSE_NONE) continue;
        const char* label = gtk_button_get_label(GTK_BUTTON(b));
        self->labels.push_back(label ? label : "");
        if (label && label == self->press) gtk_button_clicked(GTK_BUTTON(b));
      }
    }
    g_list_free(all);
    return self->labels.empty() ? G_SOURCE_CONTINUE : G_SOURCE_REMOVE;
  }
};

TEST_F(FormsScreenTest, BoxesAndThePrintDialogSpeakTheSessionsLanguage) {
  // A German session's locale, made for this test.
  orn_test::ScratchDir locales("locales");
  const std::string made = "localedef -i de_DE -f UTF-8 '" + (locales / "de_DE.UTF-8").string() + "' 2>/dev/null";
  if (std::system(made.c_str()) != 0) GTEST_SKIP() << "localedef cannot make de_DE.UTF-8";
  setenv("LOCPATH", locales.str().c_str(), 1);
  unsetenv("LANGUAGE");
  struct Case {
    const char* locale;
    std::vector<std::string> box, print;  // Yes/No/Cancel box; the print dialog
  } cases[] = {
      {"C.UTF-8", {"_Yes", "_No", "Cancel"}, {"Cancel", "Print"}},
      {"de_DE.UTF-8", {"_Ja", "_Nein", "Abbrechen"}, {"Abbrechen", "Drucken"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.locale);
    ASSERT_NE(setlocale(LC_ALL, c.locale), nullptr);
    DialogButtons box{{}, c.box[1]};
    g_idle_add(&DialogButtons::Read, &box);
    EXPECT_EQ(screen::ShowMessageBox("Zurück zum Fenster?", uiscript::kYesNoCancel, "Frage !"), uiscript::kNo);
    EXPECT_EQ(box.labels, c.box);
    DialogButtons print{{}, c.print[1]};
    g_idle_add(&DialogButtons::Read, &print);
    EXPECT_EQ(screen::ChooseFromList("Print", "Select Printer", {"Office A4", "Archiv"}, 1, "_Print"), size_t{1});
    EXPECT_EQ(print.labels, c.print);
  }
  setlocale(LC_ALL, "C.UTF-8");
  unsetenv("LOCPATH");
}

}  // namespace
