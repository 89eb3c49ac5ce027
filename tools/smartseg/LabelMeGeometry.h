// The framework shapes of LabelMe shapes, clipped to their image, and the pixels they cover.
#pragma once

#include <memory>
#include <vector>

#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/PixelMask.h"
#include "tools/smartseg/LabelMe.h"

namespace Smartseg {

// The width in pixels of the stroke that marks a curve (line, linestrip) for training: the one
// the engine draws curves with, so that the pixels counted here are the pixels it trains on.
constexpr double kCurveStrokeWidth = 3.0;

// The radius in pixels of the disc a "point" shape marks, like one click of a round brush: 21
// pixels (5 x 5 without the corners) when the click lies on a pixel centre.
constexpr double kPointRadius = 2.5;

// The framework shapes of `shape` for a width x height image:
//   polygon -> Polygon; rectangle -> axis-aligned RectangleAffine; circle (centre, a point on
//   the circle) -> Ellipse; point -> Ellipse of radius kPointRadius; line -> LineSegment;
//   linestrip -> one LineSegment per pair of consecutive points; mask -> axis-aligned
//   RectangleAffine blocks holding exactly its true pixels.
// Polygons, rectangles, lines and masks are clipped to the image, so no stored shape reaches far
// past it; circles and points are kept whole, as rasterising clips them. What a shape covers
// inside the image is unchanged by the clipping, except for the few border pixels that the stroke
// of a curve lying wholly outside the image would have reached. The result is empty when nothing
// of the shape is left, and may cover no pixel (a collinear polygon, a rectangle between pixel
// centres): CoveredPixels tells.
std::vector<std::shared_ptr<Tamrix::Vision::IShape>> ToFrameworkShapes(const LabelMeShape& shape,
                                                                       int width, int height);

// As above without clipping, except that mask pixels left of or above the origin are dropped.
std::vector<std::shared_ptr<Tamrix::Vision::IShape>> ToFrameworkShapes(const LabelMeShape& shape);

// Adds to `target` the pixels of an image of its size that `shape` covers for training: an
// area's inside, a curve's stroke of kCurveStrokeWidth. Returns how many pixels the shape covers,
// counting those already in `target`. `scratch` is a clear mask of the target's size and is left
// clear: one scratch serves every shape of an image, so many small shapes on a large image cost
// their boxes and not a whole-image mask each.
long long AddCoveredPixels(Tamrix::Vision::PixelMask& target, const Tamrix::Vision::IShape& shape,
                           Tamrix::Vision::PixelMask& scratch);

// The pixels that `shapes` cover together.
Tamrix::Vision::PixelMask CoveredPixels(
    const std::vector<std::shared_ptr<Tamrix::Vision::IShape>>& shapes, int width, int height);

}  // namespace Smartseg
