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
using namespace Tamrix::Testing::GeometryTests;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

struct ContainsCase {
  const char* name;
  std::shared_ptr<IRegion> region;
  std::vector<Point2D> inside, outside;
};

TEST(IRegion, ContainsKeepsLeftAndTopBoundariesOnly) {
  const double r = std::sqrt(2.0);
  const std::vector<ContainsCase> cases = {
      // [2, 6] x [2, 4]: corners, edge midpoints, centre, just outside the left, inside the right.
      {"rectangle",
       Make<RectangleAffine>(Point2D{4, 3}, 4, 2),
       {{2, 2}, {4, 2}, {2, 3}, {4, 3}, {5.999, 3.999}},
       {{6, 2}, {2, 4}, {4, 4}, {6, 3}, {1.999, 3}}},
      // Turned half way round, the same point set keeps the same left and right edges.
      {"rectangle turned by pi",
       Make<RectangleAffine>(Point2D{4, 3}, 4, 2, kPi),
       {{2, 3}, {4, 2}},
       {{6, 3}, {4, 4}}},
      {"circle",
       Make<Ellipse>(Point2D{0, 0}, 2, 2),
       {{-2, 0}, {0, -2}, {-r, -r}, {0, 0}},
       {{2, 0}, {0, 2}, {r, r}}},
      // The hypotenuse faces right and down.
      {"triangle",
       Make<Polygon>(std::vector<Point2D>{{0, 0}, {4, 0}, {0, 4}}),
       {{0, 2}, {2, 0}, {0, 0}, {1, 1}},
       {{2, 2}, {4, 0}, {0, 4}}},
      // Inner rims and both rays are in, outer rims, the hole and other angles out.
      {"quarter ring",
       Make<EllipticalAnnulusSection>(Point2D{0, 0}, 4, 4, 0, 0.5, 0, kPi / 2),
       {{2, 0}, {0, 2}, {3, 0}, {0, 3}, {2, 2}},
       {{4, 0}, {0, 4}, {0.5, 0.5}, {-3, 0.5}}},
  };
  for (const auto& c : cases) {
    for (const auto& p : c.inside)
      EXPECT_TRUE(c.region->Contains(p.X, p.Y)) << c.name << " " << p.X << "," << p.Y;
    for (const auto& p : c.outside)
      EXPECT_FALSE(c.region->Contains(p.X, p.Y)) << c.name << " " << p.X << "," << p.Y;
  }
}

TEST(EllipticalAnnulusSection, FourQuadrantSectorsClaimEveryPointExactlyOnce) {
  // Sectors with no inner rim meet at the centre and along the axes; the boundary rule gives
  // each point to exactly one of them, the centre to the one at the lower right of the apex.
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
  EXPECT_TRUE(sectors[0]->Contains(0, 0));
}

