// Archive records of the geometry types: round trips through every base pointer the archives
// use, shared objects staying shared, record layouts, and corrupt or truncated archives.
#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/Collections.h"
#include "interfaces/core/CoordinateSpaceTree.h"
#include "interfaces/core/Ellipse.h"
#include "interfaces/core/EllipticalAnnulusSection.h"
#include "interfaces/core/EllipticalArc.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "interfaces/core/Transforms.h"
#include "tests/core/geometry/GeometryTestSupport.h"

namespace {

using namespace Tamrix::Vision;
using GeometryTest::Bytes;
using GeometryTest::Load;
using GeometryTest::RoundTrip;
using GeometryTest::Save;
using GeometryTest::Token;
using Tamrix::Vorn::IObject;

template <class T>
std::shared_ptr<T> WithName(std::shared_ptr<T> shape, const std::string& name) {
  shape->setName(name);
  return shape;
}

std::vector<std::shared_ptr<GraphicInteractiveBase>> SampleShapes() {
  return {
      WithName(std::make_shared<LineSegment>(Token{}, Point2D{1, 2}, Point2D{-3, 4.25}), "line"),
      WithName(std::make_shared<EllipticalArc>(Token{}, Point2D{5, 6}, 3, 2, 0.25, -1, 2), "arc"),
      WithName(std::make_shared<Polygon>(Token{}, std::vector<Point2D>{{0, 0}, {4, 1}, {2, 5}}),
               "polygon"),
      WithName(std::make_shared<Ellipse>(Token{}, Point2D{7, 8}, 4, 1.5, 0.5), "ellipse"),
      WithName(std::make_shared<RectangleAffine>(Token{}, Point2D{1, 1}, 6, 3, 0.2, -0.3), "rect"),
      WithName(std::make_shared<EllipticalAnnulusSection>(Token{}, Point2D{2, 3}, 5, 4, 0.1, 0.3, 1,
                                                          2.5),
               "annulus"),
  };
}

// The loaded shape has the same type and, re-saved, the very same record.
template <class SaveAs, class LoadAs>
void ExpectShapesSurvive() {
  for (const auto& shape : SampleShapes()) {
    SCOPED_TRACE(shape->Name());
    const auto loaded = RoundTrip<SaveAs, LoadAs>(shape);
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(loaded.get(), shape.get());
    EXPECT_EQ(loaded->get_type(), shape->get_type());
    EXPECT_EQ(loaded->Name(), shape->Name());
    EXPECT_EQ(Save<IObject>(loaded), Save<IObject>(shape));
  }
}

TEST(GeometryArchive, EveryShapeSurvivesThroughIObject) { ExpectShapesSurvive<IObject, IObject>(); }

TEST(GeometryArchive, EveryShapeSurvivesThroughIShape) { ExpectShapesSurvive<IShape, IShape>(); }

TEST(GeometryArchive, EveryShapeSurvivesThroughIGraphicParentChild) {
  ExpectShapesSurvive<IGraphicParentChild, IGraphicParentChild>();
}

TEST(GeometryArchive, SavedAsIObjectLoadsAsIShape) { ExpectShapesSurvive<IObject, IShape>(); }

TEST(GeometryArchive, AreasSurviveThroughIRegionWithTheirInside) {
  for (const auto& shape : SampleShapes()) {
    auto region = std::dynamic_pointer_cast<IRegion>(shape);
    if (!region) continue;
    SCOPED_TRACE(shape->Name());
    const auto loaded = RoundTrip<IRegion, IRegion>(region);
    ASSERT_NE(loaded, nullptr);
    const auto a = region->Rasterize(20, 20, 1.0);
    const auto b = loaded->Rasterize(20, 20, 1.0);
    EXPECT_EQ(a.Data(), b.Data());
  }
}

TEST(GeometryArchive, ShapeFieldsSurvive) {
  auto polygon =
      std::make_shared<Polygon>(Token{}, std::vector<Point2D>{{0.5, 1}, {3, -2}, {9, 9}});
  polygon->setHighlighted(true);
  const auto p = RoundTrip<IRegion, IRegion>(polygon);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->Vertices(), polygon->Vertices());
  EXPECT_TRUE(p->Highlighted());

  auto annulus =
      std::make_shared<EllipticalAnnulusSection>(Token{}, Point2D{2, 3}, 5, 4, 0.1, 0.3, 1, 2.5);
  const auto a = RoundTrip<IObject, IRegion>(annulus);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->Center(), (Point2D{2, 3}));
  EXPECT_EQ(a->RadiusX(), 5);
  EXPECT_EQ(a->RadiusY(), 4);
  EXPECT_EQ(a->Rotation(), 0.1);
  EXPECT_EQ(a->InnerRadiusRatio(), 0.3);
  EXPECT_EQ(a->StartAngle(), 1);
  EXPECT_EQ(a->SpanAngle(), 2.5);
}

