// The overlay shows the picture as the user sees it, each labelled pixel halfway to its label's
// colour, for grey, 16-bit grey and colour pictures; the masks and the label image match it.
#include <gtest/gtest.h>

#include <functional>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

struct Picture {
  const char* name;
  // The picture to write, made from the two-tone picture.
  std::function<cv::Mat(const cv::Mat& grey)> make;
  // The 8-bit blue-green-red colour the overlay starts from at a pixel of the written picture.
  std::function<cv::Vec3b(const cv::Mat& picture, int y, int x)> shown;
};

void PrintTo(const Picture& value, std::ostream* out) { *out << value.name; }

const std::vector<Picture> kPictures = {
    {"Grey8", [](const cv::Mat& grey) { return grey.clone(); },
     [](const cv::Mat& picture, int y, int x) {
       const std::uint8_t g = picture.at<std::uint8_t>(y, x);
       return cv::Vec3b(g, g, g);
     }},
    // Values 256 k + 100 scale to k whatever way halves are rounded.
    {"Grey16",
     [](const cv::Mat& grey) {
       cv::Mat wide(grey.size(), CV_16UC1);
       for (int y = 0; y < grey.rows; ++y) {
         for (int x = 0; x < grey.cols; ++x) {
           wide.at<std::uint16_t>(y, x) =
               static_cast<std::uint16_t>(256 * grey.at<std::uint8_t>(y, x) + 100);
         }
       }
       return wide;
     },
     [](const cv::Mat& picture, int y, int x) {
       const auto g = static_cast<std::uint8_t>(picture.at<std::uint16_t>(y, x) / 256);
       return cv::Vec3b(g, g, g);
     }},
    // Three different channels, so that a swap of red and blue shows.
    {"Colour",
     [](const cv::Mat& grey) {
       cv::Mat colour(grey.size(), CV_8UC3);
       for (int y = 0; y < grey.rows; ++y) {
         for (int x = 0; x < grey.cols; ++x) {
           const int g = grey.at<std::uint8_t>(y, x);
           colour.at<cv::Vec3b>(y, x) =
               cv::Vec3b(static_cast<std::uint8_t>(g), static_cast<std::uint8_t>(g / 2 + 3 * x),
                         static_cast<std::uint8_t>(255 - g));
         }
       }
       return colour;
     },
     [](const cv::Mat& picture, int y, int x) { return picture.at<cv::Vec3b>(y, x); }},
};

class SmartsegOverlay : public ::testing::TestWithParam<Picture> {};

TEST_P(SmartsegOverlay, ShowsThePictureWithEachLabelHalfwayToItsColour) {
  const Picture& picture = GetParam();
  Scratch scratch;
  const cv::Mat written = picture.make(TwoToneImage());
  WritePng(scratch / "a.png", written);
  WriteText(scratch / "a.json", TwoToneAnnotation("a.png"));
  ASSERT_EQ(scratch.Run("train --model m.model --quiet a.json").exitCode, 0);
  const RunResult run = scratch.Run("segment --model m.model --out o --quiet a.png");
  ASSERT_EQ(run.exitCode, 0) << run.err;

  const cv::Mat labels = ReadPng(scratch / "o/a_labels.png");
  const cv::Mat overlay = ReadPng(scratch / "o/a_overlay.png");
  ASSERT_EQ(overlay.type(), CV_8UC3);
  ASSERT_EQ(overlay.size(), written.size());
  // The first two colours of the palette, blue-green-red: label 1 (dark) red, label 2 green.
  const cv::Vec3b colours[] = {{0, 0, 230}, {0, 200, 0}};
  int labelled = 0;
  for (int y = 0; y < overlay.rows; ++y) {
    for (int x = 0; x < overlay.cols; ++x) {
      cv::Vec3b expected = picture.shown(written, y, x);
      const int value = labels.at<std::uint8_t>(y, x);
      ASSERT_LE(value, 2);
      if (value > 0) {
        ++labelled;
        for (int c = 0; c < 3; ++c) {
          expected[c] = static_cast<std::uint8_t>((expected[c] + colours[value - 1][c] + 1) / 2);
        }
      }
      ASSERT_EQ(overlay.at<cv::Vec3b>(y, x), expected) << "pixel " << x << ", " << y;
    }
  }
  // Both labels are there, and the pictures are not all labelled alike.
  EXPECT_GT(labelled, 24 * 24 / 2);
  EXPECT_EQ(labels.at<std::uint8_t>(10, 2), 1);
  EXPECT_EQ(labels.at<std::uint8_t>(10, 20), 2);
}

INSTANTIATE_TEST_SUITE_P(Cases, SmartsegOverlay, ::testing::ValuesIn(kPictures),
                         [](const auto& test) { return std::string(test.param.name); });

}  // namespace
}  // namespace SmartsegTest
