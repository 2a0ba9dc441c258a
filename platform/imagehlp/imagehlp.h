#pragma once
// Module and image-header lookup: which loaded module holds an address, its
// file, and - through the image-help library, loaded on demand like the
// platform's "Imagehlp.dll" - its header and the section that holds an
// address. Modules are the ELF objects of the process (the program and its
// shared libraries); their section tables are read from their files.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace imghlp {

// Base address of the module that holds `address` (its image header in
// memory), null when no module does. Stands for the platform's memory query
// (the allocation base).
const void* AllocationBase(const void* address);
// Full path of the module loaded at `base`; null = the program file.
// Empty when there is no such module.
std::string GetModuleFileName(const void* base);

struct Section {
  std::string name;     // ".text"
  uint32_t number = 0;  // its position in the section table, from 1
  uint64_t rva = 0;     // start, relative to the module base
  uint64_t size = 0;
};
struct ImageHeader {
  const void* base = nullptr;
  std::string path;
  std::vector<Section> sections;  // the sections that occupy memory
};

using ImageNtHeaderFn = const ImageHeader* (*)(const void* base);
using ImageRvaToSectionFn = const Section* (*)(const ImageHeader* header, const void* base, uint64_t rva);

using Library = uintptr_t;  // 0 = none

// Loads the image-help library; 0 on failure.
Library LoadLibrary();
// "ImageNtHeader" (an ImageNtHeaderFn) or "ImageRvaToSection" (an
// ImageRvaToSectionFn); null for any other name.
void* GetProcAddress(Library library, std::string_view name);
bool FreeLibrary(Library library);

// Test hook: kNone works, kLoadFails makes LoadLibrary fail, kNoSectionProc
// makes "ImageRvaToSection" missing.
enum class TestFault { kNone, kLoadFails, kNoSectionProc };
void FailForTest(TestFault fault);

}  // namespace imghlp
