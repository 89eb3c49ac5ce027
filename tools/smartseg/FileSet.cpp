#include "tools/smartseg/FileSet.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Errors.h"

namespace Smartseg {

// One file of a set. `temporary` holds the new content until the commit renames it; `kept`
// names the old content while the commit runs.
struct FileSet::Entry {
  std::filesystem::path path;
  std::filesystem::path target;
  std::string temporary;
  std::string kept;
  bool existed = false;
  bool replaced = false;
};

namespace {

constexpr const char* kTemporaryMarker = ".smartseg-tmp-";

// Every set with files on disk that are not yet final, for the signal thread. The mutex is held
// while such files are created, while a commit runs, and while the signal thread cleans up, so
// the thread never sees a half-made step and no step starts after it. The registries are never
// destroyed: a signal may arrive while exit() runs the static destructors, and the signal thread
// must then still find valid, empty sets.
std::mutex registryMutex;
std::set<std::vector<FileSet::Entry*>*>& Registry() {
  static auto* registry = new std::set<std::vector<FileSet::Entry*>*>;
  return *registry;
}

std::set<const std::string*>& OwnFiles() {
  static auto* files = new std::set<const std::string*>;
  return *files;
}

std::string SystemError(int error = errno) { return std::strerror(error); }

std::filesystem::path FolderOf(const std::filesystem::path& path) {
  return path.parent_path().empty() ? std::filesystem::path(".") : path.parent_path();
}

// Creates an empty hidden file beside `target` and returns its name and descriptor.
int CreateHidden(const std::filesystem::path& target, std::string& name) {
  std::string pattern = (FolderOf(target) / ("." + target.filename().string() + kTemporaryMarker +
                                             std::to_string(getpid()) + "-XXXXXX"))
                            .string();
  const int descriptor = mkstemp(pattern.data());
  if (descriptor >= 0) name = pattern;
  return descriptor;
}

void WriteAll(int descriptor, const std::string& bytes, const std::filesystem::path& path) {
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count = write(descriptor, bytes.data() + written, bytes.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw WorkError(path, "cannot write: " + SystemError());
    }
    written += static_cast<std::size_t>(count);
  }
}

// The mode and owner of the file replaced, or the usual mode for a new file.
void SetIdentity(int descriptor, const FileSet::Entry& entry) {
  struct stat old {};
  if (entry.existed && stat(entry.target.c_str(), &old) == 0) {
    if (old.st_uid != geteuid() || old.st_gid != getegid()) {
      // Only a privileged process may give a file away; others keep their own ownership.
      (void)fchown(descriptor, old.st_uid, old.st_gid);
    }
    fchmod(descriptor, old.st_mode & 07777);
    return;
  }
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(descriptor, 0666 & ~mask);
}

// Keeps the old content of `entry.target` under a hidden name: a second link to it, or where the
// file system has none, a copy.
bool KeepOld(FileSet::Entry& entry, std::string& problem) {
  std::string name;
  const int descriptor = CreateHidden(entry.target, name);
  if (descriptor < 0) {
    problem = "cannot create a file in " + FolderOf(entry.target).string() + ": " + SystemError();
    return false;
  }
  close(descriptor);
  unlink(name.c_str());
  if (link(entry.target.c_str(), name.c_str()) == 0) {
    entry.kept = name;
    return true;
  }
  try {
    const std::string bytes = ReadWholeFile(entry.target);
    const int copy = open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL, 0600);
    if (copy < 0) throw WorkError(entry.target, "cannot keep a copy: " + SystemError());
    entry.kept = name;
    WriteAll(copy, bytes, entry.target);
    if (close(copy) != 0) throw WorkError(entry.target, "cannot keep a copy: " + SystemError());
    return true;
  } catch (const std::exception& error) {
    problem = error.what();
    return false;
  }
}

// Puts the old files back and removes every hidden file of the set; used on failure, in the
// signal thread, and by the destructor. Never throws.
void RollBack(std::vector<FileSet::Entry*>& entries) {
  for (auto it = entries.rbegin(); it != entries.rend(); ++it) {
    FileSet::Entry& entry = **it;
    if (entry.replaced) {
      if (!entry.kept.empty()) {
        if (rename(entry.kept.c_str(), entry.target.c_str()) == 0) entry.kept.clear();
      } else if (!entry.existed) {
        unlink(entry.target.c_str());
      }
      entry.replaced = false;
    }
    if (!entry.kept.empty()) unlink(entry.kept.c_str());
    if (!entry.temporary.empty()) unlink(entry.temporary.c_str());
    entry.kept.clear();
    entry.temporary.clear();
  }
}

void WaitForSignals(sigset_t signals) {
  int signal = 0;
  while (sigwait(&signals, &signal) != 0) {
  }
  {
    // Held to the end: no set may start a step once the cleanup has begun.
    registryMutex.lock();
    for (auto* entries : Registry()) RollBack(*entries);
    for (const std::string* path : OwnFiles()) unlink(path->c_str());
  }
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigaction(signal, &action, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
  _exit(128 + signal);
}

}  // namespace

FileSet::FileSet() {
  std::lock_guard<std::mutex> lock(registryMutex);
  Registry().insert(&entries_);
}