// Areas sharing a boundary must split its pixels between them: no pixel in both, and together
// exactly the pixels of the whole.
TEST(IRegion, AreasSharingABoundaryPartitionTheirUnion) {
  const double angle = kPi / 6;
  const Point2D u{1.5 * std::cos(angle), 1.5 * std::sin(angle)};
  struct Case {
    std::shared_ptr<IRegion> a, b, whole;
    int size;
  };
  const std::vector<Case> cases = {
      {Make<RectangleAffine>(Point2D{3, 5}, 4, 4), Make<RectangleAffine>(Point2D{7, 5}, 4, 4),
       Make<RectangleAffine>(Point2D{5, 5}, 8, 4), 10},
      // Halves of a rectangle rotated by 30 degrees; the shared edge passes through the lattice
      // point (5, 5).
      {Make<RectangleAffine>(Point2D{5 - u.X, 5 - u.Y}, 3, 5, angle),
       Make<RectangleAffine>(Point2D{5 + u.X, 5 + u.Y}, 3, 5, angle),
       Make<RectangleAffine>(Point2D{5, 5}, 6, 5, angle), 11},
      {Make<Polygon>(std::vector<Point2D>{{1, 1}, {7, 1}, {7, 7}}),
       Make<Polygon>(std::vector<Point2D>{{1, 1}, {7, 7}, {1, 7}}),
       Make<Polygon>(std::vector<Point2D>{{1, 1}, {7, 1}, {7, 7}, {1, 7}}), 9},
      {Make<EllipticalAnnulusSection>(Point2D{6, 6}, 5, 4, 0.3, 0.4, 0, kPi / 2),
       Make<EllipticalAnnulusSection>(Point2D{6, 6}, 5, 4, 0.3, 0.4, kPi / 2, kPi / 2),
       Make<EllipticalAnnulusSection>(Point2D{6, 6}, 5, 4, 0.3, 0.4, 0, kPi), 13},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.whole->ToString());
    const PixelMask ma = c.a->Rasterize(c.size, c.size, 1.0);
    const PixelMask mb = c.b->Rasterize(c.size, c.size, 1.0);
    const PixelMask mw = c.whole->Rasterize(c.size, c.size, 1.0);
    for (int y = 0; y < c.size; ++y) {
      for (int x = 0; x < c.size; ++x) {
        EXPECT_FALSE(ma.At(x, y) && mb.At(x, y)) << "both claim " << x << "," << y;
        EXPECT_EQ(ma.At(x, y) || mb.At(x, y), mw.At(x, y)) << "at " << x << "," << y;
      }
    }
    EXPECT_GT(mw.Count(), 0);
  }
  EXPECT_NE(cases[1].a->Contains(5, 5), cases[1].b->Contains(5, 5));
  EXPECT_EQ(cases[2].whole->Rasterize(9, 9, 1.0).Count(), 36);
}

TEST(IShape, BoundsAreExact) {
  const double r2 = std::sqrt(2.0), r5 = std::sqrt(5.0);
  // Polar angles of an ellipse: the ray at 45 degrees meets x^2/16 + y^2 = 1 at x = y = 4/sqrt17.
  const double e = 4 / std::sqrt(17.0);
  const std::vector<std::pair<std::shared_ptr<IShape>, BoundingBox>> cases = {
      {Make<RectangleAffine>(Point2D{4, 3}, 4, 2), {2, 2, 6, 4}},
      {Make<RectangleAffine>(Point2D{0, 0}, 2 * r2, 2 * r2, kPi / 4), {-2, -2, 2, 2}},
      // Skew pi/4, width 2, height 2 sqrt 2: corners (a - b sin s, b cos s), a, b = +-1, +-sqrt 2.
      {Make<RectangleAffine>(Point2D{0, 0}, 2, 2 * r2, 0, kPi / 4), {-2, -1, 2, 1}},
      {Make<Ellipse>(Point2D{1, 2}, 3, 1, kPi / 2), {0, -1, 2, 5}},
      {Make<Ellipse>(Point2D{0, 0}, 3, 1, kPi / 4), {-r5, -r5, r5, r5}},
      {Make<Polygon>(std::vector<Point2D>{{1, 5}, {-2, 3}, {4, -1}}), {-2, -1, 4, 5}},
      {Make<LineSegment>(Point2D{3, -1}, Point2D{-2, 4}), {-2, -1, 3, 4}},
      {Make<EllipticalArc>(Point2D{0, 0}, 2, 2, 0, 0, kPi / 2), {0, 0, 2, 2}},
      // Through angle 0, the rightmost point.
      {Make<EllipticalArc>(Point2D{0, 0}, 2, 2, 0, -kPi / 4, kPi / 2), {r2, -r2, 2, r2}},
      {Make<EllipticalArc>(Point2D{0, 0}, 4, 1, 0, 0, kPi / 4), {e, 0, 4, e}},
      {Make<EllipticalAnnulusSection>(Point2D{0, 0}, 4, 4, 0, 0.5, 0, kPi / 2), {0, 0, 4, 4}},
      {Make<EllipticalAnnulusSection>(Point2D{0, 0}, 4, 4, 0, 0.5, kPi / 4, kPi / 2),
       {-2 * r2, r2, 2 * r2, 4}},
      {Make<EllipticalAnnulusSection>(Point2D{1, 1}, 4, 4, 0, 0.0, 0, kPi / 2), {1, 1, 5, 5}},
  };
  for (const auto& [shape, box] : cases) {
    const BoundingBox b = shape->Bounds();
    EXPECT_NEAR(b.X0, box.X0, 1e-9) << shape->ToString();
    EXPECT_NEAR(b.Y0, box.Y0, 1e-9) << shape->ToString();
    EXPECT_NEAR(b.X1, box.X1, 1e-9) << shape->ToString();
    EXPECT_NEAR(b.Y1, box.Y1, 1e-9) << shape->ToString();
  }
}

