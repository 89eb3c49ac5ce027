// Training from LabelMe files as LabelMe writes them, end to end through the program: folders of
// annotations, embedded images, __ignore__, annotations read twice, and photographs segmented.
#include <gtest/gtest.h>

#include <random>

#include "tests/tools/support/LabelMeFiles.h"
#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

// The two-tone picture (24 x 24, dark left half) with shapes of `labels` in order.
std::string TwoToneWith(const std::string& imagePath, const std::string& shapes) {
  return Document(shapes, 24, 24, ImageFile(imagePath));
}

const std::string kDark = Shape("dark", "rectangle", "[[1, 2], [9, 20]]");
const std::string kBright = Shape("bright", "polygon", "[[15, 3], [22, 4], [21, 21], [16, 20]]");

TEST(SmartsegLabelMeTrain, AFolderMeansEveryJsonFileInItInNameOrder) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  std::filesystem::create_directories(scratch / "ann/sub");
  // b.json names bright first; a.json, read first, fixes the order dark, bright.
  WriteText(scratch / "ann/b.json",
            TwoToneWith("../a.png", Shape("bright", "point", "[[18, 12]]") + "," +
                                        Shape("dark", "line", "[[3, 3], [3, 20]]")));
  WriteText(scratch / "ann/a.json", TwoToneWith("../a.png", kDark + "," + kBright));
  WriteText(scratch / "ann/c.JSON",
            TwoToneWith("../a.png", Shape("dark", "circle", "[[5, 12], [7, 12]]")));
  WriteText(scratch / "ann/notes.txt", "not an annotation");
  WriteText(scratch / "ann/sub/d.json", "not read: subfolders are not searched");
  const RunResult train = scratch.Run("train --model m.model --quiet ann");
  ASSERT_EQ(train.exitCode, 0) << train.err;
  EXPECT_EQ(train.err, "");
  EXPECT_EQ(train.out,
            "Trained 2 label(s) (dark, bright) on 3 item(s), 3 new; model written to m.model\n");
  // A folder and a file together, the file first.
  const RunResult mixed = scratch.Run("train --model n.model --quiet ann/b.json ann");
  ASSERT_EQ(mixed.exitCode, 0) << mixed.err;
  EXPECT_NE(mixed.out.find("(bright, dark) on 3 item(s)"), std::string::npos) << mixed.out;
  EXPECT_EQ(mixed.err,
            "smartseg: warning: ann/b.json: the same image with the same labelled pixels is "
            "already in ann/b.json; skipped\n");
}

TEST(SmartsegLabelMeTrain, IgnoreIsNoLabelAndTheSameAnnotationIsAddedOnce) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  WriteText(scratch / "a.json",
            TwoToneWith("a.png", kDark + "," + kBright + "," +
                                     Shape("__ignore__", "rectangle", "[[6, 0], [18, 24]]")));
  const RunResult first = scratch.Run("train --model m.model --quiet a.json");
  ASSERT_EQ(first.exitCode, 0) << first.err;
  EXPECT_EQ(first.err, "");
  const RunResult again = scratch.Run("train --model m.model --quiet a.json");
  ASSERT_EQ(again.exitCode, 0) << again.err;
  EXPECT_EQ(again.err,
            "smartseg: warning: a.json: the same image with the same labelled pixels is already "
            "in the model; skipped\n");
  EXPECT_NE(again.out.find("on 1 item(s), 0 new"), std::string::npos) << again.out;
  const RunResult info = scratch.Run("info m.model");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("Labels (2): 1=dark, 2=bright\n"), std::string::npos) << info.out;
  EXPECT_EQ(info.out.find("__ignore__"), std::string::npos) << info.out;
}

