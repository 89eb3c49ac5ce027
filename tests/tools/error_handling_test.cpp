// Bad usage and bad input: the exit code, the one error line, and nothing written or changed.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

using Files = std::map<std::string, std::string>;

Files Snapshot(const Scratch& scratch) {
  Files files;
  for (const std::string& name : scratch.Files()) files[name] = ReadText(scratch / name);
  return files;
}

void TwoTone(const Scratch& scratch) {
  WritePng(scratch / "a.png", TwoToneImage());
  WriteText(scratch / "a.json", TwoToneAnnotation("a.png"));
}

void Trained(const Scratch& scratch) {
  TwoTone(scratch);
  const RunResult train = scratch.Run({"train", "--model", "m.model", "a.json"});
  ASSERT_EQ(train.exitCode, 0) << train.err;
}

// A LabelMe file for a.png with one extra shape after the two good ones.
std::function<void(const Scratch&)> WithExtraShape(std::string shape) {
  return [shape](const Scratch& scratch) {
    TwoTone(scratch);
    WriteText(scratch / "x.json", TwoToneAnnotation("a.png", shape));
  };
}

void WithMask(const Scratch& scratch, int width, int maxValue) {
  WritePng(scratch / "a.png", TwoToneImage());
  cv::Mat mask(24, width, CV_8UC1, cv::Scalar(0));
  for (int value = 1; value <= maxValue; ++value) mask(cv::Rect(value, 2, 1, 5)).setTo(value);
  WritePng(scratch / "mask.png", mask);
}

// m.model with its format version field (bytes 8..11) set to `version`.
std::function<void(const Scratch&)> WithModelVersion(std::uint8_t version) {
  return [version](const Scratch& scratch) {
    Trained(scratch);
    std::string bytes = ReadText(scratch / "m.model");
    ASSERT_EQ(bytes.substr(0, 12), std::string("SMARTSEG\x01\0\0\0", 12));
    bytes[8] = static_cast<char>(version);
    WriteText(scratch / "v.model", bytes);
  };
}

struct ErrorCase {
  const char* name;
  std::function<void(const Scratch&)> setup;
  std::vector<std::string> arguments;
  int exitCode;
  // The start of the text after "smartseg: error: ".
  std::string message;
};

class SmartsegErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SmartsegErrors, FailsWithOneLineAndLeavesFilesAsTheyWere) {
  const ErrorCase& error = GetParam();
  Scratch scratch;
  error.setup(scratch);
  const Files before = Snapshot(scratch);
  const RunResult run = scratch.Run(error.arguments);
  EXPECT_EQ(run.exitCode, error.exitCode) << run.err;
  const std::string prefix = "smartseg: error: " + error.message;
  EXPECT_EQ(run.err.substr(0, prefix.size()), prefix) << run.err;
  ASSERT_FALSE(run.err.empty());
  EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << "not one line: " << run.err;
  EXPECT_EQ(run.out, "");
  // Nothing written, nothing left half-done, no temporary file.
  EXPECT_EQ(Snapshot(scratch), before);
}

const std::vector<std::string> kTrainX = {"train", "--model", "m.model", "x.json"};

