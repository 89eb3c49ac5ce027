#include "interfaces/core/Settings.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "interfaces/core/Exceptions.h"

namespace {

using namespace Tamrix::Vision;

class VisionToolMultiThreadingTest : public ::testing::Test {
 protected:
  void TearDown() override { VisionToolMultiThreading::Reset(); }
};

TEST_F(VisionToolMultiThreadingTest, DefaultsToEnabledWithHardwareConcurrency) {
  VisionToolMultiThreading::Reset();
  EXPECT_TRUE(VisionToolMultiThreading::Enable());
  const int hardware = static_cast<int>(std::thread::hardware_concurrency());
  EXPECT_EQ(VisionToolMultiThreading::ThreadCount(), hardware < 1 ? 1 : hardware);
}

TEST_F(VisionToolMultiThreadingTest, ThreadCountNeverDropsBelowOne) {
  VisionToolMultiThreading::setThreadCount(0);
  EXPECT_EQ(VisionToolMultiThreading::ThreadCount(), 1);
  VisionToolMultiThreading::setThreadCount(-5);
  EXPECT_EQ(VisionToolMultiThreading::ThreadCount(), 1);
  VisionToolMultiThreading::setThreadCount(6);
  EXPECT_EQ(VisionToolMultiThreading::ThreadCount(), 6);
  VisionToolMultiThreading::setEnable(false);
  EXPECT_FALSE(VisionToolMultiThreading::Enable());
}

TEST(CheckSerializationVersionMismatch, AcceptsVersionsNotNewerThanCurrent) {
  EXPECT_NO_THROW(CheckSerializationVersionMismatch(0, 1, "X::serialize()"));
  EXPECT_NO_THROW(CheckSerializationVersionMismatch(1, 1, "X::serialize()"));
}

TEST(CheckSerializationVersionMismatch, RefusesNewerVersionNamingClassAndBothVersions) {
  try {
    CheckSerializationVersionMismatch(7, 1, "SmartSegmenterOperator::serialize()");
    FAIL() << "no exception";
  } catch (const VisionException& e) {
    EXPECT_EQ(e.Code(), VisionExceptionCodes::VersionMismatch);
    EXPECT_STREQ(e.what(),
                 "SmartSegmenterOperator::serialize(): stored class version 7 is newer than the "
                 "supported version 1");
  }
}

TEST(StringFromZelString, ConvertsToUtf8) {
  using UtilityZel::detail::ZelUtils;
  EXPECT_EQ(ZelUtils::StringFromZelString(L"Tamrix.Vision.SmartSegmenterHelper.dll"),
            "Tamrix.Vision.SmartSegmenterHelper.dll");
  EXPECT_EQ(ZelUtils::StringFromZelString(L"\u00e9\u20ac"), "\xC3\xA9\xE2\x82\xAC");
  EXPECT_EQ(ZelUtils::StringFromZelString(std::wstring(1, static_cast<wchar_t>(0x1F600))),
            "\xF0\x9F\x98\x80");
  EXPECT_EQ(ZelUtils::StringFromZelString(L""), "");
}

TEST(StringFromZelString, RoundTripsAndReplacesMalformedInput) {
  using UtilityZel::detail::ZelUtils;
  const std::wstring text = L"a\u00e9\u20ac";
  EXPECT_EQ(ZelUtils::ZelStringFromString(ZelUtils::StringFromZelString(text)), text);
  EXPECT_EQ(ZelUtils::ZelStringFromString("a\xC3"), std::wstring(L"a\uFFFD"));
  EXPECT_EQ(ZelUtils::ZelStringFromString("\xFF"
                                          "b"),
            std::wstring(L"\uFFFD"
                         L"b"));
}

TEST(Strings, InvalidArgTemplateHasBothPlaceholders) {
  const std::string text = Strings::IDS_Tamrix_InvalidArgGE_2;
  EXPECT_NE(text.find("%1"), std::string::npos);
  EXPECT_NE(text.find("%2"), std::string::npos);
  EXPECT_LT(text.find("%1"), text.find("%2"));
}

TEST(TypeRegistration, EnumeratorValuesAreFixed) {
  EXPECT_EQ(static_cast<int>(Tamrix::Vorn::TypeRegistration::ClassType::Concrete), 0);
  EXPECT_EQ(static_cast<int>(Tamrix::Vorn::TypeRegistration::PropertyType::Static), 2);
}

}  // namespace
