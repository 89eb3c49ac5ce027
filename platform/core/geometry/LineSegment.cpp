#include "interfaces/core/LineSegment.h"

#include <algorithm>
#include <cmath>

#include "interfaces/core/Settings.h"
#include "platform/core/geometry/ShapeMath.h"

namespace Tamrix::Vision {

namespace G = GeometryDetail;

LineSegment::LineSegment(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                         const Point2D& start, const Point2D& end)
    : GraphicInteractiveBase(token), start_(start), end_(end) {
  G::RequireFinitePoint("LineSegment", "the start point", start);
  G::RequireFinitePoint("LineSegment", "the end point", end);
}

void LineSegment::setStart(Point2D start) {
  G::RequireFinitePoint("LineSegment::setStart", "the start point", start);
  if (start == start_) return;
  start_ = start;
  OnChanged_(SfStart);
}

void LineSegment::setEnd(Point2D end) {
  G::RequireFinitePoint("LineSegment::setEnd", "the end point", end);
  if (end == end_) return;
  end_ = end;
  OnChanged_(SfEnd);
}

double LineSegment::Length() const { return std::hypot(end_.X - start_.X, end_.Y - start_.Y); }

BoundingBox LineSegment::Bounds() const {
  return BoundingBox{std::min(start_.X, end_.X), std::min(start_.Y, end_.Y),
                     std::max(start_.X, end_.X), std::max(start_.Y, end_.Y)};
}

void LineSegment::RasterizeInto(PixelMask& mask, double strokeWidth) const {
  const double half = G::StrokeHalfWidth("LineSegment::Rasterize", strokeWidth);
  G::StrokeSegment(mask, start_, end_, half);
}

template <class Archive>
void LineSegment::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "LineSegment::serialize()");
  }
  archive(cereal::base_class<GraphicInteractiveBase>(this), start_, end_);
  if constexpr (Archive::is_loading::value) {
    G::CheckLoaded("LineSegment", [this] {
      G::RequireFinitePoint("LineSegment", "the start point", start_);
      G::RequireFinitePoint("LineSegment", "the end point", end_);
    });
  }
}

template void LineSegment::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void LineSegment::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
