// Rasterised areas and strokes against masks worked out by hand from each shape's definition, the
// boundary rule for areas (left and top edges inside, right and bottom edges outside) and the
// stroke rule for curves (pixel centres within max(strokeWidth, 1) / 2 of the curve).
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>

#include "interfaces/core/Ellipse.h"
#include "interfaces/core/EllipticalAnnulusSection.h"
#include "interfaces/core/EllipticalArc.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "tests/core/geometry/GeometryTestSupport.h"

namespace {

using namespace Tamrix::Vision;
using namespace Tamrix::Testing::GeometryTests;

struct RasterCase {
  const char* name;
  std::shared_ptr<IShape> shape;
  int width, height;
  double stroke;
  std::string expected;
};

std::vector<RasterCase> RasterCases() {
  const double r2 = std::sqrt(2.0);
  const std::string line = "........ ........ .######. ........ ........";
  const std::string ellipse =
      "........... ........... .....#..... ...#####... ..######... ...#####... ........... "
      "........... ...........";
  return {
      // x in [2, 6), y in [2, 4).
      {"axis-aligned rectangle", Make<RectangleAffine>(Point2D{4, 3}, 4, 2), 8, 6, 1,
       "........ ........ ..####.. ..####.. ........ ........"},
      // Half-diagonal 2.5: the lattice points with |dx| + |dy| <= 2; none lies on the boundary.
      {"square turned by 45 degrees",
       Make<RectangleAffine>(Point2D{4, 4}, 2.5 * r2, 2.5 * r2, kPi / 4), 9, 9, 1,
       "......... ......... ....#.... ...###... ..#####.. ...###... ....#.... ......... ........."},
      // Skew pi/4: V = (-sin 45, cos 45), so a = dx + dy and b = dy * sqrt(2); with width 3 and
      // height 3 sqrt(2) the area is |dx + dy| <= 1.5, |dy| <= 1.5.
      {"skewed rectangle", Make<RectangleAffine>(Point2D{5, 5}, 3, 3 * r2, 0, kPi / 4), 10, 9, 1,
       ".......... .......... .......... .......... .....###.. ....###... ...###.... .......... "
       ".........."},
      // (dx/3)^2 + (dy/2)^2 <= 1; of the rim points (+-3, 0), (0, +-2) only the left and top ones.
      {"ellipse", Make<Ellipse>(Point2D{5, 4}, 3, 2), 11, 9, 1, ellipse},
      // The same ellipse with its long axis turned by pi/2: the rim points must be decided by the
      // rule, not by cos(pi/2) = 6e-17.
      {"ellipse turned by pi/2", Make<Ellipse>(Point2D{5, 4}, 2, 3, kPi / 2), 11, 9, 1, ellipse},
      // Radius 2 circle at the corner: the rim points (2, 0) and (0, 2) are right and bottom.
      {"circle partly outside", Make<Ellipse>(Point2D{0, 0}, 2, 2), 3, 3, 1, "##. ##. ..."},
      // dx, dy >= 0 and 4 <= dx^2 + dy^2 <= 16. Both rays are a top or left edge here; the outer
      // rim points (4, 0) and (0, 4) are right and bottom.
      {"quarter ring", Make<EllipticalAnnulusSection>(Point2D{1, 1}, 4, 4, 0, 0.5, 0, kPi / 2), 7,
       7, 1, "....... ...##.. ...##.. .####.. .###... ....... ......."},
      // Rotated by pi/2 the quarter covers world angles [pi/2, pi]: the downward ray is a right
      // edge (out), the leftward ray a top edge (in), the inner rim point (-2, 0) lies on the
      // right of the hole (out) and the outer one (-4, 0) on the left (in).
      {"quarter ring turned clockwise",
       Make<EllipticalAnnulusSection>(Point2D{4, 1}, 4, 4, kPi / 2, 0.5, 0, kPi / 2), 7, 6, 1,
       "....... ##..... .##.... .###... ..##... ......."},
      // x in [1, 7), y in [1, 6) without the notch x in [3, 5), y in [3, 6).
      {"concave polygon",
       Make<Polygon>(
           std::vector<Point2D>{{1, 1}, {7, 1}, {7, 6}, {5, 6}, {5, 3}, {3, 3}, {3, 6}, {1, 6}}),
       9, 8, 1, "......... .######.. .######.. .##..##.. .##..##.. .##..##.. ......... ........."},
      // The inner square is wound twice: even-odd leaves a hole where non-zero winding would not.
      // The connecting edge, walked there and back, cancels out.
      {"self-intersecting polygon",
       Make<Polygon>(std::vector<Point2D>{
           {0, 0}, {8, 0}, {8, 8}, {0, 8}, {0, 0}, {2, 2}, {6, 2}, {6, 6}, {2, 6}, {2, 2}}),
       9, 9, 1,
       "########. ########. ##....##. ##....##. ##....##. ##....##. ########. ########. ........."},
      {"stroke width 0 draws as 1", Make<LineSegment>(Point2D{1, 2}, Point2D{6, 2}), 8, 5, 0, line},
      {"stroke width 0.2 draws as 1", Make<LineSegment>(Point2D{1, 2}, Point2D{6, 2}), 8, 5, 0.2,
       line},
      // Neighbours of a diagonal lie at sqrt(1/2) > 1/2.
      {"diagonal line", Make<LineSegment>(Point2D{1, 1}, Point2D{4, 4}), 6, 6, 1,
       "...... .#.... ..#... ...#.. ....#. ......"},
      // Distance |x - 3y| / sqrt(10) within 0.5 means |x - 3y| <= 1.58; the ends are round.
      {"shallow line", Make<LineSegment>(Point2D{0, 0}, Point2D{6, 2}), 8, 4, 1,
       "##...... ..###... .....##. ........"},
      // Half width 1.5: the caps reach (1, 2..4) and (7, 2..4) (sqrt 2) but not (0, 3) (2).
      {"wide line", Make<LineSegment>(Point2D{2, 3}, Point2D{6, 3}), 9, 7, 3,
       "......... ......... .#######. .#######. .#######. ......... ........."},
      {"degenerate line", Make<LineSegment>(Point2D{2, 1}, Point2D{2, 1}), 4, 3, 1,
       ".... ..#. ...."},
      {"clipped line", Make<LineSegment>(Point2D{-5, 1}, Point2D{3, 1}), 5, 3, 1,
       "..... ####. ....."},
      {"line outside", Make<LineSegment>(Point2D{-5, -5}, Point2D{-2, -9}), 5, 3, 1,
       "..... ..... ....."},
      // Radius 3 about (5, 5) from (8, 5) towards +y to (5, 8): | |p - c| - 3 | <= 0.5 gives (8,5),
      // (8,6) [3.16], (7,7) [2.83], (6,8), (5,8); (7,6) and (6,7) lie at 2.24, (8,4) and (4,8) at
      // 1 from the ends.
      {"quarter circle arc", Make<EllipticalArc>(Point2D{5, 5}, 3, 3, 0, 0, kPi / 2), 10, 10, 1,
       ".......... .......... .......... .......... .......... ........#. ........#. .......#.. "
       ".....##... .........."},
      // Rotated by pi/2 the same quarter runs from (5, 8) to (2, 5).
      {"arc turned clockwise", Make<EllipticalArc>(Point2D{5, 5}, 3, 3, kPi / 2, 0, kPi / 2), 10,
       10, 1,
       ".......... .......... .......... .......... .......... ..#....... ..#....... ...#...... "
       "....##.... .........."},
  };
}

TEST(IShape, RasterizeMatchesMasksWorkedOutByHand) {
  for (const auto& c : RasterCases()) {
    SCOPED_TRACE(c.name);
    ExpectMask(c.shape->Rasterize(c.width, c.height, c.stroke), c.expected);
  }
}

// Drawing into a mask that already holds pixels adds the shape's pixels and keeps every other
// pixel as it was, set or clear.
TEST(IShape, RasterizeIntoAddsTheShapeToWhatTheMaskHolds) {
  for (const auto& c : RasterCases()) {
    SCOPED_TRACE(c.name);
    PixelMask target(c.width, c.height);
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) target.Set(x, y, (x + 2 * y) % 3 == 0);
    }
    const PixelMask before = target;
    c.shape->RasterizeInto(target, c.stroke);
    const PixelMask own = c.shape->Rasterize(c.width, c.height, c.stroke);
    for (int y = 0; y < c.height; ++y) {
      for (int x = 0; x < c.width; ++x) {
        EXPECT_EQ(target.At(x, y), before.At(x, y) || own.At(x, y)) << x << "," << y;
      }
    }
  }
}

