// Archive and reflection registrations of the geometry types, transforms and concrete
// collections. The five collection template instantiations get relations here but no archive
// binding: their ids are bound by the library that archives them through base pointers.
#include <rttr/registration>

#include "interfaces/core/Collections.h"
#include "interfaces/core/CoordinateSpaceTree.h"
#include "interfaces/core/Ellipse.h"
#include "interfaces/core/EllipticalAnnulusSection.h"
#include "interfaces/core/EllipticalArc.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "interfaces/core/Transforms.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision::GeometryRegistration {

// Names without commas, for the registration macros.
using IObject = Tamrix::Vorn::IObject;
using StringCollectionBase = Implementation::CollectionBase<std::string>;
using GraphicCollectionBase = Implementation::CollectionBase<IGraphicParentChildPtr>;
using Vect2CollectionBase = Implementation::CollectionBase<Vect2Ptr>;
using DoubleReadOnlyBase = Implementation::ReadOnlyCollectionBase<double>;
using GraphicReadOnlyBase = Implementation::ReadOnlyCollectionBase<IGraphicParentChildPtr>;
using StringICollection = Tamrix::Vorn::ICollection<std::string>;
using GraphicICollection = Tamrix::Vorn::ICollection<IGraphicParentChildPtr>;
using Vect2ICollection = Tamrix::Vorn::ICollection<Vect2Ptr>;
using StringEvents = Tamrix::Vorn::ICollectionEvents<std::string>;
using GraphicEvents = Tamrix::Vorn::ICollectionEvents<IGraphicParentChildPtr>;
using Vect2Events = Tamrix::Vorn::ICollectionEvents<Vect2Ptr>;
using StringReadOnly = Tamrix::Vorn::IReadOnlyCollection<std::string>;
using GraphicReadOnly = Tamrix::Vorn::IReadOnlyCollection<IGraphicParentChildPtr>;
using Vect2ReadOnly = Tamrix::Vorn::IReadOnlyCollection<Vect2Ptr>;
using DoubleReadOnly = Tamrix::Vorn::IReadOnlyCollection<double>;
using StringDictionary = Tamrix::Vorn::IDictionary<std::string, std::string>;
using StringDictionaryEvents = Tamrix::Vorn::IDictionaryEvents<std::string, std::string>;
using StringReadOnlyDictionary = Tamrix::Vorn::IReadOnlyDictionary<std::string, std::string>;
using GraphicReadOnlyDictionary =
    Tamrix::Vorn::IReadOnlyDictionary<std::string, IGraphicParentChildPtr>;

}  // namespace Tamrix::Vision::GeometryRegistration

#define TAMRIX_TYPE(Type) \
  CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::Type, "Tamrix::Vision::" #Type)
#define TAMRIX_RELATION(Base, Derived)                                             \
  CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::GeometryRegistration::Base, \
                                       Tamrix::Vision::GeometryRegistration::Derived)

namespace Tamrix::Vision::GeometryRegistration {
// Every Vision type the relations below name, reachable under this namespace.
using Tamrix::Vision::ChangedEventShareableBase;
using Tamrix::Vision::CoordinateSpaceTree;
using Tamrix::Vision::DoubleReadOnlyCollection;
using Tamrix::Vision::Ellipse;
using Tamrix::Vision::EllipticalAnnulusSection;
using Tamrix::Vision::EllipticalArc;
using Tamrix::Vision::GraphicChildren;
using Tamrix::Vision::GraphicInteractiveBase;
using Tamrix::Vision::GraphicParentChildCollection;
using Tamrix::Vision::IChangedEvent;
using Tamrix::Vision::IDiamondGraphicShape;
using Tamrix::Vision::IGraphic;
using Tamrix::Vision::IGraphicHighlight;
using Tamrix::Vision::IGraphicInteractive;
using Tamrix::Vision::IGraphicParentChild;
using Tamrix::Vision::IRegion;
using Tamrix::Vision::IShape;
using Tamrix::Vision::ITransform2D;
using Tamrix::Vision::LineSegment;
using Tamrix::Vision::Polygon;
using Tamrix::Vision::RectangleAffine;
using Tamrix::Vision::ShareableBase;
using Tamrix::Vision::StringCollection;
using Tamrix::Vision::Transform2DLinear;
using Tamrix::Vision::Transform2DRigid;
using Tamrix::Vision::Vect2;
using Tamrix::Vision::Vect2Collection;
}  // namespace Tamrix::Vision::GeometryRegistration

TAMRIX_TYPE(Vect2)
TAMRIX_TYPE(LineSegment)
TAMRIX_TYPE(EllipticalArc)
TAMRIX_TYPE(Polygon)
TAMRIX_TYPE(Ellipse)
TAMRIX_TYPE(RectangleAffine)
TAMRIX_TYPE(EllipticalAnnulusSection)
TAMRIX_TYPE(Transform2DLinear)
TAMRIX_TYPE(Transform2DRigid)
TAMRIX_TYPE(CoordinateSpaceTree)
TAMRIX_TYPE(StringCollection)
TAMRIX_TYPE(Vect2Collection)
TAMRIX_TYPE(GraphicParentChildCollection)
TAMRIX_TYPE(GraphicChildren)
TAMRIX_TYPE(DoubleReadOnlyCollection)