// The messages themselves are checked in process and in the error table; here, that warnings come
// before the error that stops the run.
TEST(SmartsegLabelMeTrain, ALabelWithoutPixelsIsWarnedAboutThenFailsWithNoModel) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  WriteText(
      scratch / "x.json",
      TwoToneWith("a.png", kDark + "," + Shape("ghost", "polygon", "[[1, 1], [2, 2], [3, 3]]")));
  const RunResult train = scratch.Run("train --model m.model --quiet x.json");
  EXPECT_EQ(train.exitCode, 1);
  EXPECT_EQ(train.err,
            "smartseg: warning: x.json: shape 1 (type 'polygon', label 'ghost') covers no pixel of "
            "the 24 x 24 image; skipped\n"
            "smartseg: error: x.json: label 'ghost' has no training pixel: each of its shapes "
            "covers no pixel of its image or lies under __ignore__; fix those shapes or remove the "
            "label\n");
  EXPECT_FALSE(std::filesystem::exists(scratch / "m.model"));
}

// Photograph-like scenes: a sky that brightens towards the horizon, textured grass below it and
// a leafy tree standing on the horizon, with sensor noise. `truth` gets 1 sky, 2 tree, 3 grass.
struct Scene {
  int horizon;
  cv::Point tree;
  int radius;
  unsigned seed;
};

constexpr int kPhotoWidth = 96;
constexpr int kPhotoHeight = 72;

cv::Mat Photograph(const Scene& scene, cv::Mat* truth = nullptr) {
  std::mt19937 random(scene.seed);
  std::normal_distribution<double> noise(0.0, 6.0);
  std::uniform_int_distribution<int> leaf(-35, 35);
  cv::Mat image(kPhotoHeight, kPhotoWidth, CV_8UC3);
  if (truth) truth->create(kPhotoHeight, kPhotoWidth, CV_8UC1);
  const auto clamp = [](double value) { return cv::saturate_cast<std::uint8_t>(value); };
  for (int y = 0; y < kPhotoHeight; ++y) {
    for (int x = 0; x < kPhotoWidth; ++x) {
      const int dx = x - scene.tree.x, dy = y - scene.tree.y;
      const bool tree = dx * dx + dy * dy <= scene.radius * scene.radius;
      double b, g, r;
      int kind;
      if (tree) {
        // Leaves: dark green with strong, blotchy variation.
        const int blotch = ((x / 2 + y / 3) % 3) * 12 + leaf(random);
        b = 30, g = 95 + blotch, r = 35 + blotch / 3, kind = 2;
      } else if (y < scene.horizon) {
        const double towards = static_cast<double>(y) / scene.horizon;
        b = 225 - 20 * towards, g = 150 + 40 * towards, r = 90 + 60 * towards, kind = 1;
      } else {
        // Grass: yellow-green stripes of mowing with fine texture.
        const int stripe = (x / 6) % 2 ? 18 : -18;
        b = 40, g = 150 + stripe + leaf(random) / 2, r = 120 + stripe / 2, kind = 3;
      }
      image.at<cv::Vec3b>(y, x) =
          cv::Vec3b(clamp(b + noise(random)), clamp(g + noise(random)), clamp(r + noise(random)));
      if (truth) truth->at<std::uint8_t>(y, x) = static_cast<std::uint8_t>(kind);
    }
  }
  return image;
}

