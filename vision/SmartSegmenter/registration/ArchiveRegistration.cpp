// The archive registrations this library makes when it is loaded: the 39 archive types, each
// bound to both portable binary archives under its fixed id, and the 117 base-to-derived relations
// that let its archiving code save and load them through their bases. A type that another library
// of the framework registered earlier keeps that registration; nothing is added twice.
//
// Template types are named through aliases because the registration macros cannot take
// arguments with commas.
#include "interfaces/core/Cereal.h"
#include "interfaces/core/Collections.h"
#include "interfaces/core/CoordinateSpaceTree.h"
#include "interfaces/core/Ellipse.h"
#include "interfaces/core/EllipticalAnnulusSection.h"
#include "interfaces/core/EllipticalArc.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image16Root.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/Image8Root.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/Meta.h"
#include "interfaces/core/ObjectBase.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "interfaces/core/Transforms.h"
#include "interfaces/core/Vect2.h"
#include "interfaces/engine/Segmenter.h"
#include "interfaces/engine/SmartSegmenterResult.h"
#include "interfaces/smartcore/ISmartTrainDatabaseVerifier.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignmentCollection.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace TamrixSmartSegmenterRegistration {
using Type0 = Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;
using Type1 = Tamrix::Vision::Implementation::CollectionBase<
    std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Type2 =
    Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Type3 = Tamrix::Vision::Implementation::CollectionBase<std::string>;
using Type4 = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
    std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Type5 = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<double>;
using Type6 = Tamrix::Vision::SmartSegmenter::Segmenter;
using Type7 = Tamrix::Vision::SmartSegmenter::SmartSegmenterResult;
using Type8 = Tamrix::Vision::SmartCore::SmartLabel;
using Type9 = Tamrix::Vision::SmartCore::SmartLabelCollection;
using Type10 = Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment;
using Type11 = Tamrix::Vision::SmartCore::SmartLabelToShapeAssignmentCollection;
using Type12 = Tamrix::Vision::SmartCore::SmartSegmenterResults;
using Type13 = Tamrix::Vision::SmartCore::SmartTrainData;
using Type14 = Tamrix::Vision::SmartCore::SmartTrainDataCollection;
using Type15 = Tamrix::Vision::SmartCore::SmartTrainDataDatabase;
using Type16 = Tamrix::Vision::ChangedEventShareableBase;
using Type17 = Tamrix::Vision::CoordinateSpaceTree;
using Type18 = Tamrix::Vision::DoubleReadOnlyCollection;
using Type19 = Tamrix::Vision::Ellipse;
using Type20 = Tamrix::Vision::EllipticalAnnulusSection;
using Type21 = Tamrix::Vision::EllipticalArc;
using Type22 = Tamrix::Vision::GraphicChildren;
using Type23 = Tamrix::Vision::GraphicParentChildCollection;
using Type24 = Tamrix::Vision::Image16Grey;
using Type25 = Tamrix::Vision::Image16Root;
using Type26 = Tamrix::Vision::Image24PlanarColor;
using Type27 = Tamrix::Vision::Image8Grey;
using Type28 = Tamrix::Vision::Image8Root;
using Type29 = Tamrix::Vision::LineSegment;
using Type30 = Tamrix::Vision::ObjectBase;
using Type31 = Tamrix::Vision::Polygon;
using Type32 = Tamrix::Vision::RectangleAffine;
using Type33 = Tamrix::Vision::ShareableBase;
using Type34 = Tamrix::Vision::StringCollection;
using Type35 = Tamrix::Vision::Transform2DLinear;
using Type36 = Tamrix::Vision::Transform2DRigid;
using Type37 = Tamrix::Vision::Vect2;
using Type38 = Tamrix::Vision::Vect2Collection;
using Base0 = Tamrix::Vision::ChangedEventShareableBase;
using Derived0 = Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;
using Base1 = Tamrix::Vision::SmartCore::ISmartSegmenter;
using Derived1 = Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;
using Base2 = Tamrix::Vision::ChangedEventShareableBase;
using Derived2 = Tamrix::Vision::SmartSegmenter::Segmenter;
using Base3 = Tamrix::Vision::ShareableBase;
using Derived3 = Tamrix::Vision::SmartSegmenter::SmartSegmenterResult;
using Base4 = Tamrix::Vision::SmartCore::ISmartSegmenterResult;
using Derived4 = Tamrix::Vision::SmartSegmenter::SmartSegmenterResult;
using Base5 = Tamrix::Vision::ChangedEventShareableBase;
using Derived5 = Tamrix::Vision::SmartCore::SmartTrainDataDatabase;
using Base6 = Tamrix::Vision::ChangedEventShareableBase;
using Derived6 = Tamrix::Vision::SmartCore::SmartTrainData;
using Base7 = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
    std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData>>;
