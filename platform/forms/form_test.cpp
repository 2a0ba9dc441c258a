#include "platform/forms/form.h"

#include <gtest/gtest.h>

#include "platform/forms/screen.h"
#include "platform/forms/test_support.h"

namespace forms {
namespace {

using testing::FormsTest;
using testing::MainForm;

using FormTest = FormsTest;

int ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const rt::RuntimeError& e) {
    return e.number();
  }
  return 0;
}

TEST_F(FormTest, BindTakesDesignValuesAndTheFormsFont) {
  MainForm f;
  EXPECT_EQ(f.DoOK.Caption, "OK");
  EXPECT_EQ(f.DoOK.Top, 3600);
  EXPECT_EQ(f.DoOK.FontName, "MS Sans Serif");  // no font of its own: the form's
  EXPECT_EQ(f.DoOK.FontSize, 8.25f);
  EXPECT_EQ(f.Page(0).FontName, "Arial");
  EXPECT_TRUE(f.Page(0).FontBold);
  EXPECT_EQ(f.Page(0).Index(), 0);
  EXPECT_EQ(f.Page(0).Tag, " 1");
  EXPECT_EQ(f.Status.Text, "ready");
  EXPECT_FALSE(f.Tim.Enabled);
  EXPECT_EQ(f.View.Get(154), rt::Variant(int32_t{3}));  // design property put on the control
  EXPECT_EQ(f.FindControl("Page(0)"), &f.Page(0));
  EXPECT_EQ(f.FindControl("Page"), nullptr);
  EXPECT_EQ(f.FindControl("DoOK(0)"), nullptr);
}

const FormDesign kTwoButtons = {
    .Name = "Two",
    .Controls = {{.Name = "A"}, {.Name = "B"}},
};

struct Unbound : Form {
  Unbound() : Form(kTwoButtons) { Bind(A, "A"); }
  CommandButton A;
};
struct WrongType : Form {
  WrongType() : Form(kTwoButtons) { Bind(A, "A"); }
  Label A;
};
struct NoSuchArray : Form {
  NoSuchArray() : Form(kTwoButtons) { Bind(A, "A"); }
  ControlArray<CommandButton> A;
};

TEST_F(FormTest, DesignTableMistakesAreProgrammingErrors) {
  Unbound u;
  EXPECT_THROW(u.LoadForm(), std::logic_error);  // B is never bound
  EXPECT_THROW(WrongType(), std::logic_error);
  EXPECT_THROW(NoSuchArray(), std::logic_error);
}

TEST_F(FormTest, ArrayLoadCopiesTheLowestElementHiddenAndForwardsEventsWithIndex) {
  MainForm f;
  f.Page(0).Caption = "changed at run time";
  f.Page.Load(3);
  CommandButton& p = f.Page(3);
  EXPECT_EQ(p.Index(), 3);
  EXPECT_FALSE(p.Visible);
  EXPECT_EQ(p.Caption, "changed at run time");
  EXPECT_EQ(p.FontName, "Arial");
  EXPECT_EQ(f.Page.Count(), 2);
  EXPECT_EQ(f.Page.UBound(), 3);
  EXPECT_EQ(f.Page.LBound(), 0);

  std::vector<int16_t> clicked;
  f.Page.MouseUp = [&](int16_t index, int16_t button, int16_t shift, float, float) {
    clicked.push_back(index);
    EXPECT_EQ(button, 1);
    EXPECT_EQ(shift, 3);
  };
  Raise(f.Page(3).MouseUp, int16_t{1}, int16_t{3}, 0.f, 0.f);
  Raise(f.Page(0).MouseUp, int16_t{1}, int16_t{3}, 0.f, 0.f);
  EXPECT_EQ(clicked, (std::vector<int16_t>{3, 0}));

  EXPECT_EQ(ErrorOf([&] { f.Page.Load(3); }), 360);
  EXPECT_EQ(ErrorOf([&] { f.Page(7); }), 340);
  EXPECT_EQ(ErrorOf([&] { f.Page.Unload(7); }), 340);
  EXPECT_EQ(ErrorOf([&] { f.Page.Unload(0); }), 362);
  f.Page.Unload(3);
  EXPECT_EQ(f.FindControl("Page(3)"), nullptr);
  f.Page.Load(3);  // can be loaded again
  EXPECT_EQ(f.Page.UBound(), 3);
}

TEST_F(FormTest, OuterAndClientSizeByBorderStyle) {
  struct Case {
    int16_t border;
    float scaleWidth, scaleHeight;
  } cases[] = {
      {0, 6000, 4500}, {1, 6000 - 90, 4500 - 390}, {2, 6000 - 120, 4500 - 420},
      {3, 6000 - 90, 4500 - 390}, {4, 6000 - 90, 4500 - 330}, {5, 6000 - 120, 4500 - 360},
  };
  MainForm f;
  for (const Case& c : cases) {
    f.BorderStyle = c.border;
    EXPECT_EQ(f.ScaleWidth(), c.scaleWidth) << "border " << c.border;
    EXPECT_EQ(f.ScaleHeight(), c.scaleHeight) << "border " << c.border;
  }
  EXPECT_EQ(ErrorOf([&] { f.BorderStyle = 6; }), 380);
}

TEST_F(FormTest, ResizeOnlyForALoadedFormAndARealChange) {
  MainForm f;
  int resizes = 0;
  f.Resize = [&] { ++resizes; };
  f.Width = 7000;  // not loaded yet
  EXPECT_EQ(resizes, 0);
  f.Load = [&] { f.Width = 8000; };  // raised while Load runs
  f.Show();
  EXPECT_EQ(resizes, 2);  // the change in Load and the first showing
  f.Width = 8000;
  EXPECT_EQ(resizes, 2);
  f.Height = 5000;
  EXPECT_EQ(resizes, 3);
}

