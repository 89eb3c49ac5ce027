// Contains on boundaries, exact bounds, setter validation and change flags of the shapes.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>

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
using GeometryTest::FlagLog;
using GeometryTest::Token;

constexpr double kPi = 3.14159265358979323846;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ContainsCase {
  const char* what;
  double x, y;
  bool inside;
};

void CheckContains(const IRegion& region, const std::vector<ContainsCase>& cases) {
  for (const auto& c : cases) {
    EXPECT_EQ(region.Contains(c.x, c.y), c.inside) << c.what << " (" << c.x << ", " << c.y << ")";
  }
}

TEST(RectangleAffine, ContainsKeepsLeftAndTopEdgesOnly) {
  RectangleAffine rectangle(Token{}, {4, 3}, 4, 2);  // [2, 6] x [2, 4]
  CheckContains(rectangle, {{"top-left corner", 2, 2, true},
                            {"top-right corner", 6, 2, false},
                            {"bottom-left corner", 2, 4, false},
                            {"top edge", 4, 2, true},
                            {"bottom edge", 4, 4, false},
                            {"left edge", 2, 3, true},
                            {"right edge", 6, 3, false},
                            {"centre", 4, 3, true},
                            {"just left of the left edge", 1.999, 3, false},
                            {"just inside the right edge", 5.999, 3.999, true}});
}

TEST(RectangleAffine, RotatedByPiEdgesSwapRoles) {
  // Turned half way round the same point set has the same left and right edges.
  RectangleAffine rectangle(Token{}, {4, 3}, 4, 2, kPi);
  CheckContains(rectangle, {{"left edge", 2, 3, true},
                            {"right edge", 6, 3, false},
                            {"top edge", 4, 2, true},
                            {"bottom edge", 4, 4, false}});
}

TEST(Ellipse, ContainsKeepsLeftAndTopRimPoints) {
  Ellipse circle(Token{}, {0, 0}, 2, 2);
  CheckContains(circle, {{"leftmost", -2, 0, true},
                         {"rightmost", 2, 0, false},
                         {"topmost", 0, -2, true},
                         {"bottommost", 0, 2, false},
                         {"upper left rim", -std::sqrt(2.0), -std::sqrt(2.0), true},
                         {"lower right rim", std::sqrt(2.0), std::sqrt(2.0), false},
                         {"centre", 0, 0, true}});
}

TEST(Ellipse, ZeroRadiusContainsNothing) {
  Ellipse flat(Token{}, {0, 0}, 0, 3);
  EXPECT_FALSE(flat.Contains(0, 0));
  EXPECT_TRUE(flat.Bounds().Empty());
  EXPECT_EQ(flat.Rasterize(4, 4, 1.0).Count(), 0);
}

TEST(Polygon, ContainsOnEdgesAndVertices) {
  Polygon triangle(Token{}, {{0, 0}, {4, 0}, {0, 4}});
  CheckContains(triangle, {{"left edge", 0, 2, true},
                           {"top edge", 2, 0, true},
                           {"hypotenuse (faces right and down)", 2, 2, false},
                           {"top-left vertex", 0, 0, true},
                           {"right vertex", 4, 0, false},
                           {"bottom vertex", 0, 4, false},
                           {"inside", 1, 1, true}});
}

TEST(EllipticalAnnulusSection, ContainsOnRimsAndRays) {
  EllipticalAnnulusSection quarter(Token{}, {0, 0}, 4, 4, 0, 0.5, 0, kPi / 2);
  CheckContains(quarter, {{"inner rim on the start ray", 2, 0, true},
                          {"outer rim on the start ray", 4, 0, false},
                          {"inner rim on the end ray", 0, 2, true},
                          {"outer rim on the end ray", 0, 4, false},
                          {"start ray", 3, 0, true},
                          {"end ray", 0, 3, true},
                          {"hole", 0.5, 0.5, false},
                          {"outside the angles", -3, 0.5, false},
                          {"inside", 2, 2, true}});
}

TEST(EllipticalAnnulusSection, FourQuadrantSectorsClaimEveryPointExactlyOnce) {
  // Sectors with no inner rim meet at the centre and along the axes; the boundary rule gives
  // each point to exactly one of them, the centre included.
  std::vector<std::unique_ptr<EllipticalAnnulusSection>> sectors;
  for (int i = 0; i < 4; ++i) {
    sectors.push_back(std::make_unique<EllipticalAnnulusSection>(Token{}, Point2D{0, 0}, 3, 3, 0,
                                                                 0.0, i * kPi / 2, kPi / 2));
  }
  for (const auto& point : std::vector<Point2D>{{0, 0}, {1, 0}, {0, 1}, {-1, 0}, {0, -1}, {1, 1}}) {
    int owners = 0;
    for (const auto& sector : sectors) owners += sector->Contains(point.X, point.Y) ? 1 : 0;
    EXPECT_EQ(owners, 1) << "(" << point.X << ", " << point.Y << ")";
  }
  EXPECT_TRUE(sectors[0]->Contains(0, 0));  // the sector to the lower right of the apex
}

