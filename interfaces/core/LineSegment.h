// A straight line segment between two points.
#pragma once

#include <cstdint>

#include "interfaces/core/GraphicInteractiveBase.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision {

// A curve from Start() to End(). Rasterize marks every pixel whose centre lies within
// max(strokeWidth, 1) / 2 of the segment (round ends), so a single point marks its own pixel.
// Setters reject coordinates that are not finite numbers (ArgumentException) and raise
// OnChanged_(SfStart) or OnChanged_(SfEnd) when the value changes.
class LineSegment : public GraphicInteractiveBase, public virtual IShape {
 public:
  static constexpr long long SfStart = GraphicInteractiveBase::SfNextSf_;
  static constexpr long long SfEnd = SfStart << 1;
  static constexpr long long SfNextSf_ = SfEnd << 1;

  explicit LineSegment(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : GraphicInteractiveBase(token) {}
  LineSegment(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, const Point2D& start,
              const Point2D& end);

  Point2D Start() const { return start_; }
  Point2D End() const { return end_; }
  void setStart(Point2D start);
  void setEnd(Point2D end);
  double Length() const;

  BoundingBox Bounds() const override;
  void RasterizeInto(PixelMask& target, double strokeWidth) const override;
  bool IsArea() const override { return false; }

 private:
  LineSegment() = default;
  friend class cereal::access;
  // Record: GraphicInteractiveBase part, start (x, y), end (x, y).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  Point2D start_;
  Point2D end_;

  RTTR_ENABLE(GraphicInteractiveBase, IShape)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::LineSegment, 1)
