#include "platform/dynload/dynload.h"

#include <dlfcn.h>

namespace dynload {

Library Load(const char* path) {
  // An empty name would give the main program's handle, whose lookups search
  // everything loaded globally; no library is named by it.
  if (path == nullptr || *path == '\0') return nullptr;
  return dlopen(path, RTLD_NOW | RTLD_LOCAL);
}

void* Symbol(Library library, const char* name) {
  // dlsym(nullptr, ...) would search the whole process; a missing module
  // must find nothing.
  if (library == nullptr || name == nullptr) return nullptr;
  return dlsym(library, name);
}

void Free(Library library) {
  if (library != nullptr) dlclose(library);
}

bool IsLoaded(const char* path) {
  if (path == nullptr || *path == '\0') return false;
  void* mapped = dlopen(path, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  if (mapped == nullptr) return false;
  dlclose(mapped);  // the look-up counted a reference
  return true;
}

}  // namespace dynload
