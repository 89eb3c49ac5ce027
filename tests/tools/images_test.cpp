// Image files that smartseg must refuse with one clear line, and unusual layouts it must read
// as the user sees them.
#include <gtest/gtest.h>

#include <functional>

#include <opencv2/imgcodecs.hpp>
#include <opencv2/imgproc.hpp>

#include "tests/tools/support/PngBytes.h"
#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

void TrainOnTwoTone(const Scratch& scratch) {
  WriteTwoTone(scratch);
  const RunResult train = scratch.Run("train --model m.model --quiet a.json");
  ASSERT_EQ(train.exitCode, 0) << train.err;
}

struct RefusedImage {
  const char* name;
  std::function<void(const Scratch&)> write;
  std::string arguments;
  // The whole error line after "smartseg: error: ", or its start when `prefixOnly`.
  std::string message;
  bool prefixOnly = false;
};

class SmartsegRefusedImages : public ::testing::TestWithParam<RefusedImage> {};

TEST_P(SmartsegRefusedImages, FailWithOneLineNamingTheImageAndWriteNothing) {
  const RefusedImage& image = GetParam();
  Scratch scratch;
  TrainOnTwoTone(scratch);
  image.write(scratch);
  const RunResult run = scratch.RunWords(Scratch::Split(image.arguments));
  EXPECT_EQ(run.exitCode, 1) << run.err;
  const std::string expected = "smartseg: error: " + image.message;
  if (image.prefixOnly) {
    EXPECT_EQ(run.err.substr(0, expected.size()), expected) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "not one line: " << run.err;
  } else {
    EXPECT_EQ(run.err, expected + "\n");
  }
  EXPECT_FALSE(std::filesystem::exists(scratch / "o/b.json"));
}

const char* kSegmentB = "segment --model m.model --out o --quiet b.png";

std::function<void(const Scratch&)> BytesAs(const char* name, std::function<std::string()> make) {
  return [name, make](const Scratch& scratch) { WriteText(scratch / name, make()); };
}

std::string TwoTonePng() {
  std::vector<std::uint8_t> encoded;
  cv::imencode(".png", TwoToneImage(), encoded);
  return std::string(encoded.begin(), encoded.end());
}

const std::vector<RefusedImage> kRefused = {
    {"TruncatedPng",
     BytesAs("b.png",
             [] {
               const std::string png = TwoTonePng();
               return png.substr(0, png.size() - 30);
             }),
     kSegmentB, "b.png: cannot decode the PNG image: ", true},
    {"HeaderOfAHugeImage", BytesAs("b.png", [] { return PngHeaderOnly(100000, 100000); }),
     kSegmentB,
     "b.png: the image is 100000 x 100000 = 10000000000 pixels, more than the limit of "
     "268435456; raise it with --max-pixels if this is the image you meant"},
    // 875 KB that inflate to 900 megapixels: refused from the header, before any pixel memory.
    {"DecompressionBomb", BytesAs("b.png", [] { return PngHeaderOnly(30000, 30000); }), kSegmentB,
     "b.png: the image is 30000 x 30000 = 900000000 pixels, more than the limit of 268435456; "
     "raise it with --max-pixels if this is the image you meant"},
    {"LimitLoweredOnTheCommandLine", BytesAs("b.png", TwoTonePng),
     "segment --model m.model --out o --quiet --max-pixels 500 b.png",
     "b.png: the image is 24 x 24 = 576 pixels, more than the limit of 500; raise it with "
     "--max-pixels if this is the image you meant"},
    {"MultiPageTiff",
     [](const Scratch& scratch) {
       ASSERT_TRUE(cv::imwritemulti((scratch / "b.tif").string(),
                                    std::vector<cv::Mat>{TwoToneImage(), TwoToneImage()}));
     },
     "segment --model m.model --out o --quiet b.tif",
     "b.tif: the TIFF file holds 2 pages; smartseg reads single-page images (save the page to use "
     "as a file of its own)"},
    {"FolderGivenAsImage",
     [](const Scratch& scratch) { std::filesystem::create_directory(scratch / "b.png"); },
     kSegmentB, "b.png: is a folder, not an image file (name the images in it)"},
    {"SixteenBitColour",
     BytesAs("b.png", [] { return MakePng(2, 1, 16, 2, {std::string(12, '\x10')}); }), kSegmentB,
     "b.png: unsupported pixels: expected 8-bit or 16-bit grey or 8-bit colour, found 16-bit "
     "colour (convert it to 8-bit colour)"},
    {"EmptyFile", BytesAs("b.png", [] { return std::string(); }), kSegmentB,
     "b.png: the file is empty (expected a PNG, TIFF or JPEG file)"},
    {"NotAnImage", BytesAs("b.png", [] { return std::string("GIF89a and more"); }), kSegmentB,
     "b.png: cannot decode the image (expected a PNG, TIFF or JPEG file)"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SmartsegRefusedImages, ::testing::ValuesIn(kRefused),
                         [](const auto& test) { return std::string(test.param.name); });

// Each layout is written from the two-tone picture's values and must segment exactly as the
// two-tone picture itself does.
struct ReadLayout {
  const char* name;
  std::function<std::string(const cv::Mat&)> encode;
  // Whether the model must have been trained on colour for this layout.
  bool colour;
  // A warning line expected on stderr (empty: no output at all).
  std::string warning;
};

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
       std::vector<std::uint8_t> encoded;
       cv::imencode(".jpg", grey, encoded, {cv::IMWRITE_JPEG_QUALITY, 100});
       return std::string(encoded.begin(), encoded.end());
     },
     false, ""},
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
  WriteText(scratch / "b.png", layout.encode(grey));

  const RunResult run = scratch.Run("segment --model m.model --out o --quiet a.png b.png");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, layout.warning);
  const cv::Mat expected = ReadPng(scratch / "o/a_labels.png");
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
  TrainOnTwoTone(scratch);
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
