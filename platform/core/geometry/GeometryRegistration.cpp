// Archive and reflection registrations of the geometry types, transforms and concrete
// collections. The five collection template instantiations get relations here but no archive
// binding: their ids are bound by the library that archives them through base pointers.
#include <rttr/registration>

#include "interfaces/core/ArchiveNames.h"

TAMRIX_ARCHIVE_TYPE(Vect2, "Tamrix::Vision::Vect2")
TAMRIX_ARCHIVE_TYPE(LineSegment, "Tamrix::Vision::LineSegment")
TAMRIX_ARCHIVE_TYPE(EllipticalArc, "Tamrix::Vision::EllipticalArc")
TAMRIX_ARCHIVE_TYPE(Polygon, "Tamrix::Vision::Polygon")
TAMRIX_ARCHIVE_TYPE(Ellipse, "Tamrix::Vision::Ellipse")
TAMRIX_ARCHIVE_TYPE(RectangleAffine, "Tamrix::Vision::RectangleAffine")
TAMRIX_ARCHIVE_TYPE(EllipticalAnnulusSection, "Tamrix::Vision::EllipticalAnnulusSection")
TAMRIX_ARCHIVE_TYPE(Transform2DLinear, "Tamrix::Vision::Transform2DLinear")
TAMRIX_ARCHIVE_TYPE(Transform2DRigid, "Tamrix::Vision::Transform2DRigid")
TAMRIX_ARCHIVE_TYPE(CoordinateSpaceTree, "Tamrix::Vision::CoordinateSpaceTree")
TAMRIX_ARCHIVE_TYPE(StringCollection, "Tamrix::Vision::StringCollection")
TAMRIX_ARCHIVE_TYPE(Vect2Collection, "Tamrix::Vision::Vect2Collection")
TAMRIX_ARCHIVE_TYPE(GraphicParentChildCollection, "Tamrix::Vision::GraphicParentChildCollection")
TAMRIX_ARCHIVE_TYPE(GraphicChildren, "Tamrix::Vision::GraphicChildren")
TAMRIX_ARCHIVE_TYPE(DoubleReadOnlyCollection, "Tamrix::Vision::DoubleReadOnlyCollection")

// Graphics and shapes.
TAMRIX_ARCHIVE_RELATION(GraphicInteractiveBase, Ellipse)
TAMRIX_ARCHIVE_RELATION(IRegion, Ellipse)
TAMRIX_ARCHIVE_RELATION(GraphicInteractiveBase, EllipticalAnnulusSection)
TAMRIX_ARCHIVE_RELATION(IRegion, EllipticalAnnulusSection)
TAMRIX_ARCHIVE_RELATION(GraphicInteractiveBase, EllipticalArc)
TAMRIX_ARCHIVE_RELATION(IShape, EllipticalArc)
TAMRIX_ARCHIVE_RELATION(GraphicInteractiveBase, LineSegment)
TAMRIX_ARCHIVE_RELATION(IShape, LineSegment)
TAMRIX_ARCHIVE_RELATION(GraphicInteractiveBase, Polygon)
TAMRIX_ARCHIVE_RELATION(IGraphicHighlight, Polygon)
TAMRIX_ARCHIVE_RELATION(IRegion, Polygon)
TAMRIX_ARCHIVE_RELATION(GraphicInteractiveBase, RectangleAffine)
TAMRIX_ARCHIVE_RELATION(IRegion, RectangleAffine)
TAMRIX_ARCHIVE_RELATION(IGraphicInteractive, GraphicInteractiveBase)
TAMRIX_ARCHIVE_RELATION(IGraphicParentChild, GraphicInteractiveBase)
TAMRIX_ARCHIVE_RELATION(IGraphic, IGraphicInteractive)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, IGraphic)
TAMRIX_ARCHIVE_RELATION(IDiamondGraphicShape, IGraphic)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, IGraphicParentChild)
TAMRIX_ARCHIVE_RELATION(IObject, IGraphicHighlight)
TAMRIX_ARCHIVE_RELATION(IShape, IRegion)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, IShape)
TAMRIX_ARCHIVE_RELATION(IDiamondGraphicShape, IShape)
TAMRIX_ARCHIVE_RELATION(ShareableBase, Vect2)

