// Reading LabelMe files into training items: every shape type with the pixels it trains, clipping,
// __ignore__, embedded and referenced images, the keys of LabelMe 3 to 5, and the messages for
// bad files. Golden pixels are worked out by hand in the comments of each case; clipping is also
// checked against the unclipped shapes on random ones.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <random>

#include "interfaces/core/Polygon.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignmentCollection.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/support/MessageOf.h"
#include "tests/tools/support/LabelMeFiles.h"
#include "tests/tools/support/SmartsegRun.h"
#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/LabelMeGeometry.h"
#include "tools/smartseg/ModelFile.h"
#include "tools/smartseg/TrainingSet.h"

namespace SmartsegTest {
namespace {

using Art = std::vector<std::string>;
using Tamrix::Vision::PixelMask;

constexpr int kWidth = 8;
constexpr int kHeight = 6;

// The 8 x 6 picture of every case: each pixel a different grey, so that images compare exactly.
cv::Mat TinyImage() {
  cv::Mat image(kHeight, kWidth, CV_8UC1);
  for (int y = 0; y < kHeight; ++y) {
    for (int x = 0; x < kWidth; ++x) image.at<std::uint8_t>(y, x) = 20 + 4 * (y * kWidth + x);
  }
  return image;
}

// A LabelMe document for a.png beside it.
std::string ForTiny(const std::string& shapes) {
  return Document(shapes, kWidth, kHeight, ImageFile("a.png"));
}

Art ToArt(const PixelMask& mask) {
  Art rows(mask.Height(), std::string(mask.Width(), '.'));
  for (int y = 0; y < mask.Height(); ++y) {
    for (int x = 0; x < mask.Width(); ++x) {
      if (mask.At(x, y)) rows[y][x] = '#';
    }
  }
  return rows;
}

// The pixels each label trains on, over all gathered items: areas by their inside, curves by the
// engine's stroke of 3 pixels.
std::map<std::string, Art> TrainedPixels(const Smartseg::TrainingSet& set) {
  std::map<std::string, PixelMask> masks;
  for (const auto& item : set.Items()) {
    const int width = item->Image()->Width(), height = item->Image()->Height();
    for (const auto& assignment : *item->Assignments()) {
      const auto& shape = *assignment->Shape();
      const PixelMask pixels = shape.Rasterize(width, height, shape.IsArea() ? 0.0 : 3.0);
      auto& mask = masks.try_emplace(assignment->Label()->Name(), width, height).first->second;
      for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
          if (pixels.At(x, y)) mask.Set(x, y);
        }
      }
    }
  }
  std::map<std::string, Art> arts;
  for (const auto& [name, mask] : masks) arts[name] = ToArt(mask);
  return arts;
}

const Art kEmpty(kHeight, std::string(kWidth, '.'));

struct ReadCase {
  const char* name;
  // The text of x.json, written beside a.png (the tiny image).
  std::string json;
  std::map<std::string, Art> trained;
  // Exact warning lines, paths relative to the scratch folder.
  std::vector<std::string> warnings = {};
  // When not empty: the start of the error message, and nothing is trained.
  std::string error = "";
  // More files to write first.
  std::function<void(const Scratch&)> setup = nullptr;
  // The annotation to read, when it is not x.json.
  std::string file = "x.json";
};

class LabelMeReading : public ::testing::TestWithParam<ReadCase> {};

TEST_P(LabelMeReading, TrainsExactlyTheExpectedPixels) {
  const ReadCase& test = GetParam();
  Scratch scratch;
  WritePng(scratch / "a.png", TinyImage());
  WriteText(scratch / "x.json", test.json);
  if (test.setup) test.setup(scratch);
  const std::string prefix = (scratch / "").string();
  const auto relative = [&prefix](std::string text) {
    for (std::size_t at; (at = text.find(prefix)) != std::string::npos;)
      text.erase(at, prefix.size());
    return text;
  };
  std::vector<std::string> warnings;
  const auto model = Smartseg::CreateOperator();
  Smartseg::TrainingSet set(*model,
                            [&](const std::string& line) { warnings.push_back(relative(line)); });
  std::string error;
  try {
    set.AddLabelMe(scratch / test.file);
  } catch (const Smartseg::WorkError& failure) {
    error = relative(failure.what());
  }
  if (test.error.empty()) {
    EXPECT_EQ(error, "");
  } else {
    EXPECT_EQ(error.substr(0, test.error.size()), test.error) << error;
    EXPECT_TRUE(Smartseg::IsPrintableUtf8(error)) << error;
    EXPECT_LE(error.size(), 200u) << error;
  }
  EXPECT_EQ(warnings, test.warnings);
  EXPECT_EQ(TrainedPixels(set), test.trained);
}

