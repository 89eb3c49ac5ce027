// A section of an elliptical ring.
#pragma once

#include <cstdint>

#include "interfaces/core/GraphicInteractiveBase.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision {

// The part of the ring between the ellipse (RadiusX(), RadiusY()) and the same ellipse scaled by
// InnerRadiusRatio() (in [0, 1)), both centred on Center() and rotated by Rotation(), that lies
// between the rays at polar angles StartAngle() and StartAngle() + SpanAngle() (span in
// [0, 2 pi]). Angles are radians turning from the x axis towards the y axis (clockwise on
// screen); polar angles are measured in the ellipse's own frame. A zero radius or span gives an
// empty area. Boundary points, the rays included, follow the framework's rule: inside where the
// area continues to their right (or, where the boundary is horizontal, downwards).
// Setters throw ArgumentException for values outside those ranges or not finite and raise
// OnChanged_ with the property's flag when the value changes.
class EllipticalAnnulusSection : public GraphicInteractiveBase, public virtual IRegion {
 public:
  static constexpr long long SfCenter = GraphicInteractiveBase::SfNextSf_;
  static constexpr long long SfRadiusX = SfCenter << 1;
  static constexpr long long SfRadiusY = SfRadiusX << 1;
  static constexpr long long SfRotation = SfRadiusY << 1;
  static constexpr long long SfInnerRadiusRatio = SfRotation << 1;
  static constexpr long long SfStartAngle = SfInnerRadiusRatio << 1;
  static constexpr long long SfSpanAngle = SfStartAngle << 1;
  static constexpr long long SfNextSf_ = SfSpanAngle << 1;

  // A half-ring of the unit circle at the origin, inner ratio 0.5, over [0, pi].
  explicit EllipticalAnnulusSection(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : GraphicInteractiveBase(token) {}
  EllipticalAnnulusSection(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                           const Point2D& center, double radiusX, double radiusY, double rotation,
                           double innerRadiusRatio, double startAngle, double spanAngle);

  Point2D Center() const { return center_; }
  double RadiusX() const { return radiusX_; }
  double RadiusY() const { return radiusY_; }
  double Rotation() const { return rotation_; }
  double InnerRadiusRatio() const { return innerRadiusRatio_; }
  double StartAngle() const { return startAngle_; }
  double SpanAngle() const { return spanAngle_; }
  void setCenter(Point2D center);
  void setRadiusX(double radius);
  void setRadiusY(double radius);
  void setRotation(double rotation);
  void setInnerRadiusRatio(double ratio);
  void setStartAngle(double angle);
  void setSpanAngle(double angle);

  bool Contains(double x, double y) const override;
  // Empty for an empty area.
  BoundingBox Bounds() const override;
  // The inside; strokeWidth is ignored.
  void RasterizeInto(PixelMask& target, double strokeWidth) const override;
  bool IsArea() const override { return true; }

 private:
  EllipticalAnnulusSection() = default;
  friend class cereal::access;
  // Record: GraphicInteractiveBase part, centre (x, y), radiusX, radiusY, rotation, inner radius
  // ratio, start angle, span angle (doubles).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);
  void Validate(const char* owner) const;
  bool IsEmpty() const;

  Point2D center_;
  double radiusX_ = 1.0;
  double radiusY_ = 1.0;
  double rotation_ = 0.0;
  double innerRadiusRatio_ = 0.5;
  double startAngle_ = 0.0;
  double spanAngle_ = 3.14159265358979323846;

  RTTR_ENABLE(GraphicInteractiveBase, IRegion)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::EllipticalAnnulusSection, 1)
