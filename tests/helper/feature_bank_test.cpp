#include <gtest/gtest.h>

#include <cmath>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "platform/helper/FeatureBank.h"

namespace {

using namespace Tamrix::Vision;
using namespace Tamrix::Vision::SmartSegmenterHelper::detail;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

// Index of feature `which` (0..8, see FeatureBank.h) at scale number `scale` of channel 0.
int At(int scale, int which) { return 1 + FeatureLayout::kPerScale * scale + which; }

// The discrete second moment sum_k w_k k^2 of the sampled Gaussian of scale `sigma`, computed
// here from the definition rather than from the code under test.
double KernelVariance(double sigma) {
  const int radius = static_cast<int>(std::ceil(3.0 * sigma));
  double total = 0.0, moment = 0.0;
  for (int k = -radius; k <= radius; ++k) {
    const double w = std::exp(-0.5 * k * k / (sigma * sigma));
    total += w;
    moment += w * k * k;
  }
  return moment / total;
}

struct LayoutCase {
  const char* name;
  double sampleSize;
  int channels;
  std::vector<double> scales;
  int count;
  int halo;
};

class FeatureLayoutScales : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(FeatureLayoutScales, FollowTheSampleSize) {
  const FeatureLayout layout(GetParam().sampleSize, GetParam().channels);
  EXPECT_EQ(layout.Scales(), GetParam().scales);
  EXPECT_EQ(layout.Count(), GetParam().count);
  EXPECT_EQ(layout.Halo(), GetParam().halo);
}

// Halo: ceil(3 s) + 1 + ceil(6 s) for the largest scale s.
INSTANTIATE_TEST_SUITE_P(
    Cases, FeatureLayoutScales,
    ::testing::Values(LayoutCase{"Default", 5.0, 1, {1.25, 2.5, 5.0}, 28, 15 + 1 + 30},
                      LayoutCase{"DefaultColour", 5.0, 3, {1.25, 2.5, 5.0}, 84, 46},
                      LayoutCase{"PixelValueOnly", 0.0, 1, {}, 1, 0},
                      LayoutCase{"BelowOnePixel", 0.5, 1, {0.5}, 10, 2 + 1 + 3},
                      LayoutCase{"PowerOfTwo", 4.0, 1, {1.0, 2.0, 4.0}, 28, 12 + 1 + 24},
                      LayoutCase{
                          "ClampedToLargest", 100.0, 1, {1, 2, 4, 8, 16, 32}, 55, 96 + 1 + 192}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(FeatureLayout, RefusesANegativeSampleSizeAndBadChannelCounts) {
  EXPECT_THROW(FeatureLayout(-1.0, 1), ArgumentException);
  EXPECT_THROW(FeatureLayout(std::nan(""), 1), ArgumentException);
  EXPECT_THROW(FeatureLayout(5.0, 0), ArgumentException);
  EXPECT_THROW(FeatureLayout(5.0, 4), ArgumentException);
}

TEST(FeatureBank, GaussianWeightsAreTheNormalisedSampledGaussian) {
  // sigma 1: radius 3, weights exp(-k^2 / 2) / (1 + 2 (e^-0.5 + e^-2 + e^-4.5)).
  const std::vector<float> w = GaussianWeights(1.0);
  ASSERT_EQ(w.size(), 4u);
  const double total = 1.0 + 2.0 * (0.60653066 + 0.13533528 + 0.01110900);
  EXPECT_NEAR(w[0], 1.0 / total, 1e-6);
  EXPECT_NEAR(w[1], 0.60653066 / total, 1e-6);
  EXPECT_NEAR(w[3], 0.01110900 / total, 1e-6);
}

TEST(FeatureBank, ARampHasConstantGradientAndNoCurvatureOrTexture) {
  // I(x, y) = 3 x + 20: the smoothed ramp is the ramp, its gradient 3, its structure tensor
  // [[9, 0], [0, 0]]; curvature, difference of Gaussians and local energy vanish.
  auto image = std::make_shared<Image8Grey>(kToken, 64, 48);
  for (int y = 0; y < 48; ++y) {
    for (int x = 0; x < 64; ++x) image->MutableRow(y)[x] = static_cast<std::uint8_t>(3 * x + 20);
  }
  const FeatureLayout layout(2.0, 1);  // scales 1 and 2, halo 19
  const TileFeatures tile = ComputeTileFeatures(*image, TileRect{0, 0, 64, 48}, layout);
  for (int x : {31, 32}) {
    const float* f = tile.Pixel(x, 24);
    EXPECT_EQ(f[0], 3 * x + 20);
    for (int s = 0; s < 2; ++s) {
      SCOPED_TRACE("x " + std::to_string(x) + " scale " + std::to_string(s));
      EXPECT_NEAR(f[At(s, 0)], 3 * x + 20, 1e-3);
      EXPECT_NEAR(f[At(s, 1)], 3.0, 1e-4);
      EXPECT_NEAR(f[At(s, 2)], 0.0, 1e-4);
      EXPECT_NEAR(f[At(s, 3)], 0.0, 1e-4);
      EXPECT_NEAR(f[At(s, 4)], 0.0, 1e-4);
      EXPECT_NEAR(f[At(s, 5)], 0.0, 1e-3);
      EXPECT_NEAR(f[At(s, 6)], 9.0, 1e-3);
      EXPECT_NEAR(f[At(s, 7)], 0.0, 1e-3);
      EXPECT_NEAR(f[At(s, 8)], 0.0, 1e-3);
    }
  }
}

TEST(FeatureBank, AParabolaHasTheCurvatureAndEnergyOfItsKernel) {
  // I(x, y) = (x - 40)^2 on a 16-bit image. Smoothing adds the kernel's variance v_s, the second
  // difference is 2, the structure tensor at the vertex is 4 v_2s, the difference of Gaussians
  // v_s/2 - v_s, and I - G_s I = -v_s everywhere.
  auto image = std::make_shared<Image16Grey>(kToken, 81, 6);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 81; ++x)
      image->MutableRow(y)[x] = static_cast<std::uint16_t>((x - 40) * (x - 40));
  }
  const FeatureLayout layout(2.0, 1);
  const TileFeatures tile = ComputeTileFeatures(*image, TileRect{0, 0, 81, 6}, layout);
  const double scales[] = {1.0, 2.0};
  for (int s = 0; s < 2; ++s) {
    SCOPED_TRACE("scale " + std::to_string(scales[s]));
    const double v = KernelVariance(scales[s]);
    const double wide = KernelVariance(2.0 * scales[s]);
    const float* vertex = tile.Pixel(40, 3);
    EXPECT_NEAR(vertex[At(s, 0)], v, 1e-3);
    EXPECT_NEAR(vertex[At(s, 1)], 0.0, 1e-3);
    EXPECT_NEAR(vertex[At(s, 2)], 2.0, 1e-3);
    EXPECT_NEAR(vertex[At(s, 3)], 2.0, 1e-3);
    EXPECT_NEAR(vertex[At(s, 4)], 0.0, 1e-3);
    EXPECT_NEAR(vertex[At(s, 5)], KernelVariance(0.5 * scales[s]) - v, 2e-3);
    // Gradient 2 (x - 40) squared and smoothed at 2 s: 4 (x - 40)^2 -> 4 v_2s at the vertex.
    EXPECT_NEAR(vertex[At(s, 6)], 4.0 * wide, 1e-2);
    EXPECT_NEAR(vertex[At(s, 7)], 0.0, 1e-3);
    EXPECT_NEAR(vertex[At(s, 8)], v * v, 1e-2);
    // Two pixels right of the vertex the gradient is 2 * 2.
    EXPECT_NEAR(tile.Pixel(42, 3)[At(s, 1)], 4.0, 1e-3);
  }
}

TEST(FeatureBank, SampleSizeZeroGivesThePixelValueOnly) {
  auto image = std::make_shared<Image8Grey>(kToken, 5, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 5; ++x) image->MutableRow(y)[x] = static_cast<std::uint8_t>(10 * y + x);
  }
  const TileFeatures tile =
      ComputeTileFeatures(*image, TileRect{1, 1, 3, 2}, FeatureLayout(0.0, 1));
  ASSERT_EQ(tile.count, 1);
  EXPECT_EQ(std::vector<float>(tile.values.begin(), tile.values.end()),
            (std::vector<float>{11, 12, 13, 21, 22, 23}));
}

