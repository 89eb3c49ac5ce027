// Training from annotations and segmenting with the result, end to end through the program.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

using Json = nlohmann::json;

// Columns well away from the boundary between the halves (x = 11.5).
constexpr int kDarkColumnsEnd = 8;
constexpr int kBrightColumnsBegin = 16;

void ExpectHalves(const cv::Mat& labels, int darkValue, int brightValue) {
  ASSERT_EQ(labels.type(), CV_8UC1);
  for (int y = 0; y < labels.rows; ++y) {
    for (int x = 0; x < labels.cols; ++x) {
      if (x < kDarkColumnsEnd) {
        ASSERT_EQ(labels.at<std::uint8_t>(y, x), darkValue) << "at " << x << ", " << y;
      } else if (x >= kBrightColumnsBegin) {
        ASSERT_EQ(labels.at<std::uint8_t>(y, x), brightValue) << "at " << x << ", " << y;
      }
    }
  }
}

// The area and box of the 255 pixels of a mask, counted here rather than trusted.
struct MaskFigures {
  long long area = 0;
  Json bbox;
};
MaskFigures Figures(const cv::Mat& mask) {
  MaskFigures figures;
  int x0 = mask.cols, y0 = mask.rows, x1 = -1, y1 = -1;
  for (int y = 0; y < mask.rows; ++y) {
    for (int x = 0; x < mask.cols; ++x) {
      const int value = mask.at<std::uint8_t>(y, x);
      EXPECT_TRUE(value == 0 || value == 255) << "mask value " << value;
      if (value != 255) continue;
      ++figures.area;
      x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
    }
  }
  figures.bbox =
      figures.area ? Json::array({x0, y0, x1 - x0 + 1, y1 - y0 + 1}) : Json::array({0, 0, 0, 0});
  return figures;
}

TEST(SmartsegTrainSegment, TrainThenSegmentWritesEveryOutput) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  WriteText(scratch / "a.json", TwoToneAnnotation("a.png"));
  const RunResult train = scratch.Run({"train", "--model", "m.model", "--quiet", "a.json"});
  ASSERT_EQ(train.exitCode, 0) << train.err;
  EXPECT_EQ(train.err, "");
  EXPECT_NE(train.out.find("dark, bright"), std::string::npos) << train.out;

  const RunResult segment = scratch.Run(
      {"segment", "--model", "m.model", "--out", "out", "--probabilities", "--quiet", "a.png"});
  ASSERT_EQ(segment.exitCode, 0) << segment.err;
  const std::vector<std::string> expected = {"a.json",           "a.png",
                                             "m.model",          "out/a.json",
                                             "out/a_bright.png", "out/a_bright_prob.png",
                                             "out/a_dark.png",   "out/a_dark_prob.png",
                                             "out/a_labels.png", "out/a_overlay.png"};
  EXPECT_EQ(scratch.Files(), expected);

  // Labels are numbered in order of first appearance: dark 1, bright 2.
  ExpectHalves(ReadPng(scratch / "out/a_labels.png"), 1, 2);
  const cv::Mat dark = ReadPng(scratch / "out/a_dark.png");
  const cv::Mat bright = ReadPng(scratch / "out/a_bright.png");
  ExpectHalves(dark, 255, 0);
  ExpectHalves(bright, 0, 255);
  const cv::Mat darkProbability = ReadPng(scratch / "out/a_dark_prob.png");
  EXPECT_GT(darkProbability.at<std::uint8_t>(10, 2), 200);
  EXPECT_LT(darkProbability.at<std::uint8_t>(10, 20), 55);
  const cv::Mat overlay = ReadPng(scratch / "out/a_overlay.png");
  EXPECT_EQ(overlay.type(), CV_8UC3);
  EXPECT_EQ(overlay.size(), cv::Size(24, 24));

  const Json summary = Json::parse(ReadText(scratch / "out/a.json"));
  EXPECT_EQ(summary["image"], "a.png");
  EXPECT_TRUE(summary["seconds"].is_number());
  ASSERT_EQ(summary["labels"].size(), 2u);
  const cv::Mat masks[] = {dark, bright};
  const char* names[] = {"dark", "bright"};
  for (int k = 0; k < 2; ++k) {
    const Json& label = summary["labels"][k];
    const MaskFigures figures = Figures(masks[k]);
    EXPECT_EQ(label["name"], names[k]);
    EXPECT_EQ(label["value"], k + 1);
    EXPECT_EQ(label["area"], figures.area);
    EXPECT_EQ(label["bbox"], figures.bbox);
  }
}

TEST(SmartsegTrainSegment, MaskAnnotationsUseTheGivenLabelNames) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  // Sparse: value 1 on a block of the bright half, value 2 on a block of the dark half.
  cv::Mat mask(24, 24, CV_8UC1, cv::Scalar(0));
  mask(cv::Rect(16, 2, 6, 18)).setTo(1);
  mask(cv::Rect(2, 4, 5, 15)).setTo(2);
  WritePng(scratch / "a_mask.png", mask);
  const RunResult train = scratch.Run(
      {"train", "--model", "m.model", "--label-names", "light,shade", "a.png=a_mask.png"});
  ASSERT_EQ(train.exitCode, 0) << train.err;
  const RunResult info = scratch.Run({"info", "m.model"});
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("Labels (2): 1=light, 2=shade"), std::string::npos) << info.out;
  // Each value's block becomes rectangles: one per value here, as every row repeats the run.
  EXPECT_NE(info.out.find("1 used for training, 2 labelled shapes"), std::string::npos) << info.out;

  ASSERT_EQ(scratch.Run({"segment", "--model", "m.model", "--out", ".", "a.png"}).exitCode, 0);
  ExpectHalves(ReadPng(scratch / "a_labels.png"), 2, 1);
}

