// Process-wide settings and small helpers of the framework.
#pragma once

#include <string>

namespace Tamrix::Vision {

// Whether vision tools may use worker threads, and how many. Read by tools at the start of each
// parallel run; hosts change them between runs. Thread-safe.
class VisionToolMultiThreading {
 public:
  // Default: enabled.
  static bool Enable();
  // Default: the hardware concurrency, at least 1. Always at least 1.
  static int ThreadCount();
  // The threads a vision tool may use: ThreadCount() when enabled, else 1.
  static int Workers();

  static void setEnable(bool enable);
  // Values below 1 are stored as 1.
  static void setThreadCount(int count);
  // Back to the defaults.
  static void Reset();
};

// Returns when a stored class version is one this build reads (not newer than `current`);
// otherwise throws a VisionException (code VersionMismatch) naming `name` and both versions.
void CheckSerializationVersionMismatch(unsigned stored, unsigned current, const std::string& name);

namespace Strings {
// "%1" is the argument's name, "%2" the bound it must reach.
extern const char* const IDS_Tamrix_InvalidArgGE_2;
}  // namespace Strings

}  // namespace Tamrix::Vision

namespace UtilityZel::detail {

struct ZelUtils {
  // UTF-8 text of a wide string (UTF-32 on this platform). Invalid code points become U+FFFD.
  static std::string StringFromZelString(const std::wstring& text);
  // The inverse: wide text of a UTF-8 string. Malformed sequences become U+FFFD.
  static std::wstring ZelStringFromString(const std::string& text);
};

}  // namespace UtilityZel::detail

namespace Tamrix::Vorn::TypeRegistration {

// What kind of class a reflected type is.
enum class ClassType : int { Concrete = 0, Interface = 1, Abstract = 2 };

// How a reflected property is reached.
enum class PropertyType : int { Member = 0, Method = 1, Static = 2 };

}  // namespace Tamrix::Vorn::TypeRegistration
