// Strokes of curves: every pixel whose centre lies within max(strokeWidth, 1) / 2 of the curve.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>

#include "interfaces/core/EllipticalArc.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/LineSegment.h"
#include "tests/core/geometry/GeometryTestSupport.h"

namespace {

using namespace Tamrix::Vision;
using GeometryTest::ExpectMask;
using GeometryTest::Token;
using Rows = std::vector<std::string>;

constexpr double kPi = 3.14159265358979323846;

TEST(LineSegment, HorizontalStrokeOfWidthOneMarksOneRow) {
  LineSegment line(Token{}, {1, 2}, {6, 2});
  // clang-format off
  const Rows expected = {
      "........",
      "........",
      ".######.",
      "........",
      "........",
  };
  // clang-format on
  ExpectMask(line.Rasterize(8, 5, 1.0), expected);
}

TEST(LineSegment, WidthsBelowOneDrawAsOne) {
  LineSegment line(Token{}, {1, 2}, {6, 2});
  // clang-format off
  const Rows expected = {
      "........",
      "........",
      ".######.",
      "........",
      "........",
  };
  // clang-format on
  ExpectMask(line.Rasterize(8, 5, 0.0), expected);
  ExpectMask(line.Rasterize(8, 5, 0.2), expected);
}

TEST(LineSegment, DiagonalStrokeSkipsNeighboursAtDistanceSqrtHalf) {
  LineSegment line(Token{}, {1, 1}, {4, 4});
  // clang-format off
  const Rows expected = {
      "......",
      ".#....",
      "..#...",
      "...#..",
      "....#.",
      "......",
  };
  // clang-format on
  ExpectMask(line.Rasterize(6, 6, 1.0), expected);
}

TEST(LineSegment, ShallowStrokeIsAConnectedChain) {
  // Distance to the line through (0, 0) and (6, 2) is |x - 3y| / sqrt(10); within 0.5 means
  // |x - 3y| <= 1.58, and the ends are round.
  LineSegment line(Token{}, {0, 0}, {6, 2});
  // clang-format off
  const Rows expected = {
      "##......",
      "..###...",
      ".....##.",
      "........",
  };
  // clang-format on
  ExpectMask(line.Rasterize(8, 4, 1.0), expected);
}

TEST(LineSegment, WideStrokeHasRoundEnds) {
  // Half width 1.5: rows 2..4 along the segment, and at each end the caps reach (1, 2..4) and
  // (7, 2..4) (distance up to sqrt 2) but not (0, 3) (distance 2).
  LineSegment line(Token{}, {2, 3}, {6, 3});
  // clang-format off
  const Rows expected = {
      ".........",
      ".........",
      ".#######.",
      ".#######.",
      ".#######.",
      ".........",
      ".........",
  };
  // clang-format on
  ExpectMask(line.Rasterize(9, 7, 3.0), expected);
}

TEST(LineSegment, DegenerateSegmentMarksItsOwnPixel) {
  LineSegment line(Token{}, {2, 1}, {2, 1});
  // clang-format off
  const Rows expected = {
      "....",
      "..#.",
      "....",
  };
  // clang-format on
  ExpectMask(line.Rasterize(4, 3, 1.0), expected);
}

TEST(LineSegment, StrokeLeavingTheImageIsClipped) {
  LineSegment line(Token{}, {-5, 1}, {3, 1});
  // clang-format off
  const Rows expected = {
      ".....",
      "####.",
      ".....",
  };
  // clang-format on
  ExpectMask(line.Rasterize(5, 3, 1.0), expected);
  LineSegment outside(Token{}, {-5, -5}, {-2, -9});
  EXPECT_EQ(outside.Rasterize(5, 3, 1.0).Count(), 0);
}

TEST(LineSegment, StrokeWidthThatIsNotANumberIsRefused) {
  LineSegment line(Token{}, {0, 0}, {3, 3});
  EXPECT_THROW(line.Rasterize(5, 5, std::numeric_limits<double>::quiet_NaN()), ArgumentException);
  EXPECT_THROW(line.Rasterize(5, 5, std::numeric_limits<double>::infinity()), ArgumentException);
}

TEST(EllipticalArc, QuarterCircleStroke) {
  // Radius 3 about (5, 5), from angle 0 (the point (8, 5)) towards +y to (5, 8). Pixels with
  // | |p - c| - 3 | <= 0.5 inside the quarter: (8,5), (8,6) [3.16], (7,7) [2.83], (6,8), (5,8);
  // (7,6) and (6,7) lie at 2.24 from the centre, (8,4) and (4,8) at 1 from the ends.
  EllipticalArc arc(Token{}, {5, 5}, 3, 3, 0, 0, kPi / 2);
  // clang-format off
  const Rows expected = {
      "..........",
      "..........",
      "..........",
      "..........",
      "..........",
      "........#.",
      "........#.",
      ".......#..",
      ".....##...",
      "..........",
  };
  // clang-format on
  ExpectMask(arc.Rasterize(10, 10, 1.0), expected);
}

TEST(EllipticalArc, RotationTurnsTheArcClockwiseOnScreen) {
  // Rotated by pi/2 the same quarter runs from (5, 8) to (2, 5).
  EllipticalArc arc(Token{}, {5, 5}, 3, 3, kPi / 2, 0, kPi / 2);
  // clang-format off
  const Rows expected = {
      "..........",
      "..........",
      "..........",
      "..........",
      "..........",
      "..#.......",
      "..#.......",
      "...#......",
      "....##....",
      "..........",
  };
  // clang-format on
  ExpectMask(arc.Rasterize(10, 10, 1.0), expected);
}

// Distance from a point to the ellipse arc, by brute force over a very fine polar sampling: an
// independent check of the stroke (for pixels clearly inside or outside the stroke).
double BruteDistance(const EllipticalArc& arc, double x, double y) {
  double best = std::numeric_limits<double>::max();
  const int samples = 200000;
  const double c = std::cos(arc.Rotation());
  const double s = std::sin(arc.Rotation());
  for (int i = 0; i <= samples; ++i) {
    const double phi = arc.StartAngle() + arc.SpanAngle() * i / samples;
    // The point of the ellipse on the ray at polar angle phi.
    const double r = 1.0 / std::hypot(std::cos(phi) / arc.RadiusX(), std::sin(phi) / arc.RadiusY());
    const double u = r * std::cos(phi);
    const double v = r * std::sin(phi);
    const double px = arc.Center().X + c * u - s * v;
    const double py = arc.Center().Y + s * u + c * v;
    best = std::min(best, std::hypot(px - x, py - y));
  }
  return best;
}

TEST(EllipticalArc, RotatedEllipticalStrokeMatchesBruteForceDistance) {
  EllipticalArc arc(Token{}, {9.3, 7.6}, 6.5, 3.2, 0.6, -1.0, 4.0);
  const PixelMask mask = arc.Rasterize(20, 16, 2.0);
  int checked = 0;
  for (int y = 0; y < 16; ++y) {
    for (int x = 0; x < 20; ++x) {
      const double d = BruteDistance(arc, x, y);
      if (std::fabs(d - 1.0) < 0.01) continue;  // too close to the stroke's edge to call
      EXPECT_EQ(mask.At(x, y), d < 1.0) << "pixel " << x << "," << y << " distance " << d;
      ++checked;
    }
  }
  EXPECT_GT(checked, 300);
  EXPECT_GT(mask.Count(), 40);
}

TEST(EllipticalArc, FullSpanIsAClosedRing) {
  EllipticalArc ring(Token{}, {5, 5}, 3, 3, 0, 0, 2 * kPi);
  const PixelMask mask = ring.Rasterize(11, 11, 1.0);
  // Four-fold symmetric, with the four axis points marked.
  for (auto [x, y] : {std::pair{8, 5}, {2, 5}, {5, 8}, {5, 2}}) EXPECT_TRUE(mask.At(x, y));
  EXPECT_FALSE(mask.At(5, 5));
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 11; ++x) EXPECT_EQ(mask.At(x, y), mask.At(10 - x, y));
  }
}

}  // namespace
