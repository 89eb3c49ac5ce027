// A closed polygon area.
#pragma once

#include <cstdint>
#include <vector>

#include "interfaces/core/GraphicInteractiveBase.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision {

// The area enclosed by the closed chain of Vertices() (the last vertex joins the first), simple or
// self-intersecting, by the even-odd rule: a point is inside when a ray from it crosses the chain
// an odd number of times. Fewer than three vertices enclose nothing. Points on an edge follow the
// framework's boundary rule: left and top edges are inside, right and bottom edges are not.
// Vertex edits raise OnChanged_(SfVertices), setHighlighted raises OnChanged_(SfHighlighted), each
// only when something changes; coordinates that are not finite numbers throw ArgumentException.
class Polygon : public GraphicInteractiveBase,
                public virtual IGraphicHighlight,
                public virtual IRegion {
 public:
  static constexpr long long SfVertices = GraphicInteractiveBase::SfNextSf_;
  static constexpr long long SfHighlighted = SfVertices << 1;
  static constexpr long long SfNextSf_ = SfHighlighted << 1;

  explicit Polygon(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : GraphicInteractiveBase(token) {}
  Polygon(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
          std::vector<Point2D> vertices);

  int Count() const { return static_cast<int>(vertices_.size()); }
  // Throws ArgumentException when index is outside [0, Count()).
  Point2D Vertex(int index) const;
  const std::vector<Point2D>& Vertices() const { return vertices_; }
  void setVertices(std::vector<Point2D> vertices);
  void setVertex(int index, const Point2D& vertex);
  void AddVertex(const Point2D& vertex);
  void RemoveVertex(int index);

  bool Highlighted() const override { return highlighted_; }
  void setHighlighted(bool highlighted) override;

  bool Contains(double x, double y) const override;
  // The box of the vertices (empty below three vertices).
  BoundingBox Bounds() const override;
  // The inside; strokeWidth is ignored.
  void RasterizeInto(PixelMask& target, double strokeWidth) const override;
  bool IsArea() const override { return true; }

 private:
  Polygon() = default;
  friend class cereal::access;
  // Record: GraphicInteractiveBase part, vertex count (unsigned 64-bit), the vertices as (x, y)
  // doubles, highlighted flag (one byte, 0 or 1).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  std::vector<Point2D> vertices_;
  bool highlighted_ = false;

  RTTR_ENABLE(GraphicInteractiveBase, IGraphicHighlight, IRegion)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::Polygon, 1)
