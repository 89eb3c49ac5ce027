#include "tools/smartseg/LabelMe.h"

#include <algorithm>
#include <cmath>

#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Base64.h"
#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/JsonDocument.h"

namespace Smartseg {
namespace {

using Tamrix::Vision::Point2D;
using Json = nlohmann::json;

// No image is this large; a coordinate beyond it is damage, and keeping coordinates this small
// keeps every sum and product of the clipping and rasterising far from overflow.
constexpr double kMaxCoordinate = 1e9;

// The number of points each type needs: exactly (min == max) or at least (max < 0).
struct PointRule {
  const char* type;
  int min;
  int max;
};
constexpr PointRule kRules[] = {
    {"polygon", 3, -1},   {"rectangle", 2, 2}, {"circle", 2, 2}, {"line", 2, 2},
    {"linestrip", 2, -1}, {"point", 1, 1},     {"mask", 2, 2},
};

const PointRule* RuleFor(const std::string& type) {
  for (const auto& rule : kRules) {
    if (type == rule.type) return &rule;
  }
  return nullptr;
}

std::string Quoted(const std::string& text) { return "'" + DisplayText(text, 40) + "'"; }

std::string ShapeName(std::size_t index, const std::string& type) {
  return "shape " + std::to_string(index) + " (type " + Quoted(type) + ")";
}

std::string Size(int width, int height) {
  return std::to_string(width) + " x " + std::to_string(height);
}

std::optional<int> ReadSize(const Json& document, const char* key,
                            const std::filesystem::path& file) {
  if (!document.contains(key) || document[key].is_null()) return std::nullopt;
  const Json& value = document[key];
  if (!value.is_number_integer() || value.get<long long>() <= 0 ||
      value.get<long long>() > 1'000'000) {
    throw WorkError(file, std::string("\"") + key + "\" must be a positive whole number, found " +
                              JsonExcerpt(value));
  }
  return value.get<int>();
}

// A string field that may be missing or null (""); any other type is an error.
std::string OptionalString(const Json& object, const char* key, const std::string& where,
                           const std::filesystem::path& file) {
  if (!object.contains(key) || object[key].is_null()) return "";
  if (!object[key].is_string()) {
    throw WorkError(file, where + "\"" + key + "\" must be a string or null, found " +
                              JsonExcerpt(object[key]));
  }
  return object[key].get<std::string>();
}

std::string DecodeBase64Field(const std::string& text, const std::string& field,
                              const std::filesystem::path& file) {
  try {
    return DecodeBase64(text);
  } catch (const Base64Error& error) {
    throw WorkError(file, field + " is not valid base64: " + error.what());
  }
}

// LabelMe writes the path as the annotating machine spells it; on Windows that is "..\dir\a.png".
// A backslash never appears in the file names LabelMe is used with elsewhere, so it is read as
// a separator everywhere.
std::filesystem::path ResolveImagePath(std::string written, const std::filesystem::path& file) {
  std::replace(written.begin(), written.end(), '\\', '/');
  const std::filesystem::path path(written);
  return path.is_absolute() ? path : file.parent_path() / path;
}

Picture ReadShapeMask(const Json& entry, const std::string& name,
                      const std::filesystem::path& file) {
  const std::string text = OptionalString(entry, "mask", name + ": ", file);
  if (text.empty()) throw WorkError(file, name + " has no \"mask\" image");
  const std::string bytes = DecodeBase64Field(text, name + ": \"mask\"", file);
  const LoadedImage decoded = DecodeImage(bytes, file.string() + " (" + name + ", \"mask\")");
  // Any nonzero value is true, whether the mask was saved as 1-bit, 8-bit or colour.
  const Picture& pixels = decoded.pixels;
  Picture mask = Picture::Grey8(pixels.Width(), pixels.Height(), /*zeroed=*/true);
  for (int y = 0; y < pixels.Height(); ++y) {
    for (int x = 0; x < pixels.Width(); ++x) {
      for (int c = 0; c < pixels.Channels(); ++c) {
        if (pixels.Sample(x, y, c) != 0) mask.Row(y)[x] = 1;
      }
    }
  }
  return mask;
}

LabelMeShape ReadShape(const Json& entry, std::size_t index, const std::filesystem::path& file,
                       std::vector<SkippedShape>& skipped) {
  if (!entry.is_object()) {
    throw WorkError(file, "shape " + std::to_string(index) + " is not a JSON object");
  }
  LabelMeShape shape;
  shape.index = index;
  // The oldest files have polygons only and no "shape_type".
  shape.type = OptionalString(entry, "shape_type", "shape " + std::to_string(index) + ": ", file);
  if (shape.type.empty()) shape.type = "polygon";
  const std::string name = ShapeName(index, shape.type);
  const PointRule* rule = RuleFor(shape.type);
  if (!rule) {
    skipped.push_back({index, shape.type});
    return shape;
  }
  if (!entry.contains("label") || !entry["label"].is_string() ||
      entry["label"].get<std::string>().empty()) {
    throw WorkError(file, name + " has no label name");
  }
  // A name with control characters is kept as written: it names the label in the model, and
  // every message shows it escaped.
  shape.label = entry["label"].get<std::string>();
  if (!entry.contains("points") || !entry["points"].is_array()) {
    throw WorkError(file, name + " has no \"points\" array");
  }
  for (const Json& point : entry["points"]) {
    if (!point.is_array() || point.size() != 2 || !point[0].is_number() || !point[1].is_number()) {
      throw WorkError(file,
                      name + " has a point that is not a pair of numbers: " + JsonExcerpt(point));
    }
    const Point2D value{point[0].get<double>(), point[1].get<double>()};
    if (!(std::abs(value.X) <= kMaxCoordinate && std::abs(value.Y) <= kMaxCoordinate)) {
      throw WorkError(file,
                      name + " has the point " + JsonExcerpt(point) + ", far outside any image");
    }
    shape.points.push_back(value);
  }
  const int count = static_cast<int>(shape.points.size());
  if (count < rule->min || (rule->max >= 0 && count > rule->max)) {
    const std::string expected = rule->max == rule->min ? std::to_string(rule->min)
                                                        : "at least " + std::to_string(rule->min);
    throw WorkError(file, name + " needs " + expected + " point" + (rule->min == 1 ? "" : "s") +
                              ", found " + std::to_string(count));
  }
  if (shape.type == "mask") shape.mask = ReadShapeMask(entry, name, file);
  return shape;
}

}  // namespace

LabelMeAnnotation ReadLabelMe(const std::filesystem::path& file) {
  const Json document = ParseJsonDocument(ReadWholeFile(file), file);
  if (!document.is_object()) throw WorkError(file, "expected a JSON object at the top level");
  LabelMeAnnotation annotation;
  annotation.file = file;
  const std::string imageData = OptionalString(document, "imageData", "", file);
  if (!imageData.empty()) {
    annotation.imageData = DecodeBase64Field(imageData, "\"imageData\"", file);
  }
  const std::string imagePath = OptionalString(document, "imagePath", "", file);
  if (!imagePath.empty()) annotation.imagePath = ResolveImagePath(imagePath, file);
  if (annotation.imageData.empty() && annotation.imagePath.empty()) {
    throw WorkError(file, "no image: \"imageData\" is empty and no \"imagePath\" names the image");
  }
  annotation.imageWidth = ReadSize(document, "imageWidth", file);
  annotation.imageHeight = ReadSize(document, "imageHeight", file);
  if (!document.contains("shapes") || !document["shapes"].is_array()) {
    throw WorkError(file, "no \"shapes\" array");
  }
  const Json& shapes = document["shapes"];
  for (std::size_t index = 0; index < shapes.size(); ++index) {
    LabelMeShape shape = ReadShape(shapes[index], index, file, annotation.skipped);
    if (!shape.label.empty()) annotation.shapes.push_back(std::move(shape));
  }
  return annotation;
}

std::string DescribeShape(const LabelMeShape& shape) {
  return "shape " + std::to_string(shape.index) + " (type " + Quoted(shape.type) + ", label " +
         Quoted(shape.label) + ")";
}

std::string SkippedShapesWarning(const LabelMeAnnotation& annotation) {
  if (annotation.skipped.empty()) return "";
  std::string list;
  for (const SkippedShape& shape : annotation.skipped) {
    list += (list.empty() ? "" : ", ") + ShapeName(shape.index, shape.type);
  }
  return annotation.file.string() + ": skipped " + list +
         ": only polygon, rectangle, circle, line, linestrip, point and mask shapes are trained";
}

void CheckAgainstImage(const LabelMeAnnotation& annotation, int width, int height,
                       const std::string& imageName) {
  if ((annotation.imageWidth && *annotation.imageWidth != width) ||
      (annotation.imageHeight && *annotation.imageHeight != height)) {
    throw WorkError(annotation.file, "the annotation is for a " +
                                         Size(annotation.imageWidth.value_or(width),
                                              annotation.imageHeight.value_or(height)) +
                                         " image, but " + imageName + " is " + Size(width, height));
  }
}

void CheckAgainstImage(const LabelMeAnnotation& annotation, int width, int height) {
  CheckAgainstImage(annotation, width, height, annotation.imagePath.string());
}

nlohmann::json MakeLabelMeDocument(const std::string& imagePath, int width, int height,
                                   const std::vector<LabelMeShape>& shapes) {
  Json shapeList = Json::array();
  for (const LabelMeShape& shape : shapes) {
    if (shape.type == "mask") continue;
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
