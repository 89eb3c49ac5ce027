// Numeric helpers shared by the shape classes: argument checks, the boundary rule, the clipped
// scan of an image and the stroke of a segment.
#pragma once

#include <string>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/PixelMask.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision::GeometryDetail {

constexpr double kPi = 3.14159265358979323846;
constexpr double kTwoPi = 2.0 * kPi;

// Relative distance below which a point counts as lying on a boundary. Lattice points that sit
// on a boundary in exact arithmetic (an axis-aligned circle of radius 2 through (x + 2, y)) must
// be decided by the boundary rule, not by the last bit of a rotation's cosine.
constexpr double kBoundaryTolerance = 1e-9;

// Argument checks; each throws ArgumentException "<owner>: <what> must ..., found <value>".
void RequireFinite(const char* owner, const char* what, double value);
void RequireNonNegative(const char* owner, const char* what, double value);
void RequirePositive(const char* owner, const char* what, double value);
// value in [low, high) when !highInclusive, [low, high] otherwise.
void RequireInRange(const char* owner, const char* what, double value, double low, double high,
                    bool highInclusive);
// value in (low, high); `rangeText` spells the range for the message.
void RequireOpenRange(const char* owner, const char* what, double value, double low, double high,
                      const char* rangeText);
void RequireFinitePoint(const char* owner, const char* what, const Point2D& point);

// Runs the checks of a freshly loaded record; a failed check becomes a VisionException with code
// InvalidData naming the record, so a corrupt archive never yields a broken shape.
template <class Check>
void CheckLoaded(const char* record, Check&& check) {
  try {
    check();
  } catch (const ArgumentException& e) {
    throw VisionException(VisionExceptionCodes::InvalidData,
                          std::string("Corrupt ") + record + " record in archive: " + e.what());
  }
}

// The boundary rule of every area: a point on the boundary belongs to the area when the area
// continues from it to the right (and, for a horizontal boundary, downwards). Formally the point
// p is inside when p + (e, d) is, for infinitesimal e > 0 and d > 0 with d much smaller than e.
// Given the outward normal (gx, gy) at the point, that holds when gx < 0, or gx == 0 and gy < 0.
// So left and top edges are inside and right and bottom edges are not, and two areas sharing a
// boundary never both claim a pixel.
bool BoundaryPointInside(double gx, double gy);

// A rectangle of pixels, inclusive; empty when X1 < X0 or Y1 < Y0.
struct PixelRange {
  int X0 = 0, Y0 = 0, X1 = -1, Y1 = -1;
  bool Empty() const { return X1 < X0 || Y1 < Y0; }
};

// Pixels of a width x height image whose centres may lie in `box` grown by `margin`.
PixelRange ClipToImage(const BoundingBox& box, double margin, int width, int height);

void Include(BoundingBox& box, double x, double y);
BoundingBox Unite(const BoundingBox& a, const BoundingBox& b);

// Marks in `mask` the pixels for which `inside(x, y)` holds, scanning only `box` (grown by one
// pixel to absorb rounding in the box) clipped to the mask.
template <class Inside>
void RasterizeArea(PixelMask& mask, const BoundingBox& box, Inside&& inside) {
  const PixelRange range = ClipToImage(box, 1.0, mask.Width(), mask.Height());
  for (int y = range.Y0; y <= range.Y1; ++y) {
    for (int x = range.X0; x <= range.X1; ++x) {
      if (inside(static_cast<double>(x), static_cast<double>(y))) mask.Set(x, y);
    }
  }
}

// Half the stroke width actually drawn: widths below 1 draw as 1 so that a curve always marks a
// connected chain of pixels. Throws ArgumentException for a width that is not a finite number.
double StrokeHalfWidth(const char* owner, double strokeWidth);

double DistanceToSegment(double px, double py, const Point2D& a, const Point2D& b);

// Marks every pixel whose centre lies within `half` of the segment a-b (round ends).
void StrokeSegment(PixelMask& mask, const Point2D& a, const Point2D& b, double half);

// An angle in [0, 2 pi).
double NormalizeAngle(double angle);

// A rotated frame centred on `center`: local u runs along the direction `rotation`, local v along
// rotation + pi/2 (clockwise on screen, since image y points down).
struct Frame {
  Frame(const Point2D& center, double rotation);
  void ToLocal(double x, double y, double& u, double& v) const;
  void VectorToWorld(double u, double v, double& x, double& y) const;
  Point2D PointToWorld(double u, double v) const;
  double cx, cy, c, s;
};

// The parametric angle t of the ellipse point (rx cos t, ry sin t) that lies on the ray at polar
// angle `polar`, continuous in `polar` (|t - polar| < pi/2). Needs rx > 0 and ry > 0.
double PolarToParametric(double rx, double ry, double polar);

// Exact box of the arc of the ellipse (rx, ry) in `frame` from polar angle `start` over `span`
// (span in [0, 2 pi]). Radii both > 0, or both 0: the centre alone (inner rim of a full sector).
BoundingBox EllipseArcBounds(const Frame& frame, double rx, double ry, double start, double span);

// Exact box of the whole ellipse.
BoundingBox EllipseBounds(const Frame& frame, double rx, double ry);

}  // namespace Tamrix::Vision::GeometryDetail
