#include "platform/imagehlp/imagehlp.h"

#include <link.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>

namespace imghlp {
namespace {

struct ModuleMap {
  uintptr_t bias = 0;  // load bias: memory address = bias + file address
  uintptr_t base = 0;  // where the ELF header lies in memory
  std::string path;
};

std::string ProgramPath() {
  char buffer[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

struct Search {
  uintptr_t address = 0;   // an address inside the module, or
  uintptr_t base = 0;      // the module's base
  bool found = false;
  ModuleMap module;
};

int Visit(dl_phdr_info* info, size_t, void* data) {
  auto* search = static_cast<Search*>(data);
  uintptr_t lowest = UINTPTR_MAX;
  bool holds = false;
  for (int i = 0; i < info->dlpi_phnum; ++i) {
    const ElfW(Phdr)& ph = info->dlpi_phdr[i];
    if (ph.p_type != PT_LOAD) continue;
    uintptr_t start = info->dlpi_addr + ph.p_vaddr;
    if (start < lowest) lowest = start;
    if (search->address >= start && search->address < start + ph.p_memsz) holds = true;
  }
  if (lowest == UINTPTR_MAX) return 0;
  uintptr_t base = lowest & ~static_cast<uintptr_t>(::sysconf(_SC_PAGESIZE) - 1);
  if (search->address != 0 ? !holds : base != search->base) return 0;
  search->found = true;
  search->module.bias = info->dlpi_addr;
  search->module.base = base;
  // The program itself has no name in the list.
  search->module.path = info->dlpi_name && *info->dlpi_name ? info->dlpi_name : ProgramPath();
  return 1;
}

bool FindByAddress(const void* address, ModuleMap* out) {
  Search search;
  search.address = reinterpret_cast<uintptr_t>(address);
  if (search.address == 0) return false;
  dl_iterate_phdr(Visit, &search);
  if (search.found) *out = search.module;
  return search.found;
}

bool FindByBase(const void* base, ModuleMap* out) {
  Search search;
  search.base = reinterpret_cast<uintptr_t>(base);
  dl_iterate_phdr(Visit, &search);
  if (search.found) *out = search.module;
  return search.found;
}

// Reads the section table of the module's file; the sections that occupy
// memory, with their start relative to the module base.
bool ReadSections(const ModuleMap& module, ImageHeader* header) {
  std::ifstream in(module.path, std::ios::binary);
  if (!in) return false;
  ElfW(Ehdr) eh;
  if (!in.read(reinterpret_cast<char*>(&eh), sizeof eh)) return false;
  if (std::memcmp(eh.e_ident, ELFMAG, SELFMAG) != 0 || eh.e_shentsize != sizeof(ElfW(Shdr)) || eh.e_shnum == 0 ||
      eh.e_shstrndx >= eh.e_shnum)
    return false;
  std::vector<ElfW(Shdr)> sh(eh.e_shnum);
  in.seekg(static_cast<std::streamoff>(eh.e_shoff));
  if (!in.read(reinterpret_cast<char*>(sh.data()), static_cast<std::streamsize>(sh.size() * sizeof(ElfW(Shdr)))))
    return false;
  const ElfW(Shdr)& strtab = sh[eh.e_shstrndx];
  if (strtab.sh_size > (1u << 24)) return false;
  std::string names(strtab.sh_size, '\0');
  in.seekg(static_cast<std::streamoff>(strtab.sh_offset));
  if (!in.read(names.data(), static_cast<std::streamsize>(names.size()))) return false;

  uintptr_t fileBase = module.base - module.bias;  // the base as a file address
  for (size_t i = 1; i < sh.size(); ++i) {
    if (!(sh[i].sh_flags & SHF_ALLOC) || sh[i].sh_addr < fileBase) continue;
    Section section;
    if (sh[i].sh_name < names.size()) section.name = names.c_str() + sh[i].sh_name;
    section.number = static_cast<uint32_t>(i);
    section.rva = sh[i].sh_addr - fileBase;
    section.size = sh[i].sh_size;
    header->sections.push_back(std::move(section));
  }
  return true;
}

std::mutex g_lock;
// Headers handed out stay valid for the life of the process.
auto* g_headers = new std::map<const void*, std::unique_ptr<ImageHeader>>;
std::atomic<int> g_fault{0};

constexpr Library kImageHelp = 0x1A6E;

const ImageHeader* ImageNtHeader(const void* base) {
  std::lock_guard<std::mutex> lock(g_lock);
  auto it = g_headers->find(base);
  if (it != g_headers->end()) return it->second.get();
  ModuleMap module;
  auto header = std::make_unique<ImageHeader>();
  if (!FindByBase(base, &module) || !ReadSections(module, header.get())) return nullptr;
  header->base = base;
  header->path = module.path;
  const ImageHeader* result = header.get();
  (*g_headers)[base] = std::move(header);
  return result;
}

const Section* ImageRvaToSection(const ImageHeader* header, const void* /*base*/, uint64_t rva) {
  if (header == nullptr) return nullptr;
  for (const Section& s : header->sections)
    if (rva >= s.rva && rva < s.rva + s.size) return &s;
  return nullptr;
}

}  // namespace

const void* AllocationBase(const void* address) {
  ModuleMap module;
  return FindByAddress(address, &module) ? reinterpret_cast<const void*>(module.base) : nullptr;
}

std::string GetModuleFileName(const void* base) {
  if (base == nullptr) return ProgramPath();
  ModuleMap module;
  return FindByBase(base, &module) ? module.path : std::string();
}

Library LoadLibrary() {
  return g_fault == static_cast<int>(TestFault::kLoadFails) ? 0 : kImageHelp;
}

void* GetProcAddress(Library library, std::string_view name) {
  if (library != kImageHelp) return nullptr;
  if (name == "ImageNtHeader") return reinterpret_cast<void*>(&ImageNtHeader);
  if (name == "ImageRvaToSection" && g_fault != static_cast<int>(TestFault::kNoSectionProc))
    return reinterpret_cast<void*>(&ImageRvaToSection);
  return nullptr;
}

bool FreeLibrary(Library library) { return library == kImageHelp; }

void FailForTest(TestFault fault) { g_fault = static_cast<int>(fault); }

}  // namespace imghlp