using Derived7 = Tamrix::Vision::SmartCore::SmartTrainDataCollection;
using Base8 = Tamrix::Vision::ChangedEventShareableBase;
using Derived8 = Tamrix::Vision::SmartCore::SmartLabel;
using Base9 = Tamrix::Vision::SmartCore::ISmartLabel;
using Derived9 = Tamrix::Vision::SmartCore::SmartLabel;
using Base10 = Tamrix::Vision::Implementation::CollectionBase<
    std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>>;
using Derived10 = Tamrix::Vision::SmartCore::SmartLabelCollection;
using Base11 = Tamrix::Vision::ChangedEventShareableBase;
using Derived11 = Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment;
using Base12 = Tamrix::Vision::Implementation::CollectionBase<
    std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment>>;
using Derived12 = Tamrix::Vision::SmartCore::SmartLabelToShapeAssignmentCollection;
using Base13 = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
    std::shared_ptr<Tamrix::Vision::SmartCore::ISmartSegmenterResult>>;
using Derived13 = Tamrix::Vision::SmartCore::SmartSegmenterResults;
using Base14 = Tamrix::Vision::IChangedEvent;
using Derived14 = Tamrix::Vision::SmartCore::ISmartSegmenter;
using Base15 = Tamrix::Vision::IChangedEvent;
using Derived15 = Tamrix::Vision::SmartCore::ISmartLabel;
using Base16 = Tamrix::Vorn::IObject;
using Derived16 = Tamrix::Vision::SmartCore::ISmartSegmenterResult;
using Base17 = Tamrix::Vorn::IObject;
using Derived17 = Tamrix::Vision::SmartCore::ISmartTrainDatabaseVerifier;
using Base18 = Tamrix::Vision::IChangedEvent;
using Derived18 = Tamrix::Vision::ChangedEventShareableBase;
using Base19 = Tamrix::Vision::ShareableBase;
using Derived19 = Tamrix::Vision::ChangedEventShareableBase;
using Base20 = Tamrix::Vorn::IObject;
using Derived20 = Tamrix::Vision::ShareableBase;
using Base21 = Tamrix::Vorn::IObject;
using Derived21 = Tamrix::Vision::ObjectBase;
using Base22 = Tamrix::Vorn::IObject;
using Derived22 = Tamrix::Vision::IChangedEvent;
using Base23 = Tamrix::Vorn::IObject;
using Derived23 = Tamrix::Vision::Meta::IMemberMeta;
using Base24 = Tamrix::Vision::Meta::IMemberMeta;
using Derived24 = Tamrix::Vision::Meta::IPropertyMeta;
using Base25 = Tamrix::Vorn::IObject;
using Derived25 = Tamrix::Vision::Meta::IPropertyMeta;
using Base26 = Tamrix::Vorn::IObject;
using Derived26 = Tamrix::Vision::Meta::IHaveFakePropertyMeta;
using Base27 = Tamrix::Vision::ChangedEventShareableBase;
using Derived27 = Tamrix::Vision::Implementation::CollectionBase<std::string>;
using Base28 = Tamrix::Vorn::ICollection<std::string>;
using Derived28 = Tamrix::Vision::Implementation::CollectionBase<std::string>;
using Base29 = Tamrix::Vision::ChangedEventShareableBase;
using Derived29 = Tamrix::Vision::Implementation::CollectionBase<
    std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Base30 = Tamrix::Vorn::ICollection<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Derived30 = Tamrix::Vision::Implementation::CollectionBase<
    std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Base31 = Tamrix::Vision::ChangedEventShareableBase;