TEST(SmartsegLabelMeTrain, ModelFromTwoAnnotatedPhotographsSegmentsAThird) {
  Scratch scratch;
  std::filesystem::create_directories(scratch / "annotations");
  std::filesystem::create_directories(scratch / "photos");
  const Scene one{30, {62, 30}, 14, 1};
  const Scene two{40, {28, 36}, 16, 2};
  const Scene three{34, {46, 32}, 15, 3};
  // One: as LabelMe 4.0 saved it, the JPEG embedded and imagePath naming the annotation itself.
  // Sparse shapes of every kind, some reaching past the border, an __ignore__ band over the
  // horizon across the sky polygon, and a shape type this program does not train.
  const std::string grassMask =
      Base64(EncodeImage(MaskFromArt({"..####..", ".######.", "########", ".######."}), ".png"));
  const std::string annotationOne = Document(
      Shape("_background_", "polygon", "[[-3, -4], [40, -2], [44, 31], [2, 33]]") + "," +
          Shape("__ignore__", "rectangle", "[[0, 27], [96, 33]]") + "," +
          Shape("_background_", "linestrip", "[[50, 4], [70, 8], [92, 5]]") + "," +
          Shape("tree", "circle", "[[62.5, 30.5], [70, 30.5]]") + "," +
          Shape("tree", "point", "[[56, 22]]") + "," + Shape("tree", "point", "[[68, 38]]") + "," +
          Shape("grass", "rectangle", "[[4, 50], [40, 76]]") + "," +
          Shape("grass", "mask", "[[70, 55], [77, 58]]", R"(, "mask": ")" + grassMask + "\"") +
          "," + Shape("car", "cuboid", "[[1, 1], [2, 2]]") + "," +
          Shape("grass", "line", "[[45, 66], [94, 62]]"),
      kPhotoWidth, kPhotoHeight,
      Embedded(EncodeImage(Photograph(one), ".jpg", {cv::IMWRITE_JPEG_QUALITY, 92}), "one.json"));
  WriteText(scratch / "annotations/one.json", annotationOne);
  // Two: saved on Windows without the image data, beside a PNG in another folder.
  WritePng(scratch / "photos/two.png", Photograph(two));
  WriteText(
      scratch / "annotations/two.json",
      Document(Shape("_background_", "rectangle", "[[50, 2], [94, 30]]") + "," +
                   Shape("tree", "polygon", "[[20, 30], [36, 30], [34, 44], [22, 44]]") + "," +
                   Shape("grass", "linestrip", "[[2, 50], [30, 60], [60, 52], [94, 66]]") + "," +
                   Shape("_background_", "line", "[[4, 8], [16, 20]]"),
               kPhotoWidth, kPhotoHeight, ImageFile(R"(..\\photos\\two.png)")));
  cv::Mat truth;
  WritePng(scratch / "three.png", Photograph(three, &truth));

  const RunResult train = scratch.Run("train --model photos.model --quiet annotations");
  ASSERT_EQ(train.exitCode, 0) << train.err;
  EXPECT_EQ(train.err,
            "smartseg: warning: annotations/one.json: skipped shape 8 (type 'cuboid'): only "
            "polygon, rectangle, circle, line, linestrip, point and mask shapes are trained\n");
  EXPECT_EQ(train.out,
            "Trained 3 label(s) (_background_, tree, grass) on 2 item(s), 2 new; model written to "
            "photos.model\n");
  const RunResult segment = scratch.Run("segment --model photos.model --out out --quiet three.png");
  ASSERT_EQ(segment.exitCode, 0) << segment.err;
  const cv::Mat labels = ReadPng(scratch / "out/three_labels.png");
  ASSERT_EQ(labels.size(), truth.size());
  // Per class: the share of its pixels found, away from the one-pixel seams between classes.
  int found[4] = {}, total[4] = {};
  for (int y = 1; y + 1 < kPhotoHeight; ++y) {
    for (int x = 1; x + 1 < kPhotoWidth; ++x) {
      const int kind = truth.at<std::uint8_t>(y, x);
      cv::Mat around = truth(cv::Rect(x - 1, y - 1, 3, 3));
      double low, high;
      cv::minMaxLoc(around, &low, &high);
      if (low != high) continue;
      ++total[kind];
      found[kind] += labels.at<std::uint8_t>(y, x) == kind ? 1 : 0;
    }
  }
  for (int kind = 1; kind <= 3; ++kind) {
    ASSERT_GT(total[kind], 300);
    EXPECT_GT(static_cast<double>(found[kind]) / total[kind], 0.9)
        << "class " << kind << ": " << found[kind] << " of " << total[kind];
  }
}

}  // namespace
}  // namespace SmartsegTest
