// Training from annotations and masks, into new and existing models, and segmenting with the
// result, end to end through the program.
#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

using Json = nlohmann::json;

// Columns 0..7 must be `darkValue` and 16..23 `brightValue`, well away from the boundary
// between the halves (x = 11.5).
void ExpectHalves(const cv::Mat& labels, int darkValue, int brightValue) {
  ASSERT_EQ(labels.type(), CV_8UC1);
  for (int y = 0; y < labels.rows; ++y) {
    for (int x = 0; x < labels.cols; ++x) {
      if (x < 8 || x >= 16) {
        ASSERT_EQ(labels.at<std::uint8_t>(y, x), x < 8 ? darkValue : brightValue) << x << ", " << y;
      }
    }
  }
}

// Trains m.model with `arguments`, segments a.png (or `image`) into o/ and checks the halves.
void TrainAndSegment(const Scratch& scratch, const std::string& arguments, int dark, int bright,
                     const std::string& image = "a.png") {
  const RunResult train = scratch.Run("train --model m.model " + arguments);
  ASSERT_EQ(train.exitCode, 0) << train.err;
  const RunResult segment = scratch.Run("segment --model m.model --out o " + image);
  ASSERT_EQ(segment.exitCode, 0) << segment.err;
  const std::string stem = std::filesystem::path(image).stem().string();
  ExpectHalves(ReadPng(scratch / ("o/" + stem + "_labels.png")), dark, bright);
  EXPECT_EQ(ReadPng(scratch / ("o/" + stem + "_overlay.png")).type(), CV_8UC3);
}

std::string Info(const Scratch& scratch) { return scratch.Run("info m.model").out; }

TEST(SmartsegTrainSegment, TrainThenSegmentWritesEveryOutput) {
  Scratch scratch;
  WriteTwoTone(scratch);
  const RunResult train = scratch.Run("train --model m.model --quiet a.json");
  ASSERT_EQ(train.exitCode, 0) << train.err;
  EXPECT_EQ(train.err, "");
  EXPECT_NE(train.out.find("dark, bright"), std::string::npos) << train.out;

  const RunResult segment =
      scratch.Run("segment --model m.model --out out --probabilities --quiet a.png");
  ASSERT_EQ(segment.exitCode, 0) << segment.err;
  EXPECT_EQ(scratch.Files(), (std::vector<std::string>{"a.json", "a.png", "m.model", "out/a.json",
                                                       "out/a_bright.png", "out/a_bright_prob.png",
                                                       "out/a_dark.png", "out/a_dark_prob.png",
                                                       "out/a_labels.png", "out/a_overlay.png"}));
  // Labels are numbered in order of first appearance: dark 1, bright 2.
  ExpectHalves(ReadPng(scratch / "out/a_labels.png"), 1, 2);
  const cv::Mat masks[] = {ReadPng(scratch / "out/a_dark.png"),
                           ReadPng(scratch / "out/a_bright.png")};
  ExpectHalves(masks[0], 255, 0);
  ExpectHalves(masks[1], 0, 255);
  const cv::Mat darkProbability = ReadPng(scratch / "out/a_dark_prob.png");
  EXPECT_GT(darkProbability.at<std::uint8_t>(10, 2), 200);
  EXPECT_LT(darkProbability.at<std::uint8_t>(10, 20), 55);
  const cv::Mat overlay = ReadPng(scratch / "out/a_overlay.png");
  EXPECT_EQ(overlay.type(), CV_8UC3);
  EXPECT_EQ(overlay.size(), cv::Size(24, 24));

  const Json summary = Json::parse(ReadText(scratch / "out/a.json"));
  EXPECT_EQ(summary["image"], "a.png");
  EXPECT_EQ(summary["label_image"], Json({{"file", "a_labels.png"}, {"bits", 8}}));
  EXPECT_EQ(summary["overlay"], "a_overlay.png");
  EXPECT_TRUE(summary["seconds"].is_number());
  ASSERT_EQ(summary["labels"].size(), 2u);
  for (int k = 0; k < 2; ++k) {
    // The area and box of the 255 pixels of each mask, counted here rather than trusted.
    long long area = 0;
    int x0 = 24, y0 = 24, x1 = -1, y1 = -1;
    for (int y = 0; y < 24; ++y) {
      for (int x = 0; x < 24; ++x) {
        const int value = masks[k].at<std::uint8_t>(y, x);
        ASSERT_TRUE(value == 0 || value == 255) << "mask value " << value;
        if (value != 255) continue;
        ++area;
        x0 = std::min(x0, x), y0 = std::min(y0, y), x1 = std::max(x1, x), y1 = std::max(y1, y);
      }
    }
    const Json& label = summary["labels"][k];
    EXPECT_EQ(label["name"], k == 0 ? "dark" : "bright");
    EXPECT_EQ(label["value"], k + 1);
    EXPECT_EQ(label["area"], area);
    EXPECT_EQ(label["bbox"],
              area ? Json::array({x0, y0, x1 - x0 + 1, y1 - y0 + 1}) : Json::array({0, 0, 0, 0}));
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
  TrainAndSegment(scratch, "--label-names light,shade a.png=a_mask.png", 2, 1);
  const std::string info = Info(scratch);
  EXPECT_NE(info.find("Labels (2): 1=light, 2=shade"), std::string::npos) << info;
  // Each value's block becomes rectangles: one per value here, as every row repeats the run.
  EXPECT_NE(info.find("1 used for training, 2 labelled shapes"), std::string::npos) << info;
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
  ASSERT_EQ(scratch.Run("train --model m.model a.png=a_mask.png").exitCode, 0);
  const std::string info = Info(scratch);
  EXPECT_NE(info.find("Labels (2): 1=label1, 2=label3"), std::string::npos) << info;
  EXPECT_NE(info.find("7 labelled shapes"), std::string::npos) << info;
}

TEST(SmartsegTrainSegment, EveryMappableShapeTypeTrains) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  // Rectangle and polygon (2 shapes), circle (1), line (1, from edge to edge: LabelMe puts the
  // image edges at 0 and 24), linestrip of 4 points (3 segments).
  WriteText(
      scratch / "a.json",
      TwoToneAnnotation(
          "a.png",
          R"({"label": "dark", "shape_type": "circle", "points": [[5, 12], [7, 12]]},)"
          R"({"label": "bright", "shape_type": "line", "points": [[18, 0], [18, 24]]},)"
          R"({"label": "dark", "shape_type": "linestrip", "points": [[2, 2], [6, 8], [2, 14], [6, 20]]})"));
  TrainAndSegment(scratch, "a.json", 1, 2);
  EXPECT_NE(Info(scratch).find("7 labelled shapes"), std::string::npos) << Info(scratch);
}

