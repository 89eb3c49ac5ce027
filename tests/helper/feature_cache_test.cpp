#include <gtest/gtest.h>

#include <thread>

#include "platform/helper/FeatureCache.h"
#include "platform/helper/Segmentation.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

using namespace Tamrix::Vision::SmartSegmenterHelper::detail;

std::shared_ptr<Image8Grey> Ramp(int size) {
  return Grey8(size, size, [](int x, int y) { return x + y; });
}

TEST(FeatureCache, ConcurrentRequestsForOneTileComputeItOnce) {
  FeatureCache cache(std::size_t{64} << 20);
  const auto image = Ramp(96);
  const FeatureLayout layout(4.0, 1);
  const TileRect rect{0, 0, 96, 96};
  std::vector<std::shared_ptr<const TileFeatures>> got(6);
  std::vector<std::thread> threads;
  for (std::size_t t = 0; t < got.size(); ++t) {
    threads.emplace_back([&, t] { got[t] = cache.Get(*image, rect, layout); });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(cache.ComputedTiles(), 1u);
  for (const auto& features : got) EXPECT_EQ(features, got[0]);
  EXPECT_EQ(got[0]->values, ComputeTileFeatures(*image, rect, layout).values);
}

TEST(FeatureCache, ChangedPixelsLayoutsTilesOrImagesAreComputedAnew) {
  FeatureCache cache(std::size_t{64} << 20);
  const auto image = Ramp(40);
  const FeatureLayout layout(2.0, 1);
  const auto before = cache.Get(*image, TileRect{0, 0, 40, 40}, layout);
  EXPECT_EQ(cache.Get(*image, TileRect{0, 0, 40, 40}, layout), before);
  EXPECT_EQ(cache.ComputedTiles(), 1u);

  cache.Get(*image, TileRect{0, 0, 20, 40}, layout);
  cache.Get(*image, TileRect{0, 0, 40, 40}, FeatureLayout(1.0, 1));
  EXPECT_EQ(cache.ComputedTiles(), 3u);

  image->MutableRow(5)[5] = 250;  // counts as a change of the pixels
  const auto after = cache.Get(*image, TileRect{0, 0, 40, 40}, layout);
  EXPECT_EQ(cache.ComputedTiles(), 4u);
  EXPECT_EQ(after->Pixel(5, 5)[0], 250.0f);
  EXPECT_EQ(before->Pixel(5, 5)[0], 10.0f);

  // A grid or a list of pixels is an entry of its own; a list is found again in any order.
  cache.Get(*image, TileRect{0, 0, 40, 40}, layout, 2);
  const auto listed = cache.GetPixels(*image, TileRect{0, 0, 40, 40}, layout, {7u, 3u, 7u});
  EXPECT_EQ(cache.ComputedTiles(), 6u);
  EXPECT_EQ(cache.GetPixels(*image, TileRect{0, 0, 40, 40}, layout, {3u, 7u}), listed);
  cache.GetPixels(*image, TileRect{0, 0, 40, 40}, layout, {3u});
  EXPECT_EQ(cache.ComputedTiles(), 7u);

  // Another image with equal pixels but one is not confused with the first.
  const auto other = Ramp(40);
  other->MutableRow(0)[0] = 99;
  EXPECT_EQ(cache.Get(*other, TileRect{0, 0, 40, 40}, layout)->Pixel(0, 0)[0], 99.0f);
  EXPECT_EQ(cache.ComputedTiles(), 8u);
}

TEST(FeatureCache, FingerprintsFollowThePixelsOfEachImage) {
  FeatureCache cache(std::size_t{1} << 20);
  const auto image = Ramp(40);
  const std::uint64_t first = cache.Fingerprint(*image);
  EXPECT_EQ(first, ImageFingerprint(*image));
  EXPECT_EQ(cache.Fingerprint(*image), first);
  // Changed pixels give the new image's fingerprint, not the one kept.
  image->MutableRow(5)[5] = 250;
  EXPECT_NE(cache.Fingerprint(*image), first);
  EXPECT_EQ(cache.Fingerprint(*image), ImageFingerprint(*image));
  // Another image of other pixels at the same time gets its own.
  const auto other = Ramp(40);
  other->MutableRow(0)[0] = 99;
  EXPECT_EQ(cache.Fingerprint(*other), ImageFingerprint(*other));
  EXPECT_NE(cache.Fingerprint(*other), cache.Fingerprint(*image));
  // Images not owned through shared pointers are hashed every time, as they cannot be told
  // apart from a new image at the same address.
  Image8Grey plain(kToken, 8, 8);
  const std::uint64_t blank = cache.Fingerprint(plain);
  plain.MutableRow(1)[1] = 7;
  EXPECT_NE(cache.Fingerprint(plain), blank);
  EXPECT_EQ(cache.Fingerprint(plain), ImageFingerprint(plain));
}

TEST(FeatureCache, KeepsWithinItsBudgetAndForgetsDestroyedImages) {
  const FeatureLayout layout(1.0, 1);  // 12 features: 48 bytes a pixel
  const std::size_t tileBytes = 32 * 32 * 48;
  FeatureCache cache(2 * tileBytes + tileBytes / 2);
  auto image = Ramp(96);
  for (int x = 0; x < 96; x += 32) cache.Get(*image, TileRect{x, 0, 32, 32}, layout);
  EXPECT_EQ(cache.CachedBytes(), 2 * tileBytes);
  // The least recently used tile (x = 0) went; the last two are still there.
  cache.Get(*image, TileRect{64, 0, 32, 32}, layout);
  cache.Get(*image, TileRect{32, 0, 32, 32}, layout);
  EXPECT_EQ(cache.ComputedTiles(), 3u);
  cache.Get(*image, TileRect{0, 0, 32, 32}, layout);
  EXPECT_EQ(cache.ComputedTiles(), 4u);

  image.reset();
  auto other = Ramp(8);
  cache.Get(*other, TileRect{0, 0, 8, 8}, layout);
  EXPECT_EQ(cache.CachedBytes(), 8u * 8u * 48u);
}

TEST(FeatureCache, ImagesNotOwnedBySharedPointersAreNeverCached) {
  FeatureCache cache(std::size_t{64} << 20);
  Image8Grey image(kToken, 8, 8);
  const FeatureLayout layout(1.0, 1);
  cache.Get(image, TileRect{0, 0, 8, 8}, layout);
  cache.Get(image, TileRect{0, 0, 8, 8}, layout);
  EXPECT_EQ(cache.ComputedTiles(), 2u);
  EXPECT_EQ(cache.CachedBytes(), 0u);
}

}  // namespace
}  // namespace HelperTests