INSTANTIATE_TEST_SUITE_P(
    Usage, SmartsegErrors,
    ::testing::Values(
        ErrorCase{"NoCommand", TwoTone, {}, 2, "A subcommand is required"},
        ErrorCase{"UnknownCommand", TwoTone, {"frobnicate"}, 2, ""},
        ErrorCase{"MissingModelOption", TwoTone, {"train", "a.json"}, 2, "--model is required"},
        ErrorCase{"UnknownOption",
                  Trained,
                  {"segment", "--model", "m.model", "--out", "o", "--bogus", "a.png"},
                  2,
                  ""},
        ErrorCase{"ZeroThreads",
                  TwoTone,
                  {"train", "--model", "m.model", "--threads", "0", "a.json"},
                  2,
                  "--threads: expected a count of 1 or more, found 0"},
        ErrorCase{"NegativeSampleSize",
                  TwoTone,
                  {"train", "--model", "m.model", "--sample-size", "-1", "a.json"},
                  2,
                  "--sample-size: expected a number above 0"},
        ErrorCase{"MaskPairWithoutImage",
                  TwoTone,
                  {"train", "--model", "m.model", "=mask.png"},
                  2,
                  "expected IMAGE=MASK, found '=mask.png'"},
        ErrorCase{"TwoImagesWithOneStem",
                  Trained,
                  {"segment", "--model", "m.model", "--out", "o", "a.png", "a.json"},
                  2,
                  "a.json and a.png would write the same files (both are named 'a')"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

INSTANTIATE_TEST_SUITE_P(
    Annotations, SmartsegErrors,
    ::testing::Values(
        ErrorCase{"MissingAnnotation",
                  TwoTone,
                  {"train", "--model", "m.model", "missing.json"},
                  1,
                  "missing.json: no such file\n"},
        ErrorCase{"InvalidJson",
                  [](const Scratch& s) { WriteText(s / "x.json", "{\"imagePath\": \"a.png\", "); },
                  kTrainX, 1, "x.json: invalid JSON: "},
        ErrorCase{"NotAnObject", [](const Scratch& s) { WriteText(s / "x.json", "[1, 2]"); },
                  kTrainX, 1, "x.json: expected a JSON object at the top level\n"},
        ErrorCase{"UnmappableShape",
                  WithExtraShape(R"({"label": "dark", "shape_type": "point", "points": [[3, 3]]})"),
                  kTrainX, 1,
                  "x.json: shape 2 (type 'point') cannot be used for training; expected polygon, "
                  "rectangle, circle, line or linestrip\n"},
        ErrorCase{
            "TooFewPoints",
            WithExtraShape(R"({"label": "dark", "shape_type": "rectangle", "points": [[3, 3]]})"),
            kTrainX, 1, "x.json: shape 2 (type 'rectangle') needs 2 points, found 1\n"},
        ErrorCase{
            "EmptyRectangle",
            WithExtraShape(
                R"({"label": "dark", "shape_type": "rectangle", "points": [[3, 3], [3, 9]]})"),
            kTrainX, 1, "x.json: shape 2 (type 'rectangle') encloses no area\n"},
        ErrorCase{
            "PointOutsideTheImage",
            WithExtraShape(
                R"({"label": "dark", "shape_type": "polygon", "points": [[2, 2], [30, 5], [4, 9]]})"),
            kTrainX, 1,
            "x.json: shape 2 (type 'polygon') has the point (30, 5) outside the 24 x 24 image\n"},
        // LabelMe puts the image's far edge at 24: 24 is on it, 24.5 beyond it.
        ErrorCase{
            "PointJustPastTheEdge",
            WithExtraShape(
                R"({"label": "dark", "shape_type": "line", "points": [[24, 24], [24.5, 5]]})"),
            kTrainX, 1,
            "x.json: shape 2 (type 'line') has the point (24.5, 5) outside the 24 x 24 image\n"},
        ErrorCase{"CircleReachingOutside",
                  WithExtraShape(
                      R"({"label": "dark", "shape_type": "circle", "points": [[3, 12], [8, 12]]})"),
                  kTrainX, 1,
                  "x.json: shape 2 (type 'circle') reaches outside the 24 x 24 image\n"},
        ErrorCase{"SizeDisagreesWithImage",
                  [](const Scratch& s) {
                    TwoTone(s);
                    WriteText(s / "x.json", TwoToneAnnotation("a.png", "", 30, 24));
                  },
                  kTrainX, 1,
                  "x.json: the annotation is for a 30 x 24 image, but a.png is 24 x 24\n"},
        ErrorCase{
            "MissingImage",
            [](const Scratch& s) { WriteText(s / "x.json", TwoToneAnnotation("nothere.png")); },
            kTrainX, 1, "nothere.png: no such file\n"},
        ErrorCase{"UndecodableImage",
                  [](const Scratch& s) {
                    WriteText(s / "a.png", "not a picture");
                    WriteText(s / "x.json", TwoToneAnnotation("a.png"));
                  },
                  kTrainX, 1, "a.png: cannot decode the image (expected a PNG or TIFF file)\n"},
        ErrorCase{"BadAnnotationLeavesTheModelAlone",
                  [](const Scratch& s) {
                    Trained(s);
                    WriteText(
                        s / "x.json",
                        TwoToneAnnotation("a.png", R"({"label": "q", "shape_type": "mask"})"));
                  },
                  kTrainX, 1, "x.json: shape 2 (type 'mask') cannot be used"},
        ErrorCase{"MaskValueWithoutName",
                  [](const Scratch& s) { WithMask(s, 24, 2); },
                  {"train", "--model", "m.model", "--label-names", "one", "a.png=mask.png"},
                  1,
                  "mask.png: holds the value 2, but only 1 label names were given\n"},
        ErrorCase{"MaskOfAnotherSize",
                  [](const Scratch& s) { WithMask(s, 20, 1); },
                  {"train", "--model", "m.model", "a.png=mask.png"},
                  1,
                  "mask.png: the mask is 20 x 24, but its image is 24 x 24\n"},
        ErrorCase{"ColourMask",
                  [](const Scratch& s) {
                    WritePng(s / "a.png", TwoToneImage());
                    WritePng(s / "mask.png", cv::Mat(24, 24, CV_8UC3, cv::Scalar(1, 1, 1)));
                  },
                  {"train", "--model", "m.model", "a.png=mask.png"},
                  1,
                  "mask.png: a label mask must be 8-bit grey\n"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

INSTANTIATE_TEST_SUITE_P(
    ModelsAndOutputs, SmartsegErrors,
    ::testing::Values(
        ErrorCase{
            "MissingModel", TwoTone, {"info", "nothing.model"}, 1, "nothing.model: no such file\n"},
        ErrorCase{"NotAModel",
                  [](const Scratch& s) { WriteText(s / "j.model", "garbage that is long enough"); },
                  {"info", "j.model"},
                  1,
                  "j.model: not a smartseg model (the file does not start with \"SMARTSEG\")\n"},
        ErrorCase{"TruncatedModel",
                  [](const Scratch& s) {
                    Trained(s);
                    const std::string bytes = ReadText(s / "m.model");
                    WriteText(s / "t.model", bytes.substr(0, bytes.size() / 2));
                  },
                  {"segment", "--model", "t.model", "--out", "o", "a.png"},
                  1,
                  "t.model: the model is damaged or truncated: "},
        ErrorCase{"TrailingBytes",
                  [](const Scratch& s) {
                    Trained(s);
                    WriteText(s / "t.model", ReadText(s / "m.model") + "xyz");
                  },
                  {"info", "t.model"},
                  1,
                  "t.model: the model is damaged: unexpected data after its end\n"},
        ErrorCase{
            "ModelFromANewerVersion",
            WithModelVersion(2),
            {"info", "v.model"},
            1,
            "v.model: the model was written by a newer version of smartseg (model format 2; this "
            "program reads format 1 and older)\n"},
        ErrorCase{"CorruptModelIsNotExtended",
                  [](const Scratch& s) {
                    TwoTone(s);
                    WriteText(s / "m.model", std::string("SMARTSEG\x01\0\0\0 broken", 19));
                  },
                  {"train", "--model", "m.model", "a.json"},
                  1,
                  "m.model: the model is damaged"},
        ErrorCase{"ModelFolderMissing",
                  TwoTone,
                  {"train", "--model", "nofolder/m.model", "a.json"},
                  1,
                  "nofolder/m.model: cannot create a file in nofolder: "},
        ErrorCase{"OutputBelowAFile",
                  Trained,
                  {"segment", "--model", "m.model", "--out", "a.png/o", "a.png"},
                  1,
                  "a.png/o: cannot create the output folder: "},
        ErrorCase{"MissingImageToSegment",
                  Trained,
                  {"segment", "--model", "m.model", "--out", "o", "gone.png"},
                  1,
                  "gone.png: no such file\n"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(SmartsegErrors, AFailingImageLeavesTheEarlierImagesWholeAndNothingOfItsOwn) {
  Scratch scratch;
  Trained(scratch);
  WriteText(scratch / "junk.png", "not a picture");
  const RunResult run =
      scratch.Run({"segment", "--model", "m.model", "--out", "o", "--quiet", "a.png", "junk.png"});
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "smartseg: error: junk.png: cannot decode the image (expected a PNG or TIFF file)\n");
  std::vector<std::string> written;
  for (const std::string& file : scratch.Files()) {
    if (file.rfind("o/", 0) == 0) written.push_back(file);
  }
  const std::vector<std::string> expected = {"o/a.json", "o/a_bright.png", "o/a_dark.png",
                                             "o/a_labels.png", "o/a_overlay.png"};
  EXPECT_EQ(written, expected);
  EXPECT_EQ(ReadPng(scratch / "o/a_labels.png").size(), cv::Size(24, 24));
}

}  // namespace
}  // namespace SmartsegTest
