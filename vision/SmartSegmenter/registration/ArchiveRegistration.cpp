// The archive registrations this library makes when it is loaded: the 39 archive types, each
// bound to both portable binary archives under its fixed id, and the 117 base-to-derived relations
// that let its archiving code save and load them through their bases, grouped by the library that
// defines the derived type. A type that another library of the framework registered earlier keeps
// that registration; nothing is added twice.
#include "interfaces/core/ArchiveNames.h"
#include "interfaces/engine/Segmenter.h"
#include "interfaces/engine/SmartSegmenterResult.h"
#include "interfaces/smartcore/ArchiveNames.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace Tamrix::ArchiveNames {
using Tamrix::Vision::SmartSegmenter::Segmenter;
using Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;
using Tamrix::Vision::SmartSegmenter::SmartSegmenterResult;
}  // namespace Tamrix::ArchiveNames

// Relations first, then the type bindings; the result does not depend on the order.
// Operator and engine.
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, SmartSegmenterOperator)
TAMRIX_ARCHIVE_RELATION(ISmartSegmenter, SmartSegmenterOperator)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Segmenter)
TAMRIX_ARCHIVE_RELATION(ShareableBase, SmartSegmenterResult)
TAMRIX_ARCHIVE_RELATION(ISmartSegmenterResult, SmartSegmenterResult)

// Training data.
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, SmartTrainDataDatabase)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, SmartTrainData)
TAMRIX_ARCHIVE_RELATION(TrainDataReadOnlyBase, SmartTrainDataCollection)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, SmartLabel)
TAMRIX_ARCHIVE_RELATION(ISmartLabel, SmartLabel)
TAMRIX_ARCHIVE_RELATION(LabelCollectionBase, SmartLabelCollection)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, SmartLabelToShapeAssignment)
TAMRIX_ARCHIVE_RELATION(AssignmentCollectionBase, SmartLabelToShapeAssignmentCollection)
TAMRIX_ARCHIVE_RELATION(ResultReadOnlyBase, SmartSegmenterResults)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, ISmartSegmenter)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, ISmartLabel)
TAMRIX_ARCHIVE_RELATION(IObject, ISmartSegmenterResult)
TAMRIX_ARCHIVE_RELATION(IObject, ISmartTrainDatabaseVerifier)

// Object framework.
TAMRIX_ARCHIVE_RELATION(IChangedEvent, ChangedEventShareableBase)
TAMRIX_ARCHIVE_RELATION(ShareableBase, ChangedEventShareableBase)
TAMRIX_ARCHIVE_RELATION(IObject, ShareableBase)
TAMRIX_ARCHIVE_RELATION(IObject, ObjectBase)
TAMRIX_ARCHIVE_RELATION(IObject, IChangedEvent)
TAMRIX_ARCHIVE_RELATION(IObject, IMemberMeta)
TAMRIX_ARCHIVE_RELATION(IMemberMeta, IPropertyMeta)
TAMRIX_ARCHIVE_RELATION(IObject, IPropertyMeta)
TAMRIX_ARCHIVE_RELATION(IObject, IHaveFakePropertyMeta)

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

// Images.
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Image8Grey)
TAMRIX_ARCHIVE_RELATION(IImage, Image8Grey)
TAMRIX_ARCHIVE_RELATION(IImage8GreyData, Image8Grey)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Image16Grey)
TAMRIX_ARCHIVE_RELATION(IImage, Image16Grey)
TAMRIX_ARCHIVE_RELATION(IImage16GreyData, Image16Grey)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Image24PlanarColor)
TAMRIX_ARCHIVE_RELATION(IImage, Image24PlanarColor)
TAMRIX_ARCHIVE_RELATION(IImage24PlanarColorData, Image24PlanarColor)
TAMRIX_ARCHIVE_RELATION(IImage8RootBuffer, Image8Root)
TAMRIX_ARCHIVE_RELATION(ShareableBase, Image8Root)
TAMRIX_ARCHIVE_RELATION(IImage16RootBuffer, Image16Root)
TAMRIX_ARCHIVE_RELATION(ShareableBase, Image16Root)
TAMRIX_ARCHIVE_RELATION(IImage8Root, IImage8RootBuffer)
TAMRIX_ARCHIVE_RELATION(IImage16Root, IImage16RootBuffer)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, IImage)
TAMRIX_ARCHIVE_RELATION(IObject, IImage8GreyData)
TAMRIX_ARCHIVE_RELATION(IObject, IImage16GreyData)
TAMRIX_ARCHIVE_RELATION(IObject, IImage24PlanarColorData)
TAMRIX_ARCHIVE_RELATION(IObject, IImage8PixelMemory)
TAMRIX_ARCHIVE_RELATION(IObject, IImage16PixelMemory)
TAMRIX_ARCHIVE_RELATION(IObject, IImage8Root)
TAMRIX_ARCHIVE_RELATION(IObject, IImage16Root)

// Transforms.
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Transform2DLinear)
TAMRIX_ARCHIVE_RELATION(ITransform2D, Transform2DLinear)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, Transform2DRigid)
TAMRIX_ARCHIVE_RELATION(ITransform2D, Transform2DRigid)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, ITransform2D)
TAMRIX_ARCHIVE_RELATION(ChangedEventShareableBase, CoordinateSpaceTree)
TAMRIX_ARCHIVE_RELATION(IChangedEvent, CoordinateSpaceTree)

