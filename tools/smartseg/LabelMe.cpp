#include "tools/smartseg/LabelMe.h"

#include <cmath>
#include <sstream>

#include "interfaces/core/Ellipse.h"
#include "interfaces/core/LineSegment.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/core/RectangleAffine.h"
#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Errors.h"

namespace Smartseg {
namespace {

using Tamrix::Vision::Point2D;
using Json = nlohmann::json;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

std::string Number(double value) {
  std::ostringstream text;
  text << value;
  return text.str();
}

std::string ShapeName(std::size_t index, const std::string& type) {
  return "shape " + std::to_string(index) + " (type '" + type + "')";
}

// The number of points each mappable type needs: exactly (min == max) or at least (max < 0).
struct PointRule {
  const char* type;
  int min;
  int max;
};
constexpr PointRule kRules[] = {
    {"polygon", 3, -1}, {"rectangle", 2, 2}, {"circle", 2, 2}, {"line", 2, 2}, {"linestrip", 2, -1},
};

const PointRule* RuleFor(const std::string& type) {
  for (const auto& rule : kRules) {
    if (type == rule.type) return &rule;
  }
  return nullptr;
}

std::optional<int> ReadSize(const Json& document, const char* key,
                            const std::filesystem::path& file) {
  if (!document.contains(key) || document[key].is_null()) return std::nullopt;
  const Json& value = document[key];
  if (!value.is_number_integer() || value.get<long long>() <= 0 ||
      value.get<long long>() > 1'000'000) {
    throw WorkError(file, std::string("\"") + key + "\" must be a positive whole number, found " +
                              value.dump());
  }
  return value.get<int>();
}

LabelMeShape ReadShape(const Json& entry, std::size_t index, const std::filesystem::path& file) {
  if (!entry.is_object()) {
    throw WorkError(file, "shape " + std::to_string(index) + " is not a JSON object");
  }
  LabelMeShape shape;
  const Json type = entry.value("shape_type", Json("polygon"));
  if (!type.is_string()) {
    throw WorkError(file, "shape " + std::to_string(index) +
                              ": \"shape_type\" must be a string, found " + type.dump());
  }
  shape.type = type.get<std::string>();
  const std::string name = ShapeName(index, shape.type);
  const PointRule* rule = RuleFor(shape.type);
  if (!rule) {
    throw WorkError(file, name +
                              " cannot be used for training; expected polygon, rectangle, circle, "
                              "line or linestrip");
  }
  if (!entry.contains("label") || !entry["label"].is_string() ||
      entry["label"].get<std::string>().empty()) {
    throw WorkError(file, name + " has no label name");
  }
  shape.label = entry["label"].get<std::string>();
  if (!entry.contains("points") || !entry["points"].is_array()) {
    throw WorkError(file, name + " has no \"points\" array");
  }
  for (const Json& point : entry["points"]) {
    if (!point.is_array() || point.size() != 2 || !point[0].is_number() || !point[1].is_number()) {
      throw WorkError(file, name + " has a point that is not a pair of numbers: " + point.dump());
    }
    const Point2D value{point[0].get<double>(), point[1].get<double>()};
    if (!std::isfinite(value.X) || !std::isfinite(value.Y)) {
      throw WorkError(file, name + " has a point that is not finite: " + point.dump());
    }
    shape.points.push_back(value);
  }
  const int count = static_cast<int>(shape.points.size());
  if (count < rule->min || (rule->max >= 0 && count > rule->max)) {
    const std::string expected = rule->max == rule->min ? std::to_string(rule->min)
                                                        : "at least " + std::to_string(rule->min);
    throw WorkError(file, name + " needs " + expected + " points, found " + std::to_string(count));
  }
  const Point2D& a = shape.points[0];
  const Point2D& b = shape.points[1];
  if ((shape.type == "rectangle" && (a.X == b.X || a.Y == b.Y)) ||
      (shape.type == "circle" && a == b)) {
    throw WorkError(file, name + " encloses no area");
  }
  return shape;
}

Point2D ToFramework(const Point2D& point) { return {point.X - 0.5, point.Y - 0.5}; }

}  // namespace

LabelMeAnnotation ReadLabelMe(const std::filesystem::path& file) {
  const std::string text = ReadWholeFile(file);
  Json document;
  try {
    document = Json::parse(text);
  } catch (const Json::parse_error& error) {
    throw WorkError(file, std::string("invalid JSON: ") + error.what());
  }
  if (!document.is_object()) throw WorkError(file, "expected a JSON object at the top level");
  LabelMeAnnotation annotation;
  annotation.file = file;
  if (!document.contains("imagePath") || !document["imagePath"].is_string() ||
      document["imagePath"].get<std::string>().empty()) {
    throw WorkError(file, "no \"imagePath\" naming the image");
  }
  annotation.imagePath = file.parent_path() / document["imagePath"].get<std::string>();
  annotation.imageWidth = ReadSize(document, "imageWidth", file);
  annotation.imageHeight = ReadSize(document, "imageHeight", file);
  if (!document.contains("shapes") || !document["shapes"].is_array()) {
    throw WorkError(file, "no \"shapes\" array");
  }
  const Json& shapes = document["shapes"];
  for (std::size_t index = 0; index < shapes.size(); ++index) {
    annotation.shapes.push_back(ReadShape(shapes[index], index, file));
  }
  return annotation;
}

void CheckAgainstImage(const LabelMeAnnotation& annotation, int width, int height) {
  const auto size = [](int w, int h) { return std::to_string(w) + " x " + std::to_string(h); };
  if ((annotation.imageWidth && *annotation.imageWidth != width) ||
      (annotation.imageHeight && *annotation.imageHeight != height)) {
    throw WorkError(
        annotation.file,
        "the annotation is for a " +
            size(annotation.imageWidth.value_or(width), annotation.imageHeight.value_or(height)) +
            " image, but " + annotation.imagePath.string() + " is " + size(width, height));
  }
  for (std::size_t index = 0; index < annotation.shapes.size(); ++index) {
    const LabelMeShape& shape = annotation.shapes[index];
    for (const Point2D& point : shape.points) {
      if (point.X < 0 || point.Y < 0 || point.X > width || point.Y > height) {
        throw WorkError(annotation.file, ShapeName(index, shape.type) + " has the point (" +
                                             Number(point.X) + ", " + Number(point.Y) +
                                             ") outside the " + size(width, height) + " image");
      }
    }
    if (shape.type == "circle") {
      const Point2D& centre = shape.points[0];
      const double radius = std::hypot(shape.points[1].X - centre.X, shape.points[1].Y - centre.Y);
      if (centre.X - radius < 0 || centre.Y - radius < 0 || centre.X + radius > width ||
          centre.Y + radius > height) {
        throw WorkError(annotation.file, ShapeName(index, shape.type) + " reaches outside the " +
                                             size(width, height) + " image");
      }
    }
  }
}

std::vector<std::shared_ptr<Tamrix::Vision::IShape>> ToFrameworkShapes(const LabelMeShape& shape) {
  using namespace Tamrix::Vision;
  std::vector<std::shared_ptr<IShape>> shapes;
  std::vector<Point2D> points;
  for (const Point2D& point : shape.points) points.push_back(ToFramework(point));
  if (shape.type == "polygon") {
    shapes.push_back(std::make_shared<Polygon>(kToken, points));
  } else if (shape.type == "rectangle") {
    // The corners bound the areas of the enclosed pixels; moved by -0.5 they bound their centres,
    // which is what the framework's rectangle tests.
    const Point2D& a = shape.points[0];
    const Point2D& b = shape.points[1];
    const Point2D centre{(a.X + b.X) / 2.0 - 0.5, (a.Y + b.Y) / 2.0 - 0.5};
    shapes.push_back(std::make_shared<RectangleAffine>(kToken, centre, std::abs(b.X - a.X),
                                                       std::abs(b.Y - a.Y)));
  } else if (shape.type == "circle") {
    const double radius = std::hypot(points[1].X - points[0].X, points[1].Y - points[0].Y);
    shapes.push_back(std::make_shared<Ellipse>(kToken, points[0], radius, radius));
  } else {
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
      shapes.push_back(std::make_shared<LineSegment>(kToken, points[i], points[i + 1]));
    }
  }
  return shapes;
}

nlohmann::json MakeLabelMeDocument(const std::string& imagePath, int width, int height,
                                   const std::vector<LabelMeShape>& shapes) {
  Json shapeList = Json::array();
  for (const LabelMeShape& shape : shapes) {
    Json points = Json::array();
    for (const Point2D& point : shape.points) points.push_back({point.X, point.Y});
    shapeList.push_back({{"label", shape.label},
                         {"points", points},
                         {"group_id", nullptr},
                         {"shape_type", shape.type},
                         {"flags", Json::object()}});
  }
  return Json{{"version", "5.2.1"},     {"flags", Json::object()}, {"shapes", shapeList},
              {"imagePath", imagePath}, {"imageData", nullptr},    {"imageHeight", height},
              {"imageWidth", width}};
}

}  // namespace Smartseg
