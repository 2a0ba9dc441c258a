#include "platform/windows/resources.h"

#include <cstdlib>
#include <cwctype>
#include <map>
#include <tuple>

#include "platform/windows/text.h"

namespace win {

namespace {

const auto kProgramInstance = reinterpret_cast<HINSTANCE>(uintptr_t{0x400000});

struct Library {
  LibraryAttach attach = nullptr;
  int loads = 0;
  uintptr_t handle = 0;
};

struct Store {
  std::map<std::pair<uintptr_t, int>, bool> icons;
  std::map<std::pair<uintptr_t, int>, std::vector<MenuTemplateItem>> menus;
  std::map<std::pair<uintptr_t, int>, std::vector<ACCEL>> accels;
  std::map<std::pair<uintptr_t, int>, DialogTemplate> dialogs;
  std::map<std::wstring, Library> libraries;
  uintptr_t nextLibrary = 0x10000000;
};

Store& R() {
  static Store s;
  return s;
}

std::pair<uintptr_t, int> Key(HINSTANCE instance, int id) { return {reinterpret_cast<uintptr_t>(instance), id}; }

bool IdOf(const wchar_t* name, int* id) {
  if (!IS_INTRESOURCE(name)) return false;
  *id = static_cast<int>(reinterpret_cast<uintptr_t>(name));
  return true;
}

std::wstring LibraryKey(const wchar_t* fileName) {
  std::wstring name = fileName ? fileName : L"";
  auto slash = name.find_last_of(L"\\/");
  if (slash != std::wstring::npos) name = name.substr(slash + 1);
  for (auto& c : name) c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
  return name;
}

bool LoadFailsByEnvironment(const std::wstring& key) {
  const char* env = std::getenv("ORN_FAIL_LOAD");
  if (!env) return false;
  std::wstring list = FromUtf8(env);
  size_t start = 0;
  while (start <= list.size()) {
    size_t comma = list.find(L',', start);
    std::wstring item = list.substr(start, comma == std::wstring::npos ? std::wstring::npos : comma - start);
    if (!item.empty() && LibraryKey(item.c_str()) == key) return true;
    if (comma == std::wstring::npos) break;
    start = comma + 1;
  }
  return false;
}

void BuildMenu(HMENU menu, const std::vector<MenuTemplateItem>& items) {
  for (const auto& item : items) {
    if (item.flags & MF_POPUP) {
      HMENU popup = CreatePopupMenu();
      BuildMenu(popup, item.popup);
      AppendMenuW(menu, item.flags, reinterpret_cast<UINT_PTR>(popup), item.text.c_str());
    } else {
      AppendMenuW(menu, item.flags, item.id, item.text.c_str());
    }
  }
}

}  // namespace

HMODULE GetModuleHandleW(const wchar_t* name) {
  if (!name) return kProgramInstance;
  auto it = R().libraries.find(LibraryKey(name));
  if (it == R().libraries.end() || it->second.loads == 0) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HMODULE>(it->second.handle);
}

void AddIconResource(HINSTANCE instance, int id) { R().icons[Key(instance, id)] = true; }
void AddMenuResource(HINSTANCE instance, int id, std::vector<MenuTemplateItem> items) {
  R().menus[Key(instance, id)] = std::move(items);
}
void AddAcceleratorResource(HINSTANCE instance, int id, std::vector<ACCEL> entries) {
  R().accels[Key(instance, id)] = std::move(entries);
}
void AddDialogResource(HINSTANCE instance, int id, DialogTemplate dialog) {
  R().dialogs[Key(instance, id)] = std::move(dialog);
}

HICON LoadIconW(HINSTANCE instance, const wchar_t* name) {
  int id = 0;
  if (!IdOf(name, &id) || !R().icons.count(Key(instance, id))) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return reinterpret_cast<HICON>(uintptr_t{0x30000} + static_cast<uintptr_t>(id));
}

HMENU LoadMenuW(HINSTANCE instance, const wchar_t* name) {
  int id = 0;
  auto it = IdOf(name, &id) ? R().menus.find(Key(instance, id)) : R().menus.end();
  if (it == R().menus.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  HMENU menu = CreateMenu();
  BuildMenu(menu, it->second);
  return menu;
}

HACCEL LoadAcceleratorsW(HINSTANCE instance, const wchar_t* name) {
  int id = 0;
  auto it = IdOf(name, &id) ? R().accels.find(Key(instance, id)) : R().accels.end();
  if (it == R().accels.end() || it->second.empty()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return CreateAcceleratorTableW(it->second.data(), static_cast<int>(it->second.size()));
}

const DialogTemplate* FindDialogResource(HINSTANCE instance, const wchar_t* name) {
  int id = 0;
  auto it = IdOf(name, &id) ? R().dialogs.find(Key(instance, id)) : R().dialogs.end();
  if (it == R().dialogs.end()) {
    SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
    return nullptr;
  }
  return &it->second;
}

void RegisterLibrary(const wchar_t* fileName, LibraryAttach attach) {
  auto& lib = R().libraries[LibraryKey(fileName)];
  lib.attach = attach;
  if (!lib.handle) lib.handle = R().nextLibrary += 0x10000;
}

HMODULE LoadLibraryW(const wchar_t* fileName) {
  auto key = LibraryKey(fileName);
  auto it = R().libraries.find(key);
  if (key.empty() || it == R().libraries.end() || LoadFailsByEnvironment(key)) {
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
  }
  auto handle = reinterpret_cast<HMODULE>(it->second.handle);
  if (it->second.loads++ == 0 && it->second.attach) it->second.attach(handle);
  return handle;
}

bool FreeLibrary(HMODULE library) {
  for (auto& [name, lib] : R().libraries) {
    if (lib.handle == reinterpret_cast<uintptr_t>(library) && lib.loads > 0) {
      --lib.loads;
      return true;
    }
  }
  SetLastError(ERROR_INVALID_HANDLE);
  return false;
}

}  // namespace win