TEST(SmartsegTrainSegment, MaskValuesWithoutNamesBecomeLabelK) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  cv::Mat mask(24, 24, CV_8UC1, cv::Scalar(0));
  mask(cv::Rect(2, 2, 6, 6)).setTo(3);
  mask(cv::Rect(2, 12, 6, 6)).setTo(3);
  mask(cv::Rect(16, 2, 6, 18)).setTo(1);
  // A staircase: no two rows share a run, so each row is a rectangle of its own (4 more).
  for (int y = 20; y < 24; ++y) mask(cv::Rect(14 + y - 20, y, 2, 1)).setTo(1);
  WritePng(scratch / "a_mask.png", mask);
  ASSERT_EQ(scratch.Run({"train", "--model", "m.model", "a.png=a_mask.png"}).exitCode, 0);
  const RunResult info = scratch.Run({"info", "m.model"});
  EXPECT_NE(info.out.find("Labels (2): 1=label1, 2=label3"), std::string::npos) << info.out;
  EXPECT_NE(info.out.find("7 labelled shapes"), std::string::npos) << info.out;
}

TEST(SmartsegTrainSegment, EveryMappableShapeTypeTrains) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  // Rectangle and polygon (2 shapes), circle (1), line (1, from edge to edge: LabelMe puts the
  // image edges at 0 and 24), linestrip of 4 points (3 segments).
  const std::string extra =
      R"({"label": "dark", "shape_type": "circle", "points": [[5, 12], [7, 12]]},)"
      R"({"label": "bright", "shape_type": "line", "points": [[18, 0], [18, 24]]},)"
      R"({"label": "dark", "shape_type": "linestrip", "points": [[2, 2], [6, 8], [2, 14], [6, 20]]})";
  WriteText(scratch / "a.json", TwoToneAnnotation("a.png", extra));
  const RunResult train = scratch.Run({"train", "--model", "m.model", "a.json"});
  ASSERT_EQ(train.exitCode, 0) << train.err;
  const RunResult info = scratch.Run({"info", "m.model"});
  EXPECT_NE(info.out.find("7 labelled shapes"), std::string::npos) << info.out;
  ASSERT_EQ(scratch.Run({"segment", "--model", "m.model", "--out", "o", "a.png"}).exitCode, 0);
  ExpectHalves(ReadPng(scratch / "o/a_labels.png"), 1, 2);
}

struct PixelFormatCase {
  const char* name;
  const char* file;
  int type;
};

class SmartsegPixelFormats : public ::testing::TestWithParam<PixelFormatCase> {};

// The image is the two-tone picture in the case's format; training and segmenting it must find
// the two halves again.
TEST_P(SmartsegPixelFormats, TrainsAndSegmentsTheFormat) {
  const PixelFormatCase& format = GetParam();
  Scratch scratch;
  cv::Mat image = TwoToneImage();
  if (format.type == CV_16UC1) image.convertTo(image, CV_16U, 257.0);
  if (format.type == CV_8UC3) {
    cv::Mat channels[] = {image, 255 - image, image / 2};
    cv::merge(channels, 3, image);
  }
  WritePng(scratch / format.file, image);
  ASSERT_EQ(ReadPng(scratch / format.file).type(), format.type);
  WriteText(scratch / "a.json", TwoToneAnnotation(format.file));
  const RunResult train = scratch.Run({"train", "--model", "m.model", "a.json"});
  ASSERT_EQ(train.exitCode, 0) << train.err;
  const RunResult segment =
      scratch.Run({"segment", "--model", "m.model", "--out", "o", format.file});
  ASSERT_EQ(segment.exitCode, 0) << segment.err;
  const std::string stem = std::filesystem::path(format.file).stem().string();
  ExpectHalves(ReadPng(scratch / ("o/" + stem + "_labels.png")), 1, 2);
  EXPECT_EQ(ReadPng(scratch / ("o/" + stem + "_overlay.png")).type(), CV_8UC3);
}

INSTANTIATE_TEST_SUITE_P(Formats, SmartsegPixelFormats,
                         ::testing::Values(PixelFormatCase{"Grey8Png", "g8.png", CV_8UC1},
                                           PixelFormatCase{"Grey16Png", "g16.png", CV_16UC1},
                                           PixelFormatCase{"Rgb8Png", "rgb.png", CV_8UC3},
                                           PixelFormatCase{"Grey16Tiff", "g16.tif", CV_16UC1},
                                           PixelFormatCase{"Rgb8Tiff", "rgb.tiff", CV_8UC3}),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

}  // namespace
}  // namespace SmartsegTest
