// The forms display inside this process, on an X server of the test's own:
// what the widgets hand the model and what the model makes them show, read
// straight from the GTK widgets and windows.

#include <gtest/gtest.h>
#include <gtk/gtk.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "platform/forms/app.h"
#include "platform/screen/forms_display.h"
#include "tests/support/screen_session.h"

namespace {

const forms::FormDesign kDesign = {
    .Name = "Typing",
    .Caption = "Typing",
    .Width = 4800,
    .Height = 3600,
    .Controls =
        {
            {.Type = forms::ControlType::ComboBox, .Name = "ZoomFact", .Left = 120, .Top = 120, .Width = 900,
             .Height = 315, .Text = "149"},
            {.Type = forms::ControlType::TextBox, .Name = "Status", .Left = 120, .Top = 600, .Width = 2000,
             .Height = 315, .Text = "Anna"},
        },
};

class TypingForm : public forms::Form {
 public:
  TypingForm() : Form(kDesign) {
    Bind(ZoomFact, "ZoomFact");
    Bind(Status, "Status");
  }
  forms::ComboBox ZoomFact;
  forms::TextBox Status;
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

}  // namespace
