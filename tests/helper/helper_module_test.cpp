#include <gtest/gtest.h>

#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

TEST(HelperModule, FactoryFillsANewAccessObjectOnEachCallAndRefusesNoPointer) {
  std::shared_ptr<ISmartSegmenterAccess> first, second;
  EXPECT_EQ(HelperFactory()(&first), 0);
  EXPECT_EQ(HelperFactory()(&second), 0);
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(HelperFactory()(nullptr), -1);
}

TEST(HelperModule, AccessCreatesAnUntrainedSegmenterWithItsOwnModelForTheLabel) {
  auto access = NewAccess();
  auto label = std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
  auto segmenter = access->CreateSegmenter(label);
  ASSERT_NE(segmenter, nullptr);
  EXPECT_EQ(segmenter->Label(), label);
  ASSERT_NE(segmenter->Model(), nullptr);
  EXPECT_EQ(segmenter->Model()->Describe(), "ForestModel(untrained)");
  EXPECT_NE(access->CreateSegmenter(label)->Model(), segmenter->Model());
  EXPECT_NE(access->CreateModel(label), access->CreateModel(label));
  // The operator turns std::runtime_error from CreateSegmenter into FileOpenException.
  EXPECT_EQ(MessageOf<std::runtime_error>([&] { access->CreateSegmenter(nullptr); }),
            "CreateSegmenter: expected a label, found an empty pointer");
}

}  // namespace
}  // namespace HelperTests
