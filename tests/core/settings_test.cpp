#include "interfaces/core/Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/core/TestSupport.h"

namespace {

using namespace Tamrix::Vision;

TEST(VisionToolMultiThreading, DefaultsToEnabledWithHardwareConcurrencyAndKeepsAtLeastOneThread) {
  VisionToolMultiThreading::Reset();
  EXPECT_TRUE(VisionToolMultiThreading::Enable());
  const int hardware = static_cast<int>(std::thread::hardware_concurrency());
  EXPECT_EQ(VisionToolMultiThreading::ThreadCount(), hardware < 1 ? 1 : hardware);
  for (auto [set, expected] : {std::pair{0, 1}, {-5, 1}, {6, 6}}) {
    VisionToolMultiThreading::setThreadCount(set);
    EXPECT_EQ(VisionToolMultiThreading::ThreadCount(), expected) << set;
  }
  VisionToolMultiThreading::setEnable(false);
  EXPECT_FALSE(VisionToolMultiThreading::Enable());
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
