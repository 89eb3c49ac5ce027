// Bad usage and bad input: the exit code, the one error line, and nothing written or changed.
#include <gtest/gtest.h>

#include <functional>
#include <map>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

using Files = std::map<std::string, std::string>;
using Setup = std::function<void(const Scratch&)>;

Files Snapshot(const Scratch& scratch) {
  Files files;
  for (const std::string& name : scratch.Files()) files[name] = ReadText(scratch / name);
  return files;
}

void Trained(const Scratch& scratch) {
  WriteTwoTone(scratch);
  const RunResult train = scratch.Run("train --model m.model a.json");
  ASSERT_EQ(train.exitCode, 0) << train.err;
}

Setup Text(const char* name, const std::string& text) {
  return [name, text](const Scratch& scratch) { WriteText(scratch / name, text); };
}

Setup Both(const Setup& first, const Setup& second) {
  return [first, second](const Scratch& scratch) {
    first(scratch);
    second(scratch);
  };
}

// The two-tone files plus x.json: a LabelMe file for a.png with a shape of `type` over `points`
// after the two good ones.
Setup Extra(const std::string& type, const std::string& points = "") {
  const std::string shape = R"({"label": "d", "shape_type": ")" + type + "\"" +
                            (points.empty() ? "" : ", \"points\": " + points) + "}";
  return Both(WriteTwoTone, Text("x.json", TwoToneAnnotation("a.png", shape)));
}

// a.png and a mask of `width` x 24 holding the values 1..maxValue.
Setup Mask(int width, int maxValue) {
  return [width, maxValue](const Scratch& scratch) {
    WritePng(scratch / "a.png", TwoToneImage());
    cv::Mat mask(24, width, CV_8UC1, cv::Scalar(0));
    for (int value = 1; value <= maxValue; ++value) mask(cv::Rect(value, 2, 1, 5)).setTo(value);
    WritePng(scratch / "mask.png", mask);
  };
}

// Trained, plus t.model: the trained model changed by `change`.
Setup Model(const std::function<std::string(std::string)>& change) {
  return [change](const Scratch& scratch) {
    Trained(scratch);
    WriteText(scratch / "t.model", change(ReadText(scratch / "m.model")));
  };
}

