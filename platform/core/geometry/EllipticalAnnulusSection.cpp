#include "interfaces/core/EllipticalAnnulusSection.h"

#include <algorithm>
#include <cmath>

#include "interfaces/core/Settings.h"
#include "platform/core/geometry/ShapeMath.h"

namespace Tamrix::Vision {

namespace G = GeometryDetail;

namespace {

// The section as four constraints in the ellipse's frame: f = (u/rx)^2 + (v/ry)^2 at most 1 (outer
// rim) and at least ratio^2 (inner rim), and the polar angle within [start, start + span]. A
// constraint met with equality, up to the tolerance, is settled by the boundary rule with that
// boundary's outward normal.
struct Section {
  Section(const Point2D& center, double radiusX, double radiusY, double rotation, double ratio,
          double startAngle, double spanAngle)
      : frame(center, rotation),
        rx(radiusX),
        ry(radiusY),
        inner2(ratio * ratio),
        start(startAngle),
        span(spanAngle),
        full(spanAngle >= G::kTwoPi),
        lengthTolerance(G::kBoundaryTolerance * std::max({1.0, radiusX, radiusY})) {
    const double end = start + span;
    // Outward normals of the two rays, in the ellipse frame: the start ray's interior lies on the
    // side of increasing angle, the end ray's on the side of decreasing angle.
    frame.VectorToWorld(std::sin(start), -std::cos(start), startNormal[0], startNormal[1]);
    frame.VectorToWorld(-std::sin(end), std::cos(end), endNormal[0], endNormal[1]);
  }

  bool Inside(double x, double y) const {
    double u = 0.0;
    double v = 0.0;
    frame.ToLocal(x, y, u, v);
    const double f = (u / rx) * (u / rx) + (v / ry) * (v / ry);
    double gx = 0.0;
    double gy = 0.0;
    frame.VectorToWorld(u / (rx * rx), v / (ry * ry), gx, gy);
    if (f > 1.0 + G::kBoundaryTolerance) return false;
    if (f >= 1.0 - G::kBoundaryTolerance && !G::BoundaryPointInside(gx, gy)) return false;
    if (inner2 > 0.0) {
      if (f < inner2 * (1.0 - G::kBoundaryTolerance)) return false;
      if (f <= inner2 * (1.0 + G::kBoundaryTolerance) && !G::BoundaryPointInside(-gx, -gy)) {
        return false;
      }
    }
    return full || WithinAngles(u, v);
  }

  bool WithinAngles(double u, double v) const {
    const double rho = std::hypot(u, v);
    if (rho <= lengthTolerance) {
      // The apex of a sector with no inner rim: inside when the rule's nudge to the right (the
      // world x direction, tilted a hair downwards) enters the sector.
      const double along = std::atan2(-frame.s, frame.c) + 1e-9;
      const double d = G::NormalizeAngle(along - start);
      return d < span;
    }
    const double d = G::NormalizeAngle(std::atan2(v, u) - start);
    if (rho * std::min(d, G::kTwoPi - d) <= lengthTolerance) {
      return G::BoundaryPointInside(startNormal[0], startNormal[1]);
    }
    if (rho * std::fabs(d - span) <= lengthTolerance) {
      return G::BoundaryPointInside(endNormal[0], endNormal[1]);
    }
    return d < span;
  }

