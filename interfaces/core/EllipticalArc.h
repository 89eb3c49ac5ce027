// An arc of a rotated ellipse.
#pragma once

#include <cstdint>

#include "interfaces/core/GraphicInteractiveBase.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision {

// The part of the ellipse with centre Center(), semi-axes RadiusX() (along the direction
// Rotation()) and RadiusY(), that runs from the ray at polar angle StartAngle() through
// SpanAngle() radians. Angles are in radians. Rotation and polar angles turn from the x axis
// towards the y axis, which is clockwise on screen because image y points down; polar angles are
// measured in the ellipse's own frame, so StartAngle() 0 is the end of the RadiusX() semi-axis.
// Radii must be > 0, the span lies in [0, 2 pi]. Rasterize marks every pixel whose centre lies
// within max(strokeWidth, 1) / 2 of the arc (round ends), to within 0.001 pixel.
// Setters throw ArgumentException for values outside those ranges and raise OnChanged_ with the
// property's flag when the value changes.
class EllipticalArc : public GraphicInteractiveBase, public virtual IShape {
 public:
  static constexpr long long SfCenter = GraphicInteractiveBase::SfNextSf_;
  static constexpr long long SfRadiusX = SfCenter << 1;
  static constexpr long long SfRadiusY = SfRadiusX << 1;
  static constexpr long long SfRotation = SfRadiusY << 1;
  static constexpr long long SfStartAngle = SfRotation << 1;
  static constexpr long long SfSpanAngle = SfStartAngle << 1;
  static constexpr long long SfNextSf_ = SfSpanAngle << 1;

  // A quarter of the unit circle at the origin.
  explicit EllipticalArc(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : GraphicInteractiveBase(token) {}
  EllipticalArc(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, const Point2D& center,
                double radiusX, double radiusY, double rotation, double startAngle,
                double spanAngle);

  Point2D Center() const { return center_; }
  double RadiusX() const { return radiusX_; }
  double RadiusY() const { return radiusY_; }
  double Rotation() const { return rotation_; }
  double StartAngle() const { return startAngle_; }
  double SpanAngle() const { return spanAngle_; }
  void setCenter(Point2D center);
  void setRadiusX(double radius);
  void setRadiusY(double radius);
  void setRotation(double rotation);
  void setStartAngle(double angle);
  void setSpanAngle(double angle);

  // The point of the arc on the ray at polar angle `angle` (ellipse frame).
  Point2D PointAt(double angle) const;

  BoundingBox Bounds() const override;
  void RasterizeInto(PixelMask& target, double strokeWidth) const override;
  bool IsArea() const override { return false; }

 private:
  EllipticalArc() = default;
  friend class cereal::access;
  // Record: GraphicInteractiveBase part, centre (x, y), radiusX, radiusY, rotation, start angle,
  // span angle, all doubles.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);
  void Validate(const char* owner) const;

  Point2D center_;
  double radiusX_ = 1.0;
  double radiusY_ = 1.0;
  double rotation_ = 0.0;
  double startAngle_ = 0.0;
  double spanAngle_ = 1.5707963267948966;

  RTTR_ENABLE(GraphicInteractiveBase, IShape)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::EllipticalArc, 1)