// Transforms.
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Transform2DLinear)
TAMRIX_ARCHIVE_RELATION(ITransform2D, Transform2DLinear)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Transform2DRigid)
TAMRIX_ARCHIVE_RELATION(ITransform2D, Transform2DRigid)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, ITransform2D)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, CoordinateSpaceTree)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, CoordinateSpaceTree)

// Collection templates and collections.
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, StringCollectionBase)
TAMRIX_ARCHIVE_RELATION(StringICollection, StringCollectionBase)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, GraphicCollectionBase)
TAMRIX_ARCHIVE_RELATION(GraphicICollection, GraphicCollectionBase)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Vect2CollectionBase)
TAMRIX_ARCHIVE_RELATION(Vect2ICollection, Vect2CollectionBase)
TAMRIX_ARCHIVE_RELATION(ShareableBase, DoubleReadOnlyBase)
TAMRIX_ARCHIVE_RELATION(DoubleReadOnly, DoubleReadOnlyBase)
TAMRIX_ARCHIVE_RELATION(ShareableBase, GraphicReadOnlyBase)
TAMRIX_ARCHIVE_RELATION(GraphicReadOnly, GraphicReadOnlyBase)
TAMRIX_ARCHIVE_RELATION(StringCollectionBase, StringCollection)
TAMRIX_ARCHIVE_RELATION(GraphicCollectionBase, GraphicParentChildCollection)
TAMRIX_ARCHIVE_RELATION(Vect2CollectionBase, Vect2Collection)
TAMRIX_ARCHIVE_RELATION(DoubleReadOnlyBase, DoubleReadOnlyCollection)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, GraphicChildren)
TAMRIX_ARCHIVE_RELATION(GraphicICollection, GraphicChildren)
TAMRIX_ARCHIVE_RELATION(GraphicReadOnlyDictionary, GraphicChildren)

// Collection interfaces.
TAMRIX_ARCHIVE_RELATION(StringEvents, StringICollection)
TAMRIX_ARCHIVE_RELATION(StringReadOnly, StringICollection)
TAMRIX_ARCHIVE_RELATION(GraphicEvents, GraphicICollection)
TAMRIX_ARCHIVE_RELATION(GraphicReadOnly, GraphicICollection)
TAMRIX_ARCHIVE_RELATION(Vect2Events, Vect2ICollection)
TAMRIX_ARCHIVE_RELATION(IObject, Vect2ICollection)
TAMRIX_ARCHIVE_RELATION(Vect2ReadOnly, Vect2ICollection)
TAMRIX_ARCHIVE_RELATION(IObject, StringEvents)
TAMRIX_ARCHIVE_RELATION(IObject, GraphicEvents)
TAMRIX_ARCHIVE_RELATION(IObject, Vect2Events)
TAMRIX_ARCHIVE_RELATION(IObject, StringReadOnly)
TAMRIX_ARCHIVE_RELATION(IObject, GraphicReadOnly)
TAMRIX_ARCHIVE_RELATION(IObject, Vect2ReadOnly)
TAMRIX_ARCHIVE_RELATION(StringDictionaryEvents, StringDictionary)
TAMRIX_ARCHIVE_RELATION(IObject, StringDictionary)
TAMRIX_ARCHIVE_RELATION(StringReadOnlyDictionary, StringDictionary)
TAMRIX_ARCHIVE_RELATION(IObject, StringDictionaryEvents)
TAMRIX_ARCHIVE_RELATION(IObject, StringReadOnlyDictionary)
TAMRIX_ARCHIVE_RELATION(IObject, GraphicReadOnlyDictionary)

namespace {

// Collection members are declared in the template bases; reflection wants them as members of the
// concrete class it registers.
template <class Collection>
auto CountOf() {
  return static_cast<int (Collection::*)() const>(&Collection::Count);
}
template <class Collection, class Item>
auto ItemOf() {
  return static_cast<Item (Collection::*)(int) const>(&Collection::Item);
}

}  // namespace