TEST(GeometryArchive, LoadedShapeRaisesItsOwnChangedEvent) {
  auto ellipse = std::make_shared<Ellipse>(Token{});
  const auto loaded = RoundTrip<IObject, IObject>(ellipse);
  ASSERT_NE(loaded, nullptr);
  GeometryTest::FlagLog log(*loaded);
  loaded->setRadiusX(3);
  EXPECT_EQ(log.flags, std::vector<long long>{Ellipse::SfRadiusX});
}

TEST(GeometryArchive, Vect2RecordLayout) {
  std::shared_ptr<IObject> vector = std::make_shared<Vect2>(Token{}, 1.5, -2);
  const std::string expected = Bytes()
                                   .U8(1)  // little-endian flag
                                   .U32(0x80000001)
                                   .Text("Tamrix::Vision::Vect2")
                                   .U32(0x80000001)  // first object
                                   .U32(1)           // Vect2 version
                                   .U32(1)           // ShareableBase version
                                   .F64(1.5)
                                   .F64(-2)
                                   .str();
  EXPECT_EQ(Save(vector), expected);
  const auto loaded = std::dynamic_pointer_cast<Vect2>(Load<IObject>(expected));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->X(), 1.5);
  EXPECT_EQ(loaded->Y(), -2);
}

// A Polygon saved through an IRegion pointer, built byte by byte.
std::string PolygonArchive(std::uint64_t count, const std::vector<double>& coordinates,
                           std::uint8_t highlighted) {
  Bytes bytes;
  bytes.U8(1).U32(0x80000001).Text("Tamrix::Vision::Polygon").U32(0x80000001);
  bytes.U32(1).U32(1).U32(1).U32(1);  // Polygon, GraphicInteractiveBase, ChangedEvent..., Shareable
  bytes.Text("p").U64(count);
  for (double c : coordinates) bytes.F64(c);
  bytes.U8(highlighted);
  return bytes.str();
}

TEST(GeometryArchive, PolygonRecordLayout) {
  auto polygon = std::make_shared<Polygon>(Token{}, std::vector<Point2D>{{1, 2}, {3, 4}, {5, -6}});
  polygon->setName("p");
  polygon->setHighlighted(true);
  EXPECT_EQ(Save<IRegion>(polygon), PolygonArchive(3, {1, 2, 3, 4, 5, -6}, 1));
}

TEST(GeometryArchive, HugeVertexCountFailsCleanly) {
  // 2^60 vertices announced, one present: the load must fail reading, not allocating.
  EXPECT_THROW(Load<IRegion>(PolygonArchive(std::uint64_t{1} << 60, {1, 2}, 0)), cereal::Exception);
}

TEST(GeometryArchive, HugeNameLengthFailsCleanly) {
  Bytes bytes;
  bytes.U8(1).U32(0x80000001).Text("Tamrix::Vision::Ellipse").U32(0x80000001);
  bytes.U32(1).U32(1).U32(1).U32(1).U64(std::uint64_t{1} << 62).U8('x');
  EXPECT_THROW(Load<IObject>(bytes.str()), cereal::Exception);
}

TEST(GeometryArchive, HugeStringCountFailsCleanly) {
  Bytes bytes;
  bytes.U8(1).U32(0x80000001).Text("Tamrix::Vision::StringCollection").U32(0x80000001);
  bytes.U32(1).U32(cereal::detail::Version<Implementation::CollectionBase<std::string>>::version);
  bytes.U32(1).U32(1).U64(std::uint64_t{1} << 61).Text("a");
  EXPECT_THROW(Load<IObject>(bytes.str()), cereal::Exception);
}

TEST(GeometryArchive, CorruptHighlightByteIsRefused) {
  EXPECT_THROW(Load<IRegion>(PolygonArchive(1, {1, 2}, 7)), cereal::Exception);
}

TEST(GeometryArchive, NonFiniteVertexIsRefused) {
  try {
    Load<IRegion>(PolygonArchive(1, {std::nan(""), 2}, 0));
    ADD_FAILURE() << "expected VisionException";
  } catch (const VisionException& e) {
    EXPECT_EQ(e.Code(), VisionExceptionCodes::InvalidData);
    EXPECT_EQ(std::string(e.what()),
              "Corrupt Polygon record in archive: Polygon: a vertex must have finite coordinates, "
              "found (nan, 2)");
  }
}

