#include "tools/smartseg/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <sstream>
#include <vector>

#include "tools/smartseg/Errors.h"

namespace Smartseg {
namespace {

constexpr const char* kTemporaryMarker = ".smartseg-tmp-";

// The temporary file being written, for the signal handler: a fixed buffer, since a handler may
// only call async-signal-safe functions and must not touch std::string.
char pendingTemporary[4096] = {};
volatile std::sig_atomic_t pendingSet = 0;

extern "C" void RemovePendingAndReraise(int signalNumber) {
  if (pendingSet) unlink(pendingTemporary);
  std::signal(signalNumber, SIG_DFL);
  std::raise(signalNumber);
}

void InstallSignalHandlersOnce() {
  static const bool installed = [] {
    std::signal(SIGINT, RemovePendingAndReraise);
    std::signal(SIGTERM, RemovePendingAndReraise);
    return true;
  }();
  (void)installed;
}

std::string SystemError() { return std::strerror(errno); }

// Removes the temporary file unless the rename has taken it over.
class TemporaryFile {
 public:
  explicit TemporaryFile(const std::filesystem::path& target) {
    const std::filesystem::path folder =
        target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
    std::string pattern =
        (folder / ("." + target.filename().string() + kTemporaryMarker + "XXXXXX")).string();
    if (pattern.size() >= sizeof(pendingTemporary)) {
      throw WorkError(target, "the path is too long");
    }
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    InstallSignalHandlersOnce();
    descriptor_ = mkstemp(name.data());
    if (descriptor_ < 0) {
      throw WorkError(target, "cannot create a file in " + folder.string() + ": " + SystemError());
    }
    path_ = name.data();
    std::memcpy(pendingTemporary, name.data(), name.size());
    pendingSet = 1;
  }
  ~TemporaryFile() {
    if (descriptor_ >= 0) close(descriptor_);
    if (!path_.empty()) unlink(path_.c_str());
    pendingSet = 0;
  }
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;

  int Descriptor() const { return descriptor_; }
  const std::string& Path() const { return path_; }
  void CloseFile() {
    const int descriptor = descriptor_;
    descriptor_ = -1;
    if (close(descriptor) != 0) throw std::runtime_error(SystemError());
  }
  // Called after the rename: the file now lives on under its final name.
  void Release() {
    path_.clear();
    pendingSet = 0;
  }

 private:
  int descriptor_ = -1;
  std::string path_;
};

}  // namespace

void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes) {
  TemporaryFile temporary(path);
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t count =
        write(temporary.Descriptor(), bytes.data() + written, bytes.size() - written);
    if (count < 0) {
      if (errno == EINTR) continue;
      throw WorkError(path, "cannot write: " + SystemError());
    }
    written += static_cast<std::size_t>(count);
  }
  if (fsync(temporary.Descriptor()) != 0) throw WorkError(path, "cannot write: " + SystemError());
  // mkstemp creates the file readable by its owner only; a result file gets the usual mode.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(temporary.Descriptor(), 0666 & ~mask);
  try {
    temporary.CloseFile();
  } catch (const std::runtime_error& error) {
    throw WorkError(path, std::string("cannot write: ") + error.what());
  }
  if (std::rename(temporary.Path().c_str(), path.c_str()) != 0) {
    throw WorkError(path, "cannot replace the file: " + SystemError());
  }
  temporary.Release();
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) throw WorkError(path, "no such file");
  if (!std::filesystem::is_regular_file(status)) throw WorkError(path, "not a regular file");
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw WorkError(path, "cannot open the file: " + SystemError());
  std::ostringstream content;
  content << stream.rdbuf();
  if (stream.bad()) throw WorkError(path, "cannot read the file");
  return content.str();
}

bool IsTemporaryFileName(const std::string& fileName) {
  return fileName.find(kTemporaryMarker) != std::string::npos;
}

}  // namespace Smartseg
