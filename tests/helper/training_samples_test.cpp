#include <gtest/gtest.h>

#include <algorithm>

#include "interfaces/core/Ellipse.h"
#include "interfaces/core/EllipticalArc.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/RectangleAffine.h"
#include "platform/helper/Segmentation.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

using namespace Tamrix::Vision::SmartSegmenterHelper::detail;

// A 40 x 30 training item of noise with labels "a" and "b" to annotate.
struct Scene {
  std::shared_ptr<SmartCore::SmartLabel> a = std::make_shared<SmartCore::SmartLabel>(kToken, "a");
  std::shared_ptr<SmartCore::SmartLabel> b = std::make_shared<SmartCore::SmartLabel>(kToken, "b");
  std::shared_ptr<Image8Grey> image = NoiseImage(40, 30, 1);
  std::shared_ptr<SmartCore::SmartTrainData> item =
      std::make_shared<SmartCore::SmartTrainData>(kToken, image, true);
  LabelMasks Masks(const char* label) const { return RasterizeLabelMasks(*item, 40, 30, label); }
};

// Shapes assigned to "a" or "b" of a scene, and the masks their own whole-image rasters give
// (curves with their stroke): what RasterizeLabelMasks must give, however it draws them.
struct OwnRasters {
  Scene scene;
  PixelMask a{40, 30}, b{40, 30};
  void Add(bool toA, const std::shared_ptr<IShape>& shape) {
    scene.item->AddAssignment(toA ? scene.a : scene.b, shape);
    const PixelMask raster = shape->Rasterize(40, 30, shape->IsArea() ? 0.0 : kCurveStrokeWidth);
    for (std::size_t k = 0; k < raster.Data().size(); ++k) {
      if (raster.Data()[k] != 0) (toA ? a : b).Data()[k] = 1;
    }
  }
  void Check(int leastA, int leastB) const {
    const LabelMasks masks = scene.Masks("a");
    EXPECT_GT(masks.positive.Count(), leastA);
    EXPECT_GT(masks.negative.Count(), leastB);
    EXPECT_EQ(masks.positive.Data(), a.Data());
    EXPECT_EQ(masks.negative.Data(), b.Data());
  }
};

TEST(TrainingSamples, AreasOfTheLabelArePositiveAndAreasOfOthersNegative) {
  Scene scene;
  // Pixel centres x in [2, 6) and y in [3, 5) lie inside the first rectangle: 4 x 2 pixels.
  scene.item->AddAssignment(scene.a, Square(1.5, 2.5, 5.5, 4.5));
  scene.item->AddAssignment(scene.b, Square(19.5, 19.5, 22.5, 20.5));
  const LabelMasks masks = scene.Masks("a");
  EXPECT_EQ(masks.positive.Count(), 8);
  EXPECT_TRUE(masks.positive.At(2, 3) && masks.positive.At(5, 4));
  EXPECT_FALSE(masks.positive.At(6, 4) || masks.positive.At(2, 5));
  EXPECT_EQ(masks.negative.Count(), 3);
  EXPECT_TRUE(masks.negative.At(20, 20) && masks.negative.At(22, 20));
  // For label b the roles swap.
  EXPECT_EQ(scene.Masks("b").positive.Data(), masks.negative.Data());
  EXPECT_EQ(scene.Masks("b").negative.Data(), masks.positive.Data());
}

TEST(TrainingSamples, CurvesGiveAStrokeThreePixelsWide) {
  Scene scene;
  scene.item->AddAssignment(scene.a,
                            std::make_shared<LineSegment>(kToken, Point2D{5, 10}, Point2D{20, 10}));
  const LabelMasks masks = scene.Masks("a");
  for (int y : {9, 10, 11}) EXPECT_TRUE(masks.positive.At(12, y)) << "row " << y;
  EXPECT_FALSE(masks.positive.At(12, 8) || masks.positive.At(12, 12) || masks.positive.At(30, 10));
  EXPECT_EQ(masks.negative.Count(), 0);
}

TEST(TrainingSamples, APixelUnderBothLabelsCountsForBoth) {
  Scene scene;
  scene.item->AddAssignment(scene.a, Square(-0.5, -0.5, 4.5, 0.5));  // x 0..4 of row 0
  scene.item->AddAssignment(scene.b, Square(2.5, -0.5, 7.5, 0.5));   // x 3..7 of row 0
  const LabelMasks masks = scene.Masks("a");
  EXPECT_EQ(masks.positive.Count(), 5);
  EXPECT_EQ(masks.negative.Count(), 5);
  EXPECT_TRUE(masks.positive.At(3, 0) && masks.negative.At(3, 0));
  EXPECT_TRUE(masks.positive.At(4, 0) && masks.negative.At(4, 0));
}

