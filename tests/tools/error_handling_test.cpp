// Bad usage, bad input and refused output plans: the exit code, the one error line, and nothing
// written or changed.
#include <gtest/gtest.h>

#include <functional>

#include "tests/tools/support/LabelMeFiles.h"
#include "tests/tools/support/PngBytes.h"
#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

using Setup = std::function<void(const Scratch&)>;

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
    TrainedTwoTone(scratch);
    WriteText(scratch / "t.model", change(ReadText(scratch / "m.model")));
  };
}

// Trained on the two-tone files, plus b.png written by `bytes`. Segment makes its output folder o
// before it reads an image, and removes it again when the image is refused.
Setup TrainedAndB(const std::function<std::string()>& bytes) {
  return [bytes](const Scratch& scratch) {
    TrainedTwoTone(scratch);
    WriteText(scratch / "b.png", bytes());
  };
}

// Arguments given as one text split at spaces, or word by word.
struct Arguments {
  Arguments(const char* text) : words(Scratch::Split(text)) {}
  Arguments(std::initializer_list<std::string> list) : words(list) {}
  std::vector<std::string> words;
};

struct ErrorCase {
  const char* name;
  Setup setup;
  Arguments arguments;
  int exitCode;
  // The start of the text after "smartseg: error: "; ending in a line break, the whole of it.
  std::string message;
  // Refused before any work: even with progress from the first moment, the line is all there is.
  bool beforeWork = false;
};

// Test names say which case ran; the parameter itself is not worth printing.
void PrintTo(const ErrorCase& value, std::ostream* out) { *out << value.name; }

class SmartsegErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SmartsegErrors, FailsWithOneLineAndLeavesFilesAsTheyWere) {
  const ErrorCase& error = GetParam();
  Scratch scratch;
  error.setup(scratch);
  const auto before = Snapshot(scratch);
  RunSettings settings;
  if (error.beforeWork) settings.environment = {"SMARTSEG_PROGRESS_DELAY=0"};
  const RunResult run = scratch.RunWords(error.arguments.words, settings);
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
const char* kSegmentB = "segment --model m.model --out o --quiet b.png";

void Pictures(const Scratch& scratch) {
  ThreePictures(scratch);
  const RunResult train = scratch.Run("train --model m.model --quiet a.json");
  ASSERT_EQ(train.exitCode, 0) << train.err;
}

const std::vector<ErrorCase> kUsage = {
    {"NoCommand", WriteTwoTone, "", 2, "A subcommand is required"},
    {"MisspelledCommand", Pictures, "trian --model m.model b.json", 2,
     "unknown command 'trian'; expected one of train, segment, info, demo, serve (see smartseg "
     "--help)\n",
     true},
    {"MissingModelOption", WriteTwoTone, "train a.json", 2, "--model is required"},
    {"UnknownOption", TrainedTwoTone, "segment --model m.model --out o --bogus a.png", 2, ""},
    {"ZeroThreads", WriteTwoTone, "train --model m.model --threads 0 a.json", 2,
     "--threads: expected a count of 1 or more, found 0"},
    {"NegativeSampleSize", WriteTwoTone, "train --model m.model --sample-size -1 a.json", 2,
     "--sample-size: expected a number above 0"},
    {"InfiniteSampleSize", Pictures, "train --model m.model --sample-size inf b.json", 2,
     "--sample-size: expected a number from 0.01 to 1000, found inf\n", true},
    {"TinySampleSize", Pictures, "train --model m.model --sample-size 1e-200 b.json", 2,
     "--sample-size: expected a number from 0.01 to 1000, found 1e-200\n", true},
    {"EmptyLabelName", Pictures, "train --model m.model --label-names a,,b a.png=mask.png", 2,
     "--label-names: label name 2 is empty (in 'a,,b'); give one name per mask value, separated "
     "by commas\n",
     true},
    {"LabelNameWithEscapes",
     Pictures,
     {"train", "--model", "m.model", "--label-names", "ok,\x1b[2J\nred", "a.png=mask.png"},
     2,
     "--label-names: label name 2 ('\\x1b[2J\\nred') holds control characters or is not UTF-8 "
     "text\n",
     true},
    {"LabelNameNotUtf8",
     Pictures,
     {"train", "--model", "m.model", "--label-names",
      "ok,r\xe9"
      "d",
      "a.png=mask.png"},
     2,
     "--label-names: label name 2 ('r\\xe9d') holds control characters or is not UTF-8 text\n",
     true},
    {"EmptyModelName",
     Pictures,
     {"train", "--model", "", "b.json"},
     2,
     "--model: the model file name is empty\n",
     true},
    {"ModelInAMissingFolder", Pictures, "train --model nofolder/m.model b.json", 1,
     "nofolder/m.model: cannot create a file in nofolder: No such file or directory\n", true},
    {"ModelIsAFolder", Pictures, "train --model . b.json", 1,
     ".: is a folder; name the model file to create or extend\n", true},
    {"MaskPairWithoutImage", WriteTwoTone, "train --model m.model =mask.png", 2,
     "expected IMAGE=MASK, found '=mask.png'"},
    {"TwoImagesWithOneStem", TrainedTwoTone, "segment --model m.model --out o a.png a.json", 2,
     "a.json and a.png would write the same files (both are named 'a')"},
};

// Annotations, masks and their images.
const std::vector<ErrorCase> kAnnotations = {
    {"MissingAnnotation", WriteTwoTone, "train --model m.model missing.json", 1,
     "missing.json: no such file\n"},
    {"FolderWithoutAnnotations",
     [](const Scratch& scratch) {
       std::filesystem::create_directories(scratch / "empty");
       WriteText(scratch / "empty/a.txt", "");
     },
     "train --model m.model empty", 1, "empty: the folder holds no .json annotation file\n"},
    {"InvalidJson", Text("x.json", R"({"imagePath": "a.png", )"), kTrainX, 1,
     "x.json: invalid JSON: "},
    {"NotAnObject", Text("x.json", "[1, 2]"), kTrainX, 1,
     "x.json: expected a JSON object at the top level\n"},
    {"TooFewPoints", Extra("rectangle", "[[3, 3]]"), kTrainX, 1,
     "x.json: shape 2 (type 'rectangle') needs 2 points, found 1\n"},
    {"SizeDisagreesWithImage",
     Both(WriteTwoTone, Text("x.json", TwoToneAnnotation("a.png", "", 30, 24))), kTrainX, 1,
     "x.json: the annotation is for a 30 x 24 image, but a.png is 24 x 24\n"},
    {"MissingImage", Text("x.json", TwoToneAnnotation("nothere.png")), kTrainX, 1,
     "x.json: cannot read its image (\"imagePath\"): nothere.png: no such file\n"},
    {"UndecodableImage",
     Both(Text("x.json", TwoToneAnnotation("a.png")), Text("a.png", "not a picture")), kTrainX, 1,
     "x.json: cannot read its image (\"imagePath\"): a.png: cannot decode the image (expected a "
     "PNG, TIFF or JPEG file)\n"},
    {"BadAnnotationLeavesTheModelAlone", Both(TrainedTwoTone, Extra("mask")), kTrainX, 1,
     "x.json: shape 2 (type 'mask') has no \"points\" array\n"},
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
};

// Models.
const std::vector<ErrorCase> kModels = {
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
};

// Images to segment: refused with one line naming the image.
const std::vector<ErrorCase> kImages = {
    {"MissingImageToSegment", TrainedTwoTone, "segment --model m.model --out o gone.png", 1,
     "gone.png: no such file\n"},
    {"TruncatedPng", TrainedAndB([] {
       const std::string png = EncodeImage(TwoToneImage(), ".png");
       return png.substr(0, png.size() - 30);
     }),
     kSegmentB, 1, "b.png: cannot decode the PNG image: "},
    {"HeaderOfAHugeImage", TrainedAndB([] { return PngHeaderOnly(100000, 100000); }), kSegmentB, 1,
     "b.png: the image is 100000 x 100000 = 10000000000 pixels, more than the limit of "
     "268435456; raise it with --max-pixels if this is the image you meant\n"},
    // 875 KB that inflate to 900 megapixels: refused from the header, before any pixel memory.
    {"DecompressionBomb", TrainedAndB([] { return PngHeaderOnly(30000, 30000); }), kSegmentB, 1,
     "b.png: the image is 30000 x 30000 = 900000000 pixels, more than the limit of 268435456; "
     "raise it with --max-pixels if this is the image you meant\n"},
    {"LimitLoweredOnTheCommandLine",
     TrainedAndB([] { return EncodeImage(TwoToneImage(), ".png"); }),
     "segment --model m.model --out o --quiet --max-pixels 500 b.png", 1,
     "b.png: the image is 24 x 24 = 576 pixels, more than the limit of 500; raise it with "
     "--max-pixels if this is the image you meant\n"},
    {"MultiPageTiff",
     [](const Scratch& scratch) {
       TrainedAndB([] { return ""; })(scratch);
       ASSERT_TRUE(cv::imwritemulti((scratch / "b.tif").string(),
                                    std::vector<cv::Mat>{TwoToneImage(), TwoToneImage()}));
     },
     "segment --model m.model --out o --quiet b.tif", 1,
     "b.tif: the TIFF file holds 2 pages; smartseg reads single-page images (save the page to use "
     "as a file of its own)\n"},
    {"FolderGivenAsImage",
     [](const Scratch& scratch) {
       TrainedTwoTone(scratch);
       std::filesystem::create_directory(scratch / "b.png");
     },
     kSegmentB, 1, "b.png: is a folder, not an image file (name the images in it)\n"},
    {"SixteenBitColour",
     TrainedAndB([] { return MakePng(2, 1, 16, 2, {std::string(12, '\x10')}); }), kSegmentB, 1,
     "b.png: unsupported pixels: expected 8-bit or 16-bit grey or 8-bit colour, found 16-bit "
     "colour (convert it to 8-bit colour)\n"},
    {"EmptyFile", TrainedAndB([] { return std::string(); }), kSegmentB, 1,
     "b.png: the file is empty (expected a PNG, TIFF or JPEG file)\n"},
    {"NotAnImage", TrainedAndB([] { return std::string("GIF89a and more"); }), kSegmentB, 1,
     "b.png: cannot decode the image (expected a PNG, TIFF or JPEG file)\n"},
};

// Output plans that would replace an input, an annotation or one of their own files, or that
// need a file name too long: refused before anything is written.
const std::vector<ErrorCase> kOutputs = {
    {"OutputBelowAFile", TrainedTwoTone, "segment --model m.model --out a.png/o a.png", 1,
     "a.png/o: cannot create the output folder: "},
    {"OutputReplacingAnInput",
     [](const Scratch& scratch) {
       TrainedTwoTone(scratch);
       WritePng(scratch / "a_overlay.png", TwoToneImage());
     },
     "segment --model m.model --out . --quiet a.png a_overlay.png", 2,
     "./a_overlay.png, an output of a.png, would replace the input a_overlay.png; choose another "
     "--out folder\n"},
    {"SummaryReplacingAnAnnotation", TrainedTwoTone,
     "segment --model m.model --out . --quiet a.png", 2,
     "./a.json exists and is not a smartseg summary (an annotation?); choose another --out folder "
     "so that it is not replaced\n"},
    // a.png's probability file for "x" and a_x.png's mask for "prob" share a name.
    {"OneFileWrittenTwice",
     [](const Scratch& scratch) {
       WritePng(scratch / "a.png", TwoToneImage());
       WritePng(scratch / "a_x.png", TwoToneImage());
       WriteText(scratch / "a.json", TwoToneLabelled("x", "prob"));
       ASSERT_EQ(scratch.Run("train --model m.model --quiet a.json").exitCode, 0);
     },
     "segment --model m.model --out o --probabilities --quiet a.png a_x.png", 2,
     "o/a_x_prob.png would be written twice, for a.png and for a_x.png; segment them into "
     "different --out folders\n"},
    {"LabelTooLongForAFileName",
     [](const Scratch& scratch) {
       WritePng(scratch / "a.png", TwoToneImage());
       WriteText(scratch / "a.json", TwoToneLabelled(std::string(300, 'x'), "bright"));
       ASSERT_EQ(scratch.Run("train --model m.model --quiet a.json").exitCode, 0);
     },
     "segment --model m.model --out o --quiet a.png", 2,
     "o/a_" + std::string(300, 'x') +
         ".png: the file name would be longer than 255 bytes; shorten the label name or the image "
         "name\n"},
};

const auto kName = [](const auto& test) { return std::string(test.param.name); };
INSTANTIATE_TEST_SUITE_P(Usage, SmartsegErrors, ::testing::ValuesIn(kUsage), kName);
INSTANTIATE_TEST_SUITE_P(Annotations, SmartsegErrors, ::testing::ValuesIn(kAnnotations), kName);
INSTANTIATE_TEST_SUITE_P(Models, SmartsegErrors, ::testing::ValuesIn(kModels), kName);
INSTANTIATE_TEST_SUITE_P(Images, SmartsegErrors, ::testing::ValuesIn(kImages), kName);
INSTANTIATE_TEST_SUITE_P(Outputs, SmartsegErrors, ::testing::ValuesIn(kOutputs), kName);

TEST(SmartsegErrors, AFailingImageLeavesTheEarlierImagesWholeAndNothingOfItsOwn) {
  Scratch scratch;
  TrainedTwoTone(scratch);
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

// The first image is decoded while the model loads; a damaged model is still the error reported
// when the image is bad too, and nothing is written.
TEST(SmartsegErrors, ADamagedModelIsReportedBeforeADamagedImage) {
  Scratch scratch;
  TrainedTwoTone(scratch);
  const std::string model = ReadText(scratch / "m.model");
  WriteText(scratch / "t.model", model.substr(0, model.size() / 2));
  WriteText(scratch / "junk.png", "not a picture");
  const RunResult run = scratch.Run("segment --model t.model --out o --quiet junk.png a.png");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err.rfind("smartseg: error: t.model: the model is damaged or truncated: ", 0), 0u)
      << run.err;
  for (const std::string& file : scratch.Files()) EXPECT_NE(file.rfind("o/", 0), 0u) << file;
}

}  // namespace
}  // namespace SmartsegTest
