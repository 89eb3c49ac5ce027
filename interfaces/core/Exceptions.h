// The framework's exception hierarchy. Every exception is catchable as std::exception,
// Tamrix::Vorn::IException and Tamrix::Vorn::IObject; what() gives the English message.
#pragma once

#include <stdexcept>
#include <string>

#include "interfaces/core/IObject.h"

namespace Tamrix::Vorn {

class IException : public virtual IObject {
 public:
  virtual const char* Message() const noexcept = 0;
  RTTR_ENABLE(IObject)
};

}  // namespace Tamrix::Vorn

namespace Tamrix::Vision {

enum class VisionExceptionCodes : int {
  Unknown = 0,
  FunctionNotFound = 1,
  LibraryNotLoaded = 2,
  InvalidArgument = 3,
  FileOpen = 4,
  InvalidData = 5,
  VersionMismatch = 6,
  NotTrained = 7,
};

// Derives from std::runtime_error so that hosts catching the standard types see it too.
class VisionException : public std::runtime_error, public virtual Tamrix::Vorn::IException {
 public:
  VisionException(VisionExceptionCodes code, const std::string& message);

  VisionExceptionCodes Code() const noexcept { return code_; }
  const char* Message() const noexcept override { return what(); }
  std::string ToString() const override;

 private:
  VisionExceptionCodes code_;
  RTTR_ENABLE(Tamrix::Vorn::IException)
};

// A wrong argument value: the message says what was expected and what was found.
class ArgumentException : public VisionException {
 public:
  explicit ArgumentException(const std::string& message);
  RTTR_ENABLE(VisionException)
};

// A file or module could not be opened or created.
class FileOpenException : public VisionException {
 public:
  explicit FileOpenException(const std::string& message);
  RTTR_ENABLE(VisionException)
};

}  // namespace Tamrix::Vision
