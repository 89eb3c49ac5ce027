#include <gtest/gtest.h>

#include <cmath>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "platform/helper/FeatureBank.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

using namespace Tamrix::Vision::SmartSegmenterHelper::detail;

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

TEST(FeatureLayout, ScalesCountAndHaloFollowTheSampleSize) {
  // Halo: ceil(3 s) + 1 + ceil(6 s) for the largest scale s.
  const struct {
    double sampleSize;
    int channels;
    std::vector<double> scales;
    int count, halo;
  } cases[] = {{5.0, 1, {1.25, 2.5, 5.0}, 28, 15 + 1 + 30},
               {5.0, 3, {1.25, 2.5, 5.0}, 84, 46},
               {0.0, 1, {}, 1, 0},
               {0.5, 1, {0.5}, 10, 2 + 1 + 3},
               {100.0, 1, {1, 2, 4, 8, 16, 32}, 55, 96 + 1 + 192}};
  for (const auto& c : cases) {
    const FeatureLayout layout(c.sampleSize, c.channels);
    EXPECT_EQ(layout.Scales(), c.scales) << c.sampleSize;
    EXPECT_EQ(layout.Count(), c.count) << c.sampleSize;
    EXPECT_EQ(layout.Halo(), c.halo) << c.sampleSize;
  }
}

TEST(FeatureLayout, RefusesBadSampleSizesChannelCountsAndImages) {
  EXPECT_THROW(FeatureLayout(-1.0, 1), ArgumentException);
  EXPECT_THROW(FeatureLayout(std::nan(""), 1), ArgumentException);
  EXPECT_THROW(FeatureLayout(5.0, 0), ArgumentException);
  EXPECT_THROW(FeatureLayout(5.0, 4), ArgumentException);
  EXPECT_THROW(
      ComputeTileFeatures(*NoiseImage(8, 8, 1), TileRect{0, 0, 8, 8}, FeatureLayout(1.0, 3)),
      VisionException);
}

TEST(FeatureBank, ARampHasConstantGradientAndNoCurvatureOrTexture) {
  // I(x, y) = 3 x + 20: the smoothed ramp is the ramp, its gradient 3, its structure tensor
  // [[9, 0], [0, 0]]; curvature, difference of Gaussians and local energy vanish.
  const auto image = Grey8(64, 48, [](int x, int) { return 3 * x + 20; });
  const TileFeatures tile =
      ComputeTileFeatures(*image, TileRect{0, 0, 64, 48}, FeatureLayout(2.0, 1));  // halo 19
  for (int x : {31, 32}) {
    const float* f = tile.Pixel(x, 24);
    EXPECT_EQ(f[0], 3 * x + 20);
    const double expected[9] = {3.0 * x + 20, 3, 0, 0, 0, 0, 9, 0, 0};
    const double tolerance[9] = {1e-3, 1e-4, 1e-4, 1e-4, 1e-4, 1e-3, 1e-3, 1e-3, 1e-3};
    for (int s = 0; s < 2; ++s) {
      for (int which = 0; which < 9; ++which) {
        EXPECT_NEAR(f[At(s, which)], expected[which], tolerance[which])
            << x << " " << s << " " << which;
      }
    }
  }
}

TEST(FeatureBank, AParabolaHasTheCurvatureAndEnergyOfItsKernel) {
  // I(x, y) = (x - 40)^2 on a 16-bit image. Smoothing adds the kernel's variance v_s, the second
  // difference is 2, the structure tensor at the vertex is 4 v_2s (the gradient 2 (x - 40)
  // squared and smoothed at 2 s), the difference of Gaussians v_s/2 - v_s, and I - G_s I = -v_s
  // everywhere, so the local energy is v_s^2.
  auto image = std::make_shared<Image16Grey>(kToken, 81, 6);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 81; ++x)
      image->MutableRow(y)[x] = static_cast<std::uint16_t>((x - 40) * (x - 40));
  }
  const TileFeatures tile =
      ComputeTileFeatures(*image, TileRect{0, 0, 81, 6}, FeatureLayout(2.0, 1));
  for (int s = 0; s < 2; ++s) {
    const double scale = s + 1.0, v = KernelVariance(scale);
    const double expected[9] = {
        v, 0, 2, 2, 0, KernelVariance(0.5 * scale) - v, 4 * KernelVariance(2 * scale), 0, v * v};
    const double tolerance[9] = {1e-3, 1e-3, 1e-3, 1e-3, 1e-3, 2e-3, 1e-2, 1e-3, 1e-2};
    for (int which = 0; which < 9; ++which) {
      EXPECT_NEAR(tile.Pixel(40, 3)[At(s, which)], expected[which], tolerance[which])
          << "scale " << scale << " feature " << which;
    }
    // Two pixels right of the vertex the gradient is 2 * 2.
    EXPECT_NEAR(tile.Pixel(42, 3)[At(s, 1)], 4.0, 1e-3);
  }
}