TEST(FeatureBank, ColourChannelsFollowOneAnother) {
  // Red is flat, green a ramp, blue flat and bright: each channel's block describes that channel.
  auto image = std::make_shared<Image24PlanarColor>(kToken, 40, 30);
  for (int y = 0; y < 30; ++y) {
    for (int x = 0; x < 40; ++x) {
      image->MutableRow(0, y)[x] = 10;
      image->MutableRow(1, y)[x] = static_cast<std::uint8_t>(2 * x);
      image->MutableRow(2, y)[x] = 200;
    }
  }
  const FeatureLayout layout(1.0, 3);  // one scale, 10 features per channel
  const TileFeatures tile = ComputeTileFeatures(*image, TileRect{0, 0, 40, 30}, layout);
  const float* f = tile.Pixel(20, 15);
  EXPECT_EQ(f[0], 10.0f);
  EXPECT_EQ(f[10], 40.0f);
  EXPECT_EQ(f[20], 200.0f);
  EXPECT_NEAR(f[0 + 2], 0.0, 1e-5);   // red gradient
  EXPECT_NEAR(f[10 + 2], 2.0, 1e-4);  // green gradient
  EXPECT_NEAR(f[20 + 1], 200.0, 1e-3);
}

TEST(FeatureBank, TilesGiveExactlyTheFeaturesOfTheWholeImage) {
  auto image = std::make_shared<Image8Grey>(kToken, 70, 53);
  std::uint32_t state = 7;
  for (int y = 0; y < 53; ++y) {
    for (int x = 0; x < 70; ++x) {
      state = state * 1664525u + 1013904223u;
      image->MutableRow(y)[x] = static_cast<std::uint8_t>(state >> 24);
    }
  }
  const FeatureLayout layout(3.0, 1);
  const TileFeatures whole = ComputeTileFeatures(*image, TileRect{0, 0, 70, 53}, layout);
  const auto tiles = TileGrid(70, 53, 16);
  ASSERT_EQ(tiles.size(), 5u * 4u);
  for (const TileRect& rect : tiles) {
    const TileFeatures tile = ComputeTileFeatures(*image, rect, layout);
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
      for (int x = rect.x; x < rect.x + rect.width; ++x) {
        for (int f = 0; f < layout.Count(); ++f) {
          ASSERT_EQ(tile.Pixel(x, y)[f], whole.Pixel(x, y)[f])
              << "pixel (" << x << ", " << y << ") feature " << f;
        }
      }
    }
  }
}

