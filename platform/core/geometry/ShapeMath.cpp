#include "platform/core/geometry/ShapeMath.h"

#include <algorithm>
#include <cmath>
#include <sstream>

namespace Tamrix::Vision::GeometryDetail {
namespace {

std::string Number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

[[noreturn]] void Fail(const char* owner, const char* what, const std::string& expectation,
                       double value) {
  throw ArgumentException(std::string(owner) + ": " + what + " must be " + expectation +
                          ", found " + Number(value));
}

}  // namespace

void RequireFinite(const char* owner, const char* what, double value) {
  if (!std::isfinite(value)) Fail(owner, what, "a finite number", value);
}

void RequireNonNegative(const char* owner, const char* what, double value) {
  RequireFinite(owner, what, value);
  if (value < 0.0) Fail(owner, what, ">= 0", value);
}

void RequirePositive(const char* owner, const char* what, double value) {
  RequireFinite(owner, what, value);
  if (!(value > 0.0)) Fail(owner, what, "> 0", value);
}

void RequireInRange(const char* owner, const char* what, double value, double low, double high,
                    bool highInclusive) {
  RequireFinite(owner, what, value);
  const bool above = highInclusive ? value > high : value >= high;
  if (value < low || above) {
    Fail(owner, what, "in [" + Number(low) + ", " + Number(high) + (highInclusive ? "]" : ")"),
         value);
  }
}

void RequireOpenRange(const char* owner, const char* what, double value, double low, double high,
                      const char* rangeText) {
  RequireFinite(owner, what, value);
  if (!(value > low && value < high)) Fail(owner, what, std::string("in ") + rangeText, value);
}

void RequireFinitePoint(const char* owner, const char* what, const Point2D& point) {
  if (!std::isfinite(point.X) || !std::isfinite(point.Y)) {
    throw ArgumentException(std::string(owner) + ": " + what +
                            " must have finite coordinates, found (" + Number(point.X) + ", " +
                            Number(point.Y) + ")");
  }
}

bool BoundaryPointInside(double gx, double gy) {
  // A normal that is horizontal up to rounding (a rotation by pi/2 leaves cos = 6e-17) must be
  // treated as exactly horizontal, or shapes sharing an edge would disagree.
  const double norm = std::hypot(gx, gy);
  if (std::fabs(gx) <= kBoundaryTolerance * norm) return gy < 0.0;
  return gx < 0.0;
}

PixelRange ClipToImage(const BoundingBox& box, double margin, int width, int height) {
  PixelRange range;
  if (box.Empty() || width <= 0 || height <= 0) return range;
  const double x0 = std::max(0.0, std::floor(box.X0 - margin));
  const double y0 = std::max(0.0, std::floor(box.Y0 - margin));
  const double x1 = std::min(static_cast<double>(width - 1), std::ceil(box.X1 + margin));
  const double y1 = std::min(static_cast<double>(height - 1), std::ceil(box.Y1 + margin));
  if (!(x0 <= x1) || !(y0 <= y1)) return range;
  range.X0 = static_cast<int>(x0);
  range.Y0 = static_cast<int>(y0);
  range.X1 = static_cast<int>(x1);
  range.Y1 = static_cast<int>(y1);
  return range;
}

void Include(BoundingBox& box, double x, double y) {
  if (box.Empty()) {
    box = BoundingBox{x, y, x, y};
    return;
  }
  box.X0 = std::min(box.X0, x);
  box.Y0 = std::min(box.Y0, y);
  box.X1 = std::max(box.X1, x);
  box.Y1 = std::max(box.Y1, y);
}

BoundingBox Unite(const BoundingBox& a, const BoundingBox& b) {
  if (a.Empty()) return b;
  if (b.Empty()) return a;
  return BoundingBox{std::min(a.X0, b.X0), std::min(a.Y0, b.Y0), std::max(a.X1, b.X1),
                     std::max(a.Y1, b.Y1)};
}

double StrokeHalfWidth(const char* owner, double strokeWidth) {
  RequireFinite(owner, "the stroke width", strokeWidth);
  return std::max(strokeWidth, 1.0) / 2.0;
}

double DistanceToSegment(double px, double py, const Point2D& a, const Point2D& b) {
  const double dx = b.X - a.X;
  const double dy = b.Y - a.Y;
  const double lengthSquared = dx * dx + dy * dy;
  double t = 0.0;
  if (lengthSquared > 0.0) {
    t = std::clamp(((px - a.X) * dx + (py - a.Y) * dy) / lengthSquared, 0.0, 1.0);
  }
  return std::hypot(px - (a.X + t * dx), py - (a.Y + t * dy));
}

void StrokeSegment(PixelMask& mask, const Point2D& a, const Point2D& b, double half) {
  const BoundingBox box{std::min(a.X, b.X), std::min(a.Y, b.Y), std::max(a.X, b.X),
                        std::max(a.Y, b.Y)};
  const PixelRange range = ClipToImage(box, half + 1.0, mask.Width(), mask.Height());
  // Distances exactly at the half width count as inside; the slack absorbs rounding in them.
  const double limit = half + kBoundaryTolerance * std::max(1.0, half);
  for (int y = range.Y0; y <= range.Y1; ++y) {
    for (int x = range.X0; x <= range.X1; ++x) {
      if (mask.At(x, y)) continue;
      if (DistanceToSegment(x, y, a, b) <= limit) mask.Set(x, y);
    }
  }
}

double NormalizeAngle(double angle) {
  double result = std::fmod(angle, kTwoPi);
  if (result < 0.0) result += kTwoPi;
  if (result >= kTwoPi) result = 0.0;
  return result;
}

Frame::Frame(const Point2D& center, double rotation)
    : cx(center.X), cy(center.Y), c(std::cos(rotation)), s(std::sin(rotation)) {}

void Frame::ToLocal(double x, double y, double& u, double& v) const {
  const double dx = x - cx;
  const double dy = y - cy;
  u = c * dx + s * dy;
  v = -s * dx + c * dy;
}

void Frame::VectorToWorld(double u, double v, double& x, double& y) const {
  x = c * u - s * v;
  y = s * u + c * v;
}

Point2D Frame::PointToWorld(double u, double v) const {
  double x = 0.0;
  double y = 0.0;
  VectorToWorld(u, v, x, y);
  return Point2D{cx + x, cy + y};
}

double PolarToParametric(double rx, double ry, double polar) {
  // (rx cos t, ry sin t) is parallel to (cos polar, sin polar) for t = atan2(rx sin, ry cos);
  // both angles share a quadrant, so the remainder picks the branch next to `polar`.
  const double t = std::atan2(rx * std::sin(polar), ry * std::cos(polar));
  return polar + std::remainder(t - polar, kTwoPi);
}

BoundingBox EllipseArcBounds(const Frame& frame, double rx, double ry, double start, double span) {
  BoundingBox box;
  auto include = [&](double t) {
    const Point2D p = frame.PointToWorld(rx * std::cos(t), ry * std::sin(t));
    Include(box, p.X, p.Y);
  };
  if (rx <= 0.0 || ry <= 0.0) {
    Include(box, frame.cx, frame.cy);
    return box;
  }
  const double t0 = PolarToParametric(rx, ry, start);
  const double t1 = span >= kTwoPi ? t0 + kTwoPi : PolarToParametric(rx, ry, start + span);
  include(t0);
  include(t1);
  // x and y of the world point are extreme where their derivative in t vanishes.
  const double tx = std::atan2(-ry * frame.s, rx * frame.c);
  const double ty = std::atan2(ry * frame.c, rx * frame.s);
  for (double t : {tx, tx + kPi, ty, ty + kPi}) {
    if (span >= kTwoPi || NormalizeAngle(t - t0) <= t1 - t0) include(t);
  }
  return box;
}

BoundingBox EllipseBounds(const Frame& frame, double rx, double ry) {
  const double hx = std::hypot(rx * frame.c, ry * frame.s);
  const double hy = std::hypot(rx * frame.s, ry * frame.c);
  return BoundingBox{frame.cx - hx, frame.cy - hy, frame.cx + hx, frame.cy + hy};
}

}  // namespace Tamrix::Vision::GeometryDetail
