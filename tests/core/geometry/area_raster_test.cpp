// Rasterised areas against masks worked out by hand from each shape's definition and the
// boundary rule (left and top edges inside, right and bottom edges outside).
#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "interfaces/core/Ellipse.h"
#include "interfaces/core/EllipticalAnnulusSection.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "tests/core/geometry/GeometryTestSupport.h"

namespace {

using namespace Tamrix::Vision;
using GeometryTest::ExpectMask;
using GeometryTest::Token;
using Rows = std::vector<std::string>;

constexpr double kPi = 3.14159265358979323846;

TEST(RectangleAffine, AxisAlignedRectangleCoversHalfOpenPixelRange) {
  // x in [2, 6), y in [2, 4).
  RectangleAffine rectangle(Token{}, {4, 3}, 4, 2);
  // clang-format off
  const Rows expected = {
      "........",
      "........",
      "..####..",
      "..####..",
      "........",
      "........",
  };
  // clang-format on
  ExpectMask(rectangle.Rasterize(8, 6, 1.0), expected);
}

TEST(RectangleAffine, SquareRotatedBy45DegreesIsADiamond) {
  // Half-diagonal 2.5: the lattice points with |dx| + |dy| <= 2; none lies on the boundary.
  RectangleAffine square(Token{}, {4, 4}, 2.5 * std::sqrt(2.0), 2.5 * std::sqrt(2.0), kPi / 4);
  // clang-format off
  const Rows expected = {
      ".........",
      ".........",
      "....#....",
      "...###...",
      "..#####..",
      "...###...",
      "....#....",
      ".........",
      ".........",
  };
  // clang-format on
  ExpectMask(square.Rasterize(9, 9, 1.0), expected);
}

TEST(RectangleAffine, PositiveSkewLeansTheHeightAxisTowardsNegativeX) {
  // Skew pi/4: V = (-sin 45, cos 45), so a = dx + dy and b = dy * sqrt(2); with width 3 and
  // height 3 sqrt(2) the area is |dx + dy| <= 1.5, |dy| <= 1.5.
  RectangleAffine parallelogram(Token{}, {5, 5}, 3, 3 * std::sqrt(2.0), 0, kPi / 4);
  // clang-format off
  const Rows expected = {
      "..........",
      "..........",
      "..........",
      "..........",
      ".....###..",
      "....###...",
      "...###....",
      "..........",
      "..........",
  };
  // clang-format on
  ExpectMask(parallelogram.Rasterize(10, 9, 1.0), expected);
}

TEST(Ellipse, AxisAlignedEllipseKeepsLeftAndTopRimPoints) {
  // (dx/3)^2 + (dy/2)^2 <= 1; of the rim points (+-3, 0), (0, +-2) only the left and top ones.
  Ellipse ellipse(Token{}, {5, 4}, 3, 2);
  // clang-format off
  const Rows expected = {
      "...........",
      "...........",
      ".....#.....",
      "...#####...",
      "..######...",
      "...#####...",
      "...........",
      "...........",
      "...........",
  };
  // clang-format on
  ExpectMask(ellipse.Rasterize(11, 9, 1.0), expected);
  EXPECT_EQ(ellipse.Rasterize(11, 9, 1.0).Count(), 17);

  // The same ellipse described with its long axis turned by pi/2: the rim points must be
  // decided by the rule, not by cos(pi/2) = 6e-17.
  Ellipse turned(Token{}, {5, 4}, 2, 3, kPi / 2);
  ExpectMask(turned.Rasterize(11, 9, 1.0), expected);
}

TEST(EllipticalAnnulusSection, QuarterRingIncludesBothRaysAndTheInnerRim) {
  // Radius 4, inner radius 2, angles [0, pi/2]: dx, dy >= 0 and 4 <= dx^2 + dy^2 <= 16. Both rays
  // are a top or left edge here; the outer rim points (4, 0) and (0, 4) are right and bottom.
  EllipticalAnnulusSection section(Token{}, {1, 1}, 4, 4, 0, 0.5, 0, kPi / 2);
  // clang-format off
  const Rows expected = {
      ".......",
      "...##..",
      "...##..",
      ".####..",
      ".###...",
      ".......",
      ".......",
  };
  // clang-format on
  ExpectMask(section.Rasterize(7, 7, 1.0), expected);
}

TEST(EllipticalAnnulusSection, RotationTurnsClockwiseOnScreen) {
  // Rotated by pi/2 the quarter covers world angles [pi/2, pi]: below and left of the centre. Now
  // the downward ray is a right edge (out), the leftward ray a top edge (in), the inner rim point
  // (-2, 0) lies on the right of the hole (out) and the outer one (-4, 0) on the left (in).
  EllipticalAnnulusSection section(Token{}, {4, 1}, 4, 4, kPi / 2, 0.5, 0, kPi / 2);
  // clang-format off
  const Rows expected = {
      ".......",
      "##.....",
      ".##....",
      ".###...",
      "..##...",
      ".......",
  };
  // clang-format on
  ExpectMask(section.Rasterize(7, 6, 1.0), expected);
}

TEST(Polygon, ConcavePolygonLeavesTheNotchOut) {
  // A U shape: x in [1, 7), y in [1, 6) without the notch x in [3, 5), y in [3, 6).
  Polygon polygon(Token{}, {{1, 1}, {7, 1}, {7, 6}, {5, 6}, {5, 3}, {3, 3}, {3, 6}, {1, 6}});
  // clang-format off
  const Rows expected = {
      ".........",
      ".######..",
      ".######..",
      ".##..##..",
      ".##..##..",
      ".##..##..",
      ".........",
      ".........",
  };
  // clang-format on
  ExpectMask(polygon.Rasterize(9, 8, 1.0), expected);
}

TEST(Polygon, SelfIntersectingChainFollowsTheEvenOddRule) {
  // The outer square, then the inner square traced the same way round: the inner square is
  // wound twice, so even-odd leaves a hole where non-zero winding would not. The connecting
  // edge, walked there and back, cancels out.
  Polygon polygon(Token{},
                  {{0, 0}, {8, 0}, {8, 8}, {0, 8}, {0, 0}, {2, 2}, {6, 2}, {6, 6}, {2, 6}, {2, 2}});
  // clang-format off
  const Rows expected = {
      "########.",
      "########.",
      "##....##.",
      "##....##.",
      "##....##.",
      "##....##.",
      "########.",
      "########.",
      ".........",
  };
  // clang-format on
  ExpectMask(polygon.Rasterize(9, 9, 1.0), expected);
}

TEST(Polygon, FewerThanThreeVerticesEncloseNothing) {
  Polygon polygon(Token{}, {{1, 1}, {5, 5}});
  EXPECT_EQ(polygon.Rasterize(8, 8, 1.0).Count(), 0);
  EXPECT_FALSE(polygon.Contains(3, 3));
  EXPECT_TRUE(polygon.Bounds().Empty());
}

TEST(Ellipse, ShapePartlyOutsideTheImageKeepsOnlyItsVisiblePart) {
  // Radius-2 circle at the corner: of the lattice points with dx, dy >= 0 the rim points (2, 0)
  // and (0, 2) are right and bottom, hence out.
  Ellipse circle(Token{}, {0, 0}, 2, 2);
  // clang-format off
  const Rows expected = {
      "##.",
      "##.",
      "...",
  };
  // clang-format on
  ExpectMask(circle.Rasterize(3, 3, 1.0), expected);
}

TEST(RectangleAffine, ShapeOutsideTheImageGivesAnEmptyMaskOfTheImageSize) {
  RectangleAffine rectangle(Token{}, {-50, 400}, 10, 10);
  const PixelMask mask = rectangle.Rasterize(20, 10, 1.0);
  EXPECT_EQ(mask.Width(), 20);
  EXPECT_EQ(mask.Height(), 10);
  EXPECT_EQ(mask.Count(), 0);
}

TEST(Ellipse, ZeroOrNegativeImageSizeGivesAnEmptyMask) {
  Ellipse circle(Token{}, {0, 0}, 2, 2);
  EXPECT_EQ(circle.Rasterize(0, 5, 1.0).Data().size(), 0u);
  EXPECT_EQ(circle.Rasterize(-3, -3, 1.0).Data().size(), 0u);
}

TEST(Ellipse, HugeShapeInSmallImageFillsTheImage) {
  Ellipse circle(Token{}, {5, 5}, 1e7, 1e7);
  EXPECT_EQ(circle.Rasterize(4, 3, 1.0).Count(), 12);
}

// The rasterised mask is exactly the set of pixels whose centre Contains() accepts.
TEST(IRegion, RasterizeAgreesWithContainsPixelByPixel) {
  const std::vector<std::shared_ptr<IRegion>> regions = {
      std::make_shared<RectangleAffine>(Token{}, Point2D{7.3, 6.1}, 9.2, 4.7, 0.7, -0.4),
      std::make_shared<Ellipse>(Token{}, Point2D{8, 8}, 6.5, 3.2, 2.1),
      std::make_shared<EllipticalAnnulusSection>(Token{}, Point2D{8, 7}, 7, 5, 0.3, 0.4, 2.5, 4),
      std::make_shared<Polygon>(Token{}, std::vector<Point2D>{{1, 1}, {14, 3}, {3, 6}, {12, 13}}),
  };
  for (const auto& region : regions) {
    const PixelMask mask = region->Rasterize(16, 15, 1.0);
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(mask.At(x, y), region->Contains(x, y))
            << region->ToString() << " at " << x << "," << y;
      }
    }
    EXPECT_GT(mask.Count(), 0) << region->ToString();
  }
}

}  // namespace
