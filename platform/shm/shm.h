#pragma once
// Named shared memory: the platform's file mappings, stood in for by POSIX
// shared memory objects. A mapping "Name" is the object "/" + prefix + Name,
// the prefix taken from ORN_SHM_PREFIX (default empty), so that tests can
// keep their objects apart; "/" and "\" in a name become "_".
//
// Calls answer with the platform's error numbers (kSuccess = 0).
// Unlike the platform, an object outlives its last handle until it is
// removed (RemoveFileMapping).

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

namespace shm {

enum Status : uint32_t {
  kSuccess = 0,
  kFileNotFound = 2,      // no mapping of that name
  kAccessDenied = 5,
  kInvalidHandle = 6,
  kNotEnoughMemory = 8,   // the view cannot be mapped
  kInvalidParameter = 87,
  kInvalidAddress = 487,  // not a view of this process
  kFileInvalid = 1006,    // the mapping is empty
};

using Mapping = uintptr_t;  // 0 = none

// Opens an existing mapping for reading.
Status OpenFileMapping(std::string_view name, Mapping* out);
// Maps a read-only view of the whole mapping; *view and *size describe it.
// A write through the view is an access violation.
Status MapViewOfFile(Mapping mapping, const void** view, size_t* size);
Status UnmapViewOfFile(const void* view);
Status CloseHandle(Mapping mapping);

// The creating side, for the suite's other programs and for tests: creates
// (or replaces) the mapping with `contents`, and removes it.
Status CreateFileMapping(std::string_view name, std::span<const uint8_t> contents);
Status RemoveFileMapping(std::string_view name);

}  // namespace shm
