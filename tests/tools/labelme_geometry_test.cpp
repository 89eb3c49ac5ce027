// Clipping LabelMe shapes to their image changes no pixel that they cover inside it.
#include <gtest/gtest.h>

#include <random>

#include "tools/smartseg/LabelMeGeometry.h"

namespace SmartsegTest {
namespace {

using Smartseg::CoveredPixels;
using Smartseg::LabelMeShape;
using Smartseg::ToFrameworkShapes;
using Tamrix::Vision::Point2D;

constexpr int kWidth = 13;
constexpr int kHeight = 9;

// Random shapes of each type whose points lie in a box three times the image's size around it,
// so that most cross a border, many several times.
LabelMeShape RandomShape(std::mt19937& random, const std::string& type, int points) {
  std::uniform_real_distribution<double> x(-kWidth, 2.0 * kWidth), y(-kHeight, 2.0 * kHeight);
  LabelMeShape shape{"a", type, {}};
  for (int i = 0; i < points; ++i) shape.points.push_back(Point2D{x(random), y(random)});
  return shape;
}

TEST(LabelMeGeometry, ClippingKeepsThePixelsInsideTheImage) {
  std::mt19937 random(11);
  const std::pair<const char*, int> kinds[] = {
      {"polygon", 3}, {"polygon", 5}, {"polygon", 9}, {"rectangle", 2}, {"circle", 2}, {"point", 1},
  };
  int crossing = 0;
  for (const auto& [type, count] : kinds) {
    for (int trial = 0; trial < 300; ++trial) {
      const LabelMeShape shape = RandomShape(random, type, count);
      const auto whole = ToFrameworkShapes(shape);
      const auto clipped = ToFrameworkShapes(shape, kWidth, kHeight);
      const auto expected = CoveredPixels(whole, kWidth, kHeight);
      ASSERT_EQ(CoveredPixels(clipped, kWidth, kHeight).Data(), expected.Data())
          << type << " trial " << trial;
      if (std::string(type) == "polygon" && expected.Count() > 0) ++crossing;
      // Nothing clipped reaches past the image by more than a curve's stroke.
      for (const auto& part : clipped) {
        const auto box = part->Bounds();
        if (std::string(type) == "circle" || std::string(type) == "point") continue;
        EXPECT_GE(box.X0, -0.5 - 1e-9);
        EXPECT_LE(box.X1, kWidth - 0.5 + 1e-9);
        EXPECT_GE(box.Y0, -0.5 - 1e-9);
        EXPECT_LE(box.Y1, kHeight - 0.5 + 1e-9);
      }
    }
  }
  // The random polygons did reach into the image, so the comparison above meant something.
  EXPECT_GT(crossing, 300);
}

// A curve's stroke reaches 1.5 pixels past the curve, so cutting a curve at the border can only
// lose pixels of the outermost ring that the stroke of its outside part touched.
TEST(LabelMeGeometry, ClippingCurvesLosesAtMostOuterRingPixels) {
  std::mt19937 random(12);
  for (int trial = 0; trial < 500; ++trial) {
    const LabelMeShape shape = RandomShape(random, "linestrip", 2 + trial % 5);
    const auto whole = CoveredPixels(ToFrameworkShapes(shape), kWidth, kHeight);
    const auto clipped = CoveredPixels(ToFrameworkShapes(shape, kWidth, kHeight), kWidth, kHeight);
    for (int y = 0; y < kHeight; ++y) {
      for (int x = 0; x < kWidth; ++x) {
        if (clipped.At(x, y)) {
          EXPECT_TRUE(whole.At(x, y)) << "trial " << trial << " at " << x << ", " << y;
        } else if (whole.At(x, y)) {
          EXPECT_TRUE(x == 0 || y == 0 || x == kWidth - 1 || y == kHeight - 1)
              << "trial " << trial << " at " << x << ", " << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace SmartsegTest