// RTTR registers a class when the temporary registration object is destroyed, at the end of
// each statement: these are no unused objects.
// NOLINTBEGIN(bugprone-unused-raii)
RTTR_REGISTRATION {
  using namespace Tamrix::Vision;
  using namespace Tamrix::ArchiveNames;
  using rttr::registration;

  registration::class_<Point2D>("Tamrix::Vision::Point2D")
      .property("X", &Point2D::X)
      .property("Y", &Point2D::Y);
  registration::class_<Vect2>("Tamrix::Vision::Vect2")
      .property("X", &Vect2::X, &Vect2::setX)
      .property("Y", &Vect2::Y, &Vect2::setY);

  registration::class_<IDiamondGraphicShape>("Tamrix::Vision::IDiamondGraphicShape");
  registration::class_<IGraphic>("Tamrix::Vision::IGraphic");
  registration::class_<IGraphicInteractive>("Tamrix::Vision::IGraphicInteractive");
  registration::class_<IGraphicParentChild>("Tamrix::Vision::IGraphicParentChild")
      .property_readonly("Name", &IGraphicParentChild::Name)
      .method("setName", &IGraphicParentChild::setName);
  registration::class_<IGraphicHighlight>("Tamrix::Vision::IGraphicHighlight")
      .property("Highlighted", &IGraphicHighlight::Highlighted, &IGraphicHighlight::setHighlighted);
  registration::class_<IShape>("Tamrix::Vision::IShape")
      .method("Bounds", &IShape::Bounds)
      .method("Rasterize", &IShape::Rasterize)
      .property_readonly("IsArea", &IShape::IsArea);
  registration::class_<IRegion>("Tamrix::Vision::IRegion")
      .method("Contains", &IRegion::Contains)
      .method("Mask", &IRegion::Mask);
  registration::class_<GraphicInteractiveBase>("Tamrix::Vision::GraphicInteractiveBase")
      .property_readonly("SfName", &GraphicInteractiveBase::SfName);

  registration::class_<LineSegment>("Tamrix::Vision::LineSegment")
      .property("Start", &LineSegment::Start, &LineSegment::setStart)
      .property("End", &LineSegment::End, &LineSegment::setEnd)
      .property_readonly("Length", &LineSegment::Length)
      .property_readonly("SfStart", &LineSegment::SfStart)
      .property_readonly("SfEnd", &LineSegment::SfEnd);
  registration::class_<EllipticalArc>("Tamrix::Vision::EllipticalArc")
      .property("Center", &EllipticalArc::Center, &EllipticalArc::setCenter)
      .property("RadiusX", &EllipticalArc::RadiusX, &EllipticalArc::setRadiusX)
      .property("RadiusY", &EllipticalArc::RadiusY, &EllipticalArc::setRadiusY)
      .property("Rotation", &EllipticalArc::Rotation, &EllipticalArc::setRotation)
      .property("StartAngle", &EllipticalArc::StartAngle, &EllipticalArc::setStartAngle)
      .property("SpanAngle", &EllipticalArc::SpanAngle, &EllipticalArc::setSpanAngle)
      .method("PointAt", &EllipticalArc::PointAt);
  registration::class_<Polygon>("Tamrix::Vision::Polygon")
      .property_readonly("Count", &Polygon::Count)
      .method("Vertex", &Polygon::Vertex)
      .method("AddVertex", &Polygon::AddVertex)
      .method("RemoveVertex", &Polygon::RemoveVertex)
      .property_readonly("SfVertices", &Polygon::SfVertices)
      .property_readonly("SfHighlighted", &Polygon::SfHighlighted);
  registration::class_<Ellipse>("Tamrix::Vision::Ellipse")
      .property("Center", &Ellipse::Center, &Ellipse::setCenter)
      .property("RadiusX", &Ellipse::RadiusX, &Ellipse::setRadiusX)
      .property("RadiusY", &Ellipse::RadiusY, &Ellipse::setRadiusY)
      .property("Rotation", &Ellipse::Rotation, &Ellipse::setRotation);
  registration::class_<RectangleAffine>("Tamrix::Vision::RectangleAffine")
      .property("Center", &RectangleAffine::Center, &RectangleAffine::setCenter)
      .property("Width", &RectangleAffine::Width, &RectangleAffine::setWidth)
      .property("Height", &RectangleAffine::Height, &RectangleAffine::setHeight)
      .property("Rotation", &RectangleAffine::Rotation, &RectangleAffine::setRotation)
      .property("Skew", &RectangleAffine::Skew, &RectangleAffine::setSkew);
  registration::class_<EllipticalAnnulusSection>("Tamrix::Vision::EllipticalAnnulusSection")
      .property("Center", &EllipticalAnnulusSection::Center, &EllipticalAnnulusSection::setCenter)
      .property("RadiusX", &EllipticalAnnulusSection::RadiusX,
                &EllipticalAnnulusSection::setRadiusX)
      .property("RadiusY", &EllipticalAnnulusSection::RadiusY,
                &EllipticalAnnulusSection::setRadiusY)
      .property("Rotation", &EllipticalAnnulusSection::Rotation,
                &EllipticalAnnulusSection::setRotation)
      .property("InnerRadiusRatio", &EllipticalAnnulusSection::InnerRadiusRatio,
                &EllipticalAnnulusSection::setInnerRadiusRatio)
      .property("StartAngle", &EllipticalAnnulusSection::StartAngle,
                &EllipticalAnnulusSection::setStartAngle)
      .property("SpanAngle", &EllipticalAnnulusSection::SpanAngle,
                &EllipticalAnnulusSection::setSpanAngle);

  registration::class_<ITransform2D>("Tamrix::Vision::ITransform2D")
      .method("Map", &ITransform2D::Map);
  registration::class_<Transform2DLinear>("Tamrix::Vision::Transform2DLinear")
      .property_readonly("M11", &Transform2DLinear::M11)
      .property_readonly("M12", &Transform2DLinear::M12)
      .property_readonly("M21", &Transform2DLinear::M21)
      .property_readonly("M22", &Transform2DLinear::M22)
      .property_readonly("OffsetX", &Transform2DLinear::OffsetX)
      .property_readonly("OffsetY", &Transform2DLinear::OffsetY)
      .method("setMatrix", &Transform2DLinear::setMatrix)
      .method("setOffset", &Transform2DLinear::setOffset);
  registration::class_<Transform2DRigid>("Tamrix::Vision::Transform2DRigid")
      .property("Angle", &Transform2DRigid::Angle, &Transform2DRigid::setAngle)
      .property_readonly("OffsetX", &Transform2DRigid::OffsetX)
      .property_readonly("OffsetY", &Transform2DRigid::OffsetY)
      .method("setOffset", &Transform2DRigid::setOffset);
  registration::class_<CoordinateSpaceTree>("Tamrix::Vision::CoordinateSpaceTree")
      .property_readonly("Count", &CoordinateSpaceTree::Count)
      .method("SpaceNames", &CoordinateSpaceTree::SpaceNames)
      .method("ContainsSpace", &CoordinateSpaceTree::ContainsSpace)
      .method("ParentName", &CoordinateSpaceTree::ParentName)
      .method("MapToRoot", &CoordinateSpaceTree::MapToRoot);

  registration::class_<StringCollection>("Tamrix::Vision::StringCollection")
      .property_readonly("Count", CountOf<StringCollection>())
      .method("Item", ItemOf<StringCollection, std::string>());
  registration::class_<Vect2Collection>("Tamrix::Vision::Vect2Collection")
      .property_readonly("Count", CountOf<Vect2Collection>())
      .method("Item", ItemOf<Vect2Collection, Vect2Ptr>());
  registration::class_<GraphicParentChildCollection>("Tamrix::Vision::GraphicParentChildCollection")
      .property_readonly("Count", CountOf<GraphicParentChildCollection>())
      .method("Item", ItemOf<GraphicParentChildCollection, IGraphicParentChildPtr>());
  registration::class_<DoubleReadOnlyCollection>("Tamrix::Vision::DoubleReadOnlyCollection")
      .property_readonly("Count", CountOf<DoubleReadOnlyCollection>())
      .method("Item", ItemOf<DoubleReadOnlyCollection, double>());
  registration::class_<GraphicChildren>("Tamrix::Vision::GraphicChildren")
      .property_readonly("Count", CountOf<GraphicChildren>())
      .method("Item", ItemOf<GraphicChildren, IGraphicParentChildPtr>())
      .method("Get", &GraphicChildren::Get)
      .method("Keys", &GraphicChildren::Keys);
}
// NOLINTEND(bugprone-unused-raii)
