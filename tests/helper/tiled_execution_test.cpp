#include <gtest/gtest.h>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/Polygon.h"
#include "platform/helper/FeatureCache.h"
#include "platform/helper/Segmentation.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

using namespace Tamrix::Vision::SmartSegmenterHelper::detail;

// A forest trained on the left (stripes) against the right (noise) half of a textured scene.
struct Trained {
  std::shared_ptr<Image8Grey> image = TexturedScene(90, 70, Disc{45, 35, 20}, 3);
  FeatureLayout layout{3.0, 1};
  RandomForest forest;
  Trained() {
    LabelMasks masks{Disc{45, 35, 10}.Truth(90, 70), PixelMask(90, 70)};
    for (int y = 0; y < 70; ++y) {
      for (int x = 0; x < 12; ++x) masks.negative.Set(x, y);
    }
    forest = RandomForest::Fit(SampleItem(*image, masks, layout, 1, 2, nullptr), {}, 9);
  }
};

TEST(TiledExecution, EqualsUntiledExecution) {
  Trained trained;
  const auto whole =
      ClassifyImage(trained.forest, *trained.image, nullptr, trained.layout, 1000, nullptr);
  ASSERT_EQ(whole.size(), 90u * 70u);
  // Not trivial: some pixels are confidently in, some confidently out.
  EXPECT_GT(*std::max_element(whole.begin(), whole.end()), 0.9f);
  EXPECT_LT(*std::min_element(whole.begin(), whole.end()), 0.1f);
  for (int tile : {17, 32, 64}) {
    EXPECT_EQ(ClassifyImage(trained.forest, *trained.image, nullptr, trained.layout, tile, nullptr),
              whole)
        << "tiles of " << tile;
  }
  FeatureCache cache(std::size_t{64} << 20);
  EXPECT_EQ(
      ClassifyImage(trained.forest, *trained.image, nullptr, trained.layout, kTileSize, &cache),
      whole);
}

TEST(TiledExecution, ARegionLimitsTheClassifiedPixels) {
  Trained trained;
  const auto whole =
      ClassifyImage(trained.forest, *trained.image, nullptr, trained.layout, 1000, nullptr);
  PixelMask inside(90, 70);
  for (int y = 30; y < 40; ++y) {
    for (int x = 20; x < 70; ++x) inside.Set(x, y);
  }
  const auto limited =
      ClassifyImage(trained.forest, *trained.image, &inside, trained.layout, 16, nullptr);
  for (int y = 0; y < 70; ++y) {
    for (int x = 0; x < 90; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * 90 + x;
      ASSERT_EQ(limited[i], inside.At(x, y) ? whole[i] : 0.0f) << x << ", " << y;
    }
  }
}

TEST(TiledExecution, TilesWithoutRegionPixelsAreNotComputed) {
  Trained trained;
  FeatureCache cache(std::size_t{64} << 20);
  auto big = TexturedScene(kTileSize + 40, 60, Disc{30, 30, 20}, 4);
  PixelMask inside(kTileSize + 40, 60);
  inside.Set(3, 3);
  ClassifyImage(trained.forest, *big, &inside, trained.layout, kTileSize, &cache);
  EXPECT_EQ(cache.ComputedTiles(), 1u);
}

TEST(TiledExecution, AnEmptyForestGivesZeros) {
  Trained trained;
  const auto none =
      ClassifyImage(RandomForest(), *trained.image, nullptr, trained.layout, 64, nullptr);
  EXPECT_EQ(none, std::vector<float>(90u * 70u, 0.0f));
}

TEST(ProbabilitySmoothing, SpreadsAnImpulseAsTheSampledGaussian) {
  // sigma 1: w0 = 0.399050, w1 = 0.242036 (the normalised exp(-k^2 / 2)); the kernel is w_i w_j.
  std::vector<float> p(21 * 21, 0.0f);
  p[10 * 21 + 10] = 1.0f;
  SmoothProbabilities(p, 21, 21, nullptr, 1.0);
  EXPECT_NEAR(p[10 * 21 + 10], 0.399050 * 0.399050, 1e-5);
  EXPECT_NEAR(p[10 * 21 + 11], 0.399050 * 0.242036, 1e-5);
  EXPECT_NEAR(p[11 * 21 + 11], 0.242036 * 0.242036, 1e-5);
  EXPECT_EQ(p[10 * 21 + 14], 0.0f);  // beyond the radius of 3
}

TEST(ProbabilitySmoothing, AveragesOnlyOverTheRegion) {
  // 0.7 inside a band, 0 outside: inside stays 0.7 right up to the band's edge.
  std::vector<float> p(30 * 20, 0.0f);
  PixelMask inside(30, 20);
  for (int y = 5; y < 12; ++y) {
    for (int x = 0; x < 30; ++x) {
      inside.Set(x, y);
      p[static_cast<std::size_t>(y) * 30 + x] = 0.7f;
    }
  }
  p[0] = 1.0f;  // outside: must neither leak in nor survive
  SmoothProbabilities(p, 30, 20, &inside, 2.0);
  for (int y = 0; y < 20; ++y) {
    for (int x = 0; x < 30; ++x) {
      ASSERT_NEAR(p[static_cast<std::size_t>(y) * 30 + x], inside.At(x, y) ? 0.7f : 0.0f, 1e-5)
          << x << ", " << y;
    }
  }
}

TEST(ProbabilitySmoothing, NoRegionEqualsARegionCoveringEveryPixelExactly) {
  std::vector<float> free(37 * 23);
  std::uint32_t state = 3;
  for (float& value : free) {
    state = state * 1664525u + 1013904223u;
    value = static_cast<float>(state >> 8) / 16777216.0f;
  }
  std::vector<float> masked = free;
  PixelMask everything(37, 23);
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 37; ++x) everything.Set(x, y);
  }
  SmoothProbabilities(free, 37, 23, nullptr, 2.5);
  SmoothProbabilities(masked, 37, 23, &everything, 2.5);
  EXPECT_NE(free[0], 0.0f);
  for (std::size_t i = 0; i < free.size(); ++i) ASSERT_EQ(free[i], masked[i]) << "pixel " << i;
}

TEST(ProbabilitySmoothing, ScaleZeroLeavesTheMapAsItIs) {
  std::vector<float> p{0.1f, 0.9f, 0.3f, 0.4f};
  SmoothProbabilities(p, 2, 2, nullptr, 0.0);
  EXPECT_EQ(p, (std::vector<float>{0.1f, 0.9f, 0.3f, 0.4f}));
}

}  // namespace
}  // namespace HelperTests
