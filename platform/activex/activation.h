#pragma once
// Creating objects by class id, as a container does: the class's server is
// found in the registry (HKEY_CLASSES_ROOT "CLSID\{...}\InprocServer32"),
// loaded and asked for its class factory through its exported
// "DllGetClassObject". The component categories manager is built in.

#include <string_view>

#include "platform/activex/module.h"

namespace ax {

// The class id registered for a program id ("<progid>\CLSID");
// CO_E_CLASSSTRING when there is none.
HRESULT CLSIDFromProgID(std::string_view progId, CLSID* out);
HRESULT CoGetClassObject(const CLSID& clsid, const IID& iid, void** out);
HRESULT CoCreateInstance(const CLSID& clsid, IUnknown* outer, const IID& iid, void** out);
// Unloads every loaded server whose "DllCanUnloadNow" answers S_OK.
void CoFreeUnusedLibraries();

// The signatures of a server's exports.
using DllGetClassObjectFn = HRESULT (*)(const CLSID&, const IID&, void**);
using DllCanUnloadNowFn = HRESULT (*)();
using DllRegisterServerFn = HRESULT (*)();

// The path of the shared library that contains `address` (a function or
// object of it); empty when unknown. Servers use it for %MODULE%.
std::string ModulePathOf(const void* address);

}  // namespace ax