// The operator and the collection templates, whose records this library defines.
TAMRIX_ARCHIVE_TYPE(SmartSegmenterOperator,
                    "Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator")
TAMRIX_ARCHIVE_TYPE(
    GraphicCollectionBase,
    "Tamrix::Vision::Implementation::CollectionBase<Tamrix::Vision::IGraphicParentChildPtr>")
TAMRIX_ARCHIVE_TYPE(Vect2CollectionBase,
                    "Tamrix::Vision::Implementation::CollectionBase<Tamrix::Vision::Vect2Ptr>")
TAMRIX_ARCHIVE_TYPE(StringCollectionBase,
                    "Tamrix::Vision::Implementation::CollectionBase<std::string>")
TAMRIX_ARCHIVE_TYPE(GraphicReadOnlyBase,
                    "Tamrix::Vision::Implementation::ReadOnlyCollectionBase<Tamrix::Vision::"
                    "IGraphicParentChildPtr>")
TAMRIX_ARCHIVE_TYPE(DoubleReadOnlyBase,
                    "Tamrix::Vision::Implementation::ReadOnlyCollectionBase<double>")

// Engine, training-data and framework types, whose records their own libraries define.
TAMRIX_ARCHIVE_TYPE(Segmenter, "Tamrix::Vision::SmartSegmenter::Segmenter")
TAMRIX_ARCHIVE_TYPE(SmartSegmenterResult, "Tamrix::Vision::SmartSegmenter::SmartSegmenterResult")
TAMRIX_ARCHIVE_TYPE(SmartLabel, "Tamrix::Vision::SmartCore::SmartLabel")
TAMRIX_ARCHIVE_TYPE(SmartLabelCollection, "Tamrix::Vision::SmartCore::SmartLabelCollection")
TAMRIX_ARCHIVE_TYPE(SmartLabelToShapeAssignment,
                    "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment")
TAMRIX_ARCHIVE_TYPE(SmartLabelToShapeAssignmentCollection,
                    "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignmentCollection")
TAMRIX_ARCHIVE_TYPE(SmartSegmenterResults, "Tamrix::Vision::SmartCore::SmartSegmenterResults")
TAMRIX_ARCHIVE_TYPE(SmartTrainData, "Tamrix::Vision::SmartCore::SmartTrainData")
TAMRIX_ARCHIVE_TYPE(SmartTrainDataCollection, "Tamrix::Vision::SmartCore::SmartTrainDataCollection")
TAMRIX_ARCHIVE_TYPE(SmartTrainDataDatabase, "Tamrix::Vision::SmartCore::SmartTrainDataDatabase")
TAMRIX_ARCHIVE_TYPE(ChangedEventShareableBase, "Tamrix::Vision::ChangedEventShareableBase")
TAMRIX_ARCHIVE_TYPE(CoordinateSpaceTree, "Tamrix::Vision::CoordinateSpaceTree")
TAMRIX_ARCHIVE_TYPE(DoubleReadOnlyCollection, "Tamrix::Vision::DoubleReadOnlyCollection")
TAMRIX_ARCHIVE_TYPE(Ellipse, "Tamrix::Vision::Ellipse")
TAMRIX_ARCHIVE_TYPE(EllipticalAnnulusSection, "Tamrix::Vision::EllipticalAnnulusSection")
TAMRIX_ARCHIVE_TYPE(EllipticalArc, "Tamrix::Vision::EllipticalArc")
TAMRIX_ARCHIVE_TYPE(GraphicChildren, "Tamrix::Vision::GraphicChildren")
TAMRIX_ARCHIVE_TYPE(GraphicParentChildCollection, "Tamrix::Vision::GraphicParentChildCollection")
TAMRIX_ARCHIVE_TYPE(Image16Grey, "Tamrix::Vision::Image16Grey")
TAMRIX_ARCHIVE_TYPE(Image16Root, "Tamrix::Vision::Image16Root")
TAMRIX_ARCHIVE_TYPE(Image24PlanarColor, "Tamrix::Vision::Image24PlanarColor")
TAMRIX_ARCHIVE_TYPE(Image8Grey, "Tamrix::Vision::Image8Grey")
TAMRIX_ARCHIVE_TYPE(Image8Root, "Tamrix::Vision::Image8Root")
TAMRIX_ARCHIVE_TYPE(LineSegment, "Tamrix::Vision::LineSegment")
TAMRIX_ARCHIVE_TYPE(ObjectBase, "Tamrix::Vision::ObjectBase")
TAMRIX_ARCHIVE_TYPE(Polygon, "Tamrix::Vision::Polygon")
TAMRIX_ARCHIVE_TYPE(RectangleAffine, "Tamrix::Vision::RectangleAffine")
TAMRIX_ARCHIVE_TYPE(ShareableBase, "Tamrix::Vision::ShareableBase")
TAMRIX_ARCHIVE_TYPE(StringCollection, "Tamrix::Vision::StringCollection")
TAMRIX_ARCHIVE_TYPE(Transform2DLinear, "Tamrix::Vision::Transform2DLinear")
TAMRIX_ARCHIVE_TYPE(Transform2DRigid, "Tamrix::Vision::Transform2DRigid")
TAMRIX_ARCHIVE_TYPE(Vect2, "Tamrix::Vision::Vect2")
TAMRIX_ARCHIVE_TYPE(Vect2Collection, "Tamrix::Vision::Vect2Collection")