TEST(IShape, DegenerateShapesAndImagesGiveEmptyOrFullMasks) {
  Polygon twoVertices(Token{}, {{1, 1}, {5, 5}});
  Ellipse flat(Token{}, {0, 0}, 0, 3);
  EXPECT_FALSE(twoVertices.Contains(3, 3));
  EXPECT_FALSE(flat.Contains(0, 0));
  for (const IRegion* nothing : std::vector<const IRegion*>{&twoVertices, &flat}) {
    EXPECT_EQ(nothing->Rasterize(8, 8, 1.0).Count(), 0);
    EXPECT_TRUE(nothing->Bounds().Empty());
  }
  const PixelMask far = RectangleAffine(Token{}, {-50, 400}, 10, 10).Rasterize(20, 10, 1.0);
  EXPECT_EQ(far.Width(), 20);
  EXPECT_EQ(far.Height(), 10);
  EXPECT_EQ(far.Count(), 0);
  Ellipse circle(Token{}, {0, 0}, 2, 2);
  EXPECT_EQ(circle.Rasterize(0, 5, 1.0).Data().size(), 0u);
  EXPECT_EQ(circle.Rasterize(-3, -3, 1.0).Data().size(), 0u);
  EXPECT_EQ(Ellipse(Token{}, {5, 5}, 1e7, 1e7).Rasterize(4, 3, 1.0).Count(), 12);
  LineSegment line(Token{}, {0, 0}, {3, 3});
  EXPECT_THROW(line.Rasterize(5, 5, std::numeric_limits<double>::quiet_NaN()), ArgumentException);
  EXPECT_THROW(line.Rasterize(5, 5, std::numeric_limits<double>::infinity()), ArgumentException);
}

