#include "tools/smartseg/ModelLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/FileSet.h"
#include "tools/smartseg/Progress.h"

namespace Smartseg {

ModelLock::ModelLock(const std::filesystem::path& model, bool wait, bool quiet) {
  const std::filesystem::path target = WriteTarget(model);
  const std::filesystem::path folder =
      target.parent_path().empty() ? std::filesystem::path(".") : target.parent_path();
  path_ = (folder / ("." + target.filename().string() + ".smartseg-lock")).string();
  bool announced = false;
  // The holder removes the lock file when it is done, so a lock won on a file that has since been
  // removed (or replaced by a newer one) locks nothing: try again on the file now there.
  for (;;) {
    const int descriptor = open(path_.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) {
      throw WorkError(model,
                      "cannot create a file in " + folder.string() + ": " + std::strerror(errno));
    }
    if (flock(descriptor, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK) {
        const int failure = errno;
        close(descriptor);
        throw WorkError(model, std::string("cannot lock the model: ") + std::strerror(failure));
      }
      if (!wait) {
        close(descriptor);
        throw WorkError(model,
                        "another smartseg run is training this model; try again when it "
                        "has finished, or leave out --no-wait to wait for it");
      }
      if (!quiet && !announced) {
        Warn(model.string() + ": another smartseg run is training this model; waiting for it");
        announced = true;
      }
      while (flock(descriptor, LOCK_EX) != 0) {
        if (errno != EINTR) {
          const int failure = errno;
          close(descriptor);
          throw WorkError(model, std::string("cannot lock the model: ") + std::strerror(failure));
        }
      }
    }
    struct stat held {
    }, current{};
    if (fstat(descriptor, &held) == 0 && stat(path_.c_str(), &current) == 0 &&
        held.st_dev == current.st_dev && held.st_ino == current.st_ino) {
      descriptor_ = descriptor;
      return;
    }
    close(descriptor);
  }
}

ModelLock::~ModelLock() {
  // Removed while still held, so that a waiting run sees its file gone and starts over.
  unlink(path_.c_str());
  close(descriptor_);
}

}  // namespace Smartseg