using Derived31 =
    Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Base32 = Tamrix::Vorn::ICollection<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Derived32 =
    Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Base33 = Tamrix::Vision::ShareableBase;
using Derived33 = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<double>;
using Base34 = Tamrix::Vorn::IReadOnlyCollection<double>;
using Derived34 = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<double>;
using Base35 = Tamrix::Vision::ShareableBase;
using Derived35 = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
    std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Base36 =
    Tamrix::Vorn::IReadOnlyCollection<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Derived36 = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
    std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Base37 = Tamrix::Vision::Implementation::CollectionBase<std::string>;
using Derived37 = Tamrix::Vision::StringCollection;
using Base38 = Tamrix::Vision::Implementation::CollectionBase<
    std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Derived38 = Tamrix::Vision::GraphicParentChildCollection;
using Base39 =
    Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Derived39 = Tamrix::Vision::Vect2Collection;
using Base40 = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<double>;
using Derived40 = Tamrix::Vision::DoubleReadOnlyCollection;
using Base41 = Tamrix::Vision::ChangedEventShareableBase;
using Derived41 = Tamrix::Vision::GraphicChildren;
using Base42 = Tamrix::Vorn::ICollection<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Derived42 = Tamrix::Vision::GraphicChildren;
using Base43 =
    Tamrix::Vorn::IReadOnlyDictionary<std::string,
                                      std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Derived43 = Tamrix::Vision::GraphicChildren;
using Base44 = Tamrix::Vorn::ICollectionEvents<std::string>;
using Derived44 = Tamrix::Vorn::ICollection<std::string>;
using Base45 = Tamrix::Vorn::IReadOnlyCollection<std::string>;
using Derived45 = Tamrix::Vorn::ICollection<std::string>;
using Base46 =
    Tamrix::Vorn::ICollectionEvents<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Derived46 = Tamrix::Vorn::ICollection<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Base47 =
    Tamrix::Vorn::IReadOnlyCollection<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Derived47 = Tamrix::Vorn::ICollection<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Base48 = Tamrix::Vorn::ICollectionEvents<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Derived48 = Tamrix::Vorn::ICollection<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Base49 = Tamrix::Vorn::IObject;
using Derived49 = Tamrix::Vorn::ICollection<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Base50 = Tamrix::Vorn::IReadOnlyCollection<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Derived50 = Tamrix::Vorn::ICollection<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Base51 = Tamrix::Vorn::IObject;
using Derived51 = Tamrix::Vorn::ICollectionEvents<std::string>;
using Base52 = Tamrix::Vorn::IObject;
using Derived52 =
    Tamrix::Vorn::ICollectionEvents<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Base53 = Tamrix::Vorn::IObject;
using Derived53 = Tamrix::Vorn::ICollectionEvents<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Base54 = Tamrix::Vorn::IObject;
using Derived54 = Tamrix::Vorn::IReadOnlyCollection<std::string>;
using Base55 = Tamrix::Vorn::IObject;
using Derived55 =
    Tamrix::Vorn::IReadOnlyCollection<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Base56 = Tamrix::Vorn::IObject;
