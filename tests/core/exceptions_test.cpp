#include "interfaces/core/Exceptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace {

using namespace Tamrix::Vision;

TEST(VisionException, EachExceptionIsCatchableAsEveryBaseWithItsMessageAndCode) {
  using Codes = VisionExceptionCodes;
  const std::vector<std::tuple<std::function<void()>, Codes, const char*>> cases = {
      {[] { throw VisionException(Codes::LibraryNotLoaded, "Cannot load library"); },
       Codes::LibraryNotLoaded, "Cannot load library"},
      {[] { throw ArgumentException("Value must be >= 0"); }, Codes::InvalidArgument,
       "Value must be >= 0"},
      {[] { throw FileOpenException("engine failed"); }, Codes::FileOpen, "engine failed"},
  };
  for (const auto& [raise, code, message] : cases) {
    SCOPED_TRACE(message);
    EXPECT_THROW(raise(), std::runtime_error);
    EXPECT_THROW(raise(), Tamrix::Vorn::IException);
    try {
      raise();
    } catch (const Tamrix::Vorn::IObject& e) {
      EXPECT_NE(e.ToString().find(message), std::string::npos) << e.ToString();
      const auto& error = dynamic_cast<const VisionException&>(e);
      EXPECT_EQ(error.Code(), code);
      EXPECT_STREQ(error.what(), message);
      EXPECT_STREQ(static_cast<const Tamrix::Vorn::IException&>(error).Message(), message);
    }
  }
  EXPECT_EQ(static_cast<int>(Codes::FunctionNotFound), 1);
  EXPECT_EQ(static_cast<int>(Codes::LibraryNotLoaded), 2);
}

}  // namespace