FileSet::~FileSet() {
  std::lock_guard<std::mutex> lock(registryMutex);
  if (!committed_) RollBack(entries_);
  Registry().erase(&entries_);
  for (Entry* entry : entries_) delete entry;
}

void FileSet::Stage(const std::filesystem::path& path, const std::string& bytes) {
  auto entry = std::make_unique<Entry>();
  entry->path = path;
  entry->target = WriteTarget(path);
  std::error_code error;
  const auto status = std::filesystem::status(entry->target, error);
  entry->existed = std::filesystem::exists(status);
  if (entry->existed && !std::filesystem::is_regular_file(status)) {
    throw WorkError(path, std::filesystem::is_directory(status)
                              ? "is a folder; cannot write a file in its place"
                              : "is not a regular file; cannot write a file in its place");
  }
  int descriptor = -1;
  {
    std::lock_guard<std::mutex> lock(registryMutex);
    descriptor = CreateHidden(entry->target, entry->temporary);
    if (descriptor < 0) {
      throw WorkError(path, "cannot create a file in " + FolderOf(entry->target).string() + ": " +
                                SystemError());
    }
    entries_.push_back(entry.get());
  }
  Entry& staged = *entry.release();
  try {
    WriteAll(descriptor, bytes, path);
    if (fsync(descriptor) != 0) throw WorkError(path, "cannot write: " + SystemError());
    SetIdentity(descriptor, staged);
  } catch (...) {
    close(descriptor);
    throw;
  }
  if (close(descriptor) != 0) throw WorkError(path, "cannot write: " + SystemError());
}

void FileSet::Commit() {
  std::lock_guard<std::mutex> lock(registryMutex);
  for (Entry* entry : entries_) {
    std::string problem;
    std::error_code error;
    // Whether the file exists now, not when it was staged: another program may have made or
    // removed it since.
    entry->existed = std::filesystem::exists(entry->target, error);
    if (entry->existed && !KeepOld(*entry, problem)) {
      RollBack(entries_);
      throw WorkError(entry->path, problem);
    }
    if (rename(entry->temporary.c_str(), entry->target.c_str()) != 0) {
      const int failure = errno;
      RollBack(entries_);
      throw WorkError(entry->path, "cannot replace the file: " + SystemError(failure));
    }
    entry->temporary.clear();
    entry->replaced = true;
  }
  // From here on the new files are the set: nothing may roll them back, not even the signal
  // thread, which still sees this set until the destructor.
  for (Entry* entry : entries_) {
    if (!entry->kept.empty()) unlink(entry->kept.c_str());
    entry->kept.clear();
    entry->replaced = false;
  }
  committed_ = true;
}

RemovedOnSignal::RemovedOnSignal(std::string path) : path_(std::move(path)) {
  std::lock_guard<std::mutex> lock(registryMutex);
  OwnFiles().insert(&path_);
}

RemovedOnSignal::~RemovedOnSignal() {
  std::lock_guard<std::mutex> lock(registryMutex);
  OwnFiles().erase(&path_);
}

std::filesystem::path WriteTarget(const std::filesystem::path& path) {
  std::filesystem::path target = path;
  for (int hop = 0; hop < 40; ++hop) {
    std::error_code error;
    if (!std::filesystem::is_symlink(std::filesystem::symlink_status(target, error))) {
      return target;
    }
    const std::filesystem::path next = std::filesystem::read_symlink(target, error);
    if (error) throw WorkError(path, "cannot follow the symbolic link: " + error.message());
    target = next.is_absolute() ? next : target.parent_path() / next;
  }
  throw WorkError(path, "too many levels of symbolic links");
}

int RemoveStaleTemporaries(const std::filesystem::path& folder) {
  int removed = 0;
  std::error_code error;
  for (std::filesystem::directory_iterator it(folder, error), end; !error && it != end;
       it.increment(error)) {
    const std::string name = it->path().filename().string();
    const auto marker = name.find(kTemporaryMarker);
    if (marker == std::string::npos || name[0] != '.') continue;
    const std::string rest = name.substr(marker + std::strlen(kTemporaryMarker));
    char* afterPid = nullptr;
    const long pid = std::strtol(rest.c_str(), &afterPid, 10);
    // A name without a process id comes from an older smartseg; it is stale after a day.
    bool stale = false;
    if (afterPid != rest.c_str() && *afterPid == '-' && pid > 0) {
      stale = kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    } else {
      std::error_code timeError;
      const auto written = std::filesystem::last_write_time(it->path(), timeError);
      stale = !timeError &&
              std::filesystem::file_time_type::clock::now() - written > std::chrono::hours(24);
    }
    std::error_code statusError;
    if (stale && std::filesystem::is_regular_file(it->symlink_status(statusError)) &&
        unlink(it->path().c_str()) == 0) {
      ++removed;
    }
  }
  return removed;
}

bool IsTemporaryFileName(const std::string& fileName) {
  return fileName.find(kTemporaryMarker) != std::string::npos;
}

void CleanUpOnSignals() {
  sigset_t signals;
  sigemptyset(&signals);
  sigaddset(&signals, SIGINT);
  sigaddset(&signals, SIGTERM);
  sigaddset(&signals, SIGHUP);
  pthread_sigmask(SIG_BLOCK, &signals, nullptr);
  std::thread(WaitForSignals, signals).detach();
}

}  // namespace Smartseg