// Graphics and shapes.
TAMRIX_RELATION(GraphicInteractiveBase, Ellipse)
TAMRIX_RELATION(IRegion, Ellipse)
TAMRIX_RELATION(GraphicInteractiveBase, EllipticalAnnulusSection)
TAMRIX_RELATION(IRegion, EllipticalAnnulusSection)
TAMRIX_RELATION(GraphicInteractiveBase, EllipticalArc)
TAMRIX_RELATION(IShape, EllipticalArc)
TAMRIX_RELATION(GraphicInteractiveBase, LineSegment)
TAMRIX_RELATION(IShape, LineSegment)
TAMRIX_RELATION(GraphicInteractiveBase, Polygon)
TAMRIX_RELATION(IGraphicHighlight, Polygon)
TAMRIX_RELATION(IRegion, Polygon)
TAMRIX_RELATION(GraphicInteractiveBase, RectangleAffine)
TAMRIX_RELATION(IRegion, RectangleAffine)
TAMRIX_RELATION(IGraphicInteractive, GraphicInteractiveBase)
TAMRIX_RELATION(IGraphicParentChild, GraphicInteractiveBase)
TAMRIX_RELATION(IGraphic, IGraphicInteractive)
TAMRIX_RELATION(IChangedEvent, IGraphic)
TAMRIX_RELATION(IDiamondGraphicShape, IGraphic)
TAMRIX_RELATION(IChangedEvent, IGraphicParentChild)
TAMRIX_RELATION(IObject, IGraphicHighlight)
TAMRIX_RELATION(IShape, IRegion)
TAMRIX_RELATION(IChangedEvent, IShape)
TAMRIX_RELATION(IDiamondGraphicShape, IShape)
TAMRIX_RELATION(ShareableBase, Vect2)

// Transforms.
TAMRIX_RELATION(ChangedEventShareableBase, Transform2DLinear)
TAMRIX_RELATION(ITransform2D, Transform2DLinear)
TAMRIX_RELATION(ChangedEventShareableBase, Transform2DRigid)
TAMRIX_RELATION(ITransform2D, Transform2DRigid)
TAMRIX_RELATION(IChangedEvent, ITransform2D)
TAMRIX_RELATION(ChangedEventShareableBase, CoordinateSpaceTree)
TAMRIX_RELATION(IChangedEvent, CoordinateSpaceTree)

// Collection templates and collections.
TAMRIX_RELATION(ChangedEventShareableBase, StringCollectionBase)
TAMRIX_RELATION(StringICollection, StringCollectionBase)
TAMRIX_RELATION(ChangedEventShareableBase, GraphicCollectionBase)
TAMRIX_RELATION(GraphicICollection, GraphicCollectionBase)
TAMRIX_RELATION(ChangedEventShareableBase, Vect2CollectionBase)
TAMRIX_RELATION(Vect2ICollection, Vect2CollectionBase)
TAMRIX_RELATION(ShareableBase, DoubleReadOnlyBase)
TAMRIX_RELATION(DoubleReadOnly, DoubleReadOnlyBase)
TAMRIX_RELATION(ShareableBase, GraphicReadOnlyBase)
TAMRIX_RELATION(GraphicReadOnly, GraphicReadOnlyBase)
TAMRIX_RELATION(StringCollectionBase, StringCollection)
TAMRIX_RELATION(GraphicCollectionBase, GraphicParentChildCollection)
TAMRIX_RELATION(Vect2CollectionBase, Vect2Collection)
TAMRIX_RELATION(DoubleReadOnlyBase, DoubleReadOnlyCollection)
TAMRIX_RELATION(ChangedEventShareableBase, GraphicChildren)
TAMRIX_RELATION(GraphicICollection, GraphicChildren)
TAMRIX_RELATION(GraphicReadOnlyDictionary, GraphicChildren)

// Collection interfaces.
TAMRIX_RELATION(StringEvents, StringICollection)
TAMRIX_RELATION(StringReadOnly, StringICollection)
TAMRIX_RELATION(GraphicEvents, GraphicICollection)
TAMRIX_RELATION(GraphicReadOnly, GraphicICollection)
TAMRIX_RELATION(Vect2Events, Vect2ICollection)
TAMRIX_RELATION(IObject, Vect2ICollection)
TAMRIX_RELATION(Vect2ReadOnly, Vect2ICollection)
TAMRIX_RELATION(IObject, StringEvents)
TAMRIX_RELATION(IObject, GraphicEvents)
TAMRIX_RELATION(IObject, Vect2Events)
TAMRIX_RELATION(IObject, StringReadOnly)
TAMRIX_RELATION(IObject, GraphicReadOnly)
TAMRIX_RELATION(IObject, Vect2ReadOnly)
TAMRIX_RELATION(StringDictionaryEvents, StringDictionary)
TAMRIX_RELATION(IObject, StringDictionary)
TAMRIX_RELATION(StringReadOnlyDictionary, StringDictionary)
TAMRIX_RELATION(IObject, StringDictionaryEvents)
TAMRIX_RELATION(IObject, StringReadOnlyDictionary)
TAMRIX_RELATION(IObject, GraphicReadOnlyDictionary)

#undef TAMRIX_TYPE
#undef TAMRIX_RELATION

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

RTTR_REGISTRATION {
  using namespace Tamrix::Vision;
  using namespace Tamrix::Vision::GeometryRegistration;
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
