// The shapes the browser host draws, and how they become training-data assignments and come back.
//
// Points are in the image's pixel-corner coordinates, as in LabelMe files: pixel (x, y) covers
// [x, x + 1) x [y, y + 1). Types and their points:
//   polygon    3 or more vertices
//   rectangle  2 opposite corners
//   ellipse    2 opposite corners of its bounding box
//   linestrip  2 or more points of a scribble; one framework line segment per pair
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/Vect2.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "tools/smartseg/LabelMe.h"

namespace Smartseg::Serve {

struct AnnotationShape {
  std::string label;
  std::string type;
  std::vector<Tamrix::Vision::Point2D> points;
};

// Most points one shape may have.
constexpr std::size_t kMaxShapePoints = 10000;

// Reads {"label", "type", "points": [[x, y], ...]} from a request body. Throws ApiError(400) with
// a message naming the field at fault, also for points outside the width x height image, shapes
// without area (rectangles and ellipses) and too many points.
AnnotationShape ShapeFromJson(const nlohmann::json& body, int width, int height);

nlohmann::json ShapeToJson(const AnnotationShape& shape);

// The framework shapes standing for `shape`; each becomes one assignment.
std::vector<std::shared_ptr<Tamrix::Vision::IShape>> ToFrameworkShapes(
    const AnnotationShape& shape);

// A shape recovered from the assignments of a training item, and how many consecutive assignments
// it stands for.
struct RecoveredShape {
  AnnotationShape shape;
  int assignments = 1;
};

// The item's assignments as drawable shapes, in assignment order: chained line segments of one
// label become one linestrip; axis-aligned rectangles and ellipses keep their type; other areas
// become polygons through their outline. Assignments without a label or shape become a rectangle
// of their bounds named "" so that they still count.
std::vector<RecoveredShape> RecoverShapes(const Tamrix::Vision::SmartCore::SmartTrainData& item);

// The LabelMe form of a shape: ellipses become polygons, since LabelMe has no ellipse.
LabelMeShape ToLabelMeShape(const AnnotationShape& shape);

// The browser host's form of a LabelMe shape: circles become ellipses, lines linestrips.
AnnotationShape FromLabelMeShape(const LabelMeShape& shape);

}  // namespace Smartseg::Serve
