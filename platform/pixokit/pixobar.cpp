#include "platform/pixokit/pixobar.h"

#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <vector>

struct PXTOOLBAR {
  bool created = false;
  ax::HWND parent = 0;
  std::string title;
  uint32_t flags = 0;
  bool visible = false;
  int32_t x = 0, y = 0, rows = 1;
  int32_t checked = 0;
  int32_t bitmapWidth = 16, bitmapHeight = 16;
  TOOLBARCALLBACK callback = nullptr;
  void* userData = nullptr;
  struct Button {
    ButtonInfoRecord record;  // its bitmap is the library's copy
    bool enabled = true;
    bool visible = true;
  };
  std::vector<Button> buttons;
};

namespace {

constexpr int32_t kOk = 1;
constexpr int32_t kBadParam = -13;
constexpr int32_t kNoResources = -660;
constexpr int32_t kInvalidState = -661;
constexpr int32_t kInvalidHandle = -662;

std::mutex g_mu;
std::set<PXTOOLBAR*>& Live() {
  static std::set<PXTOOLBAR*> live;
  return live;
}

bool Valid(PXTOOLBAR* t) {
  std::lock_guard lock(g_mu);
  return t && Live().count(t);
}

PXTOOLBAR::Button* Find(PXTOOLBAR* t, int32_t id) {
  for (auto& b : t->buttons)
    if (b.record.ButtonID == id) return &b;
  return nullptr;
}

// A record's copy with a bitmap copy of its own.
bool CopyRecord(const ButtonInfoRecord& from, ButtonInfoRecord* to) {
  *to = from;
  to->ToolTipText[TOOLBAR_TOOLTIP_MAX_TEXT] = '\0';
  to->ButtonBitmap = from.ButtonBitmap ? ax::CopyBitmap(from.ButtonBitmap) : 0;
  return !from.ButtonBitmap || to->ButtonBitmap;
}

}  // namespace

#define CHECK_TOOLBAR(t)                  \
  if (!Valid(t)) return kInvalidHandle; \
  if (!(t)->created) return kInvalidState