TEST_F(FormTest, ResizeMayResizeItselfButNotForEver) {
  MainForm f;
  f.Show();
  // Enforcing a minimum size re-enters Resize once.
  int calls = 0;
  f.Resize = [&] {
    ++calls;
    if (f.Width < 5000) f.Width = 5000;
  };
  f.Width = 3000;
  EXPECT_EQ(f.Width, 5000);
  EXPECT_EQ(calls, 2);
  f.Resize = [&] { f.Width = f.Width + 1; };
  EXPECT_EQ(ErrorOf([&] { f.Width = 1; }), 28);
}

TEST_F(FormTest, MaximizedFormHasTheScreenSizeAndCannotBeSized) {
  MainForm f;
  f.Show();
  std::vector<float> widths;
  f.Resize = [&] { widths.push_back(f.Width); };
  f.WindowState = kMaximized;
  EXPECT_EQ(f.Width, Screen().Width());
  EXPECT_EQ(f.Height, Screen().Height());
  EXPECT_EQ(ErrorOf([&] { f.Width = 100; }), 384);
  EXPECT_EQ(ErrorOf([&] { f.Left = 100; }), 384);
  f.WindowState = kNormal;
  EXPECT_EQ(f.Width, 6000);
  EXPECT_EQ(f.Height, 4500);
  EXPECT_EQ(widths, (std::vector<float>{Screen().Width(), 6000}));
  EXPECT_EQ(ErrorOf([&] { f.WindowState = 3; }), 380);
}

TEST_F(FormTest, CloseAsksQueryUnloadWithTheModeAndCanBeCancelled) {
  MainForm f;
  f.Show();
  std::vector<int16_t> modes;
  int16_t refuse = 1;
  f.QueryUnload = [&](int16_t& cancel, int16_t mode) {
    modes.push_back(mode);
    cancel = refuse;
  };
  int unloads = 0;
  f.Unload = [&](int16_t&) { ++unloads; };
  EXPECT_FALSE(f.Close(kFormControlMenu));
  EXPECT_TRUE(f.Loaded());
  refuse = 0;
  EXPECT_TRUE(f.Close(kFormCode));
  EXPECT_FALSE(f.Loaded());
  EXPECT_FALSE(f.Visible());
  EXPECT_EQ(modes, (std::vector<int16_t>{0, 1}));
  EXPECT_EQ(unloads, 1);
  EXPECT_TRUE(App::Instance().Forms().empty());
}

TEST_F(FormTest, CaptionChangesOfALoadedFormGoToTheTranscript) {
  MainForm f;
  f.Caption = "before load";
  f.Show();
  f.Caption = "a.tif:800x600";
  f.Caption = "a.tif:800x600";
  EXPECT_EQ(Transcript(), "caption | Main | a.tif:800x600\n");
}

TEST_F(FormTest, ComboBoxTextListAndEvents) {
  MainForm f;
  ComboBox& c = f.Zoom;
  int changes = 0, clicks = 0;
  c.Change = [&] { ++changes; };
  c.Click = [&] { ++clicks; };
  c.AddItem("100");
  c.AddItem("50");
  c.AddItem("200", 0);
  EXPECT_EQ(c.ListCount(), 3);
  EXPECT_EQ(c.List(0), "200");
  EXPECT_EQ(c.List(3), "");  // beyond the list: empty
  EXPECT_EQ(ErrorOf([&] { c.List(-1); }), 381);
  EXPECT_EQ(ErrorOf([&] { c.AddItem("x", 5); }), 5);
  EXPECT_EQ(ErrorOf([&] { c.RemoveItem(3); }), 5);

  c.SetListIndex(1);  // a choice from the list: Click, no Change
  EXPECT_EQ(c.Text, "100");
  EXPECT_EQ(c.ListIndex(), 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(changes, 0);
  c.RemoveItem(0);
  EXPECT_EQ(c.ListIndex(), 0);

  c.Text = "75";  // set from code: Change, and no item chosen any more
  c.Text = "75";
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(c.ListIndex(), -1);

  // A Change handler that puts the first item back ends after one nested Change.
  c.Change = [&] {
    ++changes;
    c.Text = c.List(0);
  };
  c.Text = "typed";
  EXPECT_EQ(c.Text, "100");
  EXPECT_EQ(changes, 3);
  while (c.ListCount() > 0) c.RemoveItem(0);
  c.Text = "";  // the list is empty: List(0) is "" and the handler ends
  EXPECT_EQ(c.Text, "");

  c.Style = 2;
  c.AddItem("A");
  EXPECT_EQ(ErrorOf([&] { c.Text = "B"; }), 383);
  c.Text = "A";
  EXPECT_EQ(c.Text, "A");
}

TEST_F(FormTest, NewComboElementStartsWithAnEmptyList) {
  const FormDesign design = {.Name = "C", .Controls = {{.Type = ControlType::ComboBox, .Name = "Twain", .Index = 0}}};
  struct F : Form {
    explicit F(const FormDesign& d) : Form(d) { Bind(Twain, "Twain"); }
    ControlArray<ComboBox> Twain;
  } f(design);
  f.Twain(0).AddItem("COL24");
  f.Twain(0).Text = "COL24";
  f.Twain.Load(1);
  EXPECT_EQ(f.Twain(1).ListCount(), 0);
  EXPECT_EQ(f.Twain(1).Text, "COL24");
  int changed = -1;
  f.Twain.Change = [&](int16_t index) { changed = index; };
  f.Twain(1).Text = "";
  EXPECT_EQ(changed, 1);
}

}  // namespace
}  // namespace forms
