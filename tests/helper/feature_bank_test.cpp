#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>
#include <tuple>
#include <utility>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Settings.h"
#include "platform/helper/FeatureBank.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

using namespace Tamrix::Vision::SmartSegmenterHelper::detail;

// Index of feature `which` (0..10, see FeatureBank.h) at scale number `scale` of channel 0 in the
// current bank.
int At(int scale, int which,
       int perScale = FeatureLayout::kPerScale + FeatureLayout::kOrientationFeatures) {
  return 1 + perScale * scale + which;
}

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
  // Halo: ceil(3 s) + 1 + ceil(9 s) for the largest scale s (banks 2 and 3), ceil(3 s) + 1 + ceil(6
  // s) in bank 1.
  const struct {
    double sampleSize;
    int channels;
    std::vector<double> scales;
    int count, halo, bank;
  } cases[] = {{5.0, 1, {1.25, 2.5, 5.0}, 34, 15 + 1 + 45, 3},
               {5.0, 1, {1.25, 2.5, 5.0}, 28, 15 + 1 + 45, 2},
               {5.0, 3, {1.25, 2.5, 5.0}, 102, 61, 3},
               {5.0, 1, {1.25, 2.5, 5.0}, 28, 15 + 1 + 30, 1},
               {0.0, 1, {}, 1, 0, 3},
               {0.5, 1, {0.5}, 12, 2 + 1 + 5, 3},
               {0.5, 1, {0.5}, 10, 2 + 1 + 3, 1},
               {100.0, 1, {1, 2, 4, 8, 16, 32}, 67, 96 + 1 + 288, 3}};
  for (const auto& c : cases) {
    const FeatureLayout layout(c.sampleSize, c.channels, c.bank);
    EXPECT_EQ(layout.Bank(), c.bank);
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
  EXPECT_THROW(FeatureLayout(5.0, 1, 0), ArgumentException);
  EXPECT_THROW(FeatureLayout(5.0, 1, 4), ArgumentException);
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

TEST(FeatureBank, OrientationFeaturesTellTheDirectionOfARamp) {
  // A ramp of gradient (gx, gy) has the structure tensor [[gx^2, gx gy], [gx gy, gy^2]]: the
  // orientation features are (gx^2 - gy^2) / (gx^2 + gy^2 + 1) and 2 gx gy / (gx^2 + gy^2 + 1),
  // equal at every scale; the eigenvalues cannot tell these ramps apart.
  const struct {
    int gx, gy;
    double along, diagonal;
  } cases[] = {{3, 0, 0.9, 0}, {0, 3, -0.9, 0}, {2, 2, 0, 8.0 / 9.0}, {2, -2, 0, -8.0 / 9.0}};
  for (const auto& c : cases) {
    const auto image =
        Grey8(64, 48, [&](int x, int y) { return 120 + c.gx * (x - 32) + c.gy * (y - 24); });
    const TileFeatures tile =
        ComputeTileFeatures(*image, TileRect{0, 0, 64, 48}, FeatureLayout(2.0, 1));
    for (int s = 0; s < 2; ++s) {
      const float* f = tile.Pixel(32, 24);
      EXPECT_NEAR(f[At(s, 9)], c.along, 1e-4) << c.gx << ", " << c.gy << " scale " << s;
      EXPECT_NEAR(f[At(s, 10)], c.diagonal, 1e-4) << c.gx << ", " << c.gy << " scale " << s;
      EXPECT_NEAR(f[At(s, 6)], c.gx * c.gx + c.gy * c.gy, 1e-3);
    }
  }
}

TEST(FeatureBank, AParabolaHasTheCurvatureAndEnergyOfItsKernel) {
  // I(x, y) = (x - 40)^2 on a 16-bit image. Smoothing adds the kernel's variance v_s, the second
  // difference is 2, the structure tensor at the vertex is 4 v_ks (the gradient 2 (x - 40)
  // squared and smoothed at the integration scale k s: 3 s in bank 2, 2 s in bank 1), the
  // difference of Gaussians v_s/2 - v_s, and I - G_s I = -v_s everywhere, so the local energy is
  // v_s^2.
  auto image = std::make_shared<Image16Grey>(kToken, 81, 6);
  for (int y = 0; y < 6; ++y) {
    for (int x = 0; x < 81; ++x)
      image->MutableRow(y)[x] = static_cast<std::uint16_t>((x - 40) * (x - 40));
  }
  for (const auto& [bank, k] : {std::pair{3, 3.0}, std::pair{2, 3.0}, std::pair{1, 2.0}}) {
    const FeatureLayout layout(2.0, 1, bank);
    const TileFeatures tile = ComputeTileFeatures(*image, TileRect{0, 0, 81, 6}, layout);
    for (int s = 0; s < 2; ++s) {
      const double scale = s + 1.0, v = KernelVariance(scale);
      const double expected[9] = {
          v, 0, 2, 2, 0, KernelVariance(0.5 * scale) - v, 4 * KernelVariance(k * scale), 0, v * v};
      const double tolerance[9] = {1e-3, 1e-3, 1e-3, 1e-3, 1e-3, 2e-3, 1e-2, 1e-3, 1e-2};
      for (int which = 0; which < 9; ++which) {
        EXPECT_NEAR(tile.Pixel(40, 3)[At(s, which, layout.PerScale())], expected[which],
                    tolerance[which])
            << "bank " << bank << ", scale " << scale << " feature " << which;
      }
      // Two pixels right of the vertex the gradient is 2 * 2.
      EXPECT_NEAR(tile.Pixel(42, 3)[At(s, 1, layout.PerScale())], 4.0, 1e-3);
    }
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
  // One scale, 12 features per channel.
  const TileFeatures tile =
      ComputeTileFeatures(*image, TileRect{0, 0, 40, 30}, FeatureLayout(1.0, 3));
  ASSERT_EQ(tile.count, 36);
  const float* f = tile.Pixel(20, 15);
  EXPECT_EQ(f[0], 10.0f);
  EXPECT_EQ(f[12], 40.0f);
  EXPECT_EQ(f[24], 200.0f);
  EXPECT_NEAR(f[0 + 2], 0.0, 1e-5);          // red gradient
  EXPECT_NEAR(f[12 + 2], 2.0, 1e-4);         // green gradient
  EXPECT_NEAR(f[12 + 10], 4.0 / 5.0, 1e-4);  // green orientation: along x, (4 - 0) / (4 + 1)
  EXPECT_NEAR(f[24 + 1], 200.0, 1e-3);
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

TEST(FeatureBank, AGridTileHoldsExactlyTheFeaturesOfItsGridPixels) {
  const auto image = NoiseImage(70, 53, 9);
  const FeatureLayout layout(5.0, 1);  // the orientation features too
  const TileRect rect{4, 6, 61, 47};   // odd sides: a last grid column and row of their own
  const TileFeatures every = ComputeTileFeatures(*image, rect, layout);
  for (const int step : {2, 3, 4}) {
    const TileFeatures grid = ComputeTileFeatures(*image, rect, layout, step);
    EXPECT_EQ(grid.Columns(), (61 + step - 1) / step);
    EXPECT_EQ(grid.Rows(), (47 + step - 1) / step);
    ASSERT_EQ(grid.values.size(),
              static_cast<std::size_t>(grid.Columns()) * grid.Rows() * layout.Count());
    for (int y = rect.y; y < rect.y + rect.height; y += step) {
      for (int x = rect.x; x < rect.x + rect.width; x += step) {
        for (int f = 0; f < layout.Count(); ++f) {
          ASSERT_EQ(grid.Pixel(x, y)[f], every.Pixel(x, y)[f])
              << "step " << step << ", " << x << ", " << y << " feature " << f;
        }
      }
    }
  }
}

TEST(FeatureBank, ASparseTileHoldsExactlyTheFeaturesOfTheListedPixels) {
  const auto image = NoiseImage(70, 53, 10);
  const FeatureLayout layout(5.0, 1);
  const TileRect rect{4, 6, 61, 47};
  const TileFeatures every = ComputeTileFeatures(*image, rect, layout);
  // Unsorted, repeated, two on one row, and one past the rectangle's end (dropped).
  const TileFeatures some = ComputePixelFeatures(
      *image, rect, layout, {61u * 46 + 60, 5u, 0u, 61u * 20 + 7, 5u, 61u * 47});
  EXPECT_TRUE(some.sparse);
  EXPECT_EQ(some.pixels, (std::vector<std::uint32_t>{0u, 5u, 61u * 20 + 7, 61u * 46 + 60}));
  ASSERT_EQ(some.values.size(), 4u * layout.Count());
  for (const std::uint32_t index : some.pixels) {
    const int x = rect.x + static_cast<int>(index % 61), y = rect.y + static_cast<int>(index / 61);
    for (int f = 0; f < layout.Count(); ++f) {
      ASSERT_EQ(some.Pixel(x, y)[f], every.Pixel(x, y)[f]) << x << ", " << y << " feature " << f;
    }
  }
  EXPECT_EQ(some.Pixel(rect.x + 1, rect.y), nullptr) << "a pixel that was not listed";
}

// Restores the framework's thread settings when a test ends.
struct ThreadSettings {
  ~ThreadSettings() { VisionToolMultiThreading::Reset(); }
};

TEST(FeatureBank, FeaturesAreBitIdenticalForAnyThreadCount) {
  ThreadSettings restore;
  const auto image = std::make_shared<Image24PlanarColor>(kToken, 90, 61);
  Noise noise(11);
  for (int c = 0; c < 3; ++c) {
    for (int y = 0; y < 61; ++y) {
      for (int x = 0; x < 90; ++x) {
        image->MutableRow(c, y)[x] = static_cast<std::uint8_t>(128 + noise.Next(100));
      }
    }
  }
  const FeatureLayout layout(4.0, 3);
  const TileRect rect{7, 3, 70, 50};
  VisionToolMultiThreading::setEnable(false);
  const TileFeatures one = ComputeTileFeatures(*image, rect, layout);
  VisionToolMultiThreading::setEnable(true);
  for (int threads : {1, 2, 3, 7}) {
    VisionToolMultiThreading::setThreadCount(threads);
    const TileFeatures many = ComputeTileFeatures(*image, rect, layout);
    ASSERT_EQ(many.values.size(), one.values.size());
    for (std::size_t i = 0; i < one.values.size(); ++i) {
      ASSERT_EQ(many.values[i], one.values[i]) << threads << " threads, value " << i;
    }
  }
}

TEST(EngineThreads, RunTasksUsesAtMostTheFrameworkThreadCountAndRethrowsAFailure) {
  ThreadSettings restore;
  for (const auto& [enable, threads, expected] :
       {std::tuple{true, 3, 3}, std::tuple{true, 1, 1}, std::tuple{false, 4, 1}}) {
    VisionToolMultiThreading::setEnable(enable);
    VisionToolMultiThreading::setThreadCount(threads);
    EXPECT_EQ(EngineThreadCount(), expected);
    std::atomic<int> running{0}, most{0}, done{0};
    std::mutex mutex;
    std::set<int> workers;
    RunTasks(40, [&](int, int worker) {
      const int now = ++running;
      int seen = most.load();
      while (now > seen && !most.compare_exchange_weak(seen, now)) {
      }
      {
        std::lock_guard<std::mutex> lock(mutex);
        workers.insert(worker);
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      --running;
      ++done;
    });
    EXPECT_EQ(done.load(), 40);
    EXPECT_LE(most.load(), expected);
    EXPECT_LE(workers.size(), static_cast<std::size_t>(expected));
    EXPECT_TRUE(workers.count(0) == 1) << "the calling thread works too";
  }
  VisionToolMultiThreading::setEnable(true);
  VisionToolMultiThreading::setThreadCount(2);
  std::atomic<int> done{0};
  try {
    RunTasks(10, [&](int task, int) {
      ++done;
      if (task == 4) throw std::runtime_error("task 4 failed");
    });
    FAIL() << "expected the failure of task 4";
  } catch (const std::runtime_error& error) {
    EXPECT_STREQ(error.what(), "task 4 failed");
  }
  EXPECT_EQ(done.load(), 10) << "the other tasks still run";
}

TEST(GaussianBlur, APixelDependsOnItsNeighbourhoodNotOnWhereThePlaneStarts) {
  // Windows of one plane at odd offsets and widths (other SIMD alignments and row tails) give
  // bit-identical values wherever the kernel stays inside the window.
  const int width = 97, height = 40, radius = GaussianRadius(3.0);
  std::vector<float> plane(static_cast<std::size_t>(width) * height);
  Noise noise(2);
  for (float& v : plane) v = noise.Uniform() * 255.0f;
  std::vector<float> whole(plane.size());
  GaussianBlur(plane.data(), whole.data(), width, height, 3.0);
  for (int x0 : {1, 3, 5, 8}) {
    for (int w : {2 * radius + 1, 2 * radius + 6, 53, width - x0}) {
      const int y0 = x0 % 3, h = height - y0 - 1;
      std::vector<float> window(static_cast<std::size_t>(w) * h), blurred(window.size());
      for (int y = 0; y < h; ++y) {
        std::copy_n(plane.begin() + (y0 + y) * width + x0, w, window.begin() + y * w);
      }
      GaussianBlur(window.data(), blurred.data(), w, h, 3.0);
      for (int y = radius; y < h - radius; ++y) {
        for (int x = radius; x < w - radius; ++x) {
          ASSERT_EQ(blurred[static_cast<std::size_t>(y) * w + x],
                    whole[static_cast<std::size_t>(y0 + y) * width + x0 + x])
              << "window at " << x0 << " of width " << w << ", pixel " << x << ", " << y;
        }
      }
    }
  }
  // Mirrored about the edge pixel: column -1 reads column 1, so an impulse in column 1 reaches
  // the edge column from both sides, and the edge column itself is not doubled.
  std::vector<float> impulse(9 * 9, 0.0f), spread(impulse.size());
  impulse[4 * 9 + 1] = 1.0f;
  GaussianBlur(impulse.data(), spread.data(), 9, 9, 1.0);
  const std::vector<float> w = GaussianWeights(1.0);
  EXPECT_NEAR(spread[4 * 9 + 0], w[0] * 2.0f * w[1], 1e-6);
  EXPECT_NEAR(spread[4 * 9 + 1], w[0] * (w[0] + w[2]), 1e-6);  // column -1 is column 1
  EXPECT_NEAR(spread[3 * 9 + 3], w[1] * w[2], 1e-6);
  impulse.assign(impulse.size(), 0.0f);
  impulse[4 * 9 + 0] = 1.0f;
  GaussianBlur(impulse.data(), spread.data(), 9, 9, 1.0);
  EXPECT_NEAR(spread[4 * 9 + 0], w[0] * w[0], 1e-6);
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
  // A little smaller still rounds to the same size.
  void* again = AllocateLarge(kBytes - 1000);
  EXPECT_EQ(again, first);
  FreeLarge(again, kBytes - 1000);

  // A smaller block (an edge tile) takes a kept block up to twice its size rather than fresh
  // pages, and gives it back whole.
  void* big = AllocateLarge(std::size_t{12} << 20);
  FreeLarge(big, std::size_t{12} << 20);
  void* edge = AllocateLarge(std::size_t{7} << 20);
  EXPECT_EQ(edge, big);
  static_cast<unsigned char*>(edge)[(std::size_t{7} << 20) - 1] = 3;
  const std::size_t before = PooledLargeBytes();
  FreeLarge(edge, std::size_t{7} << 20);
  EXPECT_EQ(PooledLargeBytes(), before + (std::size_t{12} << 20));
  void* tiny = AllocateLarge(std::size_t{1} << 20);
  EXPECT_NE(tiny, big) << "not a block more than twice the size asked for";
  FreeLarge(tiny, std::size_t{1} << 20);

  // Forty blocks of 8 MiB freed together are more than the pool keeps.
  std::vector<void*> blocks;
  for (int i = 0; i < 40; ++i) blocks.push_back(AllocateLarge(std::size_t{8} << 20));
  for (void* block : blocks) FreeLarge(block, std::size_t{8} << 20);
  EXPECT_GT(PooledLargeBytes(), 0u);
  EXPECT_LE(PooledLargeBytes(), std::size_t{160} << 20);
}

}  // namespace
}  // namespace HelperTests
