#include "platform/windows/menu.h"

#include <map>
#include <memory>

#include "platform/windows/detail.h"

namespace win {

namespace {

struct Item {
  UINT flags = 0;
  UINT id = 0;
  HMENU popup = nullptr;
  std::wstring text;
};

struct Menu {
  std::vector<Item> items;
};

struct Tables {
  std::map<uintptr_t, Menu> menus;
  std::map<uintptr_t, std::vector<ACCEL>> accels;
  uintptr_t next = 0x20000;
};

Tables& T() {
  static Tables t;
  return t;
}

Menu* FindMenu(HMENU h) {
  auto it = T().menus.find(reinterpret_cast<uintptr_t>(h));
  if (it == T().menus.end()) {
    SetLastError(ERROR_INVALID_MENU_HANDLE);
    return nullptr;
  }
  return &it->second;
}

HMENU NewMenu() {
  uintptr_t id = T().next++;
  T().menus[id] = Menu{};
  return reinterpret_cast<HMENU>(id);
}

Item* FindItem(HMENU h, UINT item, UINT flags) {
  Menu* m = FindMenu(h);
  if (!m) return nullptr;
  if (flags & MF_BYPOSITION) return item < m->items.size() ? &m->items[item] : nullptr;
  for (auto& it : m->items) {
    if (!(it.flags & (MF_POPUP | MF_SEPARATOR)) && it.id == item) return &it;
    if (it.flags & MF_POPUP) {
      if (Item* sub = FindItem(it.popup, item, flags)) return sub;
    }
  }
  return nullptr;
}

}  // namespace

HMENU CreateMenu() { return NewMenu(); }
HMENU CreatePopupMenu() { return NewMenu(); }

bool DestroyMenu(HMENU menu) {
  Menu* m = FindMenu(menu);
  if (!m) return false;
  std::vector<HMENU> popups;
  for (const auto& it : m->items)
    if (it.flags & MF_POPUP) popups.push_back(it.popup);
  T().menus.erase(reinterpret_cast<uintptr_t>(menu));
  for (HMENU p : popups) DestroyMenu(p);
  return true;
}

bool IsMenu(HMENU menu) { return T().menus.count(reinterpret_cast<uintptr_t>(menu)) != 0; }

bool AppendMenuW(HMENU menu, UINT flags, UINT_PTR idOrPopup, const wchar_t* text) {
  Menu* m = FindMenu(menu);
  if (!m) return false;
  Item item;
  item.flags = flags & ~MF_BYPOSITION;
  if (flags & MF_POPUP) {
    if (!IsMenu(reinterpret_cast<HMENU>(idOrPopup))) {
      SetLastError(ERROR_INVALID_MENU_HANDLE);
      return false;
    }
    item.popup = reinterpret_cast<HMENU>(idOrPopup);
  } else {
    item.id = static_cast<UINT>(idOrPopup);
  }
  if (text && !(flags & MF_SEPARATOR)) item.text = text;
  m->items.push_back(std::move(item));
  return true;
}

UINT EnableMenuItem(HMENU menu, UINT item, UINT flags) {
  Item* it = FindItem(menu, item, flags);
  if (!it) return kMenuItemNotFound;
  UINT old = it->flags & (MF_GRAYED | MF_DISABLED);
  it->flags = (it->flags & ~(MF_GRAYED | MF_DISABLED)) | (flags & (MF_GRAYED | MF_DISABLED));
  return old;
}

UINT GetMenuState(HMENU menu, UINT item, UINT flags) {
  Item* it = FindItem(menu, item, flags);
  return it ? it->flags : kMenuItemNotFound;
}

int GetMenuItemCount(HMENU menu) {
  Menu* m = FindMenu(menu);
  return m ? static_cast<int>(m->items.size()) : -1;
}

UINT GetMenuItemID(HMENU menu, int position) {
  Menu* m = FindMenu(menu);
  if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return kMenuItemNotFound;
  const Item& it = m->items[static_cast<size_t>(position)];
  return (it.flags & MF_POPUP) ? kMenuItemNotFound : it.id;
}

HMENU GetSubMenu(HMENU menu, int position) {
  Menu* m = FindMenu(menu);
  if (!m || position < 0 || static_cast<size_t>(position) >= m->items.size()) return nullptr;
  const Item& it = m->items[static_cast<size_t>(position)];
  return (it.flags & MF_POPUP) ? it.popup : nullptr;
}

std::wstring GetMenuStringW(HMENU menu, UINT item, UINT flags) {
  Item* it = FindItem(menu, item, flags);
  return it ? it->text : std::wstring();
}

HACCEL CreateAcceleratorTableW(const ACCEL* entries, int count) {
  if (!entries || count <= 0) {
    SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
  }
  uintptr_t id = T().next++;
  T().accels[id].assign(entries, entries + count);
  return reinterpret_cast<HACCEL>(id);
}

bool DestroyAcceleratorTable(HACCEL table) { return T().accels.erase(reinterpret_cast<uintptr_t>(table)) != 0; }

bool TranslateAcceleratorW(HWND hwnd, HACCEL table, const MSG* msg) {
  auto found = T().accels.find(reinterpret_cast<uintptr_t>(table));
  if (found == T().accels.end() || !msg || !IsWindow(hwnd)) return false;
  bool keyMsg = msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN;
  bool charMsg = msg->message == WM_CHAR || msg->message == WM_SYSCHAR;
  if (!keyMsg && !charMsg) return false;
  bool shift = GetKeyState(VK_SHIFT) < 0;
  bool ctrl = GetKeyState(VK_CONTROL) < 0;
  bool alt = (msg->lParam & KF_ALTDOWN_LPARAM) != 0;
  for (const ACCEL& a : found->second) {
    bool virt = (a.fVirt & FVIRTKEY) != 0;
    if (virt != keyMsg || a.key != msg->wParam) continue;
    if (virt && (((a.fVirt & FSHIFT) != 0) != shift || ((a.fVirt & FCONTROL) != 0) != ctrl)) continue;
    if (((a.fVirt & FALT) != 0) != alt) continue;
    UINT state = kMenuItemNotFound;
    if (HMENU menu = GetMenu(hwnd)) state = GetMenuState(menu, a.cmd, MF_BYCOMMAND);
    if (state == kMenuItemNotFound || !(state & (MF_GRAYED | MF_DISABLED)))
      SendMessageW(hwnd, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
    return true;
  }
  return false;
}

namespace detail {
void ResetMenus() { T() = Tables{}; }
}  // namespace detail

}  // namespace win
