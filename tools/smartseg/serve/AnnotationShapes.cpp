#include "tools/smartseg/serve/AnnotationShapes.h"

#include <cmath>

#include "interfaces/core/Ellipse.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignment.h"
#include "tools/smartseg/LabelMeGeometry.h"
#include "tools/smartseg/serve/ApiError.h"

namespace Smartseg::Serve {
namespace {

using Tamrix::Vision::Point2D;
using Json = nlohmann::json;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;
constexpr double kPi = 3.14159265358979323846;
constexpr int kEllipseVertices = 32;

struct TypeRule {
  const char* type;
  std::size_t min;
  std::size_t max;
};
constexpr TypeRule kTypes[] = {
    {"polygon", 3, kMaxShapePoints},
    {"rectangle", 2, 2},
    {"ellipse", 2, 2},
    {"linestrip", 2, kMaxShapePoints},
};

std::string Number(double value) {
  std::string text = std::to_string(value);
  text.erase(text.find_last_not_of('0') + 1);
  if (!text.empty() && text.back() == '.') text.pop_back();
  return text;
}

// Framework coordinates put pixel centres on whole numbers.
Point2D ToFramework(const Point2D& point) { return {point.X - 0.5, point.Y - 0.5}; }
Point2D FromFramework(const Point2D& point) { return {point.X + 0.5, point.Y + 0.5}; }

std::vector<Point2D> EllipseOutline(const Point2D& centre, double radiusX, double radiusY,
                                    double rotation) {
  std::vector<Point2D> points;
  const double c = std::cos(rotation), s = std::sin(rotation);
  for (int i = 0; i < kEllipseVertices; ++i) {
    const double angle = 2.0 * kPi * i / kEllipseVertices;
    const double x = radiusX * std::cos(angle), y = radiusY * std::sin(angle);
    points.push_back({centre.X + c * x - s * y, centre.Y + s * x + c * y});
  }
  return points;
}

AnnotationShape Recover(const std::string& label, const Tamrix::Vision::IShape& shape) {
  using namespace Tamrix::Vision;
  if (const auto* polygon = dynamic_cast<const Polygon*>(&shape)) {
    AnnotationShape result{label, "polygon", {}};
    for (const Point2D& vertex : polygon->Vertices())
      result.points.push_back(FromFramework(vertex));
    return result;
  }
  if (const auto* rectangle = dynamic_cast<const RectangleAffine*>(&shape)) {
    if (rectangle->Rotation() == 0.0 && rectangle->Skew() == 0.0) {
      const Point2D centre = FromFramework(rectangle->Center());
      const double halfWidth = rectangle->Width() / 2.0, halfHeight = rectangle->Height() / 2.0;
      return {label,
              "rectangle",
              {{centre.X - halfWidth, centre.Y - halfHeight},
               {centre.X + halfWidth, centre.Y + halfHeight}}};
    }
    AnnotationShape result{label, "polygon", {}};
    for (const Point2D& corner : rectangle->Corners())
      result.points.push_back(FromFramework(corner));
    return result;
  }
  if (const auto* ellipse = dynamic_cast<const Ellipse*>(&shape)) {
    const Point2D centre = FromFramework(ellipse->Center());
    if (ellipse->Rotation() == 0.0) {
      return {label,
              "ellipse",
              {{centre.X - ellipse->RadiusX(), centre.Y - ellipse->RadiusY()},
               {centre.X + ellipse->RadiusX(), centre.Y + ellipse->RadiusY()}}};
    }
    return {label, "polygon",
            EllipseOutline(centre, ellipse->RadiusX(), ellipse->RadiusY(), ellipse->Rotation())};
  }
  if (const auto* segment = dynamic_cast<const LineSegment*>(&shape)) {
    return {label, "linestrip", {FromFramework(segment->Start()), FromFramework(segment->End())}};
  }
  const BoundingBox bounds = shape.Bounds();
  return {label,
          "rectangle",
          {FromFramework({bounds.X0, bounds.Y0}), FromFramework({bounds.X1, bounds.Y1})}};
}

}  // namespace

AnnotationShape ShapeFromJson(const Json& body, int width, int height) {
  if (!body.is_object()) throw ApiError(400, "expected a JSON object describing a shape");
  AnnotationShape shape;
  if (!body.contains("label") || !body["label"].is_string() ||
      body["label"].get<std::string>().empty()) {
    throw ApiError(400, "the shape needs a \"label\" (a non-empty string)");
  }
  shape.label = body["label"].get<std::string>();
  if (!body.contains("type") || !body["type"].is_string()) {
    throw ApiError(400, "the shape needs a \"type\": polygon, rectangle, ellipse or linestrip");
  }
  shape.type = body["type"].get<std::string>();
  const TypeRule* rule = nullptr;
  for (const TypeRule& candidate : kTypes) {
    if (shape.type == candidate.type) rule = &candidate;
  }
  if (!rule) {
    throw ApiError(400, "unknown shape type '" + shape.type +
                            "'; expected polygon, rectangle, ellipse or linestrip");
  }
  if (!body.contains("points") || !body["points"].is_array()) {
    throw ApiError(400, "the shape needs a \"points\" array of [x, y] pairs");
  }
  const Json& points = body["points"];
  if (points.size() < rule->min || points.size() > rule->max) {
    throw ApiError(400, "a " + shape.type + " needs " +
                            (rule->min == rule->max
                                 ? std::to_string(rule->min)
                                 : std::to_string(rule->min) + " to " + std::to_string(rule->max)) +
                            " points, found " + std::to_string(points.size()));
  }
  for (const Json& point : points) {
    if (!point.is_array() || point.size() != 2 || !point[0].is_number() || !point[1].is_number()) {
      throw ApiError(400, "a point is not an [x, y] pair of numbers: " + point.dump());
    }
    const Point2D value{point[0].get<double>(), point[1].get<double>()};
    if (!std::isfinite(value.X) || !std::isfinite(value.Y) || value.X < 0 || value.Y < 0 ||
        value.X > width || value.Y > height) {
      throw ApiError(400, "the point (" + Number(value.X) + ", " + Number(value.Y) +
                              ") lies outside the " + std::to_string(width) + " x " +
                              std::to_string(height) + " image");
    }
    shape.points.push_back(value);
  }
  if ((shape.type == "rectangle" || shape.type == "ellipse") &&
      (shape.points[0].X == shape.points[1].X || shape.points[0].Y == shape.points[1].Y)) {
    throw ApiError(400, "the " + shape.type + " encloses no area");
  }
  return shape;
}

Json ShapeToJson(const AnnotationShape& shape) {
  Json points = Json::array();
  for (const Point2D& point : shape.points) points.push_back({point.X, point.Y});
  return {{"label", shape.label}, {"type", shape.type}, {"points", points}};
}

std::vector<std::shared_ptr<Tamrix::Vision::IShape>> ToFrameworkShapes(
    const AnnotationShape& shape) {
  if (shape.type == "ellipse") {
    const Point2D& a = shape.points[0];
    const Point2D& b = shape.points[1];
    const Point2D centre = ToFramework({(a.X + b.X) / 2.0, (a.Y + b.Y) / 2.0});
    return {std::make_shared<Tamrix::Vision::Ellipse>(kToken, centre, std::abs(b.X - a.X) / 2.0,
                                                      std::abs(b.Y - a.Y) / 2.0)};
  }
  return Smartseg::ToFrameworkShapes(ToLabelMeShape(shape));
}

std::vector<RecoveredShape> RecoverShapes(const Tamrix::Vision::SmartCore::SmartTrainData& item) {
  std::vector<RecoveredShape> shapes;
  for (const auto& assignment : *item.Assignments()) {
    if (!assignment) continue;
    const auto label = assignment->Label();
    const std::string name = label ? label->Name() : std::string();
    const auto frameworkShape = assignment->Shape();
    AnnotationShape recovered =
        frameworkShape ? Recover(name, *frameworkShape) : AnnotationShape{name, "rectangle", {}};
    if (recovered.type == "linestrip" && !shapes.empty()) {
      RecoveredShape& previous = shapes.back();
      if (previous.shape.type == "linestrip" && previous.shape.label == name &&
          previous.shape.points.back() == recovered.points.front()) {
        previous.shape.points.push_back(recovered.points.back());
        ++previous.assignments;
        continue;
      }
    }
    shapes.push_back({std::move(recovered), 1});
  }
  return shapes;
}

LabelMeShape ToLabelMeShape(const AnnotationShape& shape) {
  if (shape.type != "ellipse") return {shape.label, shape.type, shape.points};
  const Point2D& a = shape.points[0];
  const Point2D& b = shape.points[1];
  return {shape.label, "polygon",
          EllipseOutline({(a.X + b.X) / 2.0, (a.Y + b.Y) / 2.0}, std::abs(b.X - a.X) / 2.0,
                         std::abs(b.Y - a.Y) / 2.0, 0.0)};
}

AnnotationShape FromLabelMeShape(const LabelMeShape& shape) {
  if (shape.type == "circle") {
    const Point2D& centre = shape.points[0];
    const double radius = std::hypot(shape.points[1].X - centre.X, shape.points[1].Y - centre.Y);
    return {shape.label,
            "ellipse",
            {{centre.X - radius, centre.Y - radius}, {centre.X + radius, centre.Y + radius}}};
  }
  if (shape.type == "line") return {shape.label, "linestrip", shape.points};
  return {shape.label, shape.type, shape.points};
}

}  // namespace Smartseg::Serve
