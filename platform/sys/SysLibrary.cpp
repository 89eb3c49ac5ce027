#include "interfaces/sys/SysLibrary.h"

#include <dlfcn.h>
#include <sys/stat.h>

#include <cstdlib>
#include <mutex>
#include <vector>

#include "interfaces/sys/Utf8.h"

namespace {

// The loader's error text is per thread in glibc, but dlopen/dlerror pairs are also kept under
// one lock so that no other loader call can slip in between a failure and the reading of its
// reason on platforms where the text is shared.
std::mutex& LoaderLock() {
  static std::mutex lock;
  return lock;
}

std::mutex& SearchDirectoryLock() {
  static std::mutex lock;
  return lock;
}

SysSearchMode& SearchMode() {
  static SysSearchMode mode = SysSearchMode::SearchFirst;
  return mode;
}

std::wstring& SearchDirectory() {
  static std::wstring directory;
  return directory;
}

thread_local std::string lastError;

long Fail(long status, std::string message) {
  lastError = std::move(message);
  return status;
}

bool EndsWithDll(const std::string& name) {
  if (name.size() < 4) return false;
  std::string tail = name.substr(name.size() - 4);
  for (char& c : tail) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return tail == ".dll";
}

// "Name.dll" -> "Name.so"; any other name is taken as this platform's file name already.
std::string PlatformFileName(const std::string& name) {
  if (!EndsWithDll(name)) return name;
  return name.substr(0, name.size() - 4) + ".so";
}

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

std::string JoinPath(const std::string& directory, const std::string& file) {
  if (directory.empty() || directory.back() == '/') return directory + file;
  return directory + "/" + file;
}

std::string LoaderReason() {
  const char* reason = ::dlerror();
  return reason != nullptr ? reason : "unknown reason";
}

// Opens one file; the caller holds the loader lock.
long Open(const std::string& target, const std::string& requested, SysLibraryHandle* handle) {
  ::dlerror();
  void* module = ::dlopen(target.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (module == nullptr) {
    return Fail(kSysLibraryNotLoaded,
                "Cannot load library '" + requested + "' from '" + target + "': " + LoaderReason());
  }
  *handle = module;
  return kSysOk;
}

}  // namespace

long sysLoadLibrary(const std::wstring& fileName, SysLibraryHandle* handle) {
  const std::string requested = sysUtf8FromWide(fileName);
  if (handle == nullptr) {
    return Fail(kSysInvalidArgument, "sysLoadLibrary: expected the address of a handle for '" +
                                         requested + "', found a null pointer");
  }
  if (requested.empty()) {
    return Fail(kSysInvalidArgument, "sysLoadLibrary: expected a library file name, found ''");
  }
  const std::string file = PlatformFileName(requested);

  std::lock_guard<std::mutex> guard(LoaderLock());
  if (file.find('/') != std::string::npos) return Open(file, requested, handle);

  std::vector<std::string> directories;
  std::string search;
  SysSearchMode mode = SysSearchMode::SearchFirst;
  {
    std::lock_guard<std::mutex> searchGuard(SearchDirectoryLock());
    search = sysUtf8FromWide(SearchDirectory());
    mode = SearchMode();
  }
  if (!search.empty()) directories.push_back(search);
  if (!search.empty() && mode == SysSearchMode::SearchOnly) {
    const std::string candidate = JoinPath(search, file);
    if (IsRegularFile(candidate)) return Open(candidate, requested, handle);
    return Fail(kSysLibraryNotLoaded, "Cannot load library '" + requested + "': no file '" + file +
                                          "' in the only search directory '" + search + "'");
  }
  const std::string own = sysLibraryDirectory();
  if (!own.empty()) directories.push_back(own);

  for (const auto& directory : directories) {
    const std::string candidate = JoinPath(directory, file);
    if (IsRegularFile(candidate)) return Open(candidate, requested, handle);
  }

  ::dlerror();
  void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (module == nullptr) {
    std::string searched;
    for (const auto& directory : directories) searched += "'" + directory + "', ";
    return Fail(kSysLibraryNotLoaded, "Cannot load library '" + requested + "' (file '" + file +
                                          "'; searched " + searched +
                                          "then the loader's default path): " + LoaderReason());
  }
  *handle = module;
  return kSysOk;
}

long sysGetProcAddress(SysLibraryHandle handle, const std::string& symbol, SysProc* function) {
  if (handle == nullptr || function == nullptr) {
    return Fail(kSysInvalidArgument,
                "sysGetProcAddress: expected a library handle and the "
                "address of a function pointer for symbol '" +
                    symbol + "', found a null pointer");
  }
  if (symbol.empty()) {
    return Fail(kSysInvalidArgument, "sysGetProcAddress: expected a symbol name, found ''");
  }
  std::lock_guard<std::mutex> guard(LoaderLock());
  ::dlerror();
  void* address = ::dlsym(handle, symbol.c_str());
  // A null address is only a failure when the loader says so; an exported symbol may be null.
  if (const char* reason = ::dlerror(); reason != nullptr || address == nullptr) {
    return Fail(kSysSymbolNotFound, "Cannot find symbol '" + symbol + "': " +
                                        (reason != nullptr ? reason : "the symbol is null"));
  }
  // POSIX guarantees that data and function pointers convert through dlsym's result.
  *function = reinterpret_cast<SysProc>(address);
  return kSysOk;
}

void sysSetLibrarySearchDirectory(const std::wstring& directory) {
  sysSetLibrarySearchDirectory(directory, SysSearchMode::SearchFirst);
}

void sysSetLibrarySearchDirectory(const std::wstring& directory, SysSearchMode mode) {
  std::lock_guard<std::mutex> guard(SearchDirectoryLock());
  SearchDirectory() = directory;
  SearchMode() = directory.empty() ? SysSearchMode::SearchFirst : mode;
}

std::wstring sysLibrarySearchDirectory() {
  std::lock_guard<std::mutex> guard(SearchDirectoryLock());
  return SearchDirectory();
}

std::string sysLibraryDirectory() {
  // Computed once: the library does not move while it is loaded.
  static const std::string directory = [] {
    Dl_info info{};
    if (::dladdr(reinterpret_cast<void*>(&sysLibraryDirectory), &info) == 0 ||
        info.dli_fname == nullptr) {
      return std::string();
    }
    std::string path = info.dli_fname;
    if (char* resolved = ::realpath(path.c_str(), nullptr)) {
      path = resolved;
      ::free(resolved);
    }
    const auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
  }();
  return directory;
}

std::string sysLastError() { return lastError; }
