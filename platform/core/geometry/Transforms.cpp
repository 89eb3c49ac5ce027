#include "interfaces/core/Transforms.h"

#include <cmath>

#include "interfaces/core/Settings.h"
#include "platform/core/geometry/ShapeMath.h"

namespace Tamrix::Vision {

namespace G = GeometryDetail;

namespace {

void CheckLinear(const char* owner, double m11, double m12, double m21, double m22) {
  G::RequireFinite(owner, "m11", m11);
  G::RequireFinite(owner, "m12", m12);
  G::RequireFinite(owner, "m21", m21);
  G::RequireFinite(owner, "m22", m22);
}

void CheckOffset(const char* owner, double offsetX, double offsetY) {
  G::RequireFinite(owner, "offsetX", offsetX);
  G::RequireFinite(owner, "offsetY", offsetY);
}

}  // namespace

Transform2DLinear::Transform2DLinear(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                                     double m11, double m12, double m21, double m22, double offsetX,
                                     double offsetY)
    : ChangedEventShareableBase(token),
      m11_(m11),
      m12_(m12),
      m21_(m21),
      m22_(m22),
      offsetX_(offsetX),
      offsetY_(offsetY) {
  CheckLinear("Transform2DLinear", m11, m12, m21, m22);
  CheckOffset("Transform2DLinear", offsetX, offsetY);
}

void Transform2DLinear::setMatrix(double m11, double m12, double m21, double m22) {
  CheckLinear("Transform2DLinear::setMatrix", m11, m12, m21, m22);
  if (m11 == m11_ && m12 == m12_ && m21 == m21_ && m22 == m22_) return;
  m11_ = m11;
  m12_ = m12;
  m21_ = m21;
  m22_ = m22;
  OnChanged_(SfMatrix);
}

void Transform2DLinear::setOffset(double offsetX, double offsetY) {
  CheckOffset("Transform2DLinear::setOffset", offsetX, offsetY);
  if (offsetX == offsetX_ && offsetY == offsetY_) return;
  offsetX_ = offsetX;
  offsetY_ = offsetY;
  OnChanged_(SfOffset);
}

Point2D Transform2DLinear::Map(double x, double y) const {
  return Point2D{m11_ * x + m12_ * y + offsetX_, m21_ * x + m22_ * y + offsetY_};
}

template <class Archive>
void Transform2DLinear::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Transform2DLinear::serialize()");
  }
  archive(cereal::base_class<ChangedEventShareableBase>(this), m11_, m12_, m21_, m22_, offsetX_,
          offsetY_);
  if constexpr (Archive::is_loading::value) {
    G::CheckLoaded("Transform2DLinear", [this] {
      CheckLinear("Transform2DLinear", m11_, m12_, m21_, m22_);
      CheckOffset("Transform2DLinear", offsetX_, offsetY_);
    });
  }
}

Transform2DRigid::Transform2DRigid(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                                   double angle, double offsetX, double offsetY)
    : ChangedEventShareableBase(token), angle_(angle), offsetX_(offsetX), offsetY_(offsetY) {
  G::RequireFinite("Transform2DRigid", "the angle", angle);
  CheckOffset("Transform2DRigid", offsetX, offsetY);
}

void Transform2DRigid::setAngle(double angle) {
  G::RequireFinite("Transform2DRigid::setAngle", "the angle", angle);
  if (angle == angle_) return;
  angle_ = angle;
  OnChanged_(SfAngle);
}

void Transform2DRigid::setOffset(double offsetX, double offsetY) {
  CheckOffset("Transform2DRigid::setOffset", offsetX, offsetY);
  if (offsetX == offsetX_ && offsetY == offsetY_) return;
  offsetX_ = offsetX;
  offsetY_ = offsetY;
  OnChanged_(SfOffset);
}

Point2D Transform2DRigid::Map(double x, double y) const {
  const double c = std::cos(angle_);
  const double s = std::sin(angle_);
  return Point2D{c * x - s * y + offsetX_, s * x + c * y + offsetY_};
}

template <class Archive>
void Transform2DRigid::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Transform2DRigid::serialize()");
  }
  archive(cereal::base_class<ChangedEventShareableBase>(this), angle_, offsetX_, offsetY_);
  if constexpr (Archive::is_loading::value) {
    G::CheckLoaded("Transform2DRigid", [this] {
      G::RequireFinite("Transform2DRigid", "the angle", angle_);
      CheckOffset("Transform2DRigid", offsetX_, offsetY_);
    });
  }
}

template void Transform2DLinear::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Transform2DLinear::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);
template void Transform2DRigid::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Transform2DRigid::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
