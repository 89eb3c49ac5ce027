// The system-support library: loading shared modules and resolving their entry points.
//
// Modules are named as on every platform of the framework ("Name.dll"); a name ending in ".dll"
// is mapped to this platform's module file ("Name.so"). A bare name is looked up in this order:
//   1. the search directory set by the host (sysSetLibrarySearchDirectory), when one is set;
//   2. the directory of the system-support library itself, where the framework's libraries and
//      modules are installed together;
//   3. the dynamic loader's default search path.
// The first directory holding the file decides: when the file there cannot be loaded, that is
// the failure reported, the later places are not tried. A name with a directory part is loaded
// from exactly that place.
//
// Loaded modules are never unloaded; loading a module again gives a handle to the same module.
// Modules are loaded with every symbol bound at once and made visible to later modules, so that
// template statics of header-only libraries resolve to one instance in the process.
//
// Every operation returns 0 on success and a negative status on failure; after a failure
// sysLastError() describes it. All operations are thread-safe.
#pragma once

#include <string>

using SysLibraryHandle = void*;
using SysProc = void (*)();

// Status values returned by the operations below.
constexpr long kSysOk = 0;
constexpr long kSysInvalidArgument = -1;
constexpr long kSysLibraryNotLoaded = -2;
constexpr long kSysSymbolNotFound = -3;

// Loads the module `fileName` (wide text, UTF-32 on this platform) and stores its handle in
// *handle. On failure *handle is left unchanged.
long sysLoadLibrary(const std::wstring& fileName, SysLibraryHandle* handle);

// Resolves the exported symbol `symbol` of a loaded module and stores it in *function. On failure
// *function is left unchanged.
long sysGetProcAddress(SysLibraryHandle handle, const std::string& symbol, SysProc* function);

// The directory searched first by sysLoadLibrary; empty (the default) means none.
void sysSetLibrarySearchDirectory(const std::wstring& directory);

// How the host's search directory takes part in the lookup.
enum class SysSearchMode {
  SearchFirst,  // the search directory first, then the usual places (the default)
  SearchOnly,   // the search directory alone: a module that is not there is not loaded
};
// Sets the search directory and how it is used; an empty directory resets to the default lookup.
void sysSetLibrarySearchDirectory(const std::wstring& directory, SysSearchMode mode);
std::wstring sysLibrarySearchDirectory();

// The directory holding the system-support library itself, as a UTF-8 path (empty when the
// loader cannot tell).
std::string sysLibraryDirectory();

// The description of the last failure of an operation on the calling thread: the file or symbol
// and the loader's reason. Empty when no operation of this thread has failed yet.
std::string sysLastError();
