#include "interfaces/core/Polygon.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/CollectionDetail.h"
#include "interfaces/core/Settings.h"
#include "platform/core/geometry/ShapeMath.h"

namespace Tamrix::Vision {

namespace G = GeometryDetail;

namespace {

void CheckVertices(const char* owner, const std::vector<Point2D>& vertices) {
  for (const Point2D& vertex : vertices) G::RequireFinitePoint(owner, "a vertex", vertex);
}

// The x coordinates where the horizontal line at `y` crosses the polygon's edges, sorted. An
// edge counts when y lies in [lower end, upper end), which keeps top edges and drops bottom edges
// and counts a vertex shared by two edges once. Each edge is evaluated from its lower end so that
// two polygons sharing an edge compute the very same crossing.
void Crossings(const std::vector<Point2D>& vertices, double y, std::vector<double>& xs) {
  xs.clear();
  const std::size_t n = vertices.size();
  if (n < 3) return;
  for (std::size_t i = 0; i < n; ++i) {
    const Point2D* lo = &vertices[i];
    const Point2D* hi = &vertices[(i + 1) % n];
    if (lo->Y > hi->Y) std::swap(lo, hi);
    if (!(lo->Y <= y && y < hi->Y)) continue;
    xs.push_back(lo->X + (y - lo->Y) * (hi->X - lo->X) / (hi->Y - lo->Y));
  }
  std::sort(xs.begin(), xs.end());
}

}  // namespace

Polygon::Polygon(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                 std::vector<Point2D> vertices)
    : GraphicInteractiveBase(token), vertices_(std::move(vertices)) {
  CheckVertices("Polygon", vertices_);
}

Point2D Polygon::Vertex(int index) const {
  Implementation::detail::CheckIndex("Polygon::Vertex", index, Count());
  return vertices_[static_cast<std::size_t>(index)];
}

void Polygon::setVertices(std::vector<Point2D> vertices) {
  CheckVertices("Polygon::setVertices", vertices);
  if (vertices == vertices_) return;
  vertices_ = std::move(vertices);
  OnChanged_(SfVertices);
}

void Polygon::setVertex(int index, const Point2D& vertex) {
  Implementation::detail::CheckIndex("Polygon::setVertex", index, Count());
  G::RequireFinitePoint("Polygon::setVertex", "the vertex", vertex);
  Point2D& slot = vertices_[static_cast<std::size_t>(index)];
  if (slot == vertex) return;
  slot = vertex;
  OnChanged_(SfVertices);
}

void Polygon::AddVertex(const Point2D& vertex) {
  G::RequireFinitePoint("Polygon::AddVertex", "the vertex", vertex);
  vertices_.push_back(vertex);
  OnChanged_(SfVertices);
}

void Polygon::RemoveVertex(int index) {
  Implementation::detail::CheckIndex("Polygon::RemoveVertex", index, Count());
  vertices_.erase(vertices_.begin() + index);
  OnChanged_(SfVertices);
}

void Polygon::setHighlighted(bool highlighted) {
  if (highlighted == highlighted_) return;
  highlighted_ = highlighted;
  OnChanged_(SfHighlighted);
}

bool Polygon::Contains(double x, double y) const {
  std::vector<double> xs;
  Crossings(vertices_, y, xs);
  // Even-odd: inside when an odd number of crossings lie strictly right of x, which puts points
  // on a left edge inside and points on a right edge outside.
  const auto right = xs.end() - std::upper_bound(xs.begin(), xs.end(), x);
  return right % 2 == 1;
}

BoundingBox Polygon::Bounds() const {
  BoundingBox box;
  if (vertices_.size() < 3) return box;
  for (const Point2D& vertex : vertices_) G::Include(box, vertex.X, vertex.Y);
  return box;
}

void Polygon::RasterizeInto(PixelMask& mask, double) const {
  const G::PixelRange range = G::ClipToImage(Bounds(), 1.0, mask.Width(), mask.Height());
  std::vector<double> xs;
  for (int y = range.Y0; y <= range.Y1; ++y) {
    Crossings(vertices_, y, xs);
    // With the half-open rule every row meets an even number of crossings, and the inside is
    // [xs[0], xs[1]) u [xs[2], xs[3]) ...: the same comparisons Contains makes.
    for (std::size_t i = 0; i + 1 < xs.size(); i += 2) {
      const double from = std::max(std::ceil(xs[i]), static_cast<double>(range.X0));
      const double to = std::min(std::ceil(xs[i + 1]) - 1.0, static_cast<double>(range.X1));
      for (double x = from; x <= to; x += 1.0) mask.Set(static_cast<int>(x), y);
    }
  }
}

template <class Archive>
void Polygon::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Polygon::serialize()");
    archive(cereal::base_class<GraphicInteractiveBase>(this));
    Archiving::LoadVector(archive, vertices_);
    Archiving::LoadBool(archive, highlighted_);
    G::CheckLoaded("Polygon", [this] { CheckVertices("Polygon", vertices_); });
  } else {
    archive(cereal::base_class<GraphicInteractiveBase>(this));
    Archiving::SaveVector(archive, vertices_);
    Archiving::SaveBool(archive, highlighted_);
  }
}

template void Polygon::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Polygon::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