// Shape pieces used by several cases.
const std::string kRectangleA = Shape("a", "rectangle", "[[1, 1], [4, 3]]");
const Art kRectangleArt = {"........", ".###....", ".###....", "........", "........", "........"};

const std::vector<ReadCase> kCases = {
    // The corners bound the pixel areas: columns 1..3, rows 1..2.
    {"Rectangle", ForTiny(kRectangleA), {{"a", kRectangleArt}}},
    {"RectangleCornersInAnyOrder",
     ForTiny(Shape("a", "rectangle", "[[4, 1], [1, 3]]")),
     {{"a", kRectangleArt}}},
    // In pixel-centre coordinates the hypotenuse is x + y = 5.2: row y holds x = 0 .. 5 - y.
    {"Polygon",
     ForTiny(Shape("a", "polygon", "[[0, 0], [6.2, 0], [0, 6.2]]")),
     {{"a", {"######..", "#####...", "####....", "###.....", "##......", "#......."}}}},
    // Centre on pixel (3, 2), radius 2.1: the pixels at distance 0, 1, sqrt 2 and 2.
    {"Circle",
     ForTiny(Shape("a", "circle", "[[3.5, 2.5], [5.6, 2.5]]")),
     {{"a", {"...#....", "..###...", ".#####..", "..###...", "...#....", "........"}}}},
    // A disc of radius 2.5 around pixel (2, 2): the 5 x 5 block without its corners.
    {"Point",
     ForTiny(Shape("a", "point", "[[2.5, 2.5]]")),
     {{"a", {".###....", "#####...", "#####...", "#####...", ".###....", "........"}}}},
    // Pixel centres within 1.5 of the segment from pixel (1, 2) to pixel (5, 2), round ends.
    {"Line",
     ForTiny(Shape("a", "line", "[[1.5, 2.5], [5.5, 2.5]]")),
     {{"a", {"........", "#######.", "#######.", "#######.", "........", "........"}}}},
    // From pixel (1, 1) right to (5, 1), then down to (5, 4).
    {"Linestrip",
     ForTiny(Shape("a", "linestrip", "[[1.5, 1.5], [5.5, 1.5], [5.5, 4.5]]")),
     {{"a", {"#######.", "#######.", "#######.", "....###.", "....###.", "....###."}}}},
    // The 3 x 2 mask "#.#" / ".##" with its top-left pixel on pixel (2, 1).
    {"Mask",
     ForTiny(
         Shape("a", "mask", "[[2, 1], [4, 2]]",
               R"(, "mask": ")" + Base64(EncodeImage(MaskFromArt({"#.#", ".##"}), ".png")) + "\"")),
     {{"a", {"........", "..#.#...", "...##...", "........", "........", "........"}}}},
    // Clipping: a 3 x 3 mask from pixel (6, 4) keeps its 2 x 2 inside the image.
    {"MaskPastTheImage",
     ForTiny(Shape("a", "mask", "[[6, 4], [8, 6]]",
                   R"(, "mask": ")" +
                       Base64(EncodeImage(MaskFromArt({"###", "###", "###"}), ".png")) + "\"")),
     {{"a", {"........", "........", "........", "........", "......##", "......##"}}}},
    {"PolygonPastTheImage",
     ForTiny(Shape("a", "polygon", "[[-3, -3], [20, -3], [20, 2], [-3, 2]]")),
     {{"a", {"########", "########", "........", "........", "........", "........"}}}},
    // A 'C' open to the left that leaves the image twice: y in [1, 2) x [-4, 5), [2, 4) x
    // [2, 5) and [4, 5) x [-4, 5).
    {"ConcavePolygonLeavingTheImageTwice",
     ForTiny(Shape("a", "polygon",
                   "[[-4, 1], [5, 1], [5, 5], [-4, 5], [-4, 4], [2, 4], [2, 2], [-4, 2]]")),
     {{"a", {"........", "#####...", "..###...", "..###...", "#####...", "........"}}}},
    // Centre on pixel (0, 0), radius 2.1: the quarter of the Circle case inside the image.
    {"CirclePastTheCorner",
     ForTiny(Shape("a", "circle", "[[0.5, 0.5], [2.6, 0.5]]")),
     {{"a", {"###.....", "##......", "#.......", "........", "........", "........"}}}},
    // A line drawn past both sides keeps the part inside: rows 2..4.
    {"LinePastTheImage",
     ForTiny(Shape("a", "line", "[[-10, 3.5], [30, 3.5]]")),
     {{"a", {"........", "........", "########", "########", "########", "........"}}}},
    // a covers columns 0..5 of rows 0..3, b columns 6..7 of every row; __ignore__ covers
    // columns 3..7 of rows 2..5, which neither label keeps.
    {"IgnoreOverlappingLabels",
     ForTiny(Shape("a", "polygon", "[[0, 0], [6, 0], [6, 4], [0, 4]]") + "," +
             Shape("__ignore__", "rectangle", "[[3, 2], [8, 6]]") + "," +
             Shape("b", "rectangle", "[[6, 0], [8, 6]]")),
     {{"a", {"######..", "######..", "###.....", "###.....", "........", "........"}},
      {"b", {"......##", "......##", "........", "........", "........", "........"}}}},
    {"IgnoreWholeLabel",
     ForTiny(kRectangleA + "," + Shape("__ignore__", "rectangle", "[[0, 0], [8, 6]]") + "," +
             Shape("b", "point", "[[6.5, 4.5]]")),
     {},
     {"x.json: every pixel of label 'a' lies under __ignore__; the label gets nothing from this "
      "file",
      "x.json: every pixel of label 'b' lies under __ignore__; the label gets nothing from this "
      "file",
      "x.json: no labelled shape covers a pixel of the image; the file adds nothing"}},
    {"BackgroundIsAnOrdinaryLabel",
     ForTiny(Shape("_background_", "rectangle", "[[0, 0], [8, 1]]") + "," + kRectangleA),
     {{"_background_", {"########", "........", "........", "........", "........", "........"}},
      {"a", kRectangleArt}}},
    {"UnknownShapeTypesAreSkippedInOneLine",
     ForTiny(Shape("a", "cuboid", "[[1, 1], [2, 2], [3, 3]]") + "," + kRectangleA + "," +
             Shape("b", "ai_polygon", "[]")),
     {{"a", kRectangleArt}},
     {"x.json: skipped shape 0 (type 'cuboid'), shape 2 (type 'ai_polygon'): only polygon, "
      "rectangle, circle, line, linestrip, point and mask shapes are trained"}},
    {"ShapesCoveringNoPixel",
     ForTiny(kRectangleA + "," + Shape("a", "polygon", "[[0, 0], [2, 2], [5, 5]]") + "," +
             Shape("a", "rectangle", "[[1.6, 1], [2.4, 3]]") + "," +
             Shape("a", "rectangle", "[[3, 3], [3, 5]]") + "," +
             Shape("a", "circle", "[[3, 3], [3, 3]]") + "," +
             Shape("a", "polygon", "[[20, 20], [30, 20], [30, 30]]")),
     {{"a", kRectangleArt}},
     {"x.json: shape 1 (type 'polygon', label 'a') covers no pixel of the 8 x 6 image; skipped",
      "x.json: shape 2 (type 'rectangle', label 'a') covers no pixel of the 8 x 6 image; skipped",
      "x.json: shape 3 (type 'rectangle', label 'a') covers no pixel of the 8 x 6 image; skipped",
      "x.json: shape 4 (type 'circle', label 'a') covers no pixel of the 8 x 6 image; skipped",
      "x.json: shape 5 (type 'polygon', label 'a') covers no pixel of the 8 x 6 image; "
      "skipped"}},
    // Images: embedded, referenced from elsewhere, and both.
    {"EmbeddedPngWithImagePathNamingTheAnnotation",
     Document(kRectangleA, kWidth, kHeight, Embedded(EncodeImage(TinyImage(), ".png"), "x.json")),
     {{"a", kRectangleArt}}},
    {"EmbeddedJpeg",
     Document(kRectangleA, kWidth, kHeight, Embedded(EncodeImage(TinyImage(), ".jpg"), "y.json")),
     {{"a", kRectangleArt}}},
    {"WindowsStyleImagePath",
     Document(kRectangleA, kWidth, kHeight, ImageFile(R"(..\\pictures\\b.png)")),
     {{"a", kRectangleArt}},
     {},
     "",
     [](const Scratch& scratch) {
       std::filesystem::create_directories(scratch / "pictures");
       std::filesystem::create_directories(scratch / "notes");
       WritePng(scratch / "pictures/b.png", TinyImage());
       std::filesystem::rename(scratch / "x.json", scratch / "notes/x.json");
     },
     "notes/x.json"},
    {"EmbeddedImageWinsOverAFileOfAnotherSize",
     Document(kRectangleA, kWidth, kHeight,
              Embedded(EncodeImage(TinyImage(), ".png"), "small.png")),
     {{"a", kRectangleArt}},
     {"x.json: the embedded image (\"imageData\") is 8 x 6, but small.png (\"imagePath\") is 3 x "
      "2; "
      "the shapes are read on the embedded image"},
     "",
     [](const Scratch& scratch) {
       WritePng(scratch / "small.png", cv::Mat(2, 3, CV_8UC1, cv::Scalar(9)));
     }},
    // The image is read while the shapes are drawn; its warning still comes first.
    {"ImageWarningBeforeShapeWarnings",
     Document(kRectangleA + "," + Shape("a", "polygon", "[[20, 20], [30, 20], [30, 30]]"), kWidth,
              kHeight, Embedded(EncodeImage(TinyImage(), ".png"), "small.png")),
     {{"a", kRectangleArt}},
     {"x.json: the embedded image (\"imageData\") is 8 x 6, but small.png (\"imagePath\") is 3 x "
      "2; the shapes are read on the embedded image",
      "x.json: shape 1 (type 'polygon', label 'a') covers no pixel of the 8 x 6 image; skipped"},
     "",
     [](const Scratch& scratch) {
       WritePng(scratch / "small.png", cv::Mat(2, 3, CV_8UC1, cv::Scalar(9)));
     }},
    {"EmptyImageDataFallsBackToImagePath",
     Document(kRectangleA, kWidth, kHeight, R"("imagePath": "a.png", "imageData": "")"),
     {{"a", kRectangleArt}}},
    // The keys of each LabelMe generation: 3.x colours and no shape_type (polygons only), 4.x
    // shape_type and flags, 5.x description, mask and group_id.
    {"LabelMe3File",
     R"({"flags": {}, "shapes": [{"label": "a", "line_color": null, "fill_color": null,
         "points": [[0, 0], [6.2, 0], [0, 6.2]]}], "lineColor": [0, 255, 0, 128],
         "fillColor": [255, 0, 0, 128], "imagePath": "a.png", "imageData": ")" +
         Base64(EncodeImage(TinyImage(), ".png")) + R"(", "imageHeight": 6, "imageWidth": 8})",
     {{"a", {"######..", "#####...", "####....", "###.....", "##......", "#......."}}}},
    {"LabelMe4File",
     R"({"version": "4.0.0", "flags": {"checked": true}, "shapes": [{"label": "a",
         "line_color": null, "fill_color": null, "points": [[1, 1], [4, 3]],
         "group_id": null, "shape_type": "rectangle", "flags": {}}], "lineColor": [0, 255, 0, 128],
         "fillColor": [255, 0, 0, 128], "imagePath": "x.json", "imageData": ")" +
         Base64(EncodeImage(TinyImage(), ".jpg")) + R"(", "imageHeight": 6, "imageWidth": 8})",
     {{"a", kRectangleArt}}},
    {"LabelMe5File",
     R"({"version": "5.7.0", "flags": {}, "shapes": [{"label": "a", "points": [[1, 1], [4, 3]],
         "group_id": 3, "description": "first", "shape_type": "rectangle", "flags": {"x": false},
         "mask": null}, {"label": "b", "points": [[6.5, 3.5]], "group_id": null,
         "description": null, "shape_type": "point", "flags": {}, "mask": null}],
         "imagePath": "a.png", "imageData": null, "imageHeight": 6, "imageWidth": 8})",
     {{"a", kRectangleArt},
      // Disc of radius 2.5 around pixel (6, 3), cut by the right border.
      {"b", {"........", ".....###", "....####", "....####", "....####", ".....###"}}}},
    // Bad files: one line naming the file, nothing trained.
    {"NumberTooLarge",
     ForTiny(Shape("a", "polygon", "[[1e400, 2], [3, 4], [5, 1]]")),
     {},
     {},
     "x.json: invalid JSON: number overflow parsing '1e400' (a number is too large)"},
    {"DeepNesting",
     ForTiny(Shape("a", "polygon", std::string(100000, '['))),
     {},
     {},
     "x.json: invalid JSON: arrays and objects are nested more than 64 levels deep"},
    {"NestedPointQuotedShort",
     ForTiny(Shape("a", "polygon", "[" + std::string(40, '[') + std::string(40, ']') + "]")),
     {},
     {},
     "x.json: shape 0 (type 'polygon') has a point that is not a pair of numbers: [[[[[[[[[["},
    {"FarCoordinate",
     ForTiny(Shape("a", "polygon", "[[1e12, 2], [3, 4], [5, 1]]")),
     {},
     {},
     "x.json: shape 0 (type 'polygon') has the point [1000000000000.0, 2], far outside any image"},
    // Label names are kept as written; messages show them escaped.
    {"ControlCharactersInLabels",
     ForTiny(Shape(R"(a\nb)", "rectangle", "[[1, 1], [4, 3]]") + "," +
             Shape(R"(\u001b[2Jx)", "rectangle", "[[1, 1], [1, 3]]") + "," +
             Shape("rtl\u202e", "point", "[[30, 30]]")),
     {{"a\nb", kRectangleArt}},
     {R"(x.json: shape 1 (type 'rectangle', label '\x1b[2Jx') covers no pixel of the 8 x 6 )"
      "image; skipped",
      R"(x.json: shape 2 (type 'point', label 'rtl\u202e') covers no pixel of the 8 x 6 image; )"
      "skipped"}},
    {"InvalidUtf8InJson",
     ForTiny(Shape("a\xff\x1b", "rectangle", "[[1, 1], [4, 3]]")),
     {},
     {},
     "x.json: invalid JSON: parse error at line 1, column "},
    {"MissingImageNamesTheAnnotation",
     Document(kRectangleA, 8, 6, ImageFile("gone/nothere.png")),
     {},
     {},
     "x.json: cannot read its image (\"imagePath\"): gone/nothere.png: "},
    // A missing image is the error, whatever the shapes drawn meanwhile had to say.
    {"MissingImageBeforeShapeWarnings",
     Document(kRectangleA + "," + Shape("a", "polygon", "[[20, 20], [30, 20], [30, 30]]"), 8, 6,
              ImageFile("gone/nothere.png")),
     {},
     {},
     "x.json: cannot read its image (\"imagePath\"): gone/nothere.png: "},
    // The recorded size decides where the shapes are drawn; an image of another size is refused.
    {"ImageOfAnotherSizeThanRecorded",
     Document(kRectangleA, 9, 6, ImageFile("a.png")),
     {},
     {},
     "x.json: the annotation is for a 9 x 6 image, but a.png is 8 x 6"},
    {"WindowsStyleMissingImage",
     Document(kRectangleA, 8, 6, ImageFile(R"(..\\gone\\b.png)")),
     {},
     {},
     "x.json: cannot read its image (\"imagePath\"): ../gone/b.png: "},
    {"UndecodableImageFile",
     Document(kRectangleA, 8, 6, ImageFile("junk.png")),
     {},
     {},
     "x.json: cannot read its image (\"imagePath\"): junk.png: cannot decode the image",
     [](const Scratch& scratch) { WriteText(scratch / "junk.png", "not a picture"); }},
    {"NoImageAtAll",
     Document(kRectangleA, 8, 6, R"("imagePath": null, "imageData": null)"),
     {},
     {},
     "x.json: no image: \"imageData\" is empty and no \"imagePath\" names the image"},
    {"ImageDataNotBase64",
     Document(kRectangleA, 8, 6, R"("imagePath": "a.png", "imageData": "iVB%")"),
     {},
     {},
     "x.json: \"imageData\" is not valid base64: '%', which is not a base64 letter at offset 3"},
    {"ImageDataNotAnImage",
     Document(kRectangleA, 8, 6, Embedded("not a picture", "x.json")),
     {},
     {},
     "x.json (\"imageData\"): cannot decode the image"},
    {"EmbeddedImageOfAnotherSize",
     Document(kRectangleA, 9, 6, Embedded(EncodeImage(TinyImage(), ".png"), "x.json")),
     {},
     {},
     "x.json: the annotation is for a 9 x 6 image, but the embedded image (\"imageData\") is 8 x "
     "6"},
    {"MaskWithoutImage",
     ForTiny(Shape("a", "mask", "[[1, 1], [3, 3]]")),
     {},
     {},
     "x.json: shape 0 (type 'mask') has no \"mask\" image"},
    {"MaskNotBase64",
     ForTiny(Shape("a", "mask", "[[1, 1], [3, 3]]", R"(, "mask": "A")")),
     {},
     {},
     "x.json: shape 0 (type 'mask'): \"mask\" is not valid base64: an incomplete group of 1 "},
    {"PointWithTwoPoints",
     ForTiny(Shape("a", "point", "[[1, 1], [3, 3]]")),
     {},
     {},
     "x.json: shape 0 (type 'point') needs 1 point, found 2"},
    {"LabelNotAString",
     ForTiny(R"({"label": 7, "points": [[1, 1], [2, 2]], "shape_type": "line"})"),
     {},
     {},
     "x.json: shape 0 (type 'line') has no label name"},
};