TEST(FeatureBank, SampleSizeZeroGivesThePixelValueOnly) {
  const auto image = Grey8(5, 4, [](int x, int y) { return 10 * y + x; });
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
  // One scale, 10 features per channel.
  const TileFeatures tile =
      ComputeTileFeatures(*image, TileRect{0, 0, 40, 30}, FeatureLayout(1.0, 3));
  const float* f = tile.Pixel(20, 15);
  EXPECT_EQ(f[0], 10.0f);
  EXPECT_EQ(f[10], 40.0f);
  EXPECT_EQ(f[20], 200.0f);
  EXPECT_NEAR(f[0 + 2], 0.0, 1e-5);   // red gradient
  EXPECT_NEAR(f[10 + 2], 2.0, 1e-4);  // green gradient
  EXPECT_NEAR(f[20 + 1], 200.0, 1e-3);
}

TEST(FeatureBank, TilesCoverTheImageRowByRowAndGiveExactlyTheFeaturesOfTheWhole) {
  const auto grid = TileGrid(70, 53, 32);
  ASSERT_EQ(grid.size(), 6u);
  EXPECT_EQ(grid[0], (TileRect{0, 0, 32, 32}));
  EXPECT_EQ(grid[2], (TileRect{64, 0, 6, 32}));
  EXPECT_EQ(grid[5], (TileRect{64, 32, 6, 21}));

  const auto image = NoiseImage(70, 53, 7);
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
              << x << ", " << y << " feature " << f;
        }
      }
    }
  }
}

TEST(FeatureBank, OnePixelImagesAreMirroredOntoThemselves) {
  const TileFeatures tile = ComputeTileFeatures(*Grey8(1, 1, [](int, int) { return 77; }),
                                                TileRect{0, 0, 1, 1}, FeatureLayout(2.0, 1));
  EXPECT_EQ(tile.values[0], 77.0f);
  EXPECT_NEAR(tile.values[At(1, 0)], 77.0, 1e-3);
  EXPECT_NEAR(tile.values[At(1, 1)], 0.0, 1e-4);
}

TEST(LargeBuffers, FreedBlocksAreReusedWithinABudgetAndSmallOnesAreNotPooled) {
  std::size_t pooled = PooledLargeBytes();
  void* small = AllocateLarge(100);
  ASSERT_NE(small, nullptr);
  static_cast<unsigned char*>(small)[99] = 1;
  FreeLarge(small, 100);
  EXPECT_EQ(PooledLargeBytes(), pooled);

  constexpr std::size_t kBytes = std::size_t{5} << 20;
  void* first = AllocateLarge(kBytes);
  static_cast<unsigned char*>(first)[kBytes - 1] = 7;
  FreeLarge(first, kBytes);
  EXPECT_GE(PooledLargeBytes(), pooled + kBytes);
  // A little smaller still rounds to the same whole huge pages.
  void* again = AllocateLarge(kBytes - 1000);
  EXPECT_EQ(again, first);
  FreeLarge(again, kBytes - 1000);

  // Forty blocks of 8 MiB freed together are more than the pool keeps.
  std::vector<void*> blocks;
  for (int i = 0; i < 40; ++i) blocks.push_back(AllocateLarge(std::size_t{8} << 20));
  for (void* block : blocks) FreeLarge(block, std::size_t{8} << 20);
  EXPECT_GT(PooledLargeBytes(), 0u);
  EXPECT_LE(PooledLargeBytes(), std::size_t{160} << 20);
}

}  // namespace
}  // namespace HelperTests
