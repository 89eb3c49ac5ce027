#include "interfaces/core/RectangleAffine.h"

#include <algorithm>
#include <cmath>

#include "interfaces/core/Settings.h"
#include "platform/core/geometry/ShapeMath.h"

namespace Tamrix::Vision {

namespace G = GeometryDetail;

namespace {

// The parallelogram as the two coordinates (a, b) of a point along its axes U and V, with the
// gradients of a and b in image coordinates, which are the outward normals of its edges.
struct Axes {
  Axes(const Point2D& center, double width, double height, double rotation, double skew)
      : cx(center.X), cy(center.Y), halfW(width / 2.0), halfH(height / 2.0) {
    const double ux = std::cos(rotation);
    const double uy = std::sin(rotation);
    const double vx = -std::sin(rotation + skew);
    const double vy = std::cos(rotation + skew);
    const double det = ux * vy - uy * vx;  // cos(skew) > 0 within the skew range
    gradA[0] = vy / det;
    gradA[1] = -vx / det;
    gradB[0] = -uy / det;
    gradB[1] = ux / det;
    tolA = G::kBoundaryTolerance * std::max(1.0, halfW);
    tolB = G::kBoundaryTolerance * std::max(1.0, halfH);
  }

  // One pair of opposite edges, |coordinate| <= half.
  static bool Within(double coordinate, double half, double tolerance, const double* gradient) {
    if (std::fabs(coordinate) < half - tolerance) return true;
    if (std::fabs(coordinate) > half + tolerance) return false;
    const double sign = coordinate > 0.0 ? 1.0 : -1.0;
    return G::BoundaryPointInside(sign * gradient[0], sign * gradient[1]);
  }

  bool Inside(double x, double y) const {
    const double dx = x - cx;
    const double dy = y - cy;
    return Within(gradA[0] * dx + gradA[1] * dy, halfW, tolA, gradA) &&
           Within(gradB[0] * dx + gradB[1] * dy, halfH, tolB, gradB);
  }

  double cx, cy, halfW, halfH;
  double gradA[2], gradB[2];
  double tolA, tolB;
};

// At a skew of +-pi/2 the two axes are parallel and the parallelogram collapses.
void CheckSkew(const char* owner, double skew) {
  G::RequireOpenRange(owner, "the skew", skew, -G::kPi / 2.0, G::kPi / 2.0, "(-pi/2, pi/2)");
}

}  // namespace

RectangleAffine::RectangleAffine(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                                 const Point2D& center, double width, double height,
                                 double rotation, double skew)
    : GraphicInteractiveBase(token),
      center_(center),
      width_(width),
      height_(height),
      rotation_(rotation),
      skew_(skew) {
  Validate("RectangleAffine");
}

void RectangleAffine::Validate(const char* owner) const {
  G::RequireFinitePoint(owner, "the centre", center_);
  G::RequireNonNegative(owner, "the width", width_);
  G::RequireNonNegative(owner, "the height", height_);
  G::RequireFinite(owner, "the rotation", rotation_);
  CheckSkew(owner, skew_);
}

void RectangleAffine::setCenter(Point2D center) {
  G::RequireFinitePoint("RectangleAffine::setCenter", "the centre", center);
  if (center == center_) return;
  center_ = center;
  OnChanged_(SfCenter);
}

void RectangleAffine::setWidth(double width) {
  G::RequireNonNegative("RectangleAffine::setWidth", "the width", width);
  if (width == width_) return;
  width_ = width;
  OnChanged_(SfWidth);
}

void RectangleAffine::setHeight(double height) {
  G::RequireNonNegative("RectangleAffine::setHeight", "the height", height);
  if (height == height_) return;
  height_ = height;
  OnChanged_(SfHeight);
}

void RectangleAffine::setRotation(double rotation) {
  G::RequireFinite("RectangleAffine::setRotation", "the rotation", rotation);
  if (rotation == rotation_) return;
  rotation_ = rotation;
  OnChanged_(SfRotation);
}

void RectangleAffine::setSkew(double skew) {
  CheckSkew("RectangleAffine::setSkew", skew);
  if (skew == skew_) return;
  skew_ = skew;
  OnChanged_(SfSkew);
}

std::array<Point2D, 4> RectangleAffine::Corners() const {
  const double ux = std::cos(rotation_);
  const double uy = std::sin(rotation_);
  const double vx = -std::sin(rotation_ + skew_);
  const double vy = std::cos(rotation_ + skew_);
  auto corner = [&](double a, double b) {
    return Point2D{center_.X + a * ux + b * vx, center_.Y + a * uy + b * vy};
  };
  const double w = width_ / 2.0;
  const double h = height_ / 2.0;
  return {corner(-w, -h), corner(w, -h), corner(w, h), corner(-w, h)};
}

bool RectangleAffine::Contains(double x, double y) const {
  if (width_ <= 0.0 || height_ <= 0.0) return false;
  return Axes(center_, width_, height_, rotation_, skew_).Inside(x, y);
}

BoundingBox RectangleAffine::Bounds() const {
  BoundingBox box;
  if (width_ <= 0.0 || height_ <= 0.0) return box;
  for (const Point2D& corner : Corners()) G::Include(box, corner.X, corner.Y);
  return box;
}

void RectangleAffine::RasterizeInto(PixelMask& mask, double) const {
  if (width_ <= 0.0 || height_ <= 0.0) return;
  const Axes axes(center_, width_, height_, rotation_, skew_);
  G::RasterizeArea(mask, Bounds(), [&](double x, double y) { return axes.Inside(x, y); });
}

template <class Archive>
void RectangleAffine::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "RectangleAffine::serialize()");
  }
  archive(cereal::base_class<GraphicInteractiveBase>(this), center_, width_, height_, rotation_,
          skew_);
  if constexpr (Archive::is_loading::value) {
    G::CheckLoaded("RectangleAffine", [this] { Validate("RectangleAffine"); });
  }
}

template void RectangleAffine::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void RectangleAffine::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
