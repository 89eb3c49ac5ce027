// Pictures and the browser host's views of them: shrinking by area or by nearest pixel, the
// display scaling of 8-bit, 16-bit and colour pixels, and the picture operations they rest on.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

#include "tools/smartseg/Picture.h"
#include "tools/smartseg/serve/Prediction.h"

namespace {

using Smartseg::Picture;
using Smartseg::Serve::DisplayPixels;
using Smartseg::Serve::FitInside;

Picture Ramp(int width, int height, int channels, Picture::Depth depth) {
  Picture picture(width, height, channels, depth);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) {
        const unsigned value = static_cast<unsigned>(x * 10 + y * 3 + c * 50);
        const std::size_t at = static_cast<std::size_t>(x) * channels + c;
        if (depth == Picture::Depth::Bits16) {
          picture.Row<std::uint16_t>(y)[at] = static_cast<std::uint16_t>(value * 100);
        } else {
          picture.Row(y)[at] = static_cast<std::uint8_t>(value);
        }
      }
    }
  }
  return picture;
}

TEST(Picture, CopiesShareTheSamplesAndClonesDoNot) {
  Picture picture = Picture::Grey8(3, 2, /*zeroed=*/true);
  const Picture shared = picture;
  const Picture cloned = picture.Clone();
  picture.Row(1)[2] = 9;
  EXPECT_EQ(shared.Sample(2, 1), 9u);
  EXPECT_EQ(cloned.Sample(2, 1), 0u);
  EXPECT_TRUE(Picture().Empty());
  EXPECT_FALSE(Picture().IsGrey8()) << "an empty picture has no layout";
}

TEST(Picture, ChannelsAndRangesCoverEverySample) {
  const Picture colour = Ramp(4, 3, 3, Picture::Depth::Bits16);
  const Picture green = colour.Channel(1);
  ASSERT_TRUE(green.IsGrey16());
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(green.Sample(x, y), colour.Sample(x, y, 1));
  }
  // Lowest: blue of (0, 0); highest: red of (3, 2).
  EXPECT_EQ(colour.SampleRange(), std::make_pair(0.0, 100.0 * (30 + 6 + 100)));
  EXPECT_EQ(Picture().SampleRange(), std::make_pair(0.0, 0.0));
  EXPECT_EQ(Picture(2, 2, 2).Describe(), "8-bit grey with alpha");
  EXPECT_EQ(Picture(2, 2, 4, Picture::Depth::Bits16).Describe(), "16-bit colour with alpha");
}

TEST(FitInside, ShrinksByTheMeanOfTheAreaEachPixelCovers) {
  // 6 x 3 into 4 x 2: each new pixel covers 1.5 x 1.5 old ones, weighted by how much of each.
  const Picture picture = Ramp(6, 3, 1, Picture::Depth::Bits8);
  const Picture small = FitInside(picture, 4, /*nearest=*/false);
  ASSERT_EQ(small.Width(), 4);
  ASSERT_EQ(small.Height(), 2);
  const auto expected = [&](int x, int y) {
    double sum = 0.0, area = 0.0;
    for (int row = 0; row < 3; ++row) {
      const double h =
          std::max(0.0, std::min(row + 1.0, (y + 1) * 1.5) - std::max(1.0 * row, y * 1.5));
      for (int column = 0; column < 6; ++column) {
        const double w =
            std::max(0.0, std::min(column + 1.0, (x + 1) * 1.5) - std::max(1.0 * column, x * 1.5));
        sum += picture.Sample(column, row) * w * h;
        area += w * h;
      }
    }
    return static_cast<unsigned>(std::lround(sum / area));
  };
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(small.Sample(x, y), expected(x, y)) << x << ", " << y;
  }
  // A picture that fits, or no limit, comes back as it is.
  EXPECT_EQ(FitInside(picture, 6, false).Row(0), picture.Row(0));
  EXPECT_EQ(FitInside(picture, 0, false).Row(0), picture.Row(0));
}

TEST(FitInside, NearestKeepsLabelValuesAndColourChannelsApart) {
  // Label values must never be averaged into a value of another label.
  Picture labels = Picture::Grey8(4, 4);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) labels.Row(y)[x] = static_cast<std::uint8_t>(1 + (x + y) % 3);
  }
  const Picture nearest = FitInside(labels, 2, /*nearest=*/true);
  ASSERT_EQ(nearest.Width(), 2);
  for (int y = 0; y < 2; ++y) {
    for (int x = 0; x < 2; ++x) EXPECT_EQ(nearest.Sample(x, y), labels.Sample(2 * x, 2 * y));
  }
  const Picture colour = Ramp(4, 2, 3, Picture::Depth::Bits8);
  const Picture half = FitInside(colour, 2, /*nearest=*/false);
  ASSERT_TRUE(half.IsBgr8());
  for (int c = 0; c < 3; ++c) {
    const double mean = (colour.Sample(0, 0, c) + colour.Sample(1, 0, c) + colour.Sample(0, 1, c) +
                         colour.Sample(1, 1, c)) /
                        4.0;
    EXPECT_EQ(half.Sample(0, 0, c), static_cast<unsigned>(std::lround(mean))) << "channel " << c;
  }
}

TEST(DisplayPixels, SpreadsTheChosenRangeOverEightBitsAndClampsOutside) {
  const Picture wide = Ramp(5, 1, 1, Picture::Depth::Bits16);  // 0, 1000, ..., 4000
  const Picture shown = DisplayPixels(wide, 1000.0, 3000.0, 0);
  ASSERT_TRUE(shown.IsGrey8());
  const std::vector<unsigned> expected{0, 0, 128, 255, 255};  // 127.5 rounds up
  for (int x = 0; x < 5; ++x) EXPECT_EQ(shown.Sample(x, 0), expected[x]) << x;
  const Picture colour = DisplayPixels(Ramp(2, 1, 3, Picture::Depth::Bits8), 0.0, 255.0, 0);
  ASSERT_TRUE(colour.IsBgr8());
  EXPECT_EQ(colour.Sample(1, 0, 2), 110u);
}

}  // namespace