// The two-tone picture in each pixel format; training and segmenting it must find the two
// halves again.
TEST(SmartsegTrainSegment, TrainsAndSegmentsEveryPixelFormat) {
  const struct {
    const char* file;
    int type;
  } formats[] = {{"g8.png", CV_8UC1},
                 {"g16.png", CV_16UC1},
                 {"rgb.png", CV_8UC3},
                 {"g16.tif", CV_16UC1},
                 {"rgb.tiff", CV_8UC3}};
  for (const auto& format : formats) {
    SCOPED_TRACE(format.file);
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
    TrainAndSegment(scratch, "a.json", 1, 2, format.file);
  }
}

TEST(SmartsegIncrementalTrain, AddsItemsAndAppendsNewLabelsAfterTheKnownOnes) {
  Scratch scratch;
  WriteTwoTone(scratch);
  // A second picture: dark rows on top, bright rows below, with a third, middle-grey band.
  cv::Mat bands(24, 24, CV_8UC1);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x)
      bands.at<std::uint8_t>(y, x) = (y < 8 ? 40 : (y < 16 ? 125 : 210)) + (x * 5 + y * 11) % 7 - 3;
  }
  WritePng(scratch / "b.png", bands);
  WriteText(scratch / "b.json", R"({"imagePath": "b.png", "imageWidth": 24, "imageHeight": 24,
    "shapes": [{"label": "grey", "shape_type": "rectangle", "points": [[2, 9], [22, 15]]},
      {"label": "bright", "shape_type": "rectangle", "points": [[2, 17], [22, 23]]},
      {"label": "dark", "shape_type": "line", "points": [[2, 3], [22, 3]]}]})");
  ASSERT_EQ(scratch.Run("train --model m.model a.json").exitCode, 0);
  const RunResult second = scratch.Run("train --model m.model b.json");
  ASSERT_EQ(second.exitCode, 0) << second.err;
  EXPECT_NE(second.out.find("on 2 item(s), 1 new"), std::string::npos) << second.out;

  const RunResult info = scratch.Run("info m.model");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  // One engine line per label, each naming its label.
  for (const char* text :
       {"Labels (3): 1=dark, 2=bright, 3=grey", "Needs training: no", "  dark: ", "  bright: ",
        "  grey: ", "Training items: 2 (2 used for training, 5 labelled shapes)"}) {
    EXPECT_NE(info.out.find(text), std::string::npos) << text << " in\n" << info.out;
  }
  // The grey band was learned from the second item only: the middle rows of b.png are label 3.
  ASSERT_EQ(scratch.Run("segment --model m.model --out o b.png").exitCode, 0);
  const cv::Mat labels = ReadPng(scratch / "o/b_labels.png");
  EXPECT_EQ(labels.at<std::uint8_t>(12, 12), 3);
  EXPECT_EQ(labels.at<std::uint8_t>(2, 12), 1);
  EXPECT_EQ(labels.at<std::uint8_t>(21, 12), 2);
}

TEST(SmartsegIncrementalTrain, RetrainAndSampleSizeAreKeptInTheModel) {
  Scratch scratch;
  TrainedTwoTone(scratch);
  const RunResult retrain =
      scratch.Run("train --model m.model --retrain --sample-size 3 --threads 2 a.json");
  ASSERT_EQ(retrain.exitCode, 0) << retrain.err;
  const RunResult info = scratch.Run("info m.model");
  // a.json is in the model already, so the second run adds nothing and retrains what is there.
  for (const char* text : {"Sample size:    3\n", "Training items: 1 ", "Needs training: no"}) {
    EXPECT_NE(info.out.find(text), std::string::npos) << text << " in\n" << info.out;
  }
}

TEST(SmartsegTrainSegment, LabelNamesBeforeTheAnnotationsTakeOneValueAndTrainOnAllOfThem) {
  Scratch scratch;
  ThreePictures(scratch);
  // The order the README and --help show.
  const RunResult run =
      scratch.Run("train --model q.model --label-names a,b,c,d a.json b.json c.json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("on 3 item(s), 3 new"), std::string::npos) << run.out;
}

}  // namespace
}  // namespace SmartsegTest