TEST(TrainingSamples, ManySmallAreasGiveExactlyThePixelsOfTheirOwnRasters) {
  // A dense label mask arrives as thousands of small rectangles; each is drawn in its own box,
  // which must give the very pixels its whole-image raster gives: rotated and skewed
  // rectangles, rectangles on pixel edges and beyond the image, ellipses and polygons.
  OwnRasters expected;
  Noise noise(5);
  for (int i = 0; i < 300; ++i) {
    const Point2D centre{noise.Uniform() * 46.0 - 3.0, noise.Uniform() * 36.0 - 3.0};
    const double w = 0.5 + noise.Uniform() * 4.0, h = 0.5 + noise.Uniform() * 3.0;
    std::shared_ptr<IShape> shape;
    switch (i % 4) {
      case 0:
        shape = std::make_shared<RectangleAffine>(kToken, centre, w, h);
        break;
      case 1:
        shape = std::make_shared<RectangleAffine>(kToken, centre, w, h, noise.Uniform() * 3.0,
                                                  noise.Uniform() - 0.5);
        break;
      case 2:
        shape = std::make_shared<Ellipse>(kToken, centre, w, h, noise.Uniform());
        break;
      default:
        shape = Square(std::floor(centre.X) - 0.5, std::floor(centre.Y) - 0.5,
                       std::floor(centre.X) + std::floor(w) + 0.5, std::floor(centre.Y) + 0.5);
    }
    expected.Add(i % 3 != 0, shape);
  }
  expected.Check(100, 50);
}

TEST(TrainingSamples, CurvesAndLargeAreasGiveExactlyThePixelsOfTheirOwnRasters) {
  // Scribbles in every direction, some reaching past the image, and areas too large for a box of
  // their own: each must mark exactly its whole-image raster's pixels (a stroke 3 pixels wide for
  // the curves).
  OwnRasters expected;
  Noise noise(7);
  for (int i = 0; i < 60; ++i) {
    const Point2D from{noise.Uniform() * 50.0 - 5.0, noise.Uniform() * 40.0 - 5.0};
    const Point2D to{from.X + noise.Uniform() * 20.0 - 10.0,
                     from.Y + noise.Uniform() * 20.0 - 10.0};
    std::shared_ptr<IShape> shape;
    if (i % 10 == 9) {
      shape = std::make_shared<Ellipse>(kToken, from, 12.0 + noise.Uniform() * 8.0, 9.0, 0.3);
    } else if (i % 10 == 4) {
      shape = std::make_shared<EllipticalArc>(kToken, from, 3.0 + noise.Uniform() * 9.0, 5.0,
                                              noise.Uniform(), noise.Uniform() * 6.0, 2.5);
    } else {
      shape = std::make_shared<LineSegment>(kToken, from, to);
    }
    expected.Add(i % 2 == 0, shape);
  }
  expected.Check(200, 200);
}

TEST(TrainingSamples, ChoiceIsCappedSortedAndSeeded) {
  PixelMask mask(100, 100);
  for (int y = 10; y < 90; ++y) {
    for (int x = 0; x < 100; x += 2) mask.Set(x, y);
  }
  const auto first = ChooseSamples(mask, 500, 1, 77);
  ASSERT_EQ(first.size(), 500u);
  EXPECT_TRUE(std::is_sorted(first.begin(), first.end()));
  EXPECT_EQ(std::adjacent_find(first.begin(), first.end()), first.end());
  for (std::size_t i : first) ASSERT_EQ(mask.Data()[i], 1) << i;
  EXPECT_EQ(ChooseSamples(mask, 500, 1, 77), first);
  EXPECT_NE(ChooseSamples(mask, 500, 2, 77), first);
  EXPECT_NE(ChooseSamples(mask, 500, 1, 78), first);
  // The choice spreads over the mask instead of taking its first rows.
  EXPECT_GT(first.back(), 80u * 100u);
  EXPECT_LT(first.front(), 20u * 100u);
  // Fewer pixels than the cap: all of them.
  EXPECT_EQ(ChooseSamples(mask, 100000, 1, 77).size(), static_cast<std::size_t>(mask.Count()));
}

