// LabelMe annotation files: an image and the labelled shapes drawn on it.
//
// LabelMe measures from the top-left corner of the image, so the pixel (x, y) covers
// [x, x + 1) x [y, y + 1) there; the framework puts pixel centres on whole numbers. Points are
// moved by -0.5 on the way in and by +0.5 on the way out.
//
// The files of LabelMe 3.x to 5.x are read: keys this program has no use for (lineColor,
// fillColor, line_color, fill_color, flags, group_id, description, version) are ignored.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "interfaces/core/Vect2.h"
#include "tools/smartseg/Picture.h"

namespace Smartseg {

// The label whose pixels count for no label: neither positive nor negative for any of them.
inline const std::string kIgnoreLabel = "__ignore__";

struct LabelMeShape {
  std::string label;
  // polygon, rectangle, circle, line, linestrip, point or mask.
  std::string type;
  // In LabelMe's coordinates.
  std::vector<Tamrix::Vision::Point2D> points;
  // The shape's position in the file's "shapes" array, for messages.
  std::size_t index = 0;
  // For type "mask": 8-bit grey, 1 where the mask is true, 0 elsewhere; its top-left pixel lies at
  // the top-left corner of the box that `points` span.
  Picture mask{};
};

// A shape of a type that cannot be trained (such as "cuboid" or "ai_polygon"), skipped.
struct SkippedShape {
  std::size_t index = 0;
  std::string type;
};

struct LabelMeAnnotation {
  std::filesystem::path file;
  // "imagePath" resolved against the folder of `file`, with '\' read as a separator; empty when
  // the file names no image.
  std::filesystem::path imagePath;
  // The bytes of the image file embedded as "imageData"; empty when there is none.
  std::string imageData;
  std::optional<int> imageWidth;
  std::optional<int> imageHeight;
  std::vector<LabelMeShape> shapes;
  std::vector<SkippedShape> skipped;
};

// Parses the annotation file `file`. Throws WorkError naming the file for unreadable or invalid
// JSON, a missing or mistyped field, undecodable "imageData" or "mask", and a shape whose points
// do not fit its type; messages name the shape by its
// index in "shapes" and its type and quote at most a short excerpt of a bad value. Shapes of other
// types are listed in `skipped` rather than refused.
LabelMeAnnotation ReadLabelMe(const std::filesystem::path& file);

// "shape 3 (type 'polygon', label 'road')", the label shown safely.
std::string DescribeShape(const LabelMeShape& shape);

// One line for the shapes that ReadLabelMe skipped, or "" when there are none.
std::string SkippedShapesWarning(const LabelMeAnnotation& annotation);

// Throws WorkError naming the annotation file when its recorded size ("imageWidth",
// "imageHeight") disagrees with the width x height of its image, described by `imageName`.
void CheckAgainstImage(const LabelMeAnnotation& annotation, int width, int height,
                       const std::string& imageName);
// As above, naming the image by its path.
void CheckAgainstImage(const LabelMeAnnotation& annotation, int width, int height);

// A LabelMe document for `imagePath` (as written into the file) of the given size. Mask shapes
// are not written.
nlohmann::json MakeLabelMeDocument(const std::string& imagePath, int width, int height,
                                   const std::vector<LabelMeShape>& shapes);

}  // namespace Smartseg
