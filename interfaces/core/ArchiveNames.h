// The framework core library's types under the names that archive registrations use (see
// ArchiveRegistration.h).
#pragma once

#include <memory>
#include <string>

#include "interfaces/core/ArchiveRegistration.h"
#include "interfaces/core/ChangedEventShareableBase.h"
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

namespace Tamrix::ArchiveNames {

// Object framework.
using Tamrix::Vision::ChangedEventShareableBase;
using Tamrix::Vision::IChangedEvent;
using Tamrix::Vision::ObjectBase;
using Tamrix::Vision::ShareableBase;
using Tamrix::Vision::Meta::IHaveFakePropertyMeta;
using Tamrix::Vision::Meta::IMemberMeta;
using Tamrix::Vision::Meta::IPropertyMeta;
using Tamrix::Vorn::IObject;

// Graphics and shapes.
using Tamrix::Vision::Ellipse;
using Tamrix::Vision::EllipticalAnnulusSection;
using Tamrix::Vision::EllipticalArc;
using Tamrix::Vision::GraphicInteractiveBase;
using Tamrix::Vision::IDiamondGraphicShape;
using Tamrix::Vision::IGraphic;
using Tamrix::Vision::IGraphicHighlight;
using Tamrix::Vision::IGraphicInteractive;
using Tamrix::Vision::IGraphicParentChild;
using Tamrix::Vision::IRegion;
using Tamrix::Vision::IShape;
using Tamrix::Vision::LineSegment;
using Tamrix::Vision::Polygon;
using Tamrix::Vision::RectangleAffine;
using Tamrix::Vision::Vect2;

// Transforms.
using Tamrix::Vision::CoordinateSpaceTree;
using Tamrix::Vision::ITransform2D;
using Tamrix::Vision::Transform2DLinear;
using Tamrix::Vision::Transform2DRigid;

// Images.
using Tamrix::Vision::IImage;
using Tamrix::Vision::IImage16GreyData;
using Tamrix::Vision::IImage16PixelMemory;
using Tamrix::Vision::IImage16Root;
using Tamrix::Vision::IImage16RootBuffer;
using Tamrix::Vision::IImage24PlanarColorData;
using Tamrix::Vision::IImage8GreyData;
using Tamrix::Vision::IImage8PixelMemory;
using Tamrix::Vision::IImage8Root;
using Tamrix::Vision::IImage8RootBuffer;
using Tamrix::Vision::Image16Grey;
using Tamrix::Vision::Image16Root;
using Tamrix::Vision::Image24PlanarColor;
using Tamrix::Vision::Image8Grey;
using Tamrix::Vision::Image8Root;

// Collections and the template instances behind them.
using Tamrix::Vision::DoubleReadOnlyCollection;
using Tamrix::Vision::GraphicChildren;
using Tamrix::Vision::GraphicParentChildCollection;
using Tamrix::Vision::StringCollection;
using Tamrix::Vision::Vect2Collection;
using StringCollectionBase = Tamrix::Vision::Implementation::CollectionBase<std::string>;
using GraphicCollectionBase =
    Tamrix::Vision::Implementation::CollectionBase<Tamrix::Vision::IGraphicParentChildPtr>;
using Vect2CollectionBase =
    Tamrix::Vision::Implementation::CollectionBase<Tamrix::Vision::Vect2Ptr>;
using DoubleReadOnlyBase = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<double>;
using GraphicReadOnlyBase =
    Tamrix::Vision::Implementation::ReadOnlyCollectionBase<Tamrix::Vision::IGraphicParentChildPtr>;

// Collection interfaces.
using StringICollection = Tamrix::Vorn::ICollection<std::string>;
using GraphicICollection = Tamrix::Vorn::ICollection<Tamrix::Vision::IGraphicParentChildPtr>;
using Vect2ICollection = Tamrix::Vorn::ICollection<Tamrix::Vision::Vect2Ptr>;
using StringEvents = Tamrix::Vorn::ICollectionEvents<std::string>;
using GraphicEvents = Tamrix::Vorn::ICollectionEvents<Tamrix::Vision::IGraphicParentChildPtr>;
using Vect2Events = Tamrix::Vorn::ICollectionEvents<Tamrix::Vision::Vect2Ptr>;
using StringReadOnly = Tamrix::Vorn::IReadOnlyCollection<std::string>;
using GraphicReadOnly = Tamrix::Vorn::IReadOnlyCollection<Tamrix::Vision::IGraphicParentChildPtr>;
using Vect2ReadOnly = Tamrix::Vorn::IReadOnlyCollection<Tamrix::Vision::Vect2Ptr>;
using DoubleReadOnly = Tamrix::Vorn::IReadOnlyCollection<double>;
using StringDictionary = Tamrix::Vorn::IDictionary<std::string, std::string>;
using StringDictionaryEvents = Tamrix::Vorn::IDictionaryEvents<std::string, std::string>;
using StringReadOnlyDictionary = Tamrix::Vorn::IReadOnlyDictionary<std::string, std::string>;
using GraphicReadOnlyDictionary =
    Tamrix::Vorn::IReadOnlyDictionary<std::string, Tamrix::Vision::IGraphicParentChildPtr>;

}  // namespace Tamrix::ArchiveNames
