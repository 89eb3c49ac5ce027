// A rotated, skewed rectangle: a parallelogram.
#pragma once

#include <array>
#include <cstdint>

#include "interfaces/core/GraphicInteractiveBase.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision {

// The parallelogram { Center() + a U + b V : |a| <= Width()/2, |b| <= Height()/2 }, where the
// width axis U has direction Rotation() and the height axis V has direction
// Rotation() + pi/2 + Skew() (radians, from the x axis towards the y axis: clockwise on screen).
// With Skew() 0 it is a rectangle rotated by Rotation(). Skew lies in (-pi/2, pi/2).
// Boundary points follow the framework's rule: left and top edges inside, right and bottom edges
// outside. A zero width or height gives an empty area.
// Setters throw ArgumentException for negative sizes, a skew outside its range or values that are
// not finite numbers, and raise OnChanged_ with the property's flag when the value changes.
class RectangleAffine : public GraphicInteractiveBase, public virtual IRegion {
 public:
  static constexpr long long SfCenter = GraphicInteractiveBase::SfNextSf_;
  static constexpr long long SfWidth = SfCenter << 1;
  static constexpr long long SfHeight = SfWidth << 1;
  static constexpr long long SfRotation = SfHeight << 1;
  static constexpr long long SfSkew = SfRotation << 1;
  static constexpr long long SfNextSf_ = SfSkew << 1;

  // A 1 x 1 square at the origin.
  explicit RectangleAffine(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : GraphicInteractiveBase(token) {}
  RectangleAffine(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                  const Point2D& center, double width, double height, double rotation = 0.0,
                  double skew = 0.0);

  Point2D Center() const { return center_; }
  double Width() const { return width_; }
  double Height() const { return height_; }
  double Rotation() const { return rotation_; }
  double Skew() const { return skew_; }
  void setCenter(Point2D center);
  void setWidth(double width);
  void setHeight(double height);
  void setRotation(double rotation);
  void setSkew(double skew);

  // The corners in order: (-w/2, -h/2), (w/2, -h/2), (w/2, h/2), (-w/2, h/2) in (a, b).
  std::array<Point2D, 4> Corners() const;

  bool Contains(double x, double y) const override;
  // Empty for an empty area.
  BoundingBox Bounds() const override;
  // The inside; strokeWidth is ignored.
  void RasterizeInto(PixelMask& target, double strokeWidth) const override;
  bool IsArea() const override { return true; }

 private:
  RectangleAffine() = default;
  friend class cereal::access;
  // Record: GraphicInteractiveBase part, centre (x, y), width, height, rotation, skew (doubles).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);
  void Validate(const char* owner) const;

  Point2D center_;
  double width_ = 1.0;
  double height_ = 1.0;
  double rotation_ = 0.0;
  double skew_ = 0.0;

  RTTR_ENABLE(GraphicInteractiveBase, IRegion)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::RectangleAffine, 1)
