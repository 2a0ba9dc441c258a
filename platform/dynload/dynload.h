#pragma once
// Run-time loading of shared libraries.
//
// The bridge reaches the operating system's loader only through these calls,
// so a test or another platform can put its own loader behind them.

namespace dynload {

// An opaque handle of a loaded library; null means "none".
using Library = void*;

// Loads the library at `path` (all symbols resolved now, none made global).
// Null when it cannot be loaded, and for a null or empty path. Loading the
// same file again returns the same handle and counts one more reference.
Library Load(const char* path);

// The address of the exported symbol `name` in `library`, or null when it is
// missing or `library` is null (a null handle never searches the process).
void* Symbol(Library library, const char* name);

// Drops one reference of `library`; the library is unmapped with the last
// one. A null handle is ignored.
void Free(Library library);

// Whether the library at `path` is mapped now (loaded and not yet unmapped).
// Asks without loading it and without counting a reference.
bool IsLoaded(const char* path);

}  // namespace dynload
