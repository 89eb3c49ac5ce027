// Training more data into an existing model.
#include <gtest/gtest.h>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

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
  WriteTwoTone(scratch);
  ASSERT_EQ(scratch.Run("train --model m.model a.json").exitCode, 0);
  const RunResult retrain =
      scratch.Run("train --model m.model --retrain --sample-size 3 --threads 2 a.json");
  ASSERT_EQ(retrain.exitCode, 0) << retrain.err;
  const RunResult info = scratch.Run("info m.model");
  // a.json is in the model already, so the second run adds nothing and retrains what is there.
  for (const char* text : {"Sample size:    3\n", "Training items: 1 ", "Needs training: no"}) {
    EXPECT_NE(info.out.find(text), std::string::npos) << text << " in\n" << info.out;
  }
}

}  // namespace
}  // namespace SmartsegTest
