// LabelMe annotation files: an image and the labelled shapes drawn on it.
//
// LabelMe measures from the top-left corner of the image, so the pixel (x, y) covers
// [x, x + 1) x [y, y + 1) there; the framework puts pixel centres on whole numbers. Points are
// moved by -0.5 on the way in and by +0.5 on the way out.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/Vect2.h"

namespace Smartseg {

struct LabelMeShape {
  std::string label;
  std::string type;
  // In LabelMe's coordinates.
  std::vector<Tamrix::Vision::Point2D> points;
};

struct LabelMeAnnotation {
  std::filesystem::path file;
  // Resolved against the folder of `file`.
  std::filesystem::path imagePath;
  std::optional<int> imageWidth;
  std::optional<int> imageHeight;
  std::vector<LabelMeShape> shapes;
};

// Parses the annotation file `file`. Throws WorkError naming the file for unreadable or invalid
// JSON, a missing or mistyped field, and a shape whose type cannot be used for training or whose
// points do not fit its type; messages name the shape by its index in "shapes" and its type.
LabelMeAnnotation ReadLabelMe(const std::filesystem::path& file);

// Throws WorkError naming the annotation file when its recorded size disagrees with the image's
// or one of its points lies outside the width x height image.
void CheckAgainstImage(const LabelMeAnnotation& annotation, int width, int height);

// The framework shapes of one LabelMe shape: polygon -> Polygon, rectangle -> axis-aligned
// RectangleAffine, circle (centre, point on the circle) -> Ellipse, line -> LineSegment,
// linestrip -> one LineSegment per pair of consecutive points.
std::vector<std::shared_ptr<Tamrix::Vision::IShape>> ToFrameworkShapes(const LabelMeShape& shape);

// A LabelMe document for `imagePath` (as written into the file) of the given size.
nlohmann::json MakeLabelMeDocument(const std::string& imagePath, int width, int height,
                                   const std::vector<LabelMeShape>& shapes);

}  // namespace Smartseg
