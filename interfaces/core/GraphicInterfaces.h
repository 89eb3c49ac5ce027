// Interfaces of graphics and shapes.
#pragma once

#include "interfaces/core/IChangedEvent.h"
#include "interfaces/core/PixelMask.h"

namespace Tamrix::Vision {

// Common root of the graphic and shape branches, which meet in every concrete shape.
class IDiamondGraphicShape : public virtual Tamrix::Vorn::IObject {
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

// Something that can be drawn.
class IGraphic : public virtual IChangedEvent, public virtual IDiamondGraphicShape {
 public:
  RTTR_ENABLE(IChangedEvent, IDiamondGraphicShape)
};

// A graphic that a user can edit interactively.
class IGraphicInteractive : public virtual IGraphic {
 public:
  RTTR_ENABLE(IGraphic)
};

// A graphic that can sit in a graphic tree; its name identifies it among its siblings.
class IGraphicParentChild : public virtual IChangedEvent {
 public:
  virtual std::string Name() const = 0;
  virtual void setName(const std::string& name) = 0;
  RTTR_ENABLE(IChangedEvent)
};

// A graphic that can be shown highlighted.
class IGraphicHighlight : public virtual Tamrix::Vorn::IObject {
 public:
  virtual bool Highlighted() const = 0;
  virtual void setHighlighted(bool highlighted) = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

// A geometric shape in image coordinates: a curve, or an area (IRegion).
class IShape : public virtual IChangedEvent, public virtual IDiamondGraphicShape {
 public:
  // The smallest axis-aligned box holding the shape.
  virtual BoundingBox Bounds() const = 0;
  // The pixels of a width x height image that the shape covers: for an area its inside, for a
  // curve a stroke `strokeWidth` pixels wide centred on it. Parts outside the image are dropped.
  PixelMask Rasterize(int width, int height, double strokeWidth) const {
    PixelMask mask(width, height);
    RasterizeInto(mask, strokeWidth);
    return mask;
  }
  // Marks in `target` the pixels Rasterize(target.Width(), target.Height(), strokeWidth) marks and
  // leaves the others as they are, so that many shapes draw into one mask at the cost of the
  // pixels near each one's box.
  virtual void RasterizeInto(PixelMask& target, double strokeWidth) const = 0;
  virtual bool IsArea() const = 0;
  RTTR_ENABLE(IChangedEvent, IDiamondGraphicShape)
};

// A closed area. A pixel belongs to it when Contains() holds for the pixel's centre.
class IRegion : public virtual IShape {
 public:
  virtual bool Contains(double x, double y) const = 0;
  // The inside of the region in a width x height image.
  PixelMask Mask(int width, int height) const { return Rasterize(width, height, 0.0); }
  RTTR_ENABLE(IShape)
};

}  // namespace Tamrix::Vision
