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
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "interfaces/core/Transforms.h"
#include "tests/core/geometry/GeometryTestSupport.h"

namespace {

using namespace Tamrix::Vision;
using namespace Tamrix::Testing::GeometryTests;
using Tamrix::Vorn::IObject;
using Codes = VisionExceptionCodes;

template <class T, class... Args>
std::shared_ptr<GraphicInteractiveBase> Named(const std::string& name, Args&&... args) {
  auto shape = Make<T>(std::forward<Args>(args)...);
  shape->setName(name);
  return shape;
}

std::vector<std::shared_ptr<GraphicInteractiveBase>> SampleShapes() {
  auto polygon = Make<Polygon>(std::vector<Point2D>{{0.5, 1}, {3, -2}, {9, 9}});
  polygon->setName("polygon");
  polygon->setHighlighted(true);
  return {Named<LineSegment>("line", Point2D{1, 2}, Point2D{-3, 4.25}),
          Named<EllipticalArc>("arc", Point2D{5, 6}, 3, 2, 0.25, -1, 2),
          polygon,
          Named<Ellipse>("ellipse", Point2D{7, 8}, 4, 1.5, 0.5),
          Named<RectangleAffine>("rect", Point2D{1, 1}, 6, 3, 0.2, -0.3),
          Named<EllipticalAnnulusSection>("annulus", Point2D{2, 3}, 5, 4, 0.1, 0.3, 1, 2.5)};
}

// Every prefix of a valid archive fails with cereal's exception, never a crash or a hang.
void ExpectEveryTruncationFails(const std::string& archive) {
  for (std::size_t length = 0; length < archive.size(); ++length) {
    EXPECT_THROW(Load<IObject>(archive.substr(0, length)), cereal::Exception)
        << "prefix of " << length << " of " << archive.size() << " bytes";
  }
}

// The loaded shape has the same type and, re-saved, the very same record.
template <class SaveAs, class LoadAs>
void ExpectShapesSurvive() {
  for (const auto& shape : SampleShapes()) {
    SCOPED_TRACE(shape->Name() + " as " + typeid(SaveAs).name() + "/" + typeid(LoadAs).name());
    const auto loaded = RoundTrip<SaveAs, LoadAs>(shape);
    ASSERT_NE(loaded, nullptr);
    EXPECT_NE(loaded.get(), shape.get());
    EXPECT_EQ(loaded->get_type(), shape->get_type());
    EXPECT_EQ(Save<IObject>(loaded), Save<IObject>(shape));
  }
}

TEST(GeometryArchive, EveryShapeSurvivesThroughEachBasePointerAndRaisesItsOwnEvents) {
  ExpectShapesSurvive<IObject, IObject>();
  ExpectShapesSurvive<IShape, IShape>();
  ExpectShapesSurvive<IGraphicParentChild, IGraphicParentChild>();
  ExpectShapesSurvive<IObject, IShape>();
  for (const auto& shape : SampleShapes()) {
    ExpectEveryTruncationFails(Save<IObject>(shape));
    auto region = std::dynamic_pointer_cast<IRegion>(shape);
    if (!region) continue;
    const auto loaded = RoundTrip<IRegion, IRegion>(region);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Rasterize(20, 20, 1.0).Data(), region->Rasterize(20, 20, 1.0).Data());
  }
  const auto annulus = RoundTrip<IObject, IRegion>(
      Make<EllipticalAnnulusSection>(Point2D{2, 3}, 5, 4, 0.1, 0.3, 1, 2.5));
  ASSERT_NE(annulus, nullptr);
  FlagLog log(*annulus);
  annulus->setRadiusX(3);
  EXPECT_EQ(log.flags, std::vector<long long>{EllipticalAnnulusSection::SfRadiusX});
}

// The head of a record saved through a base pointer: byte-order flag, type id, object id.
Bytes Head(const std::string& id) {
  Bytes bytes;
  bytes.U8(1).U32(0x80000001).Text("Tamrix::Vision::" + id).U32(0x80000001);
  return bytes;
}

// A Polygon named "p" saved through an IRegion pointer, built byte by byte.
std::string PolygonArchive(std::uint64_t count, const std::vector<double>& coordinates,
                           std::uint8_t highlighted) {
  Bytes bytes = Head("Polygon");
  bytes.U32(1).U32(1).U32(1).U32(1);  // Polygon, GraphicInteractiveBase, ChangedEvent..., Shareable
  bytes.Text("p").U64(count);
  for (double c : coordinates) bytes.F64(c);
  return bytes.U8(highlighted).str();
}

const std::uint32_t kStringsTemplateVersion =
    cereal::detail::Version<Implementation::CollectionBase<std::string>>::version;

