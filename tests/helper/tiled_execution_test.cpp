#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "platform/helper/FeatureCache.h"
#include "platform/helper/Segmentation.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

using namespace Tamrix::Vision::SmartSegmenterHelper::detail;

// A forest trained on the middle of the disc (stripes) against the left edge (noise) of a
// textured scene.
class TiledExecution : public ::testing::Test {
 protected:
  void SetUp() override {
    LabelMasks masks{Disc{45, 35, 10}.Truth(90, 70), PixelMask(90, 70)};
    for (int y = 0; y < 70; ++y) {
      for (int x = 0; x < 12; ++x) masks.negative.Set(x, y);
    }
    forest = RandomForest::Fit(SampleItem(*image, masks, layout, 1, 2, nullptr), {}, 9);
  }
  std::vector<float> Classify(const PixelMask* region, int tile, FeatureCache* cache = nullptr) {
    return ClassifyImage(forest, *image, region, layout, tile, cache);
  }
  std::shared_ptr<Image8Grey> image = TexturedScene(90, 70, Disc{45, 35, 20}, 3);
  FeatureLayout layout{3.0, 1};
  RandomForest forest;
};

TEST_F(TiledExecution, EqualsUntiledExecutionWithOrWithoutACache) {
  const auto whole = Classify(nullptr, 1000);
  ASSERT_EQ(whole.size(), 90u * 70u);
  // Not trivial: some pixels are confidently in, some confidently out.
  EXPECT_GT(*std::max_element(whole.begin(), whole.end()), 0.9f);
  EXPECT_LT(*std::min_element(whole.begin(), whole.end()), 0.1f);
  for (int tile : {17, 32, 64}) EXPECT_EQ(Classify(nullptr, tile), whole) << "tiles of " << tile;
  FeatureCache cache(std::size_t{64} << 20);
  EXPECT_EQ(Classify(nullptr, kTileSize, &cache), whole);
}

TEST_F(TiledExecution, ARegionLimitsTheClassifiedPixels) {
  const auto whole = Classify(nullptr, 1000);
  PixelMask inside(90, 70);
  for (int y = 30; y < 40; ++y) {
    for (int x = 20; x < 70; ++x) inside.Set(x, y);
  }
  const auto limited = Classify(&inside, 16);
  for (int y = 0; y < 70; ++y) {
    for (int x = 0; x < 90; ++x) {
      const std::size_t i = static_cast<std::size_t>(y) * 90 + x;
      ASSERT_EQ(limited[i], inside.At(x, y) ? whole[i] : 0.0f) << x << ", " << y;
    }
  }
}

TEST_F(TiledExecution, TilesWithoutRegionPixelsAreNotComputedAndAnEmptyForestGivesZeros) {
  FeatureCache cache(std::size_t{64} << 20);
  auto big = TexturedScene(kTileSize + 40, 60, Disc{30, 30, 20}, 4);
  PixelMask inside(kTileSize + 40, 60);
  inside.Set(3, 3);
  ClassifyImage(forest, *big, &inside, layout, kTileSize, &cache);
  EXPECT_EQ(cache.ComputedTiles(), 1u);
  EXPECT_EQ(ClassifyImage(RandomForest(), *image, nullptr, layout, 64, nullptr),
            std::vector<float>(90u * 70u, 0.0f));
}