// One setter with a value it must accept and raise `flag` for, and one it must refuse.
struct SetterCase {
  std::function<std::shared_ptr<ChangedEventShareableBase>()> make;
  std::function<void(ChangedEventShareableBase&, bool good)> set;
  long long flag;
  std::string message;
};

template <class T, class C, class V>
SetterCase Setter(void (C::*setter)(V), V good, V bad, long long flag, std::string message) {
  return {[] { return Make<T>(); },
          [=](ChangedEventShareableBase& object, bool isGood) {
            (dynamic_cast<T&>(object).*setter)(isGood ? good : bad);
          },
          flag, std::move(message)};
}

TEST(IShape, SettersRaiseTheirOwnFlagOnceAndRefuseBadValuesWithoutChange) {
  using E = Ellipse;
  using R = RectangleAffine;
  using A = EllipticalAnnulusSection;
  using Arc = EllipticalArc;
  const std::vector<SetterCase> cases = {
      Setter<E>(&E::setRadiusX, 5.0, -1.0, E::SfRadiusX,
                "Ellipse::setRadiusX: radiusX must be >= 0, found -1"),
      Setter<E>(&E::setRadiusY, 5.0, -0.5, E::SfRadiusY,
                "Ellipse::setRadiusY: radiusY must be >= 0, found -0.5"),
      Setter<E>(&E::setCenter, Point2D{1, 2}, Point2D{kNaN, 2}, E::SfCenter,
                "Ellipse::setCenter: the centre must have finite coordinates, found (nan, 2)"),
      Setter<E>(&E::setRotation, 1.0, kNaN, E::SfRotation,
                "Ellipse::setRotation: the rotation must be a finite number, found nan"),
      Setter<R>(&R::setWidth, 3.0, -2.0, R::SfWidth,
                "RectangleAffine::setWidth: the width must be >= 0, found -2"),
      Setter<R>(&R::setHeight, 3.0, -2.0, R::SfHeight,
                "RectangleAffine::setHeight: the height must be >= 0, found -2"),
      Setter<R>(&R::setSkew, 0.3, kPi / 2, R::SfSkew,
                "RectangleAffine::setSkew: the skew must be in (-pi/2, pi/2), found 1.5708"),
      Setter<R>(&R::setRotation, 0.3, std::numeric_limits<double>::infinity(), R::SfRotation,
                "RectangleAffine::setRotation: the rotation must be a finite number, found inf"),
      Setter<A>(&A::setInnerRadiusRatio, 0.25, 1.0, A::SfInnerRadiusRatio,
                "EllipticalAnnulusSection::setInnerRadiusRatio: the inner radius ratio must be in "
                "[0, 1), found 1"),
      Setter<A>(&A::setSpanAngle, 1.0, -0.1, A::SfSpanAngle,
                "EllipticalAnnulusSection::setSpanAngle: the span angle must be in [0, 6.28319], "
                "found -0.1"),
      Setter<A>(&A::setRadiusX, 2.0, -2.0, A::SfRadiusX,
                "EllipticalAnnulusSection::setRadiusX: radiusX must be >= 0, found -2"),
      Setter<A>(&A::setStartAngle, 2.0, kNaN, A::SfStartAngle,
                "EllipticalAnnulusSection::setStartAngle: the start angle must be a finite "
                "number, found nan"),
      Setter<Arc>(&Arc::setRadiusY, 2.0, 0.0, Arc::SfRadiusY,
                  "EllipticalArc::setRadiusY: radiusY must be > 0, found 0"),
      Setter<Arc>(&Arc::setSpanAngle, 3.0, 7.0, Arc::SfSpanAngle,
                  "EllipticalArc::setSpanAngle: the span angle must be in [0, 6.28319], found 7"),
      Setter<LineSegment>(
          &LineSegment::setEnd, Point2D{3, 4}, Point2D{1, kNaN}, LineSegment::SfEnd,
          "LineSegment::setEnd: the end point must have finite coordinates, found (1, nan)"),
      Setter<Polygon>(
          &Polygon::setVertices, std::vector<Point2D>{{0, 0}, {3, 4}, {0, 4}},
          std::vector<Point2D>{{0, 0}, {kNaN, 1}}, Polygon::SfVertices,
          "Polygon::setVertices: a vertex must have finite coordinates, found (nan, 1)"),
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    auto object = c.make();
    FlagLog log(*object);
    c.set(*object, true);
    EXPECT_EQ(log.flags, std::vector<long long>{c.flag});
    c.set(*object, true);  // the same value again changes nothing
    EXPECT_EQ(log.flags.size(), 1u);
    const auto before = Save<ChangedEventShareableBase>(object);
    Tamrix::Testing::CoreTests::ExpectThrowWith([&] { c.set(*object, false); }, c.message);
    EXPECT_EQ(Save<ChangedEventShareableBase>(object), before) << "state changed";
  }
}

