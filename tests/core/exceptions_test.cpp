#include "interfaces/core/Exceptions.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

using namespace Tamrix::Vision;

struct ThrowCase {
  const char* name;
  std::function<void()> raise;
  VisionExceptionCodes code;
  const char* message;
};

class ExceptionCatchability : public ::testing::TestWithParam<ThrowCase> {};

TEST_P(ExceptionCatchability, CatchableAsEveryBaseWithItsMessage) {
  const ThrowCase& c = GetParam();
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

INSTANTIATE_TEST_SUITE_P(
    Types, ExceptionCatchability,
    ::testing::Values(ThrowCase{"Vision",
                                [] {
                                  throw VisionException(VisionExceptionCodes::LibraryNotLoaded,
                                                        "Cannot load library");
                                },
                                VisionExceptionCodes::LibraryNotLoaded, "Cannot load library"},
                      ThrowCase{"Argument", [] { throw ArgumentException("Value must be >= 0"); },
                                VisionExceptionCodes::InvalidArgument, "Value must be >= 0"},
                      ThrowCase{"FileOpen", [] { throw FileOpenException("engine failed"); },
                                VisionExceptionCodes::FileOpen, "engine failed"}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

TEST(VisionException, NumericCodesAreStable) {
  EXPECT_EQ(static_cast<int>(VisionExceptionCodes::FunctionNotFound), 1);
  EXPECT_EQ(static_cast<int>(VisionExceptionCodes::LibraryNotLoaded), 2);
}

TEST(ArgumentException, IsAVisionException) {
  EXPECT_THROW(throw ArgumentException("x"), VisionException);
  EXPECT_THROW(throw FileOpenException("x"), VisionException);
}

}  // namespace