TEST(TrainingSamples, FingerprintFollowsContentNotObjects) {
  Scene one, two, three;
  one.item->AddAssignment(one.a, Square(1.5, 1.5, 9.5, 9.5));
  two.item->AddAssignment(two.a, Square(1.5, 1.5, 9.5, 9.5));
  three.item->AddAssignment(three.a, Square(1.5, 1.5, 9.5, 10.5));
  const auto fingerprint = [](const Scene& scene) {
    return ItemFingerprint(ImageFingerprint(*scene.image), scene.Masks("a"));
  };
  EXPECT_NE(one.image, two.image);
  EXPECT_EQ(fingerprint(one), fingerprint(two));
  EXPECT_NE(fingerprint(one), fingerprint(three));
  two.image->MutableRow(29)[39] ^= 1;
  EXPECT_NE(fingerprint(one), fingerprint(two));
}

TEST(TrainingSamples, SampleRowsHoldTheFeaturesOfTheChosenPixels) {
  Scene scene;
  scene.item->AddAssignment(scene.a, Square(1.5, 1.5, 4.5, 3.5));      // 3 x 2 pixels
  scene.item->AddAssignment(scene.b, Square(30.5, 20.5, 32.5, 21.5));  // 2 x 1 pixels
  const FeatureLayout layout(2.0, 1);
  const SampleMatrix samples = SampleItem(*scene.image, scene.Masks("a"), layout, 1, 2, nullptr);
  ASSERT_EQ(samples.Count(), 8u);
  EXPECT_EQ(samples.positive, (std::vector<std::uint8_t>{1, 1, 1, 1, 1, 1, 0, 0}));
  const TileFeatures whole = ComputeTileFeatures(*scene.image, TileRect{0, 0, 40, 30}, layout);
  const int pixels[8][2] = {{2, 2}, {3, 2}, {4, 2}, {2, 3}, {3, 3}, {4, 3}, {31, 21}, {32, 21}};
  for (std::size_t s = 0; s < 8; ++s) {
    for (int f = 0; f < layout.Count(); ++f) {
      ASSERT_EQ(samples.Row(s)[f], whole.Pixel(pixels[s][0], pixels[s][1])[f]) << s << " " << f;
    }
  }
}

// Sparse labels are computed in small boxes around them, never whole tiles; their features must
// still be bit for bit what whole tiles give, wherever a pixel lies: at every column offset, on
// both sides of tile seams, at the image's odd right and bottom edges, alone or in clusters.
TEST(TrainingSamples, SparseLabelsGetTheFeaturesOfWholeTiles) {
  const int width = kTileSize + 189, height = 301;
  const auto image = NoiseImage(width, height, 7);
  LabelMasks masks{PixelMask(width, height), PixelMask(width, height)};
  std::vector<std::pair<int, int>> marked;
  for (int x = 0; x < kTileSize; x += 7) marked.emplace_back(x, (x * 13) % height);
  // Alone in their squares: a pixel, and a line one pixel wide.
  marked.emplace_back(kTileSize + 130, 200);
  for (int y = 140; y < 160; ++y) marked.emplace_back(kTileSize + 40, y);
  for (int x : {kTileSize - 2, kTileSize - 1, kTileSize, kTileSize + 1, width - 2, width - 1}) {
    for (int y : {0, 1, 150, height - 2, height - 1}) marked.emplace_back(x, y);
  }
  for (int y = 200; y < 204; ++y) {
    for (int x = 300; x < 331; ++x) marked.emplace_back(x, y);
  }
  for (const auto& [x, y] : marked) ((x + y) % 3 == 0 ? masks.negative : masks.positive).Set(x, y);
  ASSERT_LT(masks.positive.Count() + masks.negative.Count(), 2 * 2048);

  const FeatureLayout layout(5.0, 1);
  const SampleMatrix samples = SampleItem(*image, masks, layout, 1, 2, nullptr);
  ASSERT_EQ(samples.Count(),
            static_cast<std::size_t>(masks.positive.Count() + masks.negative.Count()));
  std::vector<TileFeatures> tiles;
  for (const TileRect& rect : TileGrid(width, height, kTileSize)) {
    tiles.push_back(ComputeTileFeatures(*image, rect, layout));
  }
  std::size_t row = 0;
  for (const PixelMask* mask : {&masks.positive, &masks.negative}) {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) {
        if (!mask->At(x, y)) continue;
        const TileFeatures& tile = tiles[static_cast<std::size_t>(x / kTileSize)];
        for (int f = 0; f < layout.Count(); ++f) {
          ASSERT_EQ(samples.Row(row)[f], tile.Pixel(x, y)[f]) << x << "," << y << " feature " << f;
        }
        ++row;
      }
    }
  }
}

}  // namespace
}  // namespace HelperTests
