// The exception hierarchy, the worker settings, archive version checks, string conversion and
// the enumerators hosts rely on.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "tests/core/TestSupport.h"

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

TEST(VisionToolMultiThreading, DefaultsToEnabledWithHardwareConcurrencyAndKeepsAtLeastOneThread) {
  VisionToolMultiThreading::Reset();
  EXPECT_TRUE(VisionToolMultiThreading::Enable());
  const int hardware = static_cast<int>(std::thread::hardware_concurrency());
  EXPECT_EQ(VisionToolMultiThreading::ThreadCount(), hardware < 1 ? 1 : hardware);
  for (auto [set, expected] : {std::pair{0, 1}, {-5, 1}, {6, 6}}) {
    VisionToolMultiThreading::setThreadCount(set);
    EXPECT_EQ(VisionToolMultiThreading::ThreadCount(), expected) << set;
    EXPECT_EQ(VisionToolMultiThreading::Workers(), expected) << set;
  }
  VisionToolMultiThreading::setEnable(false);
  EXPECT_FALSE(VisionToolMultiThreading::Enable());
  // Disabled, a tool runs on its calling thread alone, whatever the count says.
  EXPECT_EQ(VisionToolMultiThreading::Workers(), 1);
  EXPECT_EQ(VisionToolMultiThreading::ThreadCount(), 6);
  VisionToolMultiThreading::Reset();
}

TEST(CheckSerializationVersionMismatch, RefusesOnlyNewerVersionsNamingClassAndBothVersions) {
  EXPECT_NO_THROW(CheckSerializationVersionMismatch(0, 1, "X::serialize()"));
  EXPECT_NO_THROW(CheckSerializationVersionMismatch(1, 1, "X::serialize()"));
  Tamrix::Testing::CoreTests::ExpectVisionError(
      [] { CheckSerializationVersionMismatch(7, 1, "SmartSegmenterOperator::serialize()"); },
      VisionExceptionCodes::VersionMismatch,
      "SmartSegmenterOperator::serialize(): stored class version 7 is newer than the supported "
      "version 1");
}

TEST(StringFromZelString, ConvertsBothWaysAndReplacesMalformedInput) {
  using UtilityZel::detail::ZelUtils;
  EXPECT_EQ(ZelUtils::StringFromZelString(L"a.dll"), "a.dll");
  EXPECT_EQ(ZelUtils::StringFromZelString(L"\u00e9\u20ac"), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(ZelUtils::StringFromZelString(std::wstring(1, static_cast<wchar_t>(0x1F600))),
            "\xF0\x9F\x98\x80");
  EXPECT_EQ(ZelUtils::StringFromZelString(L""), "");
  const std::wstring text = L"a\u00e9\u20ac";
  EXPECT_EQ(ZelUtils::ZelStringFromString(ZelUtils::StringFromZelString(text)), text);
  EXPECT_EQ(ZelUtils::ZelStringFromString("a\xC3"), std::wstring(L"a\uFFFD"));
  EXPECT_EQ(ZelUtils::ZelStringFromString(std::string("\xFF") + "b"), std::wstring(L"\uFFFDb"));
}

TEST(Strings, InvalidArgTemplateHasBothPlaceholdersInOrderAndEnumeratorsAreFixed) {
  const std::string text = Strings::IDS_Tamrix_InvalidArgGE_2;
  EXPECT_NE(text.find("%2"), std::string::npos);
  EXPECT_LT(text.find("%1"), text.find("%2"));
  EXPECT_EQ(static_cast<int>(Tamrix::Vorn::TypeRegistration::ClassType::Concrete), 0);
  EXPECT_EQ(static_cast<int>(Tamrix::Vorn::TypeRegistration::PropertyType::Static), 2);
}

}  // namespace