// Areas sharing a boundary must split its pixels between them.
void ExpectPartition(const IRegion& a, const IRegion& b, const IRegion& whole, int width,
                     int height) {
  const PixelMask ma = a.Rasterize(width, height, 1.0);
  const PixelMask mb = b.Rasterize(width, height, 1.0);
  const PixelMask mw = whole.Rasterize(width, height, 1.0);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      EXPECT_FALSE(ma.At(x, y) && mb.At(x, y)) << "both claim " << x << "," << y;
      EXPECT_EQ(ma.At(x, y) || mb.At(x, y), mw.At(x, y)) << "at " << x << "," << y;
    }
  }
  EXPECT_GT(mw.Count(), 0);
}

TEST(RectangleAffine, RectanglesSharingAnEdgeNeverBothClaimAPixel) {
  ExpectPartition(RectangleAffine(Token{}, {3, 5}, 4, 4), RectangleAffine(Token{}, {7, 5}, 4, 4),
                  RectangleAffine(Token{}, {5, 5}, 8, 4), 10, 10);
}

TEST(RectangleAffine, RotatedHalvesPartitionTheWhole) {
  // Halves of a rectangle rotated by 30 degrees; the shared edge passes through the lattice point
  // (5, 5), the whole rectangle's centre.
  const double angle = kPi / 6;
  const Point2D u{std::cos(angle), std::sin(angle)};
  RectangleAffine left(Token{}, {5 - 1.5 * u.X, 5 - 1.5 * u.Y}, 3, 5, angle);
  RectangleAffine right(Token{}, {5 + 1.5 * u.X, 5 + 1.5 * u.Y}, 3, 5, angle);
  RectangleAffine whole(Token{}, {5, 5}, 6, 5, angle);
  ExpectPartition(left, right, whole, 11, 11);
  EXPECT_NE(left.Contains(5, 5), right.Contains(5, 5));
}

TEST(Polygon, TrianglesSplittingASquareAlongItsDiagonalPartitionIt) {
  Polygon upper(Token{}, {{1, 1}, {7, 1}, {7, 7}});
  Polygon lower(Token{}, {{1, 1}, {7, 7}, {1, 7}});
  Polygon square(Token{}, {{1, 1}, {7, 1}, {7, 7}, {1, 7}});
  ExpectPartition(upper, lower, square, 9, 9);
  EXPECT_EQ(square.Rasterize(9, 9, 1.0).Count(), 36);
}

TEST(EllipticalAnnulusSection, SectionsSharingARayPartitionTheirUnion) {
  EllipticalAnnulusSection first(Token{}, {6, 6}, 5, 4, 0.3, 0.4, 0, kPi / 2);
  EllipticalAnnulusSection second(Token{}, {6, 6}, 5, 4, 0.3, 0.4, kPi / 2, kPi / 2);
  EllipticalAnnulusSection both(Token{}, {6, 6}, 5, 4, 0.3, 0.4, 0, kPi);
  ExpectPartition(first, second, both, 13, 13);
}

void ExpectBox(const BoundingBox& box, double x0, double y0, double x1, double y1) {
  EXPECT_NEAR(box.X0, x0, 1e-9);
  EXPECT_NEAR(box.Y0, y0, 1e-9);
  EXPECT_NEAR(box.X1, x1, 1e-9);
  EXPECT_NEAR(box.Y1, y1, 1e-9);
}