// The rasterised mask is exactly the set of pixels whose centre Contains() accepts.
TEST(IRegion, RasterizeAgreesWithContainsPixelByPixel) {
  const std::vector<std::shared_ptr<IRegion>> regions = {
      Make<RectangleAffine>(Point2D{7.3, 6.1}, 9.2, 4.7, 0.7, -0.4),
      Make<Ellipse>(Point2D{8, 8}, 6.5, 3.2, 2.1),
      Make<EllipticalAnnulusSection>(Point2D{8, 7}, 7, 5, 0.3, 0.4, 2.5, 4),
      Make<Polygon>(std::vector<Point2D>{{1, 1}, {14, 3}, {3, 6}, {12, 13}}),
  };
  for (const auto& region : regions) {
    const PixelMask mask = region->Rasterize(16, 15, 1.0);
    for (int y = 0; y < 15; ++y) {
      for (int x = 0; x < 16; ++x) {
        EXPECT_EQ(mask.At(x, y), region->Contains(x, y))
            << region->ToString() << " " << x << "," << y;
      }
    }
    EXPECT_GT(mask.Count(), 0) << region->ToString();
  }
}

// Distance from a point to the arc by brute force over a very fine polar sampling.
double BruteDistance(const EllipticalArc& arc, double x, double y) {
  double best = std::numeric_limits<double>::max();
  const int samples = 200000;
  const double c = std::cos(arc.Rotation()), s = std::sin(arc.Rotation());
  for (int i = 0; i <= samples; ++i) {
    const double phi = arc.StartAngle() + arc.SpanAngle() * i / samples;
    // The point of the ellipse on the ray at polar angle phi.
    const double r = 1.0 / std::hypot(std::cos(phi) / arc.RadiusX(), std::sin(phi) / arc.RadiusY());
    const double u = r * std::cos(phi), v = r * std::sin(phi);
    best = std::min(
        best, std::hypot(arc.Center().X + c * u - s * v - x, arc.Center().Y + s * u + c * v - y));
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
  const PixelMask mask = EllipticalArc(Token{}, {5, 5}, 3, 3, 0, 0, 2 * kPi).Rasterize(11, 11, 1.0);
  for (auto [x, y] : {std::pair{8, 5}, {2, 5}, {5, 8}, {5, 2}}) EXPECT_TRUE(mask.At(x, y));
  EXPECT_FALSE(mask.At(5, 5));
  for (int y = 0; y < 11; ++y) {
    for (int x = 0; x < 11; ++x) EXPECT_EQ(mask.At(x, y), mask.At(10 - x, y));
  }
}

}  // namespace