TEST(GeometryArchive, NegativeRadiusIsRefused) {
  Bytes bytes;
  bytes.U8(1).U32(0x80000001).Text("Tamrix::Vision::Ellipse").U32(0x80000001);
  bytes.U32(1).U32(1).U32(1).U32(1).Text("");
  bytes.F64(0).F64(0).F64(-1).F64(2).F64(0);  // centre, radiusX, radiusY, rotation
  try {
    Load<IRegion>(bytes.str());
    ADD_FAILURE() << "expected VisionException";
  } catch (const VisionException& e) {
    EXPECT_EQ(e.Code(), VisionExceptionCodes::InvalidData);
    EXPECT_EQ(std::string(e.what()),
              "Corrupt Ellipse record in archive: Ellipse: radiusX must be >= 0, found -1");
  }
}

TEST(GeometryArchive, NewerClassVersionIsRefused) {
  Bytes bytes;
  bytes.U8(1).U32(0x80000001).Text("Tamrix::Vision::Vect2").U32(0x80000001).U32(2);
  try {
    Load<IObject>(bytes.str());
    ADD_FAILURE() << "expected VisionException";
  } catch (const VisionException& e) {
    EXPECT_EQ(e.Code(), VisionExceptionCodes::VersionMismatch);
    EXPECT_NE(std::string(e.what()).find("Vect2::serialize()"), std::string::npos);
  }
}

TEST(GeometryArchive, UnrelatedBasePointerIsRefused) {
  std::shared_ptr<IObject> vector = std::make_shared<Vect2>(Token{}, 1, 2);
  EXPECT_THROW(Load<IRegion>(Save(vector)), cereal::Exception);
}

// Every prefix of a valid archive fails with cereal's exception, never a crash or a hang.
void ExpectEveryTruncationFails(const std::string& archive) {
  for (std::size_t length = 0; length < archive.size(); ++length) {
    EXPECT_THROW(Load<IObject>(archive.substr(0, length)), cereal::Exception)
        << "prefix of " << length << " of " << archive.size() << " bytes";
  }
}

TEST(GeometryArchive, TruncatedShapesFailCleanly) {
  for (const auto& shape : SampleShapes()) {
    SCOPED_TRACE(shape->Name());
    ExpectEveryTruncationFails(Save<IObject>(shape));
  }
}

TEST(GeometryArchive, TransformsSurviveThroughITransform2D) {
  std::shared_ptr<ITransform2D> linear =
      std::make_shared<Transform2DLinear>(Token{}, 2, 1, -1, 3, 10, 20);
  std::shared_ptr<ITransform2D> rigid = std::make_shared<Transform2DRigid>(Token{}, 0.7, -4, 5);
  for (const auto& transform : {linear, rigid}) {
    const auto loaded = RoundTrip<ITransform2D, ITransform2D>(transform);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_type(), transform->get_type());
    EXPECT_EQ(loaded->Map(1.5, -2.5), transform->Map(1.5, -2.5));
  }
}

TEST(GeometryArchive, CoordinateSpaceTreeSurvivesWithSharedTransforms) {
  auto tree = std::make_shared<CoordinateSpaceTree>(Token{});
  auto shift = std::make_shared<Transform2DRigid>(Token{}, 0.5, 1, 2);
  tree->AddSpace("a", "root", shift);
  tree->AddSpace("b", "a", std::make_shared<Transform2DLinear>(Token{}, 2, 0, 0, 2, 0, 0));
  tree->AddSpace("c", "root", shift);
  const auto loaded = RoundTrip<IObject, IChangedEvent>(tree);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->SpaceNames(), tree->SpaceNames());
  EXPECT_EQ(loaded->ParentName("b"), "a");
  EXPECT_EQ(loaded->MapToRoot("b", 3, 4), tree->MapToRoot("b", 3, 4));
  EXPECT_EQ(loaded->TransformToParent("a"), loaded->TransformToParent("c"));
  ExpectEveryTruncationFails(Save<IObject>(tree));
}

TEST(GeometryArchive, CoordinateSpaceTreeWithAnOrphanIsRefused) {
  Bytes bytes;
  bytes.U8(1).U32(0x80000001).Text("Tamrix::Vision::CoordinateSpaceTree").U32(0x80000001);
  bytes.U32(1).U32(1).U32(1).U64(1).Text("a").Text("missing");
  // The transform: a Transform2DRigid through ITransform2D.
  bytes.U32(0x80000002).Text("Tamrix::Vision::Transform2DRigid").U32(0x80000002);
  bytes.U32(1).F64(0).F64(0).F64(0);  // version (base versions already seen), angle, offsets
  try {
    Load<IObject>(bytes.str());
    ADD_FAILURE() << "expected VisionException";
  } catch (const VisionException& e) {
    EXPECT_EQ(e.Code(), VisionExceptionCodes::InvalidData);
    EXPECT_EQ(std::string(e.what()),
              "Corrupt CoordinateSpaceTree record in archive: space \"a\" (parent \"missing\") "
              "names a parent not defined before it");
  }
}