struct ErrorCase {
  const char* name;
  Setup setup;
  std::string arguments;
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

const char* kTrainX = "train --model m.model x.json";
const char* kTrainMask = "train --model m.model a.png=mask.png";

const std::vector<ErrorCase> kCases = {
    {"NoCommand", WriteTwoTone, "", 2, "A subcommand is required"},
    {"UnknownCommand", WriteTwoTone, "frobnicate", 2, ""},
    {"MissingModelOption", WriteTwoTone, "train a.json", 2, "--model is required"},
    {"UnknownOption", Trained, "segment --model m.model --out o --bogus a.png", 2, ""},
    {"ZeroThreads", WriteTwoTone, "train --model m.model --threads 0 a.json", 2,
     "--threads: expected a count of 1 or more, found 0"},
    {"NegativeSampleSize", WriteTwoTone, "train --model m.model --sample-size -1 a.json", 2,
     "--sample-size: expected a number above 0"},
    {"MaskPairWithoutImage", WriteTwoTone, "train --model m.model =mask.png", 2,
     "expected IMAGE=MASK, found '=mask.png'"},
    {"TwoImagesWithOneStem", Trained, "segment --model m.model --out o a.png a.json", 2,
     "a.json and a.png would write the same files (both are named 'a')"},
    // Annotations and their images.
    {"MissingAnnotation", WriteTwoTone, "train --model m.model missing.json", 1,
     "missing.json: no such file\n"},
    {"InvalidJson", Text("x.json", R"({"imagePath": "a.png", )"), kTrainX, 1,
     "x.json: invalid JSON: "},
    {"NotAnObject", Text("x.json", "[1, 2]"), kTrainX, 1,
     "x.json: expected a JSON object at the top level\n"},
    {"UnmappableShape", Extra("point", "[[3, 3]]"), kTrainX, 1,
     "x.json: shape 2 (type 'point') cannot be used for training; expected polygon, rectangle, "
     "circle, line or linestrip\n"},
    {"TooFewPoints", Extra("rectangle", "[[3, 3]]"), kTrainX, 1,
     "x.json: shape 2 (type 'rectangle') needs 2 points, found 1\n"},
    {"EmptyRectangle", Extra("rectangle", "[[3, 3], [3, 9]]"), kTrainX, 1,
     "x.json: shape 2 (type 'rectangle') encloses no area\n"},
    {"PointOutsideTheImage", Extra("polygon", "[[2, 2], [30, 5], [4, 9]]"), kTrainX, 1,
     "x.json: shape 2 (type 'polygon') has the point (30, 5) outside the 24 x 24 image\n"},
    // LabelMe puts the image's far edge at 24: 24 is on it, 24.5 beyond it.
    {"PointJustPastTheEdge", Extra("line", "[[24, 24], [24.5, 5]]"), kTrainX, 1,
     "x.json: shape 2 (type 'line') has the point (24.5, 5) outside the 24 x 24 image\n"},
    {"CircleReachingOutside", Extra("circle", "[[3, 12], [8, 12]]"), kTrainX, 1,
     "x.json: shape 2 (type 'circle') reaches outside the 24 x 24 image\n"},
    {"SizeDisagreesWithImage",
     Both(WriteTwoTone, Text("x.json", TwoToneAnnotation("a.png", "", 30, 24))), kTrainX, 1,
     "x.json: the annotation is for a 30 x 24 image, but a.png is 24 x 24\n"},
    {"MissingImage", Text("x.json", TwoToneAnnotation("nothere.png")), kTrainX, 1,
     "nothere.png: no such file\n"},
    {"UndecodableImage",
     Both(Text("x.json", TwoToneAnnotation("a.png")), Text("a.png", "not a picture")), kTrainX, 1,
     "a.png: cannot decode the image (expected a PNG, TIFF or JPEG file)\n"},
    {"BadAnnotationLeavesTheModelAlone", Both(Trained, Extra("mask")), kTrainX, 1,
     "x.json: shape 2 (type 'mask') cannot be used"},
    {"MaskValueWithoutName", Mask(24, 2), "train --model m.model --label-names one a.png=mask.png",
     1, "mask.png: holds the value 2, but only 1 label names were given\n"},
    {"MaskOfAnotherSize", Mask(20, 1), kTrainMask, 1,
     "mask.png: the mask is 20 x 24, but its image is 24 x 24\n"},
    {"ColourMask",
     [](const Scratch& s) {
       WritePng(s / "a.png", TwoToneImage());
       WritePng(s / "mask.png", cv::Mat(24, 24, CV_8UC3, cv::Scalar(1, 1, 1)));
     },
     kTrainMask, 1, "mask.png: a label mask must be 8-bit grey\n"},
    // Models and outputs.
    {"MissingModel", WriteTwoTone, "info nothing.model", 1, "nothing.model: no such file\n"},
    {"NotAModel", Text("t.model", "garbage that is long enough"), "info t.model", 1,
     "t.model: not a smartseg model (the file does not start with \"SMARTSEG\")\n"},
    {"TruncatedModel", Model([](std::string bytes) { return bytes.substr(0, bytes.size() / 2); }),
     "segment --model t.model --out o a.png", 1, "t.model: the model is damaged or truncated: "},
    {"TrailingBytes", Model([](std::string bytes) { return bytes + "xyz"; }), "info t.model", 1,
     "t.model: the model is damaged: unexpected data after its end\n"},
    // The format version field is bytes 8..11.
    {"ModelFromANewerVersion", Model([](std::string bytes) {
       EXPECT_EQ(bytes.substr(0, 12), std::string("SMARTSEG\x01\0\0\0", 12));
       bytes[8] = 2;
       return bytes;
     }),
     "info t.model", 1,
     "t.model: the model was written by a newer version of smartseg (model format 2; this program "
     "reads format 1 and older)\n"},
    {"CorruptModelIsNotExtended",
     Both(WriteTwoTone, Text("m.model", std::string("SMARTSEG\x01\0\0\0 broken", 19))),
     "train --model m.model a.json", 1, "m.model: the model is damaged"},
    {"ModelFolderMissing", WriteTwoTone, "train --model nofolder/m.model a.json", 1,
     "nofolder/m.model: cannot create a file in nofolder: "},
    {"OutputBelowAFile", Trained, "segment --model m.model --out a.png/o a.png", 1,
     "a.png/o: cannot create the output folder: "},
    {"MissingImageToSegment", Trained, "segment --model m.model --out o gone.png", 1,
     "gone.png: no such file\n"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SmartsegErrors, ::testing::ValuesIn(kCases),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SmartsegErrors, AFailingImageLeavesTheEarlierImagesWholeAndNothingOfItsOwn) {
  Scratch scratch;
  Trained(scratch);
  WriteText(scratch / "junk.png", "not a picture");
  const RunResult run = scratch.Run("segment --model m.model --out o --quiet a.png junk.png");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(
      run.err,
      "smartseg: error: junk.png: cannot decode the image (expected a PNG, TIFF or JPEG file)\n");
  std::vector<std::string> written;
  for (const std::string& file : scratch.Files()) {
    if (file.rfind("o/", 0) == 0) written.push_back(file);
  }
  EXPECT_EQ(written, (std::vector<std::string>{"o/a.json", "o/a_bright.png", "o/a_dark.png",
                                               "o/a_labels.png", "o/a_overlay.png"}));
  EXPECT_EQ(ReadPng(scratch / "o/a_labels.png").size(), cv::Size(24, 24));
}

}  // namespace
}  // namespace SmartsegTest