using Derived56 = Tamrix::Vorn::IReadOnlyCollection<std::shared_ptr<Tamrix::Vision::Vect2>>;
using Base57 = Tamrix::Vorn::IDictionaryEvents<std::string, std::string>;
using Derived57 = Tamrix::Vorn::IDictionary<std::string, std::string>;
using Base58 = Tamrix::Vorn::IObject;
using Derived58 = Tamrix::Vorn::IDictionary<std::string, std::string>;
using Base59 = Tamrix::Vorn::IReadOnlyDictionary<std::string, std::string>;
using Derived59 = Tamrix::Vorn::IDictionary<std::string, std::string>;
using Base60 = Tamrix::Vorn::IObject;
using Derived60 = Tamrix::Vorn::IDictionaryEvents<std::string, std::string>;
using Base61 = Tamrix::Vorn::IObject;
using Derived61 = Tamrix::Vorn::IReadOnlyDictionary<std::string, std::string>;
using Base62 = Tamrix::Vorn::IObject;
using Derived62 =
    Tamrix::Vorn::IReadOnlyDictionary<std::string,
                                      std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
using Base63 = Tamrix::Vision::GraphicInteractiveBase;
using Derived63 = Tamrix::Vision::Ellipse;
using Base64 = Tamrix::Vision::IRegion;
using Derived64 = Tamrix::Vision::Ellipse;
using Base65 = Tamrix::Vision::GraphicInteractiveBase;
using Derived65 = Tamrix::Vision::EllipticalAnnulusSection;
using Base66 = Tamrix::Vision::IRegion;
using Derived66 = Tamrix::Vision::EllipticalAnnulusSection;
using Base67 = Tamrix::Vision::GraphicInteractiveBase;
using Derived67 = Tamrix::Vision::EllipticalArc;
using Base68 = Tamrix::Vision::IShape;
using Derived68 = Tamrix::Vision::EllipticalArc;
using Base69 = Tamrix::Vision::GraphicInteractiveBase;
using Derived69 = Tamrix::Vision::LineSegment;
using Base70 = Tamrix::Vision::IShape;
using Derived70 = Tamrix::Vision::LineSegment;
using Base71 = Tamrix::Vision::GraphicInteractiveBase;
using Derived71 = Tamrix::Vision::Polygon;
using Base72 = Tamrix::Vision::IGraphicHighlight;
using Derived72 = Tamrix::Vision::Polygon;
using Base73 = Tamrix::Vision::IRegion;
using Derived73 = Tamrix::Vision::Polygon;
using Base74 = Tamrix::Vision::GraphicInteractiveBase;
using Derived74 = Tamrix::Vision::RectangleAffine;
using Base75 = Tamrix::Vision::IRegion;
using Derived75 = Tamrix::Vision::RectangleAffine;
using Base76 = Tamrix::Vision::IGraphicInteractive;
using Derived76 = Tamrix::Vision::GraphicInteractiveBase;
using Base77 = Tamrix::Vision::IGraphicParentChild;
using Derived77 = Tamrix::Vision::GraphicInteractiveBase;
using Base78 = Tamrix::Vision::IGraphic;
using Derived78 = Tamrix::Vision::IGraphicInteractive;
using Base79 = Tamrix::Vision::IChangedEvent;
using Derived79 = Tamrix::Vision::IGraphic;
using Base80 = Tamrix::Vision::IDiamondGraphicShape;
using Derived80 = Tamrix::Vision::IGraphic;
using Base81 = Tamrix::Vision::IChangedEvent;
using Derived81 = Tamrix::Vision::IGraphicParentChild;
using Base82 = Tamrix::Vorn::IObject;
using Derived82 = Tamrix::Vision::IGraphicHighlight;
using Base83 = Tamrix::Vision::IShape;
using Derived83 = Tamrix::Vision::IRegion;
using Base84 = Tamrix::Vision::IChangedEvent;
using Derived84 = Tamrix::Vision::IShape;
using Base85 = Tamrix::Vision::IDiamondGraphicShape;
using Derived85 = Tamrix::Vision::IShape;
using Base86 = Tamrix::Vision::ShareableBase;
using Derived86 = Tamrix::Vision::Vect2;
using Base87 = Tamrix::Vision::ChangedEventShareableBase;
using Derived87 = Tamrix::Vision::Image8Grey;
using Base88 = Tamrix::Vision::IImage;
using Derived88 = Tamrix::Vision::Image8Grey;
using Base89 = Tamrix::Vision::IImage8GreyData;
using Derived89 = Tamrix::Vision::Image8Grey;
using Base90 = Tamrix::Vision::ChangedEventShareableBase;
using Derived90 = Tamrix::Vision::Image16Grey;
using Base91 = Tamrix::Vision::IImage;
using Derived91 = Tamrix::Vision::Image16Grey;
using Base92 = Tamrix::Vision::IImage16GreyData;
using Derived92 = Tamrix::Vision::Image16Grey;
using Base93 = Tamrix::Vision::ChangedEventShareableBase;
using Derived93 = Tamrix::Vision::Image24PlanarColor;
using Base94 = Tamrix::Vision::IImage;
using Derived94 = Tamrix::Vision::Image24PlanarColor;
using Base95 = Tamrix::Vision::IImage24PlanarColorData;
using Derived95 = Tamrix::Vision::Image24PlanarColor;
using Base96 = Tamrix::Vision::IImage8RootBuffer;
using Derived96 = Tamrix::Vision::Image8Root;
using Base97 = Tamrix::Vision::ShareableBase;
using Derived97 = Tamrix::Vision::Image8Root;
using Base98 = Tamrix::Vision::IImage16RootBuffer;
using Derived98 = Tamrix::Vision::Image16Root;
using Base99 = Tamrix::Vision::ShareableBase;
using Derived99 = Tamrix::Vision::Image16Root;
using Base100 = Tamrix::Vision::IImage8Root;
using Derived100 = Tamrix::Vision::IImage8RootBuffer;
using Base101 = Tamrix::Vision::IImage16Root;
using Derived101 = Tamrix::Vision::IImage16RootBuffer;
using Base102 = Tamrix::Vision::IChangedEvent;
using Derived102 = Tamrix::Vision::IImage;
using Base103 = Tamrix::Vorn::IObject;
using Derived103 = Tamrix::Vision::IImage8GreyData;
using Base104 = Tamrix::Vorn::IObject;
using Derived104 = Tamrix::Vision::IImage16GreyData;
using Base105 = Tamrix::Vorn::IObject;
using Derived105 = Tamrix::Vision::IImage24PlanarColorData;
using Base106 = Tamrix::Vorn::IObject;
using Derived106 = Tamrix::Vision::IImage8PixelMemory;
using Base107 = Tamrix::Vorn::IObject;
using Derived107 = Tamrix::Vision::IImage16PixelMemory;
using Base108 = Tamrix::Vorn::IObject;
using Derived108 = Tamrix::Vision::IImage8Root;
using Base109 = Tamrix::Vorn::IObject;
using Derived109 = Tamrix::Vision::IImage16Root;
using Base110 = Tamrix::Vision::ChangedEventShareableBase;
using Derived110 = Tamrix::Vision::Transform2DLinear;
using Base111 = Tamrix::Vision::ITransform2D;
using Derived111 = Tamrix::Vision::Transform2DLinear;
using Base112 = Tamrix::Vision::ChangedEventShareableBase;
using Derived112 = Tamrix::Vision::Transform2DRigid;
using Base113 = Tamrix::Vision::ITransform2D;
using Derived113 = Tamrix::Vision::Transform2DRigid;
using Base114 = Tamrix::Vision::IChangedEvent;
using Derived114 = Tamrix::Vision::ITransform2D;
using Base115 = Tamrix::Vision::ChangedEventShareableBase;
using Derived115 = Tamrix::Vision::CoordinateSpaceTree;
using Base116 = Tamrix::Vision::IChangedEvent;
using Derived116 = Tamrix::Vision::CoordinateSpaceTree;
}  // namespace TamrixSmartSegmenterRegistration