TEST(GeometryArchive, StringCollectionRecordLayout) {
  auto strings = std::make_shared<StringCollection>(Token{});
  strings->Add("a");
  strings->Add("");
  const std::uint32_t templateVersion =
      cereal::detail::Version<Implementation::CollectionBase<std::string>>::version;
  const std::string expected = Bytes()
                                   .U8(1)
                                   .U32(0x80000001)
                                   .Text("Tamrix::Vision::StringCollection")
                                   .U32(0x80000001)
                                   .U32(1)                // StringCollection
                                   .U32(templateVersion)  // CollectionBase<std::string>
                                   .U32(1)                // ChangedEventShareableBase
                                   .U32(1)                // ShareableBase
                                   .U64(2)
                                   .Text("a")
                                   .Text("")
                                   .str();
  EXPECT_EQ(Save<IObject>(strings), expected);
  const auto loaded = std::dynamic_pointer_cast<StringCollection>(Load<IObject>(expected));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Items(), (std::vector<std::string>{"a", ""}));
}

TEST(GeometryArchive, Vect2CollectionKeepsOneVectorHeldTwiceShared) {
  auto vectors = std::make_shared<Vect2Collection>(Token{});
  auto shared = std::make_shared<Vect2>(Token{}, 3, 4);
  vectors->Add(shared);
  vectors->Add(nullptr);
  vectors->Add(shared);
  vectors->Add(std::make_shared<Vect2>(Token{}, 3, 4));
  const auto loaded = RoundTrip<IObject, IObject>(vectors);
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(loaded->Count(), 4);
  EXPECT_EQ(loaded->Item(0), loaded->Item(2));
  EXPECT_EQ(loaded->Item(1), nullptr);
  EXPECT_NE(loaded->Item(0), loaded->Item(3));
  EXPECT_EQ(loaded->Item(0)->X(), 3);
  EXPECT_EQ(loaded->Item(3)->Y(), 4);
  ExpectEveryTruncationFails(Save<IObject>(vectors));
}

TEST(GeometryArchive, GraphicParentChildCollectionKeepsDynamicTypesAndSharing) {
  auto graphics = std::make_shared<GraphicParentChildCollection>(Token{});
  const auto shapes = SampleShapes();
  for (const auto& shape : shapes) graphics->Add(shape);
  graphics->Add(shapes[2]);
  const auto loaded = RoundTrip<IObject, IChangedEvent>(graphics);
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(loaded->Count(), 7);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(loaded->Item(i)->get_type(), shapes[static_cast<std::size_t>(i)]->get_type());
    EXPECT_EQ(loaded->Item(i)->Name(), shapes[static_cast<std::size_t>(i)]->Name());
  }
  EXPECT_EQ(loaded->Item(6), loaded->Item(2));
}

TEST(GeometryArchive, DoubleReadOnlyCollectionRoundTrip) {
  auto values =
      std::make_shared<DoubleReadOnlyCollection>(Token{}, std::vector<double>{1.5, -2, 1e300});
  const auto loaded = RoundTrip<IObject, ShareableBase>(values);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Items(), values->Items());
}

TEST(GeometryArchive, GraphicChildrenKeepTheirNamesAfterLoad) {
  auto children = std::make_shared<GraphicChildren>(Token{});
  for (const auto& shape : SampleShapes()) children->Add(shape);
  const auto loaded = RoundTrip<IObject, IObject>(children);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Keys(), children->Keys());
  EXPECT_NE(std::dynamic_pointer_cast<Polygon>(loaded->Get("polygon")), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<EllipticalArc>(loaded->Get("arc")), nullptr);
  ExpectEveryTruncationFails(Save<IObject>(children));
}

TEST(GeometryArchive, GraphicChildrenWithANullChildIsRefused) {
  Bytes bytes;
  bytes.U8(1).U32(0x80000001).Text("Tamrix::Vision::GraphicChildren").U32(0x80000001);
  bytes.U32(1).U32(1).U32(1).U64(1).U32(0);
  try {
    Load<IObject>(bytes.str());
    ADD_FAILURE() << "expected VisionException";
  } catch (const VisionException& e) {
    EXPECT_EQ(e.Code(), VisionExceptionCodes::InvalidData);
    EXPECT_EQ(std::string(e.what()), "Corrupt GraphicChildren record in archive: child 0 is null");
  }
}

TEST(GeometryArchive, UnknownArchiveIdIsRefused) {
  Bytes bytes;
  bytes.U8(1).U32(0x80000001).Text("Tamrix::Vision::NoSuchShape").U32(0x80000001);
  EXPECT_THROW(Load<IObject>(bytes.str()), cereal::Exception);
}

}  // namespace
