#include "interfaces/core/Exceptions.h"

namespace Tamrix::Vision {

VisionException::VisionException(VisionExceptionCodes code, const std::string& message)
    : std::runtime_error(message), code_(code) {}

std::string VisionException::ToString() const {
  return get_type().get_name().to_string() + " (code " + std::to_string(static_cast<int>(code_)) +
         "): " + what();
}

ArgumentException::ArgumentException(const std::string& message)
    : VisionException(VisionExceptionCodes::InvalidArgument, message) {}

FileOpenException::FileOpenException(const std::string& message)
    : VisionException(VisionExceptionCodes::FileOpen, message) {}

}  // namespace Tamrix::Vision
