// A rotated ellipse area.
#pragma once

#include <cstdint>

#include "interfaces/core/GraphicInteractiveBase.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision {

// The closed ellipse with centre Center(), semi-axis RadiusX() along the direction Rotation()
// (radians, from the x axis towards the y axis: clockwise on screen) and RadiusY() across it.
// Boundary points follow the framework's rule: inside where the ellipse continues to their right
// (or, at the very top and bottom, downwards). A zero radius gives an empty area.
// Setters throw ArgumentException for negative radii or values that are not finite numbers and
// raise OnChanged_ with the property's flag when the value changes.
class Ellipse : public GraphicInteractiveBase, public virtual IRegion {
 public:
  static constexpr long long SfCenter = GraphicInteractiveBase::SfNextSf_;
  static constexpr long long SfRadiusX = SfCenter << 1;
  static constexpr long long SfRadiusY = SfRadiusX << 1;
  static constexpr long long SfRotation = SfRadiusY << 1;
  static constexpr long long SfNextSf_ = SfRotation << 1;

  // The unit circle at the origin.
  explicit Ellipse(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : GraphicInteractiveBase(token) {}
  Ellipse(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, const Point2D& center,
          double radiusX, double radiusY, double rotation = 0.0);

  Point2D Center() const { return center_; }
  double RadiusX() const { return radiusX_; }
  double RadiusY() const { return radiusY_; }
  double Rotation() const { return rotation_; }
  void setCenter(Point2D center);
  void setRadiusX(double radius);
  void setRadiusY(double radius);
  void setRotation(double rotation);

  bool Contains(double x, double y) const override;
  // Empty for an empty area.
  BoundingBox Bounds() const override;
  // The inside; strokeWidth is ignored.
  void RasterizeInto(PixelMask& target, double strokeWidth) const override;
  bool IsArea() const override { return true; }

 private:
  Ellipse() = default;
  friend class cereal::access;
  // Record: GraphicInteractiveBase part, centre (x, y), radiusX, radiusY, rotation (doubles).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);
  void Validate(const char* owner) const;

  Point2D center_;
  double radiusX_ = 1.0;
  double radiusY_ = 1.0;
  double rotation_ = 0.0;

  RTTR_ENABLE(GraphicInteractiveBase, IRegion)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::Ellipse, 1)