TEST(IShape, BoundsAreExact) {
  const double r2 = std::sqrt(2.0);
  ExpectBox(RectangleAffine(Token{}, {4, 3}, 4, 2).Bounds(), 2, 2, 6, 4);
  ExpectBox(RectangleAffine(Token{}, {0, 0}, 2 * r2, 2 * r2, kPi / 4).Bounds(), -2, -2, 2, 2);
  // Skew pi/4, width 2, height 2 sqrt 2: corners (a - b sin s, b cos s) for a, b = +-1, +-sqrt 2.
  ExpectBox(RectangleAffine(Token{}, {0, 0}, 2, 2 * r2, 0, kPi / 4).Bounds(), -2, -1, 2, 1);
  ExpectBox(Ellipse(Token{}, {1, 2}, 3, 1, kPi / 2).Bounds(), 0, -1, 2, 5);
  ExpectBox(Ellipse(Token{}, {0, 0}, 3, 1, kPi / 4).Bounds(), -std::sqrt(5.0), -std::sqrt(5.0),
            std::sqrt(5.0), std::sqrt(5.0));
  ExpectBox(Polygon(Token{}, {{1, 5}, {-2, 3}, {4, -1}}).Bounds(), -2, -1, 4, 5);
  ExpectBox(LineSegment(Token{}, {3, -1}, {-2, 4}).Bounds(), -2, -1, 3, 4);
  ExpectBox(EllipticalArc(Token{}, {0, 0}, 2, 2, 0, 0, kPi / 2).Bounds(), 0, 0, 2, 2);
  // Through angle 0, the rightmost point.
  ExpectBox(EllipticalArc(Token{}, {0, 0}, 2, 2, 0, -kPi / 4, kPi / 2).Bounds(), r2, -r2, 2, r2);
  // Polar angles of an ellipse: the ray at 45 degrees meets x^2/16 + y^2 = 1 at x = y = 4/sqrt17.
  const double e = 4 / std::sqrt(17.0);
  ExpectBox(EllipticalArc(Token{}, {0, 0}, 4, 1, 0, 0, kPi / 4).Bounds(), e, 0, 4, e);
  ExpectBox(EllipticalAnnulusSection(Token{}, {0, 0}, 4, 4, 0, 0.5, 0, kPi / 2).Bounds(), 0, 0, 4,
            4);
  ExpectBox(EllipticalAnnulusSection(Token{}, {0, 0}, 4, 4, 0, 0.5, kPi / 4, kPi / 2).Bounds(),
            -2 * r2, r2, 2 * r2, 4);
  ExpectBox(EllipticalAnnulusSection(Token{}, {1, 1}, 4, 4, 0, 0.0, 0, kPi / 2).Bounds(), 1, 1, 5,
            5);
}

// One setter call, what it must raise, and how it must fail.
struct SetterCase {
  std::string name;
  std::function<std::shared_ptr<ChangedEventShareableBase>()> make;
  std::function<void(ChangedEventShareableBase&)> change;
  long long flag;
  std::function<void(ChangedEventShareableBase&)> refuse;
  std::string message;
};

template <class T>
std::function<void(ChangedEventShareableBase&)> On(std::function<void(T&)> f) {
  return [f](ChangedEventShareableBase& object) { f(dynamic_cast<T&>(object)); };
}

template <class T>
std::function<std::shared_ptr<ChangedEventShareableBase>()> Make() {
  return [] { return std::make_shared<T>(Token{}); };
}