TEST(FeatureBank, TileGridCoversTheImageRowByRow) {
  const auto tiles = TileGrid(70, 53, 32);
  ASSERT_EQ(tiles.size(), 6u);
  EXPECT_EQ(tiles[0], (TileRect{0, 0, 32, 32}));
  EXPECT_EQ(tiles[2], (TileRect{64, 0, 6, 32}));
  EXPECT_EQ(tiles[5], (TileRect{64, 32, 6, 21}));
}

TEST(FeatureBank, ImageWithAnotherChannelCountIsRefused) {
  auto image = std::make_shared<Image8Grey>(kToken, 8, 8);
  EXPECT_THROW(ComputeTileFeatures(*image, TileRect{0, 0, 8, 8}, FeatureLayout(1.0, 3)),
               VisionException);
}

TEST(FeatureBank, OnePixelImagesAreMirroredOntoThemselves) {
  auto image = std::make_shared<Image8Grey>(kToken, 1, 1);
  image->MutableRow(0)[0] = 77;
  const TileFeatures tile =
      ComputeTileFeatures(*image, TileRect{0, 0, 1, 1}, FeatureLayout(2.0, 1));
  EXPECT_EQ(tile.values[0], 77.0f);
  EXPECT_NEAR(tile.values[At(1, 0)], 77.0, 1e-3);
  EXPECT_NEAR(tile.values[At(1, 1)], 0.0, 1e-4);
}

TEST(LargeBuffers, AFreedBlockIsHandedOutAgainForTheSameRoundedSize) {
  constexpr std::size_t kBytes = std::size_t{5} << 20;
  const std::size_t pooledBefore = PooledLargeBytes();
  void* first = AllocateLarge(kBytes);
  static_cast<unsigned char*>(first)[kBytes - 1] = 7;
  FreeLarge(first, kBytes);
  EXPECT_GE(PooledLargeBytes(), pooledBefore + kBytes);
  // A little smaller still rounds to the same whole huge pages.
  void* again = AllocateLarge(kBytes - 1000);
  EXPECT_EQ(again, first);
  FreeLarge(again, kBytes - 1000);
}

TEST(LargeBuffers, ThePoolKeepsNoMoreThanItsBudget) {
  // Forty blocks of 8 MiB freed together are more than the pool keeps.
  constexpr std::size_t kBytes = std::size_t{8} << 20;
  std::vector<void*> blocks;
  for (int i = 0; i < 40; ++i) blocks.push_back(AllocateLarge(kBytes));
  for (void* block : blocks) FreeLarge(block, kBytes);
  EXPECT_GT(PooledLargeBytes(), 0u);
  EXPECT_LE(PooledLargeBytes(), std::size_t{160} << 20);
}

TEST(LargeBuffers, SmallBlocksWorkAndAreNotPooled) {
  const std::size_t pooledBefore = PooledLargeBytes();
  void* block = AllocateLarge(100);
  ASSERT_NE(block, nullptr);
  static_cast<unsigned char*>(block)[99] = 1;
  FreeLarge(block, 100);
  EXPECT_EQ(PooledLargeBytes(), pooledBefore);
}

}  // namespace
