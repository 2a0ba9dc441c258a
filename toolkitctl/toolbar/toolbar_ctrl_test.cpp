// The toolbar control as a container sees it: registered into the registry,
// created by program id, driven through IDispatch, its events received by a
// connected sink.

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>

#include "platform/activex/picture.h"
#include "platform/activex/typelib.h"
#include "platform/activex/window.h"
#include "toolkitctl/common/test_container.h"
#include "toolkitctl/toolbar/pixobarctl.h"

namespace toolbar {
namespace {

using namespace toolkitctl::testing;

const std::string kClassKey = "CLSID\\{00120620-B1BA-11CE-ABC6-F5B2E79D9E3F}";
const std::string kButtonKey = "CLSID\\{00120625-B1BA-11CE-ABC6-F5B2E79D9E3F}";
const std::string kSafeInit = "{7DD95802-9882-11CF-9FA9-00AA006C42C4}";
const std::string kSafeScript = "{7DD95801-9882-11CF-9FA9-00AA006C42C4}";

class ToolBarTest : public ContainerTest {
 protected:
  void SetUp() override {
    ContainerTest::SetUp();
    ASSERT_EQ(CallServer(PIXOBARCTL_PATH, "DllRegisterServer"), ax::S_OK);
    ASSERT_EQ(Create(kToolBarProgId, IID_IPIXOToolBar, &ctl_), ax::S_OK);
    SiteControl(ctl_, &site_);
    cookie_ = Connect(ctl_, DIID__PIXOToolBarEvents, &sink_);
    ASSERT_NE(cookie_, 0u);
    window_ = ax::CreateHostWindow("form");
  }
  void TearDown() override {
    if (ctl_) {
      SiteControl(ctl_, nullptr);
      ax::SafeRelease(ctl_);
    }
    ax::DestroyHostWindow(window_);
    ContainerTest::TearDown();
  }
  ax::HRESULT CreateBar() {
    return Call(ctl_, DISPID_CreateToolbar,
                {ax::Variant::Handle(static_cast<intptr_t>(window_)), ax::Variant::Str(u"Tools"), ax::Variant::I4(0)});
  }
  pTOOLBARHANDLE Handle() {
    ax::Variant h;
    EXPECT_EQ(Get(ctl_, DISPID_hToolbar, &h), ax::S_OK);
    return reinterpret_cast<pTOOLBARHANDLE>(h.AsInt());
  }
  ax::IDispatch* ctl_ = nullptr;
  toolkitctl::testing::Site site_;
  // Sinks outlive the control, which holds them until its final release.
  EventSink sink_{DIID__PIXOToolBarEvents};
  PropertySink props_;
  uint32_t cookie_ = 0;
  ax::HWND window_ = 0;
};

TEST_F(ToolBarTest, RegistrationWritesTheScriptsTypeLibraryAndCategories) {
  const std::string module = PIXOBARCTL_PATH;
  EXPECT_EQ(Value("PIXOToolBar.PIXOToolBarCtrl.121"), "PIXO ToolBar Control (12.1)");
  EXPECT_EQ(Value("PIXOToolBar.PIXOToolBarCtrl.121\\CLSID"), "{00120620-B1BA-11CE-ABC6-F5B2E79D9E3F}");
  EXPECT_EQ(Value("PIXOToolBar.PIXOToolBarCtrl\\CurVer"), "PIXOToolBar.PIXOToolBarCtrl.121");
  EXPECT_EQ(Value(kClassKey + "\\ProgID"), "PIXOToolBar.PIXOToolBarCtrl.121");
  EXPECT_EQ(Value(kClassKey + "\\VersionIndependentProgID"), "PIXOToolBar.PIXOToolBarCtrl");
  EXPECT_EQ(Value(kClassKey + "\\InprocServer32"), std::filesystem::canonical(module).string());
  EXPECT_EQ(Value(kClassKey + "\\InprocServer32", "ThreadingModel"), "Both");
  EXPECT_EQ(Value(kClassKey + "\\ToolboxBitmap32"), std::filesystem::canonical(module).string() + ", 1");
  EXPECT_EQ(Value(kClassKey + "\\MiscStatus"), "0");
  EXPECT_EQ(Value(kClassKey + "\\MiscStatus\\1"), "132497");
  EXPECT_EQ(Value(kClassKey + "\\TypeLib"), "{00120623-B1BA-11CE-ABC6-F5B2E79D9E3F}");
  EXPECT_EQ(Value(kClassKey + "\\Version"), "1.0");
  for (const char* empty : {"Programmable", "Control", "Insertable"}) EXPECT_TRUE(KeyExists(kClassKey + "\\" + empty));
  EXPECT_TRUE(KeyExists(kClassKey + "\\Implemented Categories\\" + kSafeInit));
  EXPECT_TRUE(KeyExists(kClassKey + "\\Implemented Categories\\" + kSafeScript));
  EXPECT_EQ(Value("Component Categories\\" + kSafeInit, "409"), "Controls safely initializable from persistent data!");
  EXPECT_EQ(Value("Component Categories\\" + kSafeScript, "409"), "Controls safely scriptable!");
  EXPECT_EQ(Value("TypeLib\\{00120623-B1BA-11CE-ABC6-F5B2E79D9E3F}\\1.0"), "PXTLBLib");
  EXPECT_EQ(Value("Interface\\{00120621-B1BA-11CE-ABC6-F5B2E79D9E3F}"), "IPIXOToolBar");
  // The button class has only its program ids, name and server.
  EXPECT_EQ(Value("PXToolBarButton.PXToolBarButton\\CurVer"), "PXToolBarButton.PXToolBarButton.121");
  EXPECT_EQ(Value(kButtonKey), "PXToolBarButton Class");
  EXPECT_EQ(Value(kButtonKey + "\\InprocServer32", "ThreadingModel"), "Both");
  EXPECT_FALSE(KeyExists(kButtonKey + "\\Control"));
  EXPECT_FALSE(KeyExists(kButtonKey + "\\Implemented Categories"));
}

TEST_F(ToolBarTest, AContainerBrowsingTheTypeLibrarySeesEveryEnumeration) {
  using Values = std::vector<std::pair<std::string, int32_t>>;
  const std::vector<std::pair<std::string, Values>> expected = {
      {"tagToolBarAddFlags", {{"TOOLBAR_ADD_BEFORE", 1}, {"TOOLBAR_ADD_AFTER", 2}, {"TOOLBAR_ADD_TOOL", 4}}},
      {"tagToolBarType",
       {{"TOOLBAR_ANNOTATION", 1}, {"TOOLBAR_PAINT", 2}, {"TOOLBAR_VECTOR", 4}, {"TOOLBAR_EMPTY", 8}}},
      {"tagToolBarMaxText", {{"TOOLBAR_TOOLTIP_MAX_TEXT", 255}}},
      {"tagToolBarPosition",
       {{"TOOLBAR_POSITION_TOP", 1}, {"TOOLBAR_POSITION_LEFT", 2}, {"TOOLBAR_POSITION_RIGHT", 4},
        {"TOOLBAR_POSITION_BOTTOM", 8}}},
      {"tagPXToolBarButtonID",
       {{"BUTTON_ID_TOOL_PAINT_BRUSH", 30001},
        {"BUTTON_ID_TOOL_PAINT_SHAPE_LINE", 30002},
        {"BUTTON_ID_TOOL_PAINT_SHAPE_RECT", 30003},
        {"BUTTON_ID_TOOL_PAINT_SHAPE_ROUNDRECT", 30004},
        {"BUTTON_ID_TOOL_PAINT_SHAPE_ELLIPSE", 30005},
        {"BUTTON_ID_TOOL_PAINT_SHAPE_POLYGON", 30006},
        {"BUTTON_ID_TOOL_PAINT_SHAPE_BEZIER", 30007},
        {"BUTTON_ID_TOOL_PAINT_REGION_RECT", 30008},
        {"BUTTON_ID_TOOL_PAINT_REGION_ROUNDRECT", 30009},
        {"BUTTON_ID_TOOL_PAINT_REGION_ELLIPSE", 30010},
        {"BUTTON_ID_TOOL_PAINT_REGION_POLYGON", 30011},
        {"BUTTON_ID_TOOL_PAINT_REGION_SURFACE", 30012},
        {"BUTTON_ID_TOOL_PAINT_REGION_BORDER", 30013},
        {"BUTTON_ID_TOOL_PAINT_REGION_COLOR", 30014},
        {"BUTTON_ID_TOOL_PAINT_FILL_SURFACE", 30015},
        {"BUTTON_ID_TOOL_PAINT_FILL_BORDER", 30016},
        {"BUTTON_ID_TOOL_PAINT_FILL_COLORREPLACE", 30017},
        {"BUTTON_ID_TOOL_PAINT_TEXT", 30018},
        {"BUTTON_ID_TOOL_PAINT_ZOOM", 30019},
        {"BUTTON_ID_TOOL_PAINT_BORDERCOLORPICKER", 30020},
        {"BUTTON_ID_TOOL_PAINT_MOVER", 30021},
        {"BUTTON_ID_TOOL_PAINT_COUNT", 21},
        {"BUTTON_ID_TOOL_VECTOR_NONE", 30101},
        {"BUTTON_ID_TOOL_VECTOR_SELECT", 30102},
        {"BUTTON_ID_TOOL_VECTOR_VERTEX", 30103},
        {"BUTTON_ID_TOOL_VECTOR_LINE", 30104},
        {"BUTTON_ID_TOOL_VECTOR_RECTANGLE", 30105},
        {"BUTTON_ID_TOOL_VECTOR_POLYLINE", 30106},
        {"BUTTON_ID_TOOL_VECTOR_POLYBEZIER", 30107},
        {"BUTTON_ID_TOOL_VECTOR_POLYGON", 30108},
        {"BUTTON_ID_TOOL_VECTOR_ELLIPSE", 30109},
        {"BUTTON_ID_TOOL_VECTOR_CIRCLE", 30110},
        {"BUTTON_ID_TOOL_VECTOR_ARC", 30111},
        {"BUTTON_ID_TOOL_VECTOR_TEXT", 30112},
        {"BUTTON_ID_TOOL_VECTOR_PIE", 30113},
        {"BUTTON_ID_TOOL_VECTOR_CHORD", 30114},
        {"BUTTON_ID_TOOL_VECTOR_RASTER", 30115},
        {"BUTTON_ID_TOOL_VECTOR_ROTATE", 30116},
        {"BUTTON_ID_TOOL_VECTOR_PAN", 30117},
        {"BUTTON_ID_TOOL_VECTOR_COUNT", 17}}},
  };
  // The object browser's way: from the registered library id to the
  // server's type library.
  const ax::TypeLibDesc* lib = nullptr;
  ASSERT_EQ(ax::LoadRegTypeLib(LIBID_PXTLBLib, 1, 0, 0, &lib), ax::S_OK);
  EXPECT_EQ(lib->name, "PXTLBLib");
  ASSERT_EQ(lib->enums.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const ax::EnumDesc& e = lib->enums[i];
    EXPECT_EQ(e.name, expected[i].first);
    Values seen;
    for (const ax::EnumValueDesc& v : e.values) seen.emplace_back(std::string(v.name), v.value);
    EXPECT_EQ(seen, expected[i].second) << expected[i].first;
  }
  EXPECT_EQ(ax::LoadRegTypeLib(LIBID_PXTLBLib, 2, 0, 0, &lib), ax::TYPE_E_LIBNOTREGISTERED);
}

TEST_F(ToolBarTest, RegisteringTwiceGivesTheSameKeysAndUnregisteringRemovesThem) {
  reg::Key k = 0;
  ASSERT_EQ(reg::CreateKey(reg::Hive::ClassesRoot, kClassKey + "\\Stale", &k), reg::kSuccess);
  reg::CloseKey(k);
  ASSERT_EQ(CallServer(PIXOBARCTL_PATH, "DllRegisterServer"), ax::S_OK);
  auto once = Dump();
  ASSERT_EQ(CallServer(PIXOBARCTL_PATH, "DllRegisterServer"), ax::S_OK);
  EXPECT_EQ(Dump(), once);
  EXPECT_FALSE(KeyExists(kClassKey + "\\Stale"));

  ASSERT_EQ(CallServer(PIXOBARCTL_PATH, "DllUnregisterServer"), ax::S_OK);
  for (const std::string& gone : {kClassKey, kButtonKey, std::string("PIXOToolBar.PIXOToolBarCtrl.121"),
                                  std::string("PIXOToolBar.PIXOToolBarCtrl"), std::string("PXToolBarButton.PXToolBarButton"),
                                  std::string("TypeLib\\{00120623-B1BA-11CE-ABC6-F5B2E79D9E3F}"),
                                  std::string("Interface\\{00120621-B1BA-11CE-ABC6-F5B2E79D9E3F}")})
    EXPECT_FALSE(KeyExists(gone)) << gone;
  EXPECT_TRUE(KeyExists("CLSID"));
  // The live control made in SetUp keeps working without its keys.
  ax::Variant v;
  EXPECT_EQ(Get(ctl_, DISPID_XPosition, &v), ax::S_OK);
}

TEST_F(ToolBarTest, FailuresBeforeCreationFollowEnableMethodErrors) {
  EXPECT_EQ(Put(ctl_, DISPID_ButtonBitmapWidth, ax::Variant::I4(20)), ax::Hr(0x800A4E2D));
  auto info = com::GetErrorInfo();
  ASSERT_TRUE(info);
  EXPECT_EQ(ax::Narrow(info->description), "PIXO Error: Invalid parmameter passed");
  EXPECT_EQ(ax::Narrow(info->source), "PIXOToolBar.PIXOToolBarCtrl.121");
  EXPECT_EQ(info->guid, IID_IPIXOToolBar);
  ax::Variant ret;
  EXPECT_EQ(Call(ctl_, DISPID_AddButton, {ax::Variant::I4(30001), ax::Variant::I4(0), ax::Variant::I4(0)}, &ret),
            ax::Hr(0x800A4E2D));
  ASSERT_EQ(Put(ctl_, DISPID_EnableMethodErrors, ax::Variant::Bool(false)), ax::S_OK);
  com::SetErrorInfo(nullptr);
  EXPECT_EQ(Put(ctl_, DISPID_ButtonBitmapWidth, ax::Variant::I4(20)), ax::S_OK);
  EXPECT_EQ(Call(ctl_, DISPID_AddButton, {ax::Variant::I4(30001), ax::Variant::I4(0), ax::Variant::I4(0)}, &ret),
            ax::S_OK);
  EXPECT_EQ(ret.AsInt(), 20013);  // the silent failure's code still comes back
  EXPECT_EQ(com::PeekErrorInfo(), nullptr);
  // A parent that is no window is refused the same way.
  ASSERT_EQ(Put(ctl_, DISPID_EnableMethodErrors, ax::Variant::Bool(true)), ax::S_OK);
  EXPECT_EQ(Call(ctl_, DISPID_CreateToolbar, {ax::Variant::Handle(1), ax::Variant::Str(u"x"), ax::Variant::I4(0)}),
            ax::Hr(0x800A4E2D));
}

// Visible asks the library at once; before CreateToolbar the library
// answers for a toolbar without window (-661, "Toolbar - Invalid State").
TEST_F(ToolBarTest, VisibleBeforeCreationReportsTheLibrarysInvalidState) {
  ax::Variant v = ax::Variant::Bool(true);
  EXPECT_EQ(Get(ctl_, DISPID_Visible, &v), ax::Hr(0x800A50B5));
  EXPECT_EQ(LastErrorText(), "PIXO Error: Toolbar - Invalid State");
  EXPECT_EQ(v.AsInt(), 0);
  EXPECT_EQ(Put(ctl_, DISPID_Visible, ax::Variant::Bool(true)), ax::Hr(0x800A50B5));
  ASSERT_EQ(Put(ctl_, DISPID_EnableMethodErrors, ax::Variant::Bool(false)), ax::S_OK);
  EXPECT_EQ(Put(ctl_, DISPID_Visible, ax::Variant::Bool(true)), ax::S_OK);
  EXPECT_EQ(Get(ctl_, DISPID_Visible, &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), 0);
  ASSERT_EQ(CreateBar(), ax::S_OK);
  EXPECT_EQ(Get(ctl_, DISPID_Visible, &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), -1);
}

// Both threading models: a get on one thread stores what it reads and must
// not undo a put that another thread has just made.
TEST_F(ToolBarTest, APutThatSucceededIsNeverUndoneByAGetOnAnotherThread) {
  ASSERT_EQ(CreateBar(), ax::S_OK);
  pTOOLBARHANDLE t = Handle();
  std::atomic<bool> done{false};
  auto read = [&] {
    ax::Variant v;
    while (!done) Get(ctl_, DISPID_YPosition, &v);
  };
  std::thread readers[] = {std::thread(read), std::thread(read)};
  int lost = 0, failed = 0;
  for (int32_t y = 1; y <= 400000; ++y) {
    if (Put(ctl_, DISPID_YPosition, ax::Variant::I4(y)) != ax::S_OK) {
      ++failed;
      continue;
    }
    int32_t xy[2] = {0, 0};
    PXTB_GetPosition(t, xy, 0);
    lost += xy[1] != y;
  }
  done = true;
  for (std::thread& r : readers) r.join();
  EXPECT_EQ(failed, 0);
  EXPECT_EQ(lost, 0);
}

TEST_F(ToolBarTest, RunTimeOnlyPropertiesRefuseInDesignMode) {
  site_.userMode = false;
  for (ax::DISPID id : {DISPID_Visible, DISPID_hToolbar}) {
    ax::Variant v;
    EXPECT_EQ(Get(ctl_, id, &v), ax::Hr(0x8000FEBF)) << id;
    EXPECT_EQ(LastErrorText(), "Get not supported in design mode");
  }
  ax::Variant v;
  EXPECT_EQ(Get(ctl_, DISPID_Button, &v, {ax::Variant::I4(30001)}), ax::Hr(0x8000FEBF));
  EXPECT_EQ(Get(ctl_, DISPID_XPosition, &v), ax::S_OK);  // not run-time only
  ax::IViewObject* view = nullptr;
  ASSERT_EQ(ctl_->QueryInterface(ax::IID_IViewObject, reinterpret_cast<void**>(&view)), ax::S_OK);
  ax::DrawContext dc{0, 0, 120, 30, {}};
  view->Draw(&dc);
  view->Release();
  EXPECT_EQ(dc.ops, (std::vector<std::string>{"pen black", "rectangle 0 0 120 30", "icon 101 0 0", "brush null",
                                              "rectangle 0 0 120 30"}));
}

TEST_F(ToolBarTest, StoredPositionIsAppliedByCreateAndASecondCreateDoesNothing) {
  ASSERT_EQ(Put(ctl_, DISPID_XPosition, ax::Variant::I4(140)), ax::S_OK);
  ASSERT_EQ(Put(ctl_, DISPID_RowCount, ax::Variant::I4(3)), ax::S_OK);
  ASSERT_EQ(CreateBar(), ax::S_OK);
  pTOOLBARHANDLE t = Handle();
  EXPECT_STREQ(PXTB_TitleForTest(t), "Tools");
  int32_t xy[2] = {0, 0}, rows = 0;
  PXTB_GetPosition(t, xy, 0);
  PXTB_GetRows(t, &rows);
  EXPECT_EQ(xy[0], 140);
  EXPECT_EQ(rows, 3);
  xy[1] = 55;
  PXTB_SetPosition(t, xy, 0);  // the operator moves the palette
  ax::Variant y;
  ASSERT_EQ(Get(ctl_, DISPID_YPosition, &y), ax::S_OK);
  EXPECT_EQ(y.AsInt(), 55);
  EXPECT_EQ(Call(ctl_, DISPID_CreateToolbar,
                 {ax::Variant::Handle(static_cast<intptr_t>(window_)), ax::Variant::Str(u"Other"), ax::Variant::I4(0)}),
            ax::S_OK);
  EXPECT_STREQ(PXTB_TitleForTest(t), "Tools");
  ax::Variant visible;
  ASSERT_EQ(Get(ctl_, DISPID_Visible, &visible), ax::S_OK);
  EXPECT_EQ(visible.AsInt(), -1);
  ASSERT_EQ(Put(ctl_, DISPID_Visible, ax::Variant::Bool(false)), ax::S_OK);
  int32_t shown = 1;
  PXTB_IsVisible(t, &shown);
  EXPECT_EQ(shown, 0);
  ASSERT_EQ(Put(ctl_, DISPID_ButtonBitmapWidth, ax::Variant::I4(24)), ax::S_OK);
  ax::Variant w;
  ASSERT_EQ(Get(ctl_, DISPID_ButtonBitmapWidth, &w), ax::S_OK);
  EXPECT_EQ(w.AsInt(), 24);
}

TEST_F(ToolBarTest, ButtonPressesReachTheSinkWithAButtonObject) {
  ASSERT_EQ(CreateBar(), ax::S_OK);
  for (int32_t id : {BUTTON_ID_TOOL_PAINT_BRUSH, BUTTON_ID_TOOL_PAINT_SHAPE_RECT})
    ASSERT_EQ(Call(ctl_, DISPID_AddButton, {ax::Variant::I4(id), ax::Variant::I4(0), ax::Variant::I4(0)}), ax::S_OK);
  ASSERT_EQ(Call(ctl_, DISPID_AddButton,
                 {ax::Variant::I4(BUTTON_ID_TOOL_PAINT_SHAPE_LINE), ax::Variant::I4(BUTTON_ID_TOOL_PAINT_BRUSH),
                  ax::Variant::I4(TOOLBAR_ADD_AFTER)}),
            ax::S_OK);
  pTOOLBARHANDLE t = Handle();
  ASSERT_EQ(PXTB_ButtonCountForTest(t), 3);
  EXPECT_EQ(PXTB_ButtonIdForTest(t, 1), BUTTON_ID_TOOL_PAINT_SHAPE_LINE);

  int32_t seenId = 0;
  sink_.onEvent = [&](const EventSink::Event& e) {
    // The handler reads the button through the object it is given.
    auto* button = static_cast<ax::IDispatch*>(e.args[0].AsUnknown());
    ax::Variant id;
    if (button && Get(button, DISPID_BtnID, &id) == ax::S_OK) seenId = static_cast<int32_t>(id.AsInt());
  };
  EXPECT_EQ(PXTB_PressButtonForTest(t, BUTTON_ID_TOOL_PAINT_SHAPE_LINE, 77), 1);
  ASSERT_EQ(sink_.events.size(), 1u);
  EXPECT_EQ(sink_.events[0].dispid, DISPID_ToolBarButton);
  EXPECT_EQ(sink_.events[0].args[1].AsInt(), BUTTON_ID_TOOL_PAINT_SHAPE_LINE);
  EXPECT_EQ(sink_.events[0].args[2].AsInt(), 77);
  EXPECT_EQ(seenId, BUTTON_ID_TOOL_PAINT_SHAPE_LINE);

  // Leaving the palette: no object, -1, and the last tool is checked again.
  EXPECT_EQ(PXTB_PressButtonForTest(t, -1, 5), 1);
  ASSERT_EQ(sink_.events.size(), 2u);
  EXPECT_EQ(sink_.events[1].args[0].AsUnknown(), nullptr);
  EXPECT_EQ(sink_.events[1].args[1].AsInt(), -1);
  EXPECT_EQ(sink_.events[1].args[2].AsInt(), 5);
  int32_t checked = 0;
  PXTB_GetButtonChecked(t, &checked);
  EXPECT_EQ(checked, BUTTON_ID_TOOL_PAINT_SHAPE_LINE);

  // A press of a button the library does not know is the library's failure.
  EXPECT_EQ(PXTB_PressButtonForTest(t, 12345, 0), -13);
  EXPECT_EQ(sink_.events.size(), 2u);
  sink_.events.clear();  // drops the button objects the events held
}

TEST_F(ToolBarTest, ButtonObjectReadsAndWritesTheLibrarysButton) {
  ASSERT_EQ(CreateBar(), ax::S_OK);
  ASSERT_EQ(Call(ctl_, DISPID_AddButton, {ax::Variant::I4(30001), ax::Variant::I4(0), ax::Variant::I4(0)}), ax::S_OK);
  ax::Variant b;
  ASSERT_EQ(Get(ctl_, DISPID_Button, &b, {ax::Variant::I4(30001)}), ax::S_OK);
  auto* button = static_cast<ax::IDispatch*>(b.AsUnknown());
  ASSERT_NE(button, nullptr);
  pTOOLBARHANDLE t = Handle();

  ASSERT_EQ(Put(button, DISPID_BtnToolTipText, ax::Variant::Str(std::u16string(300, u'x'))), ax::S_OK);
  ButtonInfoRecord rec{};
  ASSERT_EQ(PXTB_GetButtonInfo(t, 30001, &rec), 1);
  EXPECT_EQ(std::string(rec.ToolTipText), std::string(254, 'x'));
  ax::DeleteBitmap(rec.ButtonBitmap);

  ASSERT_EQ(Put(button, DISPID_BtnEnabled, ax::Variant::Bool(false)), ax::S_OK);
  ax::Variant v;
  ASSERT_EQ(Get(button, DISPID_BtnEnabled, &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), 0);
  ASSERT_EQ(Put(button, DISPID_BtnChecked, ax::Variant::Bool(true)), ax::S_OK);
  ASSERT_EQ(Get(button, DISPID_BtnChecked, &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), -1);
  ASSERT_EQ(Put(button, DISPID_BtnChecked, ax::Variant::Bool(false)), ax::S_OK);
  ASSERT_EQ(Get(button, DISPID_BtnChecked, &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), 0);

  ASSERT_EQ(Put(button, DISPID_BtnID, ax::Variant::I4(30009)), ax::S_OK);
  EXPECT_EQ(PXTB_ButtonIdForTest(t, 0), 30009);
  ASSERT_EQ(Put(button, DISPID_BtnUserTag, ax::Variant::I4(42)), ax::S_OK);
  ASSERT_EQ(PXTB_GetButtonInfo(t, 30009, &rec), 1);
  EXPECT_EQ(rec.UserTag, 42);
  ax::DeleteBitmap(rec.ButtonBitmap);

  // Pictures: the get owns a copy; a put needs a bitmap picture with a handle.
  ax::Variant pic;
  ASSERT_EQ(Get(button, DISPID_BtnPicture, &pic), ax::S_OK);
  ax::IPicture* ip = nullptr;
  ASSERT_EQ(pic.AsUnknown()->QueryInterface(ax::IID_IPicture, reinterpret_cast<void**>(&ip)), ax::S_OK);
  uintptr_t h = 0;
  ip->get_Handle(&h);
  int32_t w = 0, hh = 0;
  EXPECT_TRUE(ax::GetBitmapBits(h, &w, &hh, nullptr));
  EXPECT_EQ(w, 16);
  ax::IPicture* icon = nullptr;
  ax::OleCreatePictureIndirect({ax::PICTYPE_ICON, 99, 0}, ax::IID_IPicture, false, reinterpret_cast<void**>(&icon));
  EXPECT_EQ(PutRef(button, DISPID_BtnPicture, ax::Variant::Unknown(icon)), ax::Hr(0x800A4E2D));
  EXPECT_EQ(PutRef(button, DISPID_BtnPicture, ax::Variant::Unknown(nullptr)), ax::Hr(0x800A4E22));
  ax::HBITMAP big = ax::CreateBitmap(24, 24, std::vector<uint32_t>(24 * 24, 0xFF));
  ax::IPicture* bigPic = nullptr;
  ax::OleCreatePictureIndirect({ax::PICTYPE_BITMAP, big, 0}, ax::IID_IPicture, true, reinterpret_cast<void**>(&bigPic));
  ASSERT_EQ(PutRef(button, DISPID_BtnPicture, ax::Variant::Unknown(bigPic)), ax::S_OK);
  ASSERT_EQ(PXTB_GetButtonInfo(t, 30009, &rec), 1);
  EXPECT_TRUE(ax::GetBitmapBits(rec.ButtonBitmap, &w, &hh, nullptr));
  EXPECT_EQ(w, 24);
  ax::DeleteBitmap(rec.ButtonBitmap);
  bigPic->Release();
  icon->Release();
  ip->Release();
  pic.Clear();
  b.Clear();
}

TEST_F(ToolBarTest, PropertyChangesPersistAndTheGridOffersFalseAndTrue) {
  PropertySink& props = props_;
  ASSERT_NE(Connect(ctl_, ax::IID_IPropertyNotifySink, &props), 0u);
  ax::IPersistPropertyBag* persist = nullptr;
  ASSERT_EQ(ctl_->QueryInterface(ax::IID_IPersistPropertyBag, reinterpret_cast<void**>(&persist)), ax::S_OK);
  EXPECT_EQ(persist->IsDirty(), ax::S_FALSE);
  ASSERT_EQ(Put(ctl_, DISPID_EnableMethodErrors, ax::Variant::I4(5)), ax::S_OK);
  EXPECT_EQ(props.changed, (std::vector<ax::DISPID>{DISPID_EnableMethodErrors}));
  EXPECT_EQ(persist->IsDirty(), ax::S_OK);
  ax::Variant v;
  ASSERT_EQ(Get(ctl_, DISPID_EnableMethodErrors, &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), -1);
  ax::MemoryPropertyBag bag;
  ASSERT_EQ(Put(ctl_, DISPID_EnableMethodErrors, ax::Variant::Bool(false)), ax::S_OK);
  ASSERT_EQ(persist->Save(&bag, true), ax::S_OK);
  EXPECT_EQ(bag.values["EnableMethodErrors"].AsInt(), 0);
  persist->Release();

  ax::IPerPropertyBrowsing* browse = nullptr;
  ASSERT_EQ(ctl_->QueryInterface(ax::IID_IPerPropertyBrowsing, reinterpret_cast<void**>(&browse)), ax::S_OK);
  std::vector<std::u16string> texts;
  std::vector<uint32_t> cookies;
  ASSERT_EQ(browse->GetPredefinedStrings(DISPID_EnableMethodErrors, &texts, &cookies), ax::S_OK);
  EXPECT_EQ(texts, (std::vector<std::u16string>{u"False", u"True"}));
  ASSERT_EQ(browse->GetPredefinedValue(DISPID_EnableMethodErrors, cookies[1], &v), ax::S_OK);
  EXPECT_EQ(v.AsInt(), 1);
  ax::CLSID page;
  EXPECT_EQ(browse->MapPropertyToPage(DISPID_RowCount, &page), ax::PERPROP_E_NOPAGEAVAILABLE);
  browse->Release();
}

TEST_F(ToolBarTest, ServerStaysLoadedWhileAnObjectLives) {
  dynload::Library lib = dynload::Load(PIXOBARCTL_PATH);
  auto canUnload = reinterpret_cast<ax::DllCanUnloadNowFn>(dynload::Symbol(lib, "DllCanUnloadNow"));
  ASSERT_NE(canUnload, nullptr);
  EXPECT_EQ(canUnload(), ax::S_FALSE);
  SiteControl(ctl_, nullptr);
  ax::SafeRelease(ctl_);
  EXPECT_EQ(canUnload(), ax::S_OK);
  dynload::Free(lib);
  ax::ISupportErrorInfo* sei = nullptr;
  ASSERT_EQ(Create(kToolBarProgId, ax::IID_ISupportErrorInfo, &sei), ax::S_OK);
  EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IPIXOToolBar), ax::S_OK);
  EXPECT_EQ(sei->InterfaceSupportsErrorInfo(IID_IPXToolBarButton), ax::S_FALSE);
  sei->Release();
}

}  // namespace
}  // namespace toolbar