TEST(IShape, ChangeFlagsAreDistinctBitsAboveTheNameFlag) {
  using A = EllipticalAnnulusSection;
  long long seen = GraphicInteractiveBase::SfName;
  for (long long flag : {A::SfCenter, A::SfRadiusX, A::SfRadiusY, A::SfRotation,
                         A::SfInnerRadiusRatio, A::SfStartAngle, A::SfSpanAngle}) {
    EXPECT_EQ(flag & (flag - 1), 0) << flag;
    EXPECT_EQ(seen & flag, 0) << flag;
    seen |= flag;
  }
  EXPECT_EQ(A::SfNextSf_, A::SfSpanAngle << 1);
}

TEST(Polygon, NameHighlightAndVertexEditsRaiseTheirFlagsOnlyOnChange) {
  auto polygon = Make<Polygon>(std::vector<Point2D>{{0, 0}, {4, 0}, {0, 4}});
  FlagLog log(*polygon);
  polygon->setName("roi");
  polygon->setName("roi");
  polygon->setHighlighted(true);
  polygon->setVertex(1, {5, 0});
  polygon->setVertex(1, {5, 0});
  polygon->RemoveVertex(0);
  EXPECT_EQ(polygon->Name(), "roi");
  EXPECT_EQ(log.flags,
            (std::vector<long long>{GraphicInteractiveBase::SfName, Polygon::SfHighlighted,
                                    Polygon::SfVertices, Polygon::SfVertices}));
  EXPECT_EQ(polygon->Count(), 2);
  EXPECT_EQ(polygon->Vertex(0), (Point2D{5, 0}));
  EXPECT_THROW(polygon->Vertex(2), ArgumentException);
}

TEST(IShape, ConstructorsRefuseInvalidGeometryAndOnlyCurvesAreNoAreas) {
  EXPECT_THROW(Ellipse(Token{}, {0, 0}, -1, 2), ArgumentException);
  EXPECT_THROW(RectangleAffine(Token{}, {0, 0}, 1, -2), ArgumentException);
  EXPECT_THROW(RectangleAffine(Token{}, {0, 0}, 1, 2, 0, -kPi / 2), ArgumentException);
  EXPECT_THROW(EllipticalArc(Token{}, {0, 0}, 1, 2, 0, 0, 2 * kPi + 0.01), ArgumentException);
  EXPECT_THROW(EllipticalAnnulusSection(Token{}, {0, 0}, 1, 2, 0, -0.1, 0, 1), ArgumentException);
  EXPECT_THROW(Polygon(Token{}, {{0, std::numeric_limits<double>::infinity()}}), ArgumentException);
  EXPECT_FALSE(LineSegment(Token{}).IsArea());
  EXPECT_FALSE(EllipticalArc(Token{}).IsArea());
  EXPECT_TRUE(Polygon(Token{}).IsArea() && Ellipse(Token{}).IsArea() &&
              RectangleAffine(Token{}).IsArea() && EllipticalAnnulusSection(Token{}).IsArea());
}

}  // namespace
