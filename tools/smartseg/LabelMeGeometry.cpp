#include "tools/smartseg/LabelMeGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "interfaces/core/Ellipse.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "tools/smartseg/LabelMask.h"

namespace Smartseg {
namespace {

using Tamrix::Vision::IShape;
using Tamrix::Vision::Point2D;
using Shapes = std::vector<std::shared_ptr<IShape>>;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

// A clipping window in LabelMe's coordinates: the image spans [0, width] x [0, height] there.
// Every pixel centre of the image lies strictly inside, so cutting along its edges never moves a
// shape's boundary across a pixel centre.
struct Window {
  double x0, y0, x1, y1;
};

constexpr double kUnbounded = std::numeric_limits<double>::infinity();

Point2D ToFramework(const Point2D& point) { return {point.X - 0.5, point.Y - 0.5}; }

// Sutherland-Hodgman against the four edges in turn. A concave polygon can come out with
// zero-width bridges along an edge of the window; they lie on no pixel centre and pair up in the
// even-odd rule, so the covered pixels are those of the polygon inside the window.
std::vector<Point2D> ClipPolygon(std::vector<Point2D> points, const Window& window) {
  const auto clipEdge = [&points](auto inside, auto crossing) {
    std::vector<Point2D> kept;
    for (std::size_t i = 0; i < points.size(); ++i) {
      const Point2D& from = points[(i + points.size() - 1) % points.size()];
      const Point2D& to = points[i];
      if (inside(to)) {
        if (!inside(from)) kept.push_back(crossing(from, to));
        kept.push_back(to);
      } else if (inside(from)) {
        kept.push_back(crossing(from, to));
      }
    }
    points = std::move(kept);
  };
  // The crossing with a vertical line x = edge, or a horizontal one y = edge.
  const auto atX = [](double edge) {
    return [edge](const Point2D& a, const Point2D& b) {
      return Point2D{edge, a.Y + (b.Y - a.Y) * (edge - a.X) / (b.X - a.X)};
    };
  };
  const auto atY = [](double edge) {
    return [edge](const Point2D& a, const Point2D& b) {
      return Point2D{a.X + (b.X - a.X) * (edge - a.Y) / (b.Y - a.Y), edge};
    };
  };
  clipEdge([&](const Point2D& p) { return p.X >= window.x0; }, atX(window.x0));
  clipEdge([&](const Point2D& p) { return p.X <= window.x1; }, atX(window.x1));
  clipEdge([&](const Point2D& p) { return p.Y >= window.y0; }, atY(window.y0));
  clipEdge([&](const Point2D& p) { return p.Y <= window.y1; }, atY(window.y1));
  return points;
}

// Liang-Barsky: the part of the segment a-b inside the window, if any.
bool ClipSegment(Point2D& a, Point2D& b, const Window& window) {
  double enter = 0.0, leave = 1.0;
  const double dx = b.X - a.X, dy = b.Y - a.Y;
  const double p[] = {-dx, dx, -dy, dy};
  const double q[] = {a.X - window.x0, window.x1 - a.X, a.Y - window.y0, window.y1 - a.Y};
  for (int i = 0; i < 4; ++i) {
    if (p[i] == 0.0) {
      if (q[i] < 0.0) return false;
      continue;
    }
    const double t = q[i] / p[i];
    if (p[i] < 0.0) {
      enter = std::max(enter, t);
    } else {
      leave = std::min(leave, t);
    }
    if (enter > leave) return false;
  }
  const Point2D start{a.X + enter * dx, a.Y + enter * dy};
  b = Point2D{a.X + leave * dx, a.Y + leave * dy};
  a = start;
  return true;
}

// Pixel blocks of the mask's true pixels. The mask's top-left pixel lands on the image pixel whose
// area holds the box's top-left corner (rounded to the nearest pixel edge, as LabelMe writes whole
// numbers there); pixels outside [0, columns) x [0, rows) are dropped.
Shapes MaskShapes(const LabelMeShape& shape, long long columns, long long rows) {
  const double cornerX = std::min(shape.points[0].X, shape.points[1].X);
  const double cornerY = std::min(shape.points[0].Y, shape.points[1].Y);
  const auto left = static_cast<long long>(std::floor(cornerX + 0.5));
  const auto top = static_cast<long long>(std::floor(cornerY + 0.5));
  const long long right = std::min(columns, left + shape.mask.Width());
  const long long bottom = std::min(rows, top + shape.mask.Height());
  if (right <= 0 || bottom <= 0 || left >= right || top >= bottom) return {};
  // Placed in a canvas that starts at the image origin, so that the blocks come out in image
  // coordinates.
  Picture canvas =
      Picture::Grey8(static_cast<int>(right), static_cast<int>(bottom), /*zeroed=*/true);
  const long long fromX = std::max(0LL, left), fromY = std::max(0LL, top);
  for (long long y = fromY; y < bottom; ++y) {
    std::copy_n(shape.mask.Row(static_cast<int>(y - top)) + (fromX - left), right - fromX,
                canvas.Row(static_cast<int>(y)) + fromX);
  }
  Shapes shapes;
  for (auto& region : MaskToShapes(canvas)) {
    for (auto& block : region.shapes) shapes.push_back(std::move(block));
  }
  return shapes;
}

Shapes MakeShapes(const LabelMeShape& shape, const Window& window, long long columns,
                  long long rows) {
  Shapes shapes;
  const std::vector<Point2D>& points = shape.points;
  if (shape.type == "polygon") {
    std::vector<Point2D> clipped = ClipPolygon(points, window);
    if (clipped.size() < 3) return shapes;
    for (Point2D& point : clipped) point = ToFramework(point);
    shapes.push_back(std::make_shared<Tamrix::Vision::Polygon>(kToken, clipped));
  } else if (shape.type == "rectangle") {
    // The corners bound the areas of the enclosed pixels; moved by -0.5 they bound their centres,
    // which is what the framework's rectangle tests.
    const double x0 = std::max(std::min(points[0].X, points[1].X), window.x0);
    const double x1 = std::min(std::max(points[0].X, points[1].X), window.x1);
    const double y0 = std::max(std::min(points[0].Y, points[1].Y), window.y0);
    const double y1 = std::min(std::max(points[0].Y, points[1].Y), window.y1);
    if (!(x1 > x0 && y1 > y0)) return shapes;
    const Point2D centre{(x0 + x1) / 2.0 - 0.5, (y0 + y1) / 2.0 - 0.5};
    shapes.push_back(
        std::make_shared<Tamrix::Vision::RectangleAffine>(kToken, centre, x1 - x0, y1 - y0));
  } else if (shape.type == "circle" || shape.type == "point") {
    const double radius = shape.type == "point"
                              ? kPointRadius
                              : std::hypot(points[1].X - points[0].X, points[1].Y - points[0].Y);
    if (!(radius > 0.0)) return shapes;
    shapes.push_back(
        std::make_shared<Tamrix::Vision::Ellipse>(kToken, ToFramework(points[0]), radius, radius));
  } else if (shape.type == "line" || shape.type == "linestrip") {
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
      Point2D a = points[i], b = points[i + 1];
      if (!ClipSegment(a, b, window)) continue;
      shapes.push_back(
          std::make_shared<Tamrix::Vision::LineSegment>(kToken, ToFramework(a), ToFramework(b)));
    }
  } else if (shape.type == "mask") {
    shapes = MaskShapes(shape, columns, rows);
  }
  return shapes;
}

}  // namespace

