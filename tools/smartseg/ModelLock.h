// The advisory lock that serialises smartseg runs which read, train and rewrite one model file,
// so that no run's additions are lost to another's.
#pragma once

#include <filesystem>
#include <string>

namespace Smartseg {

// Holds an exclusive flock on a hidden lock file beside the model (".NAME.smartseg-lock", next to
// the file a symbolic link at `model` leads to) for its lifetime, and removes the file when
// released. Creating the lock file also proves that the model's folder exists and is writable,
// before any work is done. When another process holds the lock, waits for it (saying so on
// stderr unless `quiet`) or, with `wait` false, throws WorkError naming `model`. Throws WorkError
// naming `model` when the lock file cannot be created.
class ModelLock {
 public:
  ModelLock(const std::filesystem::path& model, bool wait, bool quiet);
  ~ModelLock();
  ModelLock(const ModelLock&) = delete;
  ModelLock& operator=(const ModelLock&) = delete;

 private:
  std::string path_;
  int descriptor_ = -1;
};

}  // namespace Smartseg