// Relations first, then the type bindings; the result does not depend on the order.
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base0,
                                     TamrixSmartSegmenterRegistration::Derived0)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base1,
                                     TamrixSmartSegmenterRegistration::Derived1)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base2,
                                     TamrixSmartSegmenterRegistration::Derived2)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base3,
                                     TamrixSmartSegmenterRegistration::Derived3)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base4,
                                     TamrixSmartSegmenterRegistration::Derived4)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base5,
                                     TamrixSmartSegmenterRegistration::Derived5)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base6,
                                     TamrixSmartSegmenterRegistration::Derived6)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base7,
                                     TamrixSmartSegmenterRegistration::Derived7)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base8,
                                     TamrixSmartSegmenterRegistration::Derived8)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base9,
                                     TamrixSmartSegmenterRegistration::Derived9)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base10,
                                     TamrixSmartSegmenterRegistration::Derived10)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base11,
                                     TamrixSmartSegmenterRegistration::Derived11)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base12,
                                     TamrixSmartSegmenterRegistration::Derived12)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base13,
                                     TamrixSmartSegmenterRegistration::Derived13)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base14,
                                     TamrixSmartSegmenterRegistration::Derived14)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base15,
                                     TamrixSmartSegmenterRegistration::Derived15)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base16,
                                     TamrixSmartSegmenterRegistration::Derived16)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base17,
                                     TamrixSmartSegmenterRegistration::Derived17)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base18,
                                     TamrixSmartSegmenterRegistration::Derived18)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base19,
                                     TamrixSmartSegmenterRegistration::Derived19)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base20,
                                     TamrixSmartSegmenterRegistration::Derived20)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base21,
                                     TamrixSmartSegmenterRegistration::Derived21)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base22,
                                     TamrixSmartSegmenterRegistration::Derived22)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base23,
                                     TamrixSmartSegmenterRegistration::Derived23)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base24,
                                     TamrixSmartSegmenterRegistration::Derived24)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base25,
                                     TamrixSmartSegmenterRegistration::Derived25)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base26,
                                     TamrixSmartSegmenterRegistration::Derived26)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base27,
                                     TamrixSmartSegmenterRegistration::Derived27)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base28,
                                     TamrixSmartSegmenterRegistration::Derived28)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base29,
                                     TamrixSmartSegmenterRegistration::Derived29)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base30,
                                     TamrixSmartSegmenterRegistration::Derived30)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base31,
                                     TamrixSmartSegmenterRegistration::Derived31)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base32,
                                     TamrixSmartSegmenterRegistration::Derived32)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base33,
                                     TamrixSmartSegmenterRegistration::Derived33)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base34,
                                     TamrixSmartSegmenterRegistration::Derived34)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base35,
                                     TamrixSmartSegmenterRegistration::Derived35)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base36,
                                     TamrixSmartSegmenterRegistration::Derived36)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base37,
                                     TamrixSmartSegmenterRegistration::Derived37)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base38,
                                     TamrixSmartSegmenterRegistration::Derived38)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base39,
                                     TamrixSmartSegmenterRegistration::Derived39)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base40,
                                     TamrixSmartSegmenterRegistration::Derived40)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base41,
                                     TamrixSmartSegmenterRegistration::Derived41)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base42,
                                     TamrixSmartSegmenterRegistration::Derived42)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base43,
                                     TamrixSmartSegmenterRegistration::Derived43)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base44,
                                     TamrixSmartSegmenterRegistration::Derived44)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base45,
                                     TamrixSmartSegmenterRegistration::Derived45)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base46,
                                     TamrixSmartSegmenterRegistration::Derived46)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base47,
                                     TamrixSmartSegmenterRegistration::Derived47)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base48,
                                     TamrixSmartSegmenterRegistration::Derived48)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base49,
                                     TamrixSmartSegmenterRegistration::Derived49)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base50,
                                     TamrixSmartSegmenterRegistration::Derived50)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base51,
                                     TamrixSmartSegmenterRegistration::Derived51)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base52,
                                     TamrixSmartSegmenterRegistration::Derived52)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base53,
                                     TamrixSmartSegmenterRegistration::Derived53)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base54,
                                     TamrixSmartSegmenterRegistration::Derived54)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base55,
                                     TamrixSmartSegmenterRegistration::Derived55)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base56,
                                     TamrixSmartSegmenterRegistration::Derived56)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base57,
                                     TamrixSmartSegmenterRegistration::Derived57)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base58,
                                     TamrixSmartSegmenterRegistration::Derived58)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base59,
                                     TamrixSmartSegmenterRegistration::Derived59)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base60,
                                     TamrixSmartSegmenterRegistration::Derived60)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base61,
                                     TamrixSmartSegmenterRegistration::Derived61)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base62,
                                     TamrixSmartSegmenterRegistration::Derived62)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base63,
                                     TamrixSmartSegmenterRegistration::Derived63)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base64,
                                     TamrixSmartSegmenterRegistration::Derived64)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base65,
                                     TamrixSmartSegmenterRegistration::Derived65)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base66,
                                     TamrixSmartSegmenterRegistration::Derived66)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base67,
                                     TamrixSmartSegmenterRegistration::Derived67)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base68,
                                     TamrixSmartSegmenterRegistration::Derived68)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base69,
                                     TamrixSmartSegmenterRegistration::Derived69)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base70,
                                     TamrixSmartSegmenterRegistration::Derived70)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base71,
                                     TamrixSmartSegmenterRegistration::Derived71)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base72,
                                     TamrixSmartSegmenterRegistration::Derived72)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base73,
                                     TamrixSmartSegmenterRegistration::Derived73)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base74,
                                     TamrixSmartSegmenterRegistration::Derived74)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base75,
                                     TamrixSmartSegmenterRegistration::Derived75)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base76,
                                     TamrixSmartSegmenterRegistration::Derived76)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base77,
                                     TamrixSmartSegmenterRegistration::Derived77)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base78,
                                     TamrixSmartSegmenterRegistration::Derived78)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base79,
                                     TamrixSmartSegmenterRegistration::Derived79)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base80,
                                     TamrixSmartSegmenterRegistration::Derived80)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base81,
                                     TamrixSmartSegmenterRegistration::Derived81)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base82,
                                     TamrixSmartSegmenterRegistration::Derived82)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base83,
                                     TamrixSmartSegmenterRegistration::Derived83)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base84,
                                     TamrixSmartSegmenterRegistration::Derived84)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base85,
                                     TamrixSmartSegmenterRegistration::Derived85)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base86,
                                     TamrixSmartSegmenterRegistration::Derived86)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base87,
                                     TamrixSmartSegmenterRegistration::Derived87)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base88,
                                     TamrixSmartSegmenterRegistration::Derived88)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base89,
                                     TamrixSmartSegmenterRegistration::Derived89)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base90,
                                     TamrixSmartSegmenterRegistration::Derived90)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base91,
                                     TamrixSmartSegmenterRegistration::Derived91)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base92,
                                     TamrixSmartSegmenterRegistration::Derived92)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base93,
                                     TamrixSmartSegmenterRegistration::Derived93)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base94,
                                     TamrixSmartSegmenterRegistration::Derived94)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base95,
                                     TamrixSmartSegmenterRegistration::Derived95)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base96,
                                     TamrixSmartSegmenterRegistration::Derived96)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base97,
                                     TamrixSmartSegmenterRegistration::Derived97)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base98,
                                     TamrixSmartSegmenterRegistration::Derived98)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base99,
                                     TamrixSmartSegmenterRegistration::Derived99)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base100,
                                     TamrixSmartSegmenterRegistration::Derived100)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base101,
                                     TamrixSmartSegmenterRegistration::Derived101)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base102,
                                     TamrixSmartSegmenterRegistration::Derived102)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base103,
                                     TamrixSmartSegmenterRegistration::Derived103)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base104,
                                     TamrixSmartSegmenterRegistration::Derived104)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base105,
                                     TamrixSmartSegmenterRegistration::Derived105)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base106,
                                     TamrixSmartSegmenterRegistration::Derived106)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base107,
                                     TamrixSmartSegmenterRegistration::Derived107)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base108,
                                     TamrixSmartSegmenterRegistration::Derived108)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base109,
                                     TamrixSmartSegmenterRegistration::Derived109)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base110,
                                     TamrixSmartSegmenterRegistration::Derived110)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base111,
                                     TamrixSmartSegmenterRegistration::Derived111)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base112,
                                     TamrixSmartSegmenterRegistration::Derived112)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base113,
                                     TamrixSmartSegmenterRegistration::Derived113)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base114,
                                     TamrixSmartSegmenterRegistration::Derived114)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base115,
                                     TamrixSmartSegmenterRegistration::Derived115)
