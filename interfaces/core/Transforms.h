// Two-dimensional coordinate transforms.
#pragma once

#include <cstdint>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/IChangedEvent.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision {

// Maps points of one coordinate space into another. Raises its changed event when its
// parameters change.
class ITransform2D : public virtual IChangedEvent {
 public:
  virtual Point2D Map(double x, double y) const = 0;
  RTTR_ENABLE(IChangedEvent)
};

// Map(x, y) = (M11 x + M12 y + OffsetX, M21 x + M22 y + OffsetY); the identity by default.
// setMatrix raises OnChanged_(SfMatrix), setOffset OnChanged_(SfOffset), when the value changes;
// values that are not finite numbers throw ArgumentException.
class Transform2DLinear : public ChangedEventShareableBase, public virtual ITransform2D {
 public:
  static constexpr long long sf0_ = 1;
  static constexpr long long SfMatrix = sf0_;
  static constexpr long long SfOffset = SfMatrix << 1;
  static constexpr long long SfNextSf_ = SfOffset << 1;

  explicit Transform2DLinear(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ChangedEventShareableBase(token) {}
  Transform2DLinear(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, double m11,
                    double m12, double m21, double m22, double offsetX, double offsetY);

  double M11() const { return m11_; }
  double M12() const { return m12_; }
  double M21() const { return m21_; }
  double M22() const { return m22_; }
  double OffsetX() const { return offsetX_; }
  double OffsetY() const { return offsetY_; }
  void setMatrix(double m11, double m12, double m21, double m22);
  void setOffset(double offsetX, double offsetY);

  Point2D Map(double x, double y) const override;

 private:
  Transform2DLinear() = default;
  friend class cereal::access;
  // Record: ChangedEventShareableBase part, m11, m12, m21, m22, offsetX, offsetY (doubles).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  double m11_ = 1.0, m12_ = 0.0, m21_ = 0.0, m22_ = 1.0;
  double offsetX_ = 0.0, offsetY_ = 0.0;

  RTTR_ENABLE(ChangedEventShareableBase, ITransform2D)
};

// A rotation by Angle() radians (from the x axis towards the y axis: clockwise on screen) about
// the origin followed by a translation by (OffsetX(), OffsetY()). setAngle raises
// OnChanged_(SfAngle), setOffset OnChanged_(SfOffset), when the value changes; values that are not
// finite numbers throw ArgumentException.
class Transform2DRigid : public ChangedEventShareableBase, public virtual ITransform2D {
 public:
  static constexpr long long sf0_ = 1;
  static constexpr long long SfAngle = sf0_;
  static constexpr long long SfOffset = SfAngle << 1;
  static constexpr long long SfNextSf_ = SfOffset << 1;

  explicit Transform2DRigid(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ChangedEventShareableBase(token) {}
  Transform2DRigid(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, double angle,
                   double offsetX, double offsetY);

  double Angle() const { return angle_; }
  double OffsetX() const { return offsetX_; }
  double OffsetY() const { return offsetY_; }
  void setAngle(double angle);
  void setOffset(double offsetX, double offsetY);

  Point2D Map(double x, double y) const override;

 private:
  Transform2DRigid() = default;
  friend class cereal::access;
  // Record: ChangedEventShareableBase part, angle, offsetX, offsetY (doubles).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  double angle_ = 0.0;
  double offsetX_ = 0.0, offsetY_ = 0.0;

  RTTR_ENABLE(ChangedEventShareableBase, ITransform2D)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::Transform2DLinear, 1)
CEREAL_CLASS_VERSION(Tamrix::Vision::Transform2DRigid, 1)
