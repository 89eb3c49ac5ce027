#include <gtest/gtest.h>

#include <algorithm>

#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

struct Crop {
  int x, y, width, height;
};

class ContextRadius : public ::testing::TestWithParam<double> {
 protected:
  void SetUp() override {
    database->Add(DiscItem(image, kDisc, disc, background));
    segmenter = access->CreateSegmenter(disc);
  }

  static constexpr int kWidth = 150;
  static constexpr int kHeight = 120;
  const Disc kDisc{70.0, 60.0, 35.0};
  std::shared_ptr<SmartCore::SmartLabel> disc =
      std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
  std::shared_ptr<SmartCore::SmartLabel> background =
      std::make_shared<SmartCore::SmartLabel>(kToken, "background");
  std::shared_ptr<Image8Grey> image = TexturedScene(kWidth, kHeight, kDisc, 5);
  std::shared_ptr<SmartCore::SmartTrainDataDatabase> database =
      std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  std::shared_ptr<ISmartSegmenterAccess> access = NewAccess();
  std::shared_ptr<Segmenter> segmenter;
};

TEST_P(ContextRadius, ACropWithThatMarginSegmentsAsTheWholeImage) {
  EXPECT_EQ(segmenter->ContextRadius(), 0) << "an untrained model looks at nothing around";
  segmenter->Train(*database, GetParam());
  const int radius = segmenter->ContextRadius();
  if (GetParam() > 0.0) {
    EXPECT_GT(radius, 0);
  }
  // From sample size 4 every fourth pixel of every fourth row is classified; the margin keeps
  // crops that start on that grid on it.
  const int step = segmenter->ContextStep();
  EXPECT_EQ(step, GetParam() >= 4.0 ? 4 : 1);
  EXPECT_EQ(radius % step, 0);
  const auto whole = segmenter->Execute(*image, nullptr);
  // Inside, against each edge and corner, and a crop whose margin is clipped on one side only.
  for (const Crop crop : {Crop{40, 28, 50, 40}, Crop{0, 0, 30, 20}, Crop{120, 100, 30, 20},
                          Crop{0, 52, 25, 30}, Crop{72, 0, 40, 25}, Crop{5, 88, 60, 32}}) {
    const int x0 = std::max(0, crop.x - radius), y0 = std::max(0, crop.y - radius);
    const int x1 = std::min(kWidth, crop.x + crop.width + radius);
    const int y1 = std::min(kHeight, crop.y + crop.height + radius);
    const auto extended =
        Grey8(x1 - x0, y1 - y0, [&](int x, int y) { return image->Row(y + y0)[x + x0]; });
    const auto part = segmenter->Execute(*extended, nullptr);
    for (int y = crop.y; y < crop.y + crop.height; ++y) {
      for (int x = crop.x; x < crop.x + crop.width; ++x) {
        const std::size_t inWhole = static_cast<std::size_t>(y) * kWidth + x;
        const std::size_t inPart = static_cast<std::size_t>(y - y0) * (x1 - x0) + (x - x0);
        ASSERT_EQ(part->Probabilities()[inPart], whole->Probabilities()[inWhole])
            << "pixel " << x << ", " << y << " of crop at " << crop.x << ", " << crop.y;
      }
    }
  }
}

// Only sample sizes above 0 look at the pixels around.
class NarrowMargin : public ContextRadius {};

TEST_P(NarrowMargin, ChangesTheResult) {
  segmenter->Train(*database, GetParam());
  const auto whole = segmenter->Execute(*image, nullptr);
  // The crop of the first test, with a margin of 1 pixel: its features miss context.
  const Crop crop{40, 30, 50, 40};
  const auto extended = Grey8(crop.width + 2, crop.height + 2, [&](int x, int y) {
    return image->Row(y + crop.y - 1)[x + crop.x - 1];
  });
  const auto part = segmenter->Execute(*extended, nullptr);
  int differing = 0;
  for (int y = 0; y < crop.height; ++y) {
    for (int x = 0; x < crop.width; ++x) {
      differing +=
          part->Probabilities()[static_cast<std::size_t>(y + 1) * (crop.width + 2) + x + 1] !=
          whole->Probabilities()[static_cast<std::size_t>(y + crop.y) * kWidth + x + crop.x];
    }
  }
  EXPECT_GT(differing, 0);
}

TEST_P(ContextRadius, GrowsWithTheSampleSizeAndSurvivesSavingAndLoading) {
  segmenter->Train(*database, GetParam());
  auto larger = access->CreateSegmenter(disc);
  larger->Train(*database, GetParam() * 2.0 + 1.0);
  EXPECT_GT(larger->ContextRadius(), segmenter->ContextRadius());
  const auto loaded =
      std::dynamic_pointer_cast<ISegmenterModel>(LoadBytes(SaveBytes(segmenter->Model())));
  ASSERT_TRUE(loaded);
  EXPECT_EQ(loaded->ContextRadius(), segmenter->ContextRadius());
}

INSTANTIATE_TEST_SUITE_P(SampleSizes, ContextRadius, ::testing::Values(0.0, 1.5, 3.0, 5.0));
INSTANTIATE_TEST_SUITE_P(SampleSizes, NarrowMargin, ::testing::Values(1.5, 3.0, 5.0));

}  // namespace
}  // namespace HelperTests
