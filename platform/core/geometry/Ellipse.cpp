#include "interfaces/core/Ellipse.h"

#include <cmath>

#include "interfaces/core/Settings.h"
#include "platform/core/geometry/ShapeMath.h"

namespace Tamrix::Vision {

namespace G = GeometryDetail;

namespace {

bool Inside(const G::Frame& frame, double rx, double ry, double x, double y) {
  double u = 0.0;
  double v = 0.0;
  frame.ToLocal(x, y, u, v);
  const double f = (u / rx) * (u / rx) + (v / ry) * (v / ry);
  if (f < 1.0 - G::kBoundaryTolerance) return true;
  if (f > 1.0 + G::kBoundaryTolerance) return false;
  // On the rim: the outward normal is the gradient of f.
  double gx = 0.0;
  double gy = 0.0;
  frame.VectorToWorld(u / (rx * rx), v / (ry * ry), gx, gy);
  return G::BoundaryPointInside(gx, gy);
}

}  // namespace

Ellipse::Ellipse(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, const Point2D& center,
                 double radiusX, double radiusY, double rotation)
    : GraphicInteractiveBase(token),
      center_(center),
      radiusX_(radiusX),
      radiusY_(radiusY),
      rotation_(rotation) {
  Validate("Ellipse");
}

void Ellipse::Validate(const char* owner) const {
  G::RequireFinitePoint(owner, "the centre", center_);
  G::RequireNonNegative(owner, "radiusX", radiusX_);
  G::RequireNonNegative(owner, "radiusY", radiusY_);
  G::RequireFinite(owner, "the rotation", rotation_);
}

void Ellipse::setCenter(Point2D center) {
  G::RequireFinitePoint("Ellipse::setCenter", "the centre", center);
  if (center == center_) return;
  center_ = center;
  OnChanged_(SfCenter);
}

void Ellipse::setRadiusX(double radius) {
  G::RequireNonNegative("Ellipse::setRadiusX", "radiusX", radius);
  if (radius == radiusX_) return;
  radiusX_ = radius;
  OnChanged_(SfRadiusX);
}

void Ellipse::setRadiusY(double radius) {
  G::RequireNonNegative("Ellipse::setRadiusY", "radiusY", radius);
  if (radius == radiusY_) return;
  radiusY_ = radius;
  OnChanged_(SfRadiusY);
}

void Ellipse::setRotation(double rotation) {
  G::RequireFinite("Ellipse::setRotation", "the rotation", rotation);
  if (rotation == rotation_) return;
  rotation_ = rotation;
  OnChanged_(SfRotation);
}

bool Ellipse::Contains(double x, double y) const {
  if (radiusX_ <= 0.0 || radiusY_ <= 0.0) return false;
  return Inside(G::Frame(center_, rotation_), radiusX_, radiusY_, x, y);
}

BoundingBox Ellipse::Bounds() const {
  if (radiusX_ <= 0.0 || radiusY_ <= 0.0) return BoundingBox{};
  return G::EllipseBounds(G::Frame(center_, rotation_), radiusX_, radiusY_);
}

void Ellipse::RasterizeInto(PixelMask& mask, double) const {
  if (radiusX_ <= 0.0 || radiusY_ <= 0.0) return;
  const G::Frame frame(center_, rotation_);
  G::RasterizeArea(mask, Bounds(),
                   [&](double x, double y) { return Inside(frame, radiusX_, radiusY_, x, y); });
}

template <class Archive>
void Ellipse::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Ellipse::serialize()");
  }
  archive(cereal::base_class<GraphicInteractiveBase>(this), center_, radiusX_, radiusY_, rotation_);
  if constexpr (Archive::is_loading::value) {
    G::CheckLoaded("Ellipse", [this] { Validate("Ellipse"); });
  }
}

template void Ellipse::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Ellipse::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