// Banded segmentation holds three bands of probabilities, not the image's plane; it must give
// exactly the levels of classifying the whole image and smoothing the whole plane, at
// band seams, image edges and region edges alike.
TEST_F(TiledExecution, BandedSegmentationEqualsSmoothingTheWholePlane) {
  // Three bands of tile rows (512, 512, 150 rows) with a partial tile column.
  const int width = 70, height = 2 * kTileSize + 150;
  const auto tall = TexturedScene(width, height, Disc{35, kTileSize, 30}, 5);
  PixelMask region(width, height);
  for (int y = kTileSize - 40; y < 2 * kTileSize + 20; ++y) {
    for (int x = 5; x < 60; ++x) region.Set(x, y);
  }
  for (const PixelMask* inside : std::vector<const PixelMask*>{nullptr, &region}) {
    for (const double sigma : {0.0, 3.0, 12.0, 32.0}) {
      std::vector<float> expected =
          ClassifyImage(forest, *tall, inside, layout, kTileSize, nullptr);
      SmoothProbabilities(expected, width, height, inside, sigma);
      const std::vector<std::uint8_t> levels =
          SegmentImage(forest, *tall, inside, layout, sigma, 1, nullptr);
      ASSERT_EQ(levels.size(), expected.size());
      std::size_t set = 0;
      for (std::size_t i = 0; i < expected.size(); ++i) {
        ASSERT_EQ(levels[i], std::lround(expected[i] * 255.0f))
            << "pixel " << i << ", sigma " << sigma << (inside ? ", region" : "");
        // The mask's threshold falls between the same pixels on levels as on probabilities.
        ASSERT_EQ(levels[i] >= 128, expected[i] >= 0.5f) << "pixel " << i;
        set += levels[i] >= 128 ? 1 : 0;
      }
      // Not trivial: the disc is found (the widest smoothing blurs it away), and not everywhere.
      if (sigma < 20.0) {
        EXPECT_GT(set, 500u) << "sigma " << sigma << (inside ? ", region" : "");
      }
      EXPECT_LT(set, expected.size() / 2);
    }
  }
}

// Stride n classifies every n-th pixel of every n-th row, smooths that grid at 1 / n of the scale
// and interpolates the pixels between: checked for strides 2 and 4 (the default's) against doing
// each step on whole planes, across band seams, at odd right and bottom edges (pixels beyond the
// last grid column and row) and with a cache shared between calls.
TEST_F(TiledExecution, AStrideInterpolatesTheSmoothedGrid) {
  FeatureCache cache(std::size_t{64} << 20);
  // Two bands of grid tiles with odd sides, and images of one or a few grid pixels a side.
  for (const auto& [width, height] : std::vector<std::pair<int, int>>{
           {71, kGridTileSize + 151}, {1, 1}, {2, 1}, {1, 4}, {3, 3}, {6, 2}, {9, 5}}) {
    const auto tall = TexturedScene(width, height, Disc{35, kGridTileSize, 30}, 6);
    const std::vector<float> every =
        ClassifyImage(forest, *tall, nullptr, layout, kTileSize, nullptr);
    for (const int step : {2, 4}) {
      const int columns = (width + step - 1) / step, rows = (height + step - 1) / step;
      const std::uint64_t computed = cache.ComputedTiles();
      for (const double sigma : {0.0, 5.0, 12.0}) {
        std::vector<float> grid(static_cast<std::size_t>(columns) * rows);
        for (int j = 0; j < rows; ++j) {
          for (int i = 0; i < columns; ++i) {
            grid[static_cast<std::size_t>(j) * columns + i] =
                every[static_cast<std::size_t>(step * j) * width + step * i];
          }
        }
        SmoothProbabilities(grid, columns, rows, nullptr, sigma / step);
        const auto at = [&](int i, int j) {
          return grid[static_cast<std::size_t>(j) * columns + i];
        };
        const std::vector<std::uint8_t> levels =
            SegmentImage(forest, *tall, nullptr, layout, sigma, step, &cache);
        ASSERT_EQ(levels.size(), every.size());
        std::size_t set = 0;
        for (int y = 0; y < height; ++y) {
          for (int x = 0; x < width; ++x) {
            const int i = x / step, j = y / step;
            // Pixels past the last grid column or row take its values.
            const float tx =
                i + 1 < columns ? static_cast<float>(x % step) / static_cast<float>(step) : 0.0f;
            const float ty =
                j + 1 < rows ? static_cast<float>(y % step) / static_cast<float>(step) : 0.0f;
            const auto across = [&](int row) {
              const float a = at(i, row);
              return tx == 0.0f ? a : a + (at(i + 1, row) - a) * tx;
            };
            float value = across(j);
            if (ty != 0.0f) value += (across(j + 1) - value) * ty;
            const std::size_t index = static_cast<std::size_t>(y) * width + x;
            ASSERT_EQ(levels[index], std::lround(value * 255.0f))
                << width << " x " << height << ": pixel " << x << ", " << y << ", sigma " << sigma
                << ", step " << step;
            set += levels[index] >= 128 ? 1 : 0;
          }
        }
        if (width > 64) {
          EXPECT_GT(set, 500u) << "sigma " << sigma << ", step " << step;
          EXPECT_LT(set, levels.size() / 2) << "sigma " << sigma << ", step " << step;
        }
      }
      EXPECT_EQ(cache.ComputedTiles() - computed, height > kGridTileSize ? 2u : 1u)
          << "each tile's grid features once for all three calls";
    }
  }
}

