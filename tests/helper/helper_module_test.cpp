#include <gtest/gtest.h>

#include "interfaces/core/Exceptions.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

TEST(HelperModule, FactoryFillsANewAccessObjectOnEachCall) {
  std::shared_ptr<ISmartSegmenterAccess> first, second;
  EXPECT_EQ(HelperFactory()(&first), 0);
  EXPECT_EQ(HelperFactory()(&second), 0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
}

TEST(HelperModule, FactoryGivenNoPointerReportsFailure) { EXPECT_EQ(HelperFactory()(nullptr), -1); }

TEST(HelperModule, AccessCreatesAnUntrainedSegmenterForTheLabel) {
  auto label = std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
  auto segmenter = NewAccess()->CreateSegmenter(label);
  ASSERT_NE(segmenter, nullptr);
  EXPECT_EQ(segmenter->Label(), label);
  ASSERT_NE(segmenter->Model(), nullptr);
  EXPECT_EQ(segmenter->Model()->Describe(), "ForestModel(untrained)");
}

TEST(HelperModule, EachSegmenterGetsItsOwnModel) {
  auto access = NewAccess();
  auto label = std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
  EXPECT_NE(access->CreateSegmenter(label)->Model(), access->CreateSegmenter(label)->Model());
  EXPECT_NE(access->CreateModel(label), access->CreateModel(label));
}

TEST(HelperModule, CreateSegmenterWithoutLabelThrowsARuntimeError) {
  // The operator turns std::runtime_error from CreateSegmenter into FileOpenException.
  try {
    NewAccess()->CreateSegmenter(nullptr);
    FAIL() << "expected an exception";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "CreateSegmenter: expected a label, found an empty pointer");
  }
}

}  // namespace
}  // namespace HelperTests