std::vector<SetterCase> SetterCases() {
  return {
      {"Ellipse radiusX", Make<Ellipse>(), On<Ellipse>([](Ellipse& e) { e.setRadiusX(5); }),
       Ellipse::SfRadiusX, On<Ellipse>([](Ellipse& e) { e.setRadiusX(-1); }),
       "Ellipse::setRadiusX: radiusX must be >= 0, found -1"},
      {"Ellipse radiusY", Make<Ellipse>(), On<Ellipse>([](Ellipse& e) { e.setRadiusY(5); }),
       Ellipse::SfRadiusY, On<Ellipse>([](Ellipse& e) { e.setRadiusY(-0.5); }),
       "Ellipse::setRadiusY: radiusY must be >= 0, found -0.5"},
      {"Ellipse centre", Make<Ellipse>(), On<Ellipse>([](Ellipse& e) {
         e.setCenter({1, 2});
       }),
       Ellipse::SfCenter, On<Ellipse>([](Ellipse& e) {
         e.setCenter({kNaN, 2});
       }),
       "Ellipse::setCenter: the centre must have finite coordinates, found (nan, 2)"},
      {"Ellipse rotation", Make<Ellipse>(), On<Ellipse>([](Ellipse& e) { e.setRotation(1); }),
       Ellipse::SfRotation, On<Ellipse>([](Ellipse& e) { e.setRotation(kNaN); }),
       "Ellipse::setRotation: the rotation must be a finite number, found nan"},
      {"RectangleAffine width", Make<RectangleAffine>(),
       On<RectangleAffine>([](RectangleAffine& r) { r.setWidth(3); }), RectangleAffine::SfWidth,
       On<RectangleAffine>([](RectangleAffine& r) { r.setWidth(-2); }),
       "RectangleAffine::setWidth: the width must be >= 0, found -2"},
      {"RectangleAffine height", Make<RectangleAffine>(),
       On<RectangleAffine>([](RectangleAffine& r) { r.setHeight(3); }), RectangleAffine::SfHeight,
       On<RectangleAffine>([](RectangleAffine& r) { r.setHeight(-2); }),
       "RectangleAffine::setHeight: the height must be >= 0, found -2"},
      {"RectangleAffine skew", Make<RectangleAffine>(),
       On<RectangleAffine>([](RectangleAffine& r) { r.setSkew(0.3); }), RectangleAffine::SfSkew,
       On<RectangleAffine>([](RectangleAffine& r) { r.setSkew(kPi / 2); }),
       "RectangleAffine::setSkew: the skew must be in (-pi/2, pi/2), found 1.5708"},
      {"RectangleAffine rotation", Make<RectangleAffine>(),
       On<RectangleAffine>([](RectangleAffine& r) { r.setRotation(0.3); }),
       RectangleAffine::SfRotation, On<RectangleAffine>([](RectangleAffine& r) {
         r.setRotation(std::numeric_limits<double>::infinity());
       }),
       "RectangleAffine::setRotation: the rotation must be a finite number, found inf"},
      {"Annulus inner ratio", Make<EllipticalAnnulusSection>(),
       On<EllipticalAnnulusSection>(
           [](EllipticalAnnulusSection& a) { a.setInnerRadiusRatio(0.25); }),
       EllipticalAnnulusSection::SfInnerRadiusRatio,
       On<EllipticalAnnulusSection>([](EllipticalAnnulusSection& a) { a.setInnerRadiusRatio(1); }),
       "EllipticalAnnulusSection::setInnerRadiusRatio: the inner radius ratio must be in [0, 1), "
       "found 1"},
      {"Annulus span", Make<EllipticalAnnulusSection>(),
       On<EllipticalAnnulusSection>([](EllipticalAnnulusSection& a) { a.setSpanAngle(1); }),
       EllipticalAnnulusSection::SfSpanAngle,
       On<EllipticalAnnulusSection>([](EllipticalAnnulusSection& a) { a.setSpanAngle(-0.1); }),
       "EllipticalAnnulusSection::setSpanAngle: the span angle must be in [0, 6.28319], found "
       "-0.1"},
      {"Annulus radiusX", Make<EllipticalAnnulusSection>(),
       On<EllipticalAnnulusSection>([](EllipticalAnnulusSection& a) { a.setRadiusX(2); }),
       EllipticalAnnulusSection::SfRadiusX,
       On<EllipticalAnnulusSection>([](EllipticalAnnulusSection& a) { a.setRadiusX(-2); }),
       "EllipticalAnnulusSection::setRadiusX: radiusX must be >= 0, found -2"},
      {"Annulus start", Make<EllipticalAnnulusSection>(),
       On<EllipticalAnnulusSection>([](EllipticalAnnulusSection& a) { a.setStartAngle(2); }),
       EllipticalAnnulusSection::SfStartAngle,
       On<EllipticalAnnulusSection>([](EllipticalAnnulusSection& a) { a.setStartAngle(kNaN); }),
       "EllipticalAnnulusSection::setStartAngle: the start angle must be a finite number, found "
       "nan"},
      {"Arc radiusY", Make<EllipticalArc>(),
       On<EllipticalArc>([](EllipticalArc& a) { a.setRadiusY(2); }), EllipticalArc::SfRadiusY,
       On<EllipticalArc>([](EllipticalArc& a) { a.setRadiusY(0); }),
       "EllipticalArc::setRadiusY: radiusY must be > 0, found 0"},
      {"Arc span", Make<EllipticalArc>(),
       On<EllipticalArc>([](EllipticalArc& a) { a.setSpanAngle(3); }), EllipticalArc::SfSpanAngle,
       On<EllipticalArc>([](EllipticalArc& a) { a.setSpanAngle(7); }),
       "EllipticalArc::setSpanAngle: the span angle must be in [0, 6.28319], found 7"},
      {"Line end", Make<LineSegment>(), On<LineSegment>([](LineSegment& l) {
         l.setEnd({3, 4});
       }),
       LineSegment::SfEnd, On<LineSegment>([](LineSegment& l) {
         l.setEnd({1, kNaN});
       }),
       "LineSegment::setEnd: the end point must have finite coordinates, found (1, nan)"},
      {"Polygon vertices", Make<Polygon>(), On<Polygon>([](Polygon& p) {
         p.setVertices({{0, 0}, {3, 4}, {0, 4}});
       }),
       Polygon::SfVertices, On<Polygon>([](Polygon& p) {
         p.setVertices({{0, 0}, {kNaN, 1}});
       }),
       "Polygon::setVertices: a vertex must have finite coordinates, found (nan, 1)"},
  };
}