CEREAL_REGISTER_POLYMORPHIC_RELATION(TamrixSmartSegmenterRegistration::Base116,
                                     TamrixSmartSegmenterRegistration::Derived116)

CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type0,
                               "Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator")
CEREAL_REGISTER_TYPE_WITH_NAME(
    TamrixSmartSegmenterRegistration::Type1,
    "Tamrix::Vision::Implementation::CollectionBase<Tamrix::Vision::IGraphicParentChildPtr>")
CEREAL_REGISTER_TYPE_WITH_NAME(
    TamrixSmartSegmenterRegistration::Type2,
    "Tamrix::Vision::Implementation::CollectionBase<Tamrix::Vision::Vect2Ptr>")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type3,
                               "Tamrix::Vision::Implementation::CollectionBase<std::string>")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type4,
                               "Tamrix::Vision::Implementation::ReadOnlyCollectionBase<Tamrix::"
                               "Vision::IGraphicParentChildPtr>")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type5,
                               "Tamrix::Vision::Implementation::ReadOnlyCollectionBase<double>")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type6,
                               "Tamrix::Vision::SmartSegmenter::Segmenter")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type7,
                               "Tamrix::Vision::SmartSegmenter::SmartSegmenterResult")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type8,
                               "Tamrix::Vision::SmartCore::SmartLabel")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type9,
                               "Tamrix::Vision::SmartCore::SmartLabelCollection")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type10,
                               "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type11,
                               "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignmentCollection")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type12,
                               "Tamrix::Vision::SmartCore::SmartSegmenterResults")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type13,
                               "Tamrix::Vision::SmartCore::SmartTrainData")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type14,
                               "Tamrix::Vision::SmartCore::SmartTrainDataCollection")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type15,
                               "Tamrix::Vision::SmartCore::SmartTrainDataDatabase")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type16,
                               "Tamrix::Vision::ChangedEventShareableBase")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type17,
                               "Tamrix::Vision::CoordinateSpaceTree")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type18,
                               "Tamrix::Vision::DoubleReadOnlyCollection")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type19, "Tamrix::Vision::Ellipse")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type20,
                               "Tamrix::Vision::EllipticalAnnulusSection")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type21,
                               "Tamrix::Vision::EllipticalArc")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type22,
                               "Tamrix::Vision::GraphicChildren")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type23,
                               "Tamrix::Vision::GraphicParentChildCollection")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type24,
                               "Tamrix::Vision::Image16Grey")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type25,
                               "Tamrix::Vision::Image16Root")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type26,
                               "Tamrix::Vision::Image24PlanarColor")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type27,
                               "Tamrix::Vision::Image8Grey")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type28,
                               "Tamrix::Vision::Image8Root")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type29,
                               "Tamrix::Vision::LineSegment")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type30,
                               "Tamrix::Vision::ObjectBase")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type31, "Tamrix::Vision::Polygon")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type32,
                               "Tamrix::Vision::RectangleAffine")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type33,
                               "Tamrix::Vision::ShareableBase")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type34,
                               "Tamrix::Vision::StringCollection")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type35,
                               "Tamrix::Vision::Transform2DLinear")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type36,
                               "Tamrix::Vision::Transform2DRigid")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type37, "Tamrix::Vision::Vect2")
CEREAL_REGISTER_TYPE_WITH_NAME(TamrixSmartSegmenterRegistration::Type38,
                               "Tamrix::Vision::Vect2Collection")