TEST_F(TiledExecution, ARegionIsClassifiedAtEveryPixelWhateverTheStride) {
  PixelMask inside(90, 70);
  for (int y = 21; y < 50; ++y) {
    for (int x = 11; x < 80; ++x) inside.Set(x, y);
  }
  EXPECT_EQ(SegmentImage(forest, *image, &inside, layout, 5.0, 2, nullptr),
            SegmentImage(forest, *image, &inside, layout, 5.0, 1, nullptr));
  EXPECT_NE(SegmentImage(forest, *image, nullptr, layout, 5.0, 2, nullptr),
            SegmentImage(forest, *image, nullptr, layout, 5.0, 1, nullptr));
  for (const int stride : {0, 3, -2}) {
    EXPECT_EQ(MessageOf<ArgumentException>(
                  [&] { SegmentImage(forest, *image, nullptr, layout, 5.0, stride, nullptr); }),
              "Segmentation: expected a stride that divides the tile size 512, found " +
                  std::to_string(stride));
  }
}

TEST(ProbabilitySmoothing, SpreadsAnImpulseAsTheSampledGaussian) {
  // sigma 1: the normalised exp(-k^2 / 2) has w0 = 0.399050, w1 = 0.242036, w3 = 0.004433 and
  // radius 3; the kernel is w_i w_j.
  std::vector<float> p(21 * 21, 0.0f);
  p[10 * 21 + 10] = 1.0f;
  SmoothProbabilities(p, 21, 21, nullptr, 1.0);
  EXPECT_NEAR(p[10 * 21 + 10], 0.399050 * 0.399050, 1e-5);
  EXPECT_NEAR(p[10 * 21 + 11], 0.399050 * 0.242036, 1e-5);
  EXPECT_NEAR(p[11 * 21 + 11], 0.242036 * 0.242036, 1e-5);
  EXPECT_NEAR(p[10 * 21 + 13], 0.399050 * 0.004433, 1e-6);
  EXPECT_EQ(p[10 * 21 + 14], 0.0f);  // beyond the radius
}

TEST(ProbabilitySmoothing, InPlaceBandsGiveExactlyTheWholePlaneBlur) {
  // Taller than several bands, at a scale whose kernel is shorter and one longer than a band.
  for (double sigma : {2.0, 30.0}) {
    const int width = 45, height = 301;
    std::vector<float> p(static_cast<std::size_t>(width) * height);
    Noise noise(9);
    for (float& value : p) value = noise.Uniform();
    std::vector<float> blurred(p.size());
    GaussianBlur(p.data(), blurred.data(), width, height, sigma);
    const int side = 2 * GaussianRadius(sigma) + 1;
    const std::vector<float> ones(static_cast<std::size_t>(side) * side, 1.0f);
    std::vector<float> weights(ones.size());
    GaussianBlur(ones.data(), weights.data(), side, side, sigma);
    SmoothProbabilities(p, width, height, nullptr, sigma);
    for (std::size_t i = 0; i < p.size(); ++i) {
      ASSERT_EQ(p[i], std::clamp(blurred[i] / weights[weights.size() / 2], 0.0f, 1.0f))
          << "sigma " << sigma << ", pixel " << i;
    }
  }
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
  Noise noise(3);
  for (float& value : free) value = noise.Uniform();
  std::vector<float> masked = free;
  PixelMask everything(37, 23);
  for (int y = 0; y < 23; ++y) {
    for (int x = 0; x < 37; ++x) everything.Set(x, y);
  }
  SmoothProbabilities(free, 37, 23, nullptr, 2.5);
  SmoothProbabilities(masked, 37, 23, &everything, 2.5);
  EXPECT_NE(free[0], 0.0f);
  for (std::size_t i = 0; i < free.size(); ++i) ASSERT_EQ(free[i], masked[i]) << "pixel " << i;
  // Scale zero leaves the map as it is.
  masked = free;
  SmoothProbabilities(masked, 37, 23, nullptr, 0.0);
  EXPECT_EQ(masked, free);
}

}  // namespace
}  // namespace HelperTests