std::vector<std::shared_ptr<IShape>> ToFrameworkShapes(const LabelMeShape& shape, int width,
                                                       int height) {
  const Window image{0.0, 0.0, static_cast<double>(width), static_cast<double>(height)};
  return MakeShapes(shape, image, width, height);
}

std::vector<std::shared_ptr<IShape>> ToFrameworkShapes(const LabelMeShape& shape) {
  const Window everywhere{-kUnbounded, -kUnbounded, kUnbounded, kUnbounded};
  return MakeShapes(shape, everywhere, std::numeric_limits<int>::max(),
                    std::numeric_limits<int>::max());
}

long long AddCoveredPixels(Tamrix::Vision::PixelMask& target, const IShape& shape,
                           Tamrix::Vision::PixelMask& scratch) {
  const double stroke = shape.IsArea() ? 0.0 : kCurveStrokeWidth;
  // Shapes mark only pixels near their box; skipping shapes whose box misses the image keeps a
  // file of many small shapes on a large image fast.
  const Tamrix::Vision::BoundingBox box = shape.Bounds();
  const double margin = stroke / 2.0 + 1.0;
  const auto first = [margin](double low) {
    return std::isfinite(low) ? std::max(0.0, std::floor(low - margin)) : 0.0;
  };
  const auto last = [margin](double high, int size) {
    return std::isfinite(high) ? std::min(size - 1.0, std::ceil(high + margin)) : size - 1.0;
  };
  const int x0 = static_cast<int>(first(box.X0)), y0 = static_cast<int>(first(box.Y0));
  const int x1 = static_cast<int>(std::max(-1.0, last(box.X1, target.Width())));
  const int y1 = static_cast<int>(std::max(-1.0, last(box.Y1, target.Height())));
  if (box.Empty() || x0 > x1 || y0 > y1) return 0;
  shape.RasterizeInto(scratch, stroke);
  auto& own = scratch.Data();
  auto& bits = target.Data();
  const auto width = static_cast<std::size_t>(target.Width());
  long long count = 0;
  for (int y = y0; y <= y1; ++y) {
    for (std::size_t i = y * width + x0; i <= y * width + x1; ++i) {
      if (own[i] == 0) continue;
      bits[i] = 1;
      own[i] = 0;
      ++count;
    }
  }
  return count;
}

Tamrix::Vision::PixelMask CoveredPixels(const std::vector<std::shared_ptr<IShape>>& shapes,
                                        int width, int height) {
  Tamrix::Vision::PixelMask pixels(width, height);
  Tamrix::Vision::PixelMask scratch(width, height);
  for (const auto& shape : shapes) AddCoveredPixels(pixels, *shape, scratch);
  return pixels;
}

}  // namespace Smartseg