TEST(GeometryArchive, RecordLayouts) {
  std::shared_ptr<IObject> vector = Make<Vect2>(1.5, -2);
  const std::string vectorBytes = Head("Vect2").U32(1).U32(1).F64(1.5).F64(-2).str();
  EXPECT_EQ(Save(vector), vectorBytes);
  const auto loadedVector = std::dynamic_pointer_cast<Vect2>(Load<IObject>(vectorBytes));
  ASSERT_NE(loadedVector, nullptr);
  EXPECT_EQ(std::make_pair(loadedVector->X(), loadedVector->Y()), std::make_pair(1.5, -2.0));

  auto polygon = Make<Polygon>(std::vector<Point2D>{{1, 2}, {3, 4}, {5, -6}});
  polygon->setName("p");
  polygon->setHighlighted(true);
  EXPECT_EQ(Save<IRegion>(polygon), PolygonArchive(3, {1, 2, 3, 4, 5, -6}, 1));

  auto strings = Make<StringCollection>();
  strings->Add("a");
  strings->Add("");
  // StringCollection, CollectionBase<std::string>, ChangedEventShareableBase, ShareableBase.
  const std::string stringBytes = Head("StringCollection")
                                      .U32(1)
                                      .U32(kStringsTemplateVersion)
                                      .U32(1)
                                      .U32(1)
                                      .U64(2)
                                      .Text("a")
                                      .Text("")
                                      .str();
  EXPECT_EQ(Save<IObject>(strings), stringBytes);
  const auto loaded = std::dynamic_pointer_cast<StringCollection>(Load<IObject>(stringBytes));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Items(), (std::vector<std::string>{"a", ""}));
}

TEST(GeometryArchive, CorruptRecordsAreRefused) {
  // Announced sizes far beyond the bytes present must fail reading, not allocating.
  EXPECT_THROW(Load<IRegion>(PolygonArchive(std::uint64_t{1} << 60, {1, 2}, 0)), cereal::Exception);
  Bytes hugeName = Head("Ellipse");
  hugeName.U32(1).U32(1).U32(1).U32(1).U64(std::uint64_t{1} << 62).U8('x');
  EXPECT_THROW(Load<IObject>(hugeName.str()), cereal::Exception);
  Bytes hugeCount = Head("StringCollection");
  hugeCount.U32(1).U32(kStringsTemplateVersion).U32(1).U32(1).U64(std::uint64_t{1} << 61);
  EXPECT_THROW(Load<IObject>(hugeCount.Text("a").str()), cereal::Exception);
  EXPECT_THROW(Load<IRegion>(PolygonArchive(1, {1, 2}, 7)), cereal::Exception);
  EXPECT_THROW(Load<IObject>(Head("NoSuchShape").str()), cereal::Exception);
  std::shared_ptr<IObject> vector = Make<Vect2>(1, 2);
  EXPECT_THROW(Load<IRegion>(Save(vector)), cereal::Exception);  // a Vect2 is no IRegion

  Bytes ellipse = Head("Ellipse");
  ellipse.U32(1).U32(1).U32(1).U32(1).Text("");
  ellipse.F64(0).F64(0).F64(-1).F64(2).F64(0);  // centre, radiusX, radiusY, rotation
  Bytes nullChild = Head("GraphicChildren");
  nullChild.U32(1).U32(1).U32(1).U64(1).U32(0);
  // A space whose parent is defined nowhere; its transform is a Transform2DRigid whose base
  // versions were seen already: version, angle, offsets.
  Bytes orphan = Head("CoordinateSpaceTree");
  orphan.U32(1).U32(1).U32(1).U64(1).Text("a").Text("missing");
  orphan.U32(0x80000002).Text("Tamrix::Vision::Transform2DRigid").U32(0x80000002);
  orphan.U32(1).F64(0).F64(0).F64(0);
  const std::vector<std::pair<std::string, std::string>> invalid = {
      {PolygonArchive(1, {std::nan(""), 2}, 0),
       "Corrupt Polygon record in archive: Polygon: a vertex must have finite coordinates, found "
       "(nan, 2)"},
      {ellipse.str(), "Corrupt Ellipse record in archive: Ellipse: radiusX must be >= 0, found -1"},
      {nullChild.str(), "Corrupt GraphicChildren record in archive: child 0 is null"},
      {orphan.str(),
       "Corrupt CoordinateSpaceTree record in archive: space \"a\" (parent \"missing\") names a "
       "parent not defined before it"},
  };
  for (const auto& [bytes, message] : invalid) {
    Tamrix::Testing::CoreTests::ExpectVisionError([&bytes = bytes] { Load<IObject>(bytes); },
                                                  Codes::InvalidData, message);
  }
  Tamrix::Testing::CoreTests::ExpectVisionError(
      [] { Load<IObject>(Head("Vect2").U32(2).str()); }, Codes::VersionMismatch,
      "Vect2::serialize(): stored class version 2 is newer than the supported version 1");
}

