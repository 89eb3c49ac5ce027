#include "interfaces/core/EllipticalArc.h"

#include <algorithm>
#include <cmath>

#include "interfaces/core/Settings.h"
#include "platform/core/geometry/ShapeMath.h"

namespace Tamrix::Vision {

namespace G = GeometryDetail;

namespace {

// The polyline that stands in for the arc deviates from it by at most this much (pixels).
constexpr double kChordError = 1e-3;
// Keeps absurdly large arcs from turning into absurdly long polylines; beyond it the chord error
// grows instead.
constexpr double kMaxSegments = 1 << 20;

}  // namespace

EllipticalArc::EllipticalArc(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                             const Point2D& center, double radiusX, double radiusY, double rotation,
                             double startAngle, double spanAngle)
    : GraphicInteractiveBase(token),
      center_(center),
      radiusX_(radiusX),
      radiusY_(radiusY),
      rotation_(rotation),
      startAngle_(startAngle),
      spanAngle_(spanAngle) {
  Validate("EllipticalArc");
}

void EllipticalArc::Validate(const char* owner) const {
  G::RequireFinitePoint(owner, "the centre", center_);
  G::RequirePositive(owner, "radiusX", radiusX_);
  G::RequirePositive(owner, "radiusY", radiusY_);
  G::RequireFinite(owner, "the rotation", rotation_);
  G::RequireFinite(owner, "the start angle", startAngle_);
  G::RequireInRange(owner, "the span angle", spanAngle_, 0.0, G::kTwoPi, true);
}

void EllipticalArc::setCenter(Point2D center) {
  G::RequireFinitePoint("EllipticalArc::setCenter", "the centre", center);
  if (center == center_) return;
  center_ = center;
  OnChanged_(SfCenter);
}

void EllipticalArc::setRadiusX(double radius) {
  G::RequirePositive("EllipticalArc::setRadiusX", "radiusX", radius);
  if (radius == radiusX_) return;
  radiusX_ = radius;
  OnChanged_(SfRadiusX);
}

void EllipticalArc::setRadiusY(double radius) {
  G::RequirePositive("EllipticalArc::setRadiusY", "radiusY", radius);
  if (radius == radiusY_) return;
  radiusY_ = radius;
  OnChanged_(SfRadiusY);
}

void EllipticalArc::setRotation(double rotation) {
  G::RequireFinite("EllipticalArc::setRotation", "the rotation", rotation);
  if (rotation == rotation_) return;
  rotation_ = rotation;
  OnChanged_(SfRotation);
}

void EllipticalArc::setStartAngle(double angle) {
  G::RequireFinite("EllipticalArc::setStartAngle", "the start angle", angle);
  if (angle == startAngle_) return;
  startAngle_ = angle;
  OnChanged_(SfStartAngle);
}

void EllipticalArc::setSpanAngle(double angle) {
  G::RequireInRange("EllipticalArc::setSpanAngle", "the span angle", angle, 0.0, G::kTwoPi, true);
  if (angle == spanAngle_) return;
  spanAngle_ = angle;
  OnChanged_(SfSpanAngle);
}

Point2D EllipticalArc::PointAt(double angle) const {
  const G::Frame frame(center_, rotation_);
  const double t = G::PolarToParametric(radiusX_, radiusY_, angle);
  return frame.PointToWorld(radiusX_ * std::cos(t), radiusY_ * std::sin(t));
}

BoundingBox EllipticalArc::Bounds() const {
  return G::EllipseArcBounds(G::Frame(center_, rotation_), radiusX_, radiusY_, startAngle_,
                             spanAngle_);
}

void EllipticalArc::RasterizeInto(PixelMask& mask, double strokeWidth) const {
  const double half = G::StrokeHalfWidth("EllipticalArc::Rasterize", strokeWidth);
  // Nothing of the stroke can reach the image when the grown bounds miss it.
  if (G::ClipToImage(Bounds(), half + 1.0, mask.Width(), mask.Height()).Empty()) return;

  const G::Frame frame(center_, rotation_);
  const double t0 = G::PolarToParametric(radiusX_, radiusY_, startAngle_);
  const double t1 = spanAngle_ >= G::kTwoPi
                        ? t0 + G::kTwoPi
                        : G::PolarToParametric(radiusX_, radiusY_, startAngle_ + spanAngle_);
  // A parameter step dt moves the chord's midpoint at most max(rx, ry) dt^2 / 8 off the curve.
  const double step = std::sqrt(8.0 * kChordError / std::max(radiusX_, radiusY_));
  const double segments = std::clamp(std::ceil((t1 - t0) / step), 1.0, kMaxSegments);
  const int count = static_cast<int>(segments);
  auto pointAt = [&](int i) {
    const double t = i == count ? t1 : t0 + (t1 - t0) * i / count;
    return frame.PointToWorld(radiusX_ * std::cos(t), radiusY_ * std::sin(t));
  };
  Point2D previous = pointAt(0);
  for (int i = 1; i <= count; ++i) {
    const Point2D next = pointAt(i);
    G::StrokeSegment(mask, previous, next, half);
    previous = next;
  }
}

template <class Archive>
void EllipticalArc::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "EllipticalArc::serialize()");
  }
  archive(cereal::base_class<GraphicInteractiveBase>(this), center_, radiusX_, radiusY_, rotation_,
          startAngle_, spanAngle_);
  if constexpr (Archive::is_loading::value) {
    G::CheckLoaded("EllipticalArc", [this] { Validate("EllipticalArc"); });
  }
}

template void EllipticalArc::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void EllipticalArc::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