TEST(IShape, SettersRaiseTheirOwnFlagOnceAndRefuseBadValuesWithoutChange) {
  for (const auto& c : SetterCases()) {
    SCOPED_TRACE(c.name);
    auto object = c.make();
    FlagLog log(*object);
    c.change(*object);
    EXPECT_EQ(log.flags, std::vector<long long>{c.flag});
    c.change(*object);  // the same value again changes nothing
    EXPECT_EQ(log.flags.size(), 1u);
    const auto before = GeometryTest::Save<ChangedEventShareableBase>(object);
    try {
      c.refuse(*object);
      ADD_FAILURE() << "expected ArgumentException";
    } catch (const ArgumentException& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
    EXPECT_EQ(GeometryTest::Save<ChangedEventShareableBase>(object), before) << "state changed";
  }
}

TEST(IShape, ChangeFlagsAreDistinctBitsAboveTheNameFlag) {
  const std::vector<long long> flags = {
      EllipticalAnnulusSection::SfCenter,           EllipticalAnnulusSection::SfRadiusX,
      EllipticalAnnulusSection::SfRadiusY,          EllipticalAnnulusSection::SfRotation,
      EllipticalAnnulusSection::SfInnerRadiusRatio, EllipticalAnnulusSection::SfStartAngle,
      EllipticalAnnulusSection::SfSpanAngle};
  long long seen = GraphicInteractiveBase::SfName;
  for (long long flag : flags) {
    EXPECT_EQ(flag & (flag - 1), 0) << flag;
    EXPECT_EQ(seen & flag, 0) << flag;
    seen |= flag;
  }
  EXPECT_EQ(EllipticalAnnulusSection::SfNextSf_, EllipticalAnnulusSection::SfSpanAngle << 1);
}

TEST(GraphicInteractiveBase, SetNameRaisesSfNameOnlyOnChange) {
  auto polygon = std::make_shared<Polygon>(Token{});
  FlagLog log(*polygon);
  polygon->setName("roi");
  polygon->setName("roi");
  EXPECT_EQ(polygon->Name(), "roi");
  EXPECT_EQ(log.flags, std::vector<long long>{GraphicInteractiveBase::SfName});
}

TEST(Polygon, HighlightAndVertexEditsRaiseTheirFlags) {
  auto polygon = std::make_shared<Polygon>(Token{}, std::vector<Point2D>{{0, 0}, {4, 0}, {0, 4}});
  FlagLog log(*polygon);
  polygon->setHighlighted(true);
  polygon->setVertex(1, {5, 0});
  polygon->setVertex(1, {5, 0});
  polygon->RemoveVertex(0);
  EXPECT_EQ(log.flags, (std::vector<long long>{Polygon::SfHighlighted, Polygon::SfVertices,
                                               Polygon::SfVertices}));
  EXPECT_EQ(polygon->Count(), 2);
  EXPECT_EQ(polygon->Vertex(0), (Point2D{5, 0}));
  EXPECT_THROW(polygon->Vertex(2), ArgumentException);
}

TEST(IShape, ConstructorsRefuseInvalidGeometry) {
  EXPECT_THROW(Ellipse(Token{}, {0, 0}, -1, 2), ArgumentException);
  EXPECT_THROW(RectangleAffine(Token{}, {0, 0}, 1, -2), ArgumentException);
  EXPECT_THROW(RectangleAffine(Token{}, {0, 0}, 1, 2, 0, -kPi / 2), ArgumentException);
  EXPECT_THROW(EllipticalArc(Token{}, {0, 0}, 1, 2, 0, 0, 2 * kPi + 0.01), ArgumentException);
  EXPECT_THROW(EllipticalAnnulusSection(Token{}, {0, 0}, 1, 2, 0, -0.1, 0, 1), ArgumentException);
  EXPECT_THROW(Polygon(Token{}, {{0, std::numeric_limits<double>::infinity()}}), ArgumentException);
}

TEST(IShape, CurvesAreNotAreasAndAreasAre) {
  EXPECT_FALSE(LineSegment(Token{}).IsArea());
  EXPECT_FALSE(EllipticalArc(Token{}).IsArea());
  EXPECT_TRUE(Polygon(Token{}).IsArea());
  EXPECT_TRUE(Ellipse(Token{}).IsArea());
  EXPECT_TRUE(RectangleAffine(Token{}).IsArea());
  EXPECT_TRUE(EllipticalAnnulusSection(Token{}).IsArea());
}

}  // namespace