  G::Frame frame;
  double rx, ry, inner2, start, span;
  bool full;
  double lengthTolerance;
  double startNormal[2], endNormal[2];
};

}  // namespace

EllipticalAnnulusSection::EllipticalAnnulusSection(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, const Point2D& center,
    double radiusX, double radiusY, double rotation, double innerRadiusRatio, double startAngle,
    double spanAngle)
    : GraphicInteractiveBase(token),
      center_(center),
      radiusX_(radiusX),
      radiusY_(radiusY),
      rotation_(rotation),
      innerRadiusRatio_(innerRadiusRatio),
      startAngle_(startAngle),
      spanAngle_(spanAngle) {
  Validate("EllipticalAnnulusSection");
}

void EllipticalAnnulusSection::Validate(const char* owner) const {
  G::RequireFinitePoint(owner, "the centre", center_);
  G::RequireNonNegative(owner, "radiusX", radiusX_);
  G::RequireNonNegative(owner, "radiusY", radiusY_);
  G::RequireFinite(owner, "the rotation", rotation_);
  G::RequireInRange(owner, "the inner radius ratio", innerRadiusRatio_, 0.0, 1.0, false);
  G::RequireFinite(owner, "the start angle", startAngle_);
  G::RequireInRange(owner, "the span angle", spanAngle_, 0.0, G::kTwoPi, true);
}

bool EllipticalAnnulusSection::IsEmpty() const {
  return radiusX_ <= 0.0 || radiusY_ <= 0.0 || spanAngle_ <= 0.0;
}

void EllipticalAnnulusSection::setCenter(Point2D center) {
  G::RequireFinitePoint("EllipticalAnnulusSection::setCenter", "the centre", center);
  if (center == center_) return;
  center_ = center;
  OnChanged_(SfCenter);
}

void EllipticalAnnulusSection::setRadiusX(double radius) {
  G::RequireNonNegative("EllipticalAnnulusSection::setRadiusX", "radiusX", radius);
  if (radius == radiusX_) return;
  radiusX_ = radius;
  OnChanged_(SfRadiusX);
}

void EllipticalAnnulusSection::setRadiusY(double radius) {
  G::RequireNonNegative("EllipticalAnnulusSection::setRadiusY", "radiusY", radius);
  if (radius == radiusY_) return;
  radiusY_ = radius;
  OnChanged_(SfRadiusY);
}

void EllipticalAnnulusSection::setRotation(double rotation) {
  G::RequireFinite("EllipticalAnnulusSection::setRotation", "the rotation", rotation);
  if (rotation == rotation_) return;
  rotation_ = rotation;
  OnChanged_(SfRotation);
}

void EllipticalAnnulusSection::setInnerRadiusRatio(double ratio) {
  G::RequireInRange("EllipticalAnnulusSection::setInnerRadiusRatio", "the inner radius ratio",
                    ratio, 0.0, 1.0, false);
  if (ratio == innerRadiusRatio_) return;
  innerRadiusRatio_ = ratio;
  OnChanged_(SfInnerRadiusRatio);
}

void EllipticalAnnulusSection::setStartAngle(double angle) {
  G::RequireFinite("EllipticalAnnulusSection::setStartAngle", "the start angle", angle);
  if (angle == startAngle_) return;
  startAngle_ = angle;
  OnChanged_(SfStartAngle);
}

void EllipticalAnnulusSection::setSpanAngle(double angle) {
  G::RequireInRange("EllipticalAnnulusSection::setSpanAngle", "the span angle", angle, 0.0,
                    G::kTwoPi, true);
  if (angle == spanAngle_) return;
  spanAngle_ = angle;
  OnChanged_(SfSpanAngle);
}

bool EllipticalAnnulusSection::Contains(double x, double y) const {
  if (IsEmpty()) return false;
  return Section(center_, radiusX_, radiusY_, rotation_, innerRadiusRatio_, startAngle_, spanAngle_)
      .Inside(x, y);
}

BoundingBox EllipticalAnnulusSection::Bounds() const {
  if (IsEmpty()) return BoundingBox{};
  const G::Frame frame(center_, rotation_);
  // The section is bounded by its two rims and the two rays joining their ends, so the rims'
  // boxes cover it.
  const double q = innerRadiusRatio_;
  return G::Unite(G::EllipseArcBounds(frame, radiusX_, radiusY_, startAngle_, spanAngle_),
                  G::EllipseArcBounds(frame, q * radiusX_, q * radiusY_, startAngle_, spanAngle_));
}

void EllipticalAnnulusSection::RasterizeInto(PixelMask& mask, double) const {
  if (IsEmpty()) return;
  const Section section(center_, radiusX_, radiusY_, rotation_, innerRadiusRatio_, startAngle_,
                        spanAngle_);
  G::RasterizeArea(mask, Bounds(), [&](double x, double y) { return section.Inside(x, y); });
}

template <class Archive>
void EllipticalAnnulusSection::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "EllipticalAnnulusSection::serialize()");
  }
  archive(cereal::base_class<GraphicInteractiveBase>(this), center_, radiusX_, radiusY_, rotation_,
          innerRadiusRatio_, startAngle_, spanAngle_);
  if constexpr (Archive::is_loading::value) {
    G::CheckLoaded("EllipticalAnnulusSection", [this] { Validate("EllipticalAnnulusSection"); });
  }
}

template void EllipticalAnnulusSection::serialize(cereal::PortableBinaryOutputArchive&,
                                                  std::uint32_t);
template void EllipticalAnnulusSection::serialize(cereal::PortableBinaryInputArchive&,
                                                  std::uint32_t);

}  // namespace Tamrix::Vision