extern "C" {

int32_t PXTB_IsToolbar(pTOOLBARHANDLE toolbar) { return Valid(toolbar) ? 1 : 0; }

int32_t PXTB_InitToolbar(pTOOLBARHANDLE* toolbar) {
  if (!toolbar) return kBadParam;
  auto* t = new PXTOOLBAR;
  std::lock_guard lock(g_mu);
  Live().insert(t);
  *toolbar = t;
  return kOk;
}

int32_t PXTB_FreeToolbar(pTOOLBARHANDLE* toolbar) {
  if (!toolbar || !Valid(*toolbar)) return kInvalidHandle;
  PXTOOLBAR* t = *toolbar;
  {
    std::lock_guard lock(g_mu);
    Live().erase(t);
  }
  for (auto& b : t->buttons) ax::DeleteBitmap(b.record.ButtonBitmap);
  delete t;
  *toolbar = nullptr;
  return kOk;
}

int32_t PXTB_CreateToolbar(pTOOLBARHANDLE t, ax::HWND parent, const char* title, uint32_t flags) {
  if (!Valid(t)) return kInvalidHandle;
  if (t->created) return kInvalidState;
  if (!ax::IsWindow(parent)) return kBadParam;
  t->created = true;
  t->parent = parent;
  t->title = title ? title : "";
  t->flags = flags;
  t->visible = true;
  return kOk;
}

int32_t PXTB_FreeButtonBitmapInfo(ButtonBitmapInfo* info) {
  if (!info) return kBadParam;
  std::memset(info->LibraryData, 0, sizeof info->LibraryData);
  return kOk;
}

int32_t PXTB_IsVisible(pTOOLBARHANDLE t, int32_t* visible) {
  CHECK_TOOLBAR(t);
  if (!visible) return kBadParam;
  *visible = t->visible;
  return kOk;
}

int32_t PXTB_IsButtonEnabled(pTOOLBARHANDLE t, int32_t id, int32_t* enabled) {
  CHECK_TOOLBAR(t);
  auto* b = Find(t, id);
  if (!b || !enabled) return kBadParam;
  *enabled = b->enabled;
  return kOk;
}

int32_t PXTB_IsButtonVisible(pTOOLBARHANDLE t, int32_t id, int32_t* visible) {
  CHECK_TOOLBAR(t);
  auto* b = Find(t, id);
  if (!b || !visible) return kBadParam;
  *visible = b->visible;
  return kOk;
}

int32_t PXTB_SetVisible(pTOOLBARHANDLE t, int16_t visible) {
  CHECK_TOOLBAR(t);
  t->visible = visible != 0;
  return kOk;
}

int32_t PXTB_SetPosition(pTOOLBARHANDLE t, const int32_t xy[2], uint32_t) {
  CHECK_TOOLBAR(t);
  if (!xy) return kBadParam;
  t->x = xy[0];
  t->y = xy[1];
  return kOk;
}

int32_t PXTB_SetRows(pTOOLBARHANDLE t, int32_t rows) {
  CHECK_TOOLBAR(t);
  if (rows < 1) return kBadParam;
  t->rows = rows;
  return kOk;
}

int32_t PXTB_SetButtonChecked(pTOOLBARHANDLE t, int32_t id) {
  CHECK_TOOLBAR(t);
  t->checked = id;
  return kOk;
}

int32_t PXTB_EnableButton(pTOOLBARHANDLE t, int32_t id, int16_t enable) {
  CHECK_TOOLBAR(t);
  auto* b = Find(t, id);
  if (!b) return kBadParam;
  b->enabled = enable != 0;
  return kOk;
}

int32_t PXTB_ShowButton(pTOOLBARHANDLE t, int32_t id, int16_t show) {
  CHECK_TOOLBAR(t);
  auto* b = Find(t, id);
  if (!b) return kBadParam;
  b->visible = show != 0;
  return kOk;
}

int32_t PXTB_SetButtonBitmapInfo(pTOOLBARHANDLE t, const ButtonBitmapInfo* info) {
  CHECK_TOOLBAR(t);
  if (!info || info->StructSize != sizeof *info || info->BitmapWidth <= 0 || info->BitmapHeight <= 0)
    return kBadParam;
  t->bitmapWidth = info->BitmapWidth;
  t->bitmapHeight = info->BitmapHeight;
  return kOk;
}

int32_t PXTB_SetButtonCallback(pTOOLBARHANDLE t, TOOLBARCALLBACK callback, void* userData) {
  if (!Valid(t)) return kInvalidHandle;
  t->callback = callback;
  t->userData = userData;
  return kOk;
}

int32_t PXTB_GetPosition(pTOOLBARHANDLE t, int32_t xy[2], uint32_t) {
  CHECK_TOOLBAR(t);
  if (!xy) return kBadParam;
  xy[0] = t->x;
  xy[1] = t->y;
  return kOk;
}

int32_t PXTB_GetRows(pTOOLBARHANDLE t, int32_t* rows) {
  CHECK_TOOLBAR(t);
  if (!rows) return kBadParam;
  *rows = t->rows;
  return kOk;
}

int32_t PXTB_GetButtonChecked(pTOOLBARHANDLE t, int32_t* id) {
  CHECK_TOOLBAR(t);
  if (!id) return kBadParam;
  *id = t->checked;
  return kOk;
}

int32_t PXTB_GetButtonBitmapInfo(pTOOLBARHANDLE t, ButtonBitmapInfo* info) {
  CHECK_TOOLBAR(t);
  if (!info || info->StructSize != sizeof *info) return kBadParam;
  info->BitmapWidth = t->bitmapWidth;
  info->BitmapHeight = t->bitmapHeight;
  info->LibraryData[0] = static_cast<uint32_t>(t->buttons.size());
  return kOk;
}

int32_t PXTB_AddButton(pTOOLBARHANDLE t, int32_t refId, const ButtonInfoRecord* record, uint32_t flags) {
  CHECK_TOOLBAR(t);
  if (!record || record->ButtonID == 0 || Find(t, record->ButtonID)) return kBadParam;
  PXTOOLBAR::Button b;
  if (!CopyRecord(*record, &b.record)) return kNoResources;
  auto at = t->buttons.end();
  for (auto it = t->buttons.begin(); it != t->buttons.end(); ++it) {
    if (it->record.ButtonID != refId) continue;
    if (flags & 1) at = it;
    else if (flags & 2) at = it + 1;
    break;
  }
  t->buttons.insert(at, b);
  return kOk;
}

int32_t PXTB_RemoveButton(pTOOLBARHANDLE t, int32_t id) {
  CHECK_TOOLBAR(t);
  for (auto it = t->buttons.begin(); it != t->buttons.end(); ++it) {
    if (it->record.ButtonID == id) {
      ax::DeleteBitmap(it->record.ButtonBitmap);
      t->buttons.erase(it);
      return kOk;
    }
  }
  return kBadParam;
}

int32_t PXTB_GetButtonInfo(pTOOLBARHANDLE t, int32_t id, ButtonInfoRecord* record) {
  CHECK_TOOLBAR(t);
  auto* b = Find(t, id);
  if (!b || !record) return kBadParam;
  return CopyRecord(b->record, record) ? kOk : kNoResources;
}

int32_t PXTB_SetButtonInfo(pTOOLBARHANDLE t, int32_t id, const ButtonInfoRecord* record) {
  CHECK_TOOLBAR(t);
  auto* b = Find(t, id);
  if (!b || !record) return kBadParam;
  if (record->ButtonID != id && Find(t, record->ButtonID)) return kBadParam;
  ButtonInfoRecord copy;
  if (!CopyRecord(*record, &copy)) return kNoResources;
  ax::DeleteBitmap(b->record.ButtonBitmap);
  b->record = copy;
  if (t->checked == id) t->checked = record->ButtonID;
  return kOk;
}

int32_t PXTB_PressButtonForTest(pTOOLBARHANDLE t, int32_t id, uint32_t dwData) {
  CHECK_TOOLBAR(t);
  // -1 means no tool is active any more.
  t->checked = id > 0 ? id : 0;
  if (!t->callback) return kInvalidState;
  return t->callback(t, id, dwData, t->userData);
}

const char* PXTB_TitleForTest(pTOOLBARHANDLE t) { return Valid(t) ? t->title.c_str() : nullptr; }

int32_t PXTB_ButtonCountForTest(pTOOLBARHANDLE t) {
  return Valid(t) ? static_cast<int32_t>(t->buttons.size()) : -1;
}

int32_t PXTB_ButtonIdForTest(pTOOLBARHANDLE t, int32_t index) {
  if (!Valid(t) || index < 0 || index >= static_cast<int32_t>(t->buttons.size())) return 0;
  return t->buttons[static_cast<size_t>(index)].record.ButtonID;
}
}
