// Unusual image layouts smartseg must read as the user sees them, and running out of memory while
// reading one.
#include <gtest/gtest.h>

#include <functional>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tests/tools/support/LabelMeFiles.h"
#include "tests/tools/support/PngBytes.h"
#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

// Each layout is written from the two-tone picture's values and must segment exactly as the
// picture it shows does: the two-tone picture itself, or for a lossy format the pixels its
// decoder gives.
struct ReadLayout {
  const char* name;
  std::function<std::string(const cv::Mat&)> encode;
  // Whether the model must have been trained on colour for this layout.
  bool colour;
  // A warning line expected on stderr (empty: no output at all).
  std::string warning;
  // Whether the format changes pixel values.
  bool lossy = false;
};

// Test names say which case ran; the parameter itself is not worth printing.
void PrintTo(const ReadLayout& value, std::ostream* out) { *out << value.name; }

std::string Row(const cv::Mat& grey, int y, int copies, const std::string& extra = "") {
  std::string row;
  for (int x = 0; x < grey.cols; ++x) {
    for (int c = 0; c < copies; ++c) row += static_cast<char>(grey.at<std::uint8_t>(y, x));
    row += extra;
  }
  return row;
}

std::vector<std::string> Rows(const cv::Mat& grey, int copies, const std::string& extra = "") {
  std::vector<std::string> rows;
  for (int y = 0; y < grey.rows; ++y) rows.push_back(Row(grey, y, copies, extra));
  return rows;
}

const char* kAlphaWarning =
    "smartseg: warning: b.png: the image has transparent pixels; smartseg ignores the alpha "
    "channel "
    "and uses the colours underneath (save the image without alpha to silence this warning)\n";

// Rows with alpha: 200 (see-through) in the first pixel of every row, opaque elsewhere.
std::vector<std::string> RowsWithAlpha(const cv::Mat& grey, int copies) {
  std::vector<std::string> rows = Rows(grey, copies, "\xff");
  for (std::string& row : rows) row[static_cast<std::size_t>(copies)] = '\xc8';
  return rows;
}

const std::vector<ReadLayout> kLayouts = {
    {"GreyWithAlpha",
     [](const cv::Mat& grey) { return MakePng(24, 24, 8, 4, RowsWithAlpha(grey, 1)); }, false,
     kAlphaWarning},
    {"OpaqueGreyWithAlpha",
     [](const cv::Mat& grey) { return MakePng(24, 24, 8, 4, Rows(grey, 1, "\xff")); }, false, ""},
    {"Rgba", [](const cv::Mat& grey) { return MakePng(24, 24, 8, 6, RowsWithAlpha(grey, 3)); },
     true, kAlphaWarning},
    // Index i holds grey i, so the index rows are the grey values.
    {"PaletteOfGreys",
     [](const cv::Mat& grey) {
       std::string palette;
       for (int i = 0; i < 256; ++i) palette += std::string(3, static_cast<char>(i));
       return MakePng(24, 24, 8, 3, Rows(grey, 1), palette);
     },
     false, ""},
    {"GreyJpeg",
     [](const cv::Mat& grey) {
       return EncodeImage(grey, ".jpg", {cv::IMWRITE_JPEG_QUALITY, 100});
     },
     false, "", true},
};

class SmartsegImageLayouts : public ::testing::TestWithParam<ReadLayout> {};

TEST_P(SmartsegImageLayouts, SegmentLikeThePictureTheyShow) {
  const ReadLayout& layout = GetParam();
  Scratch scratch;
  const cv::Mat grey = TwoToneImage();
  cv::Mat trained = grey;
  if (layout.colour) cv::cvtColor(grey, trained, cv::COLOR_GRAY2BGR);
  WritePng(scratch / "a.png", trained);
  WriteText(scratch / "a.json", TwoToneAnnotation("a.png"));
  ASSERT_EQ(scratch.Run("train --model m.model --quiet a.json").exitCode, 0);

  // What the file shows, as a PNG: a lossy format moves pixel values a little, and pixels on the
  // edge between the tones may then go either way.
  const std::string encoded = layout.encode(grey);
  WriteText(scratch / "b.png", encoded);
  cv::Mat shown = trained;
  if (layout.lossy) {
    shown = cv::imdecode(
        cv::Mat(1, static_cast<int>(encoded.size()), CV_8UC1, const_cast<char*>(encoded.data())),
        cv::IMREAD_GRAYSCALE);
    ASSERT_FALSE(shown.empty());
  }
  WritePng(scratch / "c.png", shown);

  const RunResult run = scratch.Run("segment --model m.model --out o --quiet c.png b.png");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, layout.warning);
  const cv::Mat expected = ReadPng(scratch / "o/c_labels.png");
  const cv::Mat labels = ReadPng(scratch / "o/b_labels.png");
  ASSERT_EQ(labels.size(), expected.size());
  EXPECT_EQ(cv::countNonZero(labels != expected), 0);
}

INSTANTIATE_TEST_SUITE_P(Cases, SmartsegImageLayouts, ::testing::ValuesIn(kLayouts),
                         [](const auto& test) { return std::string(test.param.name); });

#if defined(__SANITIZE_ADDRESS__)
#define SMARTSEG_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SMARTSEG_UNDER_ASAN 1
#endif
#endif

TEST(SmartsegImages, RunningOutOfMemoryIsReportedNamingTheImage) {
#ifdef SMARTSEG_UNDER_ASAN
  GTEST_SKIP() << "an address-space limit cannot be combined with AddressSanitizer's shadow memory";
#else
  Scratch scratch;
  TrainedTwoTone(scratch);
  // 20000 x 20000 colour with alpha wants 1.6 GB, more than the 1 GB the process may map.
  WriteText(scratch / "b.png", PngHeaderOnly(20000, 20000, 6));
  RunSettings settings;
  settings.addressSpaceLimit = rlim_t{1} << 30;
  const RunResult run = scratch.RunWords(
      Scratch::Split("segment --model m.model --out o --quiet --max-pixels 1000000000 b.png"),
      settings);
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "smartseg: error: b.png: out of memory while reading the image; free memory or lower "
            "--max-pixels to refuse such images early\n");
#endif
}

}  // namespace
}  // namespace SmartsegTest