INSTANTIATE_TEST_SUITE_P(Cases, LabelMeReading, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

// A training set read from files in a scratch folder that holds the tiny image as a.png; it
// collects the warnings.
class LabelMeSet : public ::testing::Test {
 protected:
  void SetUp() override { WritePng(scratch / "a.png", TinyImage()); }
  Scratch scratch;
  std::vector<std::string> warnings;
  const decltype(Smartseg::CreateOperator()) model = Smartseg::CreateOperator();
  Smartseg::TrainingSet set{*model, [this](const std::string& line) { warnings.push_back(line); }};
};

TEST_F(LabelMeSet, TheSameImageWithTheSamePixelsIsReadOnce) {
  WritePng(scratch / "copy.png", TinyImage());
  cv::Mat other = TinyImage();
  other.at<std::uint8_t>(5, 7) ^= 1;
  WritePng(scratch / "other.png", other);
  // x.json again under two names, once with the same pixels spelled as a polygon and an embedded
  // copy of the image; then the same shapes on a different image, and different shapes.
  WriteText(scratch / "x.json", ForTiny(kRectangleA));
  WriteText(scratch / "same.json",
            Document(Shape("a", "polygon", "[[1, 1], [4, 1], [4, 3], [1, 3]]"), 8, 6,
                     Embedded(EncodeImage(TinyImage(), ".png"), "same.json")));
  WriteText(scratch / "other.json", Document(kRectangleA, 8, 6, ImageFile("other.png")));
  WriteText(scratch / "more.json", ForTiny(kRectangleA + "," + Shape("b", "point", "[[6, 4]]")));
  for (const char* name : {"x.json", "x.json", "same.json", "other.json", "more.json"}) {
    set.AddLabelMe(scratch / name);
  }
  const std::string x = (scratch / "x.json").string();
  EXPECT_EQ(
      warnings,
      (std::vector<std::string>{
          x + ": the same image with the same labelled pixels is already in " + x + "; skipped",
          (scratch / "same.json").string() +
              ": the same image with the same labelled pixels is already in " + x + "; skipped"}));
  EXPECT_EQ(set.ItemCount(), 3);
}

TEST_F(LabelMeSet, ALabelWithoutATrainingPixelFailsAndChangesNothing) {
  // b is named twice, but one shape is collinear and the other lies under __ignore__.
  WriteText(scratch / "x.json",
            ForTiny(kRectangleA + "," + Shape("b", "polygon", "[[0, 0], [2, 2], [5, 5]]")));
  WriteText(scratch / "y.json",
            ForTiny(Shape("b", "rectangle", "[[5, 0], [8, 2]]") + "," +
                    Shape("__ignore__", "rectangle", "[[4, 0], [8, 3]]") + "," + kRectangleA));
  set.AddLabelMe(scratch / "x.json");
  set.AddLabelMe(scratch / "y.json");
  EXPECT_EQ(Tamrix::Testing::MessageOf<Smartseg::WorkError>([&] { set.MoveInto(*model); }),
            (scratch / "x.json").string() +
                ": label 'b' has no training pixel: each of its shapes covers no pixel of its "
                "image or lies under __ignore__; fix those shapes or remove the label");
  EXPECT_EQ(model->Labels()->Count(), 0);
  EXPECT_EQ(model->SmartTrainDataDatabase()->TrainingData()->Count(), 0);
}

TEST_F(LabelMeSet, ShapesAwayFromIgnoredPixelsAreKeptAsDrawn) {
  WriteText(scratch / "x.json",
            ForTiny(Shape("a", "polygon", "[[0, 0], [6.2, 0], [0, 6.2]]") + "," +
                    Shape("__ignore__", "rectangle", "[[6, 4], [8, 6]]")));
  set.AddLabelMe(scratch / "x.json");
  ASSERT_EQ(set.ItemCount(), 1);
  const auto assignments = set.Items()[0]->Assignments();
  ASSERT_EQ(assignments->Count(), 1);
  EXPECT_NE(std::dynamic_pointer_cast<Tamrix::Vision::Polygon>(assignments->Item(0)->Shape()),
            nullptr);
  EXPECT_EQ(assignments->Item(0)->Label()->Name(), "a");
}

TEST_F(LabelMeSet, AMaskValueNamedIgnoreBelongsToNoLabel) {
  cv::Mat mask(kHeight, kWidth, CV_8UC1, cv::Scalar(0));
  mask(cv::Rect(0, 0, kWidth, 2)).setTo(1);
  mask(cv::Rect(2, 2, 4, 2)).setTo(2);
  WritePng(scratch / "mask.png", mask);
  set.AddMask(scratch / "a.png", scratch / "mask.png", {"a", "__ignore__"});
  EXPECT_EQ(TrainedPixels(set),
            (std::map<std::string, Art>{
                {"a", {"########", "########", "........", "........", "........", "........"}}}));
  EXPECT_EQ(warnings, std::vector<std::string>{});
}

TEST_F(LabelMeSet, EmbeddedJpegIsDecodedAsTheImage) {
  // A smooth picture survives JPEG nearly unchanged.
  cv::Mat smooth(24, 32, CV_8UC3);
  for (int y = 0; y < smooth.rows; ++y) {
    for (int x = 0; x < smooth.cols; ++x) smooth.at<cv::Vec3b>(y, x) = cv::Vec3b(40, 4 * x, 6 * y);
  }
  WriteText(scratch / "x.json",
            Document(kRectangleA, 32, 24, Embedded(EncodeImage(smooth, ".jpg"), "x.json")));
  set.AddLabelMe(scratch / "x.json");
  ASSERT_EQ(set.ItemCount(), 1);
  const auto image = set.Items()[0]->Image();
  ASSERT_EQ(image->Width(), 32);
  ASSERT_EQ(image->Height(), 24);
  ASSERT_EQ(image->ChannelCount(), 3);
  // Channel 0 is red: OpenCV's third.
  for (const auto& [x, y] : {std::pair{3, 3}, {16, 12}, {28, 20}}) {
    EXPECT_NEAR(image->Value(x, y, 0), 6 * y, 8) << x << ", " << y;
    EXPECT_NEAR(image->Value(x, y, 1), 4 * x, 8) << x << ", " << y;
    EXPECT_NEAR(image->Value(x, y, 2), 40, 8) << x << ", " << y;
  }
  EXPECT_EQ(warnings, std::vector<std::string>{});
}

// Clipping shapes to their image changes no pixel that they cover inside it.
using Smartseg::CoveredPixels;
using Smartseg::LabelMeShape;
using Smartseg::ToFrameworkShapes;
using Tamrix::Vision::Point2D;

constexpr int kClipWidth = 13;
constexpr int kClipHeight = 9;

// Random shapes of each type whose points lie in a box three times the image's size around it,
// so that most cross a border, many several times.
LabelMeShape RandomShape(std::mt19937& random, const std::string& type, int points) {
  std::uniform_real_distribution<double> x(-kClipWidth, 2.0 * kClipWidth),
      y(-kClipHeight, 2.0 * kClipHeight);
  LabelMeShape shape{"a", type, {}};
  for (int i = 0; i < points; ++i) shape.points.push_back(Point2D{x(random), y(random)});
  return shape;
}

TEST(LabelMeGeometry, ClippingKeepsThePixelsInsideTheImage) {
  std::mt19937 random(11);
  const std::pair<const char*, int> kinds[] = {
      {"polygon", 3}, {"polygon", 5}, {"polygon", 9}, {"rectangle", 2}, {"circle", 2}, {"point", 1},
  };
  int crossing = 0;
  for (const auto& [type, count] : kinds) {
    for (int trial = 0; trial < 300; ++trial) {
      const LabelMeShape shape = RandomShape(random, type, count);
      const auto whole = ToFrameworkShapes(shape);
      const auto clipped = ToFrameworkShapes(shape, kClipWidth, kClipHeight);
      const auto expected = CoveredPixels(whole, kClipWidth, kClipHeight);
      ASSERT_EQ(CoveredPixels(clipped, kClipWidth, kClipHeight).Data(), expected.Data())
          << type << " trial " << trial;
      if (std::string(type) == "polygon" && expected.Count() > 0) ++crossing;
      // Nothing clipped reaches past the image by more than a curve's stroke.
      for (const auto& part : clipped) {
        const auto box = part->Bounds();
        if (std::string(type) == "circle" || std::string(type) == "point") continue;
        EXPECT_GE(box.X0, -0.5 - 1e-9);
        EXPECT_LE(box.X1, kClipWidth - 0.5 + 1e-9);
        EXPECT_GE(box.Y0, -0.5 - 1e-9);
        EXPECT_LE(box.Y1, kClipHeight - 0.5 + 1e-9);
      }
    }
  }
  // The random polygons did reach into the image, so the comparison above meant something.
  EXPECT_GT(crossing, 300);
}

// One scratch mask serves a whole file: every shape's count is its own pixels, overlaps with
// earlier shapes included, the target ends as the union, and the scratch ends clear.
TEST(LabelMeGeometry, CoveredPixelsAreCountedPerShapeWithOneScratch) {
  std::mt19937 random(13);
  const std::pair<const char*, int> kinds[] = {
      {"polygon", 4}, {"rectangle", 2}, {"circle", 2}, {"line", 2}, {"linestrip", 4}, {"point", 1},
  };
  Tamrix::Vision::PixelMask target(kClipWidth, kClipHeight);
  Tamrix::Vision::PixelMask scratch(kClipWidth, kClipHeight);
  Tamrix::Vision::PixelMask expected(kClipWidth, kClipHeight);
  long long overlapping = 0;
  for (int trial = 0; trial < 200; ++trial) {
    const auto& [type, count] = kinds[trial % 6];
    for (const auto& part : ToFrameworkShapes(RandomShape(random, type, count))) {
      const auto own = part->Rasterize(kClipWidth, kClipHeight,
                                       part->IsArea() ? 0.0 : Smartseg::kCurveStrokeWidth);
      long long shared = 0;
      for (std::size_t i = 0; i < own.Data().size(); ++i) {
        shared += own.Data()[i] & expected.Data()[i];
        expected.Data()[i] |= own.Data()[i];
      }
      overlapping += shared;
      ASSERT_EQ(Smartseg::AddCoveredPixels(target, *part, scratch), own.Count())
          << type << " trial " << trial;
      ASSERT_EQ(scratch.Count(), 0) << type << " trial " << trial;
    }
  }
  EXPECT_EQ(target.Data(), expected.Data());
  EXPECT_GT(overlapping, 0);
}

// A curve's stroke reaches 1.5 pixels past the curve, so cutting a curve at the border can only
// lose pixels of the outermost ring that the stroke of its outside part touched.
TEST(LabelMeGeometry, ClippingCurvesLosesAtMostOuterRingPixels) {
  std::mt19937 random(12);
  for (int trial = 0; trial < 500; ++trial) {
    const LabelMeShape shape = RandomShape(random, "linestrip", 2 + trial % 5);
    const auto whole = CoveredPixels(ToFrameworkShapes(shape), kClipWidth, kClipHeight);
    const auto clipped =
        CoveredPixels(ToFrameworkShapes(shape, kClipWidth, kClipHeight), kClipWidth, kClipHeight);
    for (int y = 0; y < kClipHeight; ++y) {
      for (int x = 0; x < kClipWidth; ++x) {
        if (clipped.At(x, y)) {
          EXPECT_TRUE(whole.At(x, y)) << "trial " << trial << " at " << x << ", " << y;
        } else if (whole.At(x, y)) {
          EXPECT_TRUE(x == 0 || y == 0 || x == kClipWidth - 1 || y == kClipHeight - 1)
              << "trial " << trial << " at " << x << ", " << y;
        }
      }
    }
  }
}

}  // namespace
}  // namespace SmartsegTest
