#include "interfaces/core/Exceptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using namespace Tamrix::Vision;

TEST(VisionException, EachExceptionIsCatchableAsEveryBaseWithItsMessageAndCode) {
  struct Case {
    std::function<void()> raise;
    VisionExceptionCodes code;
    const char* message;
  };
  const std::vector<Case> cases = {
      {[] { throw VisionException(VisionExceptionCodes::LibraryNotLoaded, "Cannot load library"); },
       VisionExceptionCodes::LibraryNotLoaded, "Cannot load library"},
      {[] { throw ArgumentException("Value must be >= 0"); }, VisionExceptionCodes::InvalidArgument,
       "Value must be >= 0"},
      {[] { throw FileOpenException("engine failed"); }, VisionExceptionCodes::FileOpen,
       "engine failed"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    try {
      c.raise();
    } catch (const std::exception& e) {
      EXPECT_STREQ(e.what(), c.message);
    }
    try {
      c.raise();
    } catch (const Tamrix::Vorn::IException& e) {
      EXPECT_STREQ(e.Message(), c.message);
    }
    try {
      c.raise();
    } catch (const Tamrix::Vorn::IObject& e) {
      EXPECT_NE(e.ToString().find(c.message), std::string::npos) << e.ToString();
    }
    try {
      c.raise();
    } catch (const VisionException& e) {
      EXPECT_EQ(e.Code(), c.code);
    }
    EXPECT_THROW(c.raise(), std::runtime_error);
  }
  EXPECT_EQ(static_cast<int>(VisionExceptionCodes::FunctionNotFound), 1);
  EXPECT_EQ(static_cast<int>(VisionExceptionCodes::LibraryNotLoaded), 2);
}

}  // namespace