TEST(GeometryArchive, TransformsAndTheSpaceTreeSurviveWithSharedTransforms) {
  std::shared_ptr<ITransform2D> linear = Make<Transform2DLinear>(2, 1, -1, 3, 10, 20);
  std::shared_ptr<ITransform2D> rigid = Make<Transform2DRigid>(0.7, -4, 5);
  for (const auto& transform : {linear, rigid}) {
    const auto loaded = RoundTrip<ITransform2D, ITransform2D>(transform);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->get_type(), transform->get_type());
    EXPECT_EQ(loaded->Map(1.5, -2.5), transform->Map(1.5, -2.5));
  }
  auto tree = Make<CoordinateSpaceTree>();
  auto shift = Make<Transform2DRigid>(0.5, 1, 2);
  tree->AddSpace("a", "root", shift);
  tree->AddSpace("b", "a", Make<Transform2DLinear>(2, 0, 0, 2, 0, 0));
  tree->AddSpace("c", "root", shift);
  const auto loaded = RoundTrip<IObject, IChangedEvent>(tree);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->SpaceNames(), tree->SpaceNames());
  EXPECT_EQ(loaded->ParentName("b"), "a");
  EXPECT_EQ(loaded->MapToRoot("b", 3, 4), tree->MapToRoot("b", 3, 4));
  EXPECT_EQ(loaded->TransformToParent("a"), loaded->TransformToParent("c"));
  ExpectEveryTruncationFails(Save<IObject>(tree));
}

TEST(GeometryArchive, CollectionsKeepDynamicTypesSharingAndNames) {
  auto vectors = Make<Vect2Collection>();
  auto shared = Make<Vect2>(3, 4);
  for (const auto& v : {shared, std::shared_ptr<Vect2>(), shared, Make<Vect2>(3, 4)}) {
    vectors->Add(v);
  }
  const auto loadedVectors = RoundTrip<IObject, IObject>(vectors);
  ASSERT_NE(loadedVectors, nullptr);
  ASSERT_EQ(loadedVectors->Count(), 4);
  EXPECT_EQ(loadedVectors->Item(0), loadedVectors->Item(2));
  EXPECT_EQ(loadedVectors->Item(1), nullptr);
  EXPECT_NE(loadedVectors->Item(0), loadedVectors->Item(3));
  EXPECT_EQ(std::make_pair(loadedVectors->Item(0)->X(), loadedVectors->Item(3)->Y()),
            std::make_pair(3.0, 4.0));
  ExpectEveryTruncationFails(Save<IObject>(vectors));

  auto graphics = Make<GraphicParentChildCollection>();
  auto children = Make<GraphicChildren>();
  const auto shapes = SampleShapes();
  for (const auto& shape : shapes) graphics->Add(shape);
  for (const auto& shape : SampleShapes()) children->Add(shape);
  graphics->Add(shapes[2]);
  const auto loadedGraphics = RoundTrip<IObject, IChangedEvent>(graphics);
  ASSERT_NE(loadedGraphics, nullptr);
  ASSERT_EQ(loadedGraphics->Count(), 7);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(loadedGraphics->Item(i)->get_type(), shapes[static_cast<std::size_t>(i)]->get_type());
    EXPECT_EQ(loadedGraphics->Item(i)->Name(), shapes[static_cast<std::size_t>(i)]->Name());
  }
  EXPECT_EQ(loadedGraphics->Item(6), loadedGraphics->Item(2));

  const auto loadedChildren = RoundTrip<IObject, IObject>(children);
  ASSERT_NE(loadedChildren, nullptr);
  EXPECT_EQ(loadedChildren->Keys(), children->Keys());
  EXPECT_NE(std::dynamic_pointer_cast<Polygon>(loadedChildren->Get("polygon")), nullptr);
  EXPECT_NE(std::dynamic_pointer_cast<EllipticalArc>(loadedChildren->Get("arc")), nullptr);
  ExpectEveryTruncationFails(Save<IObject>(children));

  auto values = Make<DoubleReadOnlyCollection>(std::vector<double>{1.5, -2, 1e300});
  const auto loadedValues = RoundTrip<IObject, ShareableBase>(values);
  ASSERT_NE(loadedValues, nullptr);
  EXPECT_EQ(loadedValues->Items(), values->Items());
}

}  // namespace
