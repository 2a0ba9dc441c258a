#include "platform/forms/ole_control.h"

#include <gtest/gtest.h>

#include "platform/forms/test_support.h"

namespace forms {
namespace {

using testing::FormsTest;
using testing::MainForm;
using testing::Probe;

using OleControlTest = FormsTest;

TEST_F(OleControlTest, ExtenderPropertiesAreTheHostsAndOtherIdsReachTheControl) {
  MainForm f;
  OleControl& v = f.View;
  struct Case {
    int32_t dispid;
    rt::Variant put;
    rt::Variant get;
  } cases[] = {
      {kExtLeft, rt::Variant(int16_t{15}), rt::Variant(15.0)},
      {kExtTop, rt::Variant("30"), rt::Variant(30.0)},
      {kExtWidth, rt::Variant(4500.0), rt::Variant(4500.0)},
      {kExtHeight, rt::Variant(int32_t{3000}), rt::Variant(3000.0)},
      {kExtVisible, rt::Variant(false), rt::Variant(false)},
      {kExtEnabled, rt::Variant(int16_t{0}), rt::Variant(false)},
      {kExtTag, rt::Variant(int16_t{2}), rt::Variant("2")},
      {kExtToolTipText, rt::Variant(" 800 x 600"), rt::Variant(" 800 x 600")},
  };
  for (const Case& c : cases) {
    v.Put(c.dispid, c.put);
    EXPECT_EQ(v.Get(c.dispid), c.get) << std::hex << c.dispid;
  }
  EXPECT_EQ(v.Left, 15);
  EXPECT_FALSE(v.Enabled);
  EXPECT_EQ(v.Tag, "2");
  EXPECT_EQ(v.Get(kExtName), rt::Variant("View"));
  EXPECT_THROW(v.Put(kExtName, "x"), rt::RuntimeError);
  // Nothing of the container reached the control.
  EXPECT_EQ(f.ViewProbe().values.size(), 1u);

  v.Put(338, "a.tif");
  EXPECT_EQ(f.ViewProbe().values.at(338), rt::Variant("a.tif"));
  EXPECT_EQ(v.Get(338), rt::Variant("a.tif"));
  try {
    v.Get(10);
    ADD_FAILURE();
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number(), 438);
  }
}

TEST_F(OleControlTest, ControlIsToldItsSizeInPixels) {
  MainForm f;
  EXPECT_EQ(f.ViewProbe().Width(), 200);  // 3000 twips / 15
  EXPECT_EQ(f.ViewProbe().Height(), 100);
  f.View.Width = 4507;  // rounded to the nearest pixel
  f.View.Put(kExtHeight, 1200.0);
  EXPECT_EQ(f.ViewProbe().Width(), 300);
  EXPECT_EQ(f.ViewProbe().Height(), 80);
}

TEST_F(OleControlTest, EventsReachTheHandlerWithIdIndexAndByReferenceArguments) {
  MainForm f;
  std::vector<std::pair<int32_t, std::string>> seen;
  f.View.Event = [&](int32_t id, std::span<rt::Variant> args) {
    seen.emplace_back(id, args.empty() ? "" : rt::CStr(args[0]));
    if (!args.empty()) args[0] = rt::Variant("changed");
  };
  f.Thumb.Event = [&](int16_t index, int32_t id, std::span<rt::Variant>) {
    seen.emplace_back(id, "Thumb(" + std::to_string(index) + ")");
  };
  f.Thumb.Load(2);
  f.View.Call(Probe::kFire, {rt::Variant(int32_t{42}), rt::Variant("/in/a.tif")});
  f.Thumb(2).Call(Probe::kFire, {rt::Variant(int32_t{9})});
  EXPECT_EQ(seen, (std::vector<std::pair<int32_t, std::string>>{{42, "/in/a.tif"}, {9, "Thumb(2)"}}));

  // The host hands the control's argument by reference.
  std::vector<rt::Variant> args = {rt::Variant("x")};
  f.View.RaiseEvent(14, args);
  EXPECT_EQ(args[0], rt::Variant("changed"));
}

TEST_F(OleControlTest, ArrayElementIsANewInstanceWithTheDesignProperties) {
  MainForm f;
  f.Thumb(0).Put(154, int32_t{7});
  f.Thumb(0).Put(kExtTag, " 3");
  f.Thumb.Load(1);
  OleControl& t = f.Thumb(1);
  ASSERT_NE(t.Object(), nullptr);
  EXPECT_NE(t.Object(), f.Thumb(0).Object());
  EXPECT_EQ(t.Tag, " 3");          // container values are copied
  EXPECT_THROW(t.Get(154), rt::RuntimeError);  // the control's own state is not
  EXPECT_FALSE(t.Visible);
  EXPECT_EQ(static_cast<Probe*>(t.Object())->Width(), 80);
}

TEST_F(OleControlTest, UnregisteredClassIsError429) {
  const FormDesign design = {.Name = "X", .Controls = {{.Type = ControlType::OleControl, .Name = "L", .ProgId = "No.Such"}}};
  struct F : Form {
    explicit F(const FormDesign& d) : Form(d) { Bind(L, "L"); }
    OleControl L;
  };
  try {
    F f(design);
    ADD_FAILURE();
  } catch (const rt::RuntimeError& e) {
    EXPECT_EQ(e.number(), 429);
  }
}

}  // namespace
}  // namespace forms
