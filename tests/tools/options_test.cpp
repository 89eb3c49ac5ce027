// The command line: lists that must not swallow annotations, options checked as strictly as the
// model file is, and messages that name what is wrong without echoing control characters.
#include <gtest/gtest.h>

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

// a.png, b.png and c.png with an annotation each, and a mask for a.png holding values 1 and 2.
void ThreePictures(const Scratch& scratch) {
  int variant = 0;
  for (const char* name : {"a", "b", "c"}) {
    WritePng(scratch / (std::string(name) + ".png"), TwoToneImage(variant++));
    WriteText(scratch / (std::string(name) + ".json"),
              TwoToneAnnotation(std::string(name) + ".png"));
  }
  cv::Mat mask(24, 24, CV_8UC1, cv::Scalar(0));
  mask(cv::Rect(1, 2, 8, 18)).setTo(1);
  mask(cv::Rect(15, 3, 6, 17)).setTo(2);
  WritePng(scratch / "mask.png", mask);
}

TEST(SmartsegOptions, LabelNamesBeforeTheAnnotationsTakeOneValueAndTrainOnAllOfThem) {
  Scratch scratch;
  ThreePictures(scratch);
  // The order the README and --help show.
  const RunResult run =
      scratch.Run("train --model q.model --label-names a,b,c,d a.json b.json c.json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("on 3 item(s), 3 new"), std::string::npos) << run.out;

  const RunResult masks =
      scratch.Run("train --model r.model --label-names dark,bright --quiet a.png=mask.png");
  ASSERT_EQ(masks.exitCode, 0) << masks.err;
  EXPECT_NE(masks.out.find("(dark, bright) on 1 item(s)"), std::string::npos) << masks.out;
}

struct UsageCase {
  const char* name;
  std::vector<std::string> arguments;
  // The whole error line after "smartseg: error: ".
  std::string message;
  int exitCode = 2;
};

// Test names say which case ran; the parameter itself is not worth printing.
void PrintTo(const UsageCase& value, std::ostream* out) { *out << value.name; }

class SmartsegUsage : public ::testing::TestWithParam<UsageCase> {};

TEST_P(SmartsegUsage, RefusesBeforeAnyWorkWithOneLineAndChangesNothing) {
  const UsageCase& usage = GetParam();
  Scratch scratch;
  ThreePictures(scratch);
  ASSERT_EQ(scratch.Run("train --model m.model --quiet a.json").exitCode, 0);
  const Files before = Snapshot(scratch);
  // Progress from the first moment: a refused run must not have started training.
  const RunResult run = scratch.RunWords(usage.arguments, {{"SMARTSEG_PROGRESS_DELAY=0"}});
  EXPECT_EQ(run.exitCode, usage.exitCode) << run.err;
  EXPECT_EQ(run.err, "smartseg: error: " + usage.message + "\n");
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(Snapshot(scratch), before);
  // The model still loads: a refused option never reaches the file.
  EXPECT_EQ(scratch.Run("info m.model").exitCode, 0);
}

const std::vector<UsageCase> kUsage = {
    {"InfiniteSampleSize",
     {"train", "--model", "m.model", "--sample-size", "inf", "b.json"},
     "--sample-size: expected a number from 0.01 to 1000, found inf"},
    {"TinySampleSize",
     {"train", "--model", "m.model", "--sample-size", "1e-200", "b.json"},
     "--sample-size: expected a number from 0.01 to 1000, found 1e-200"},
    {"EmptyLabelName",
     {"train", "--model", "m.model", "--label-names", "a,,b", "a.png=mask.png"},
     "--label-names: label name 2 is empty (in 'a,,b'); give one name per mask value, separated "
     "by commas"},
    {"LabelNameWithEscapes",
     {"train", "--model", "m.model", "--label-names", "ok,\x1b[2J\nred", "a.png=mask.png"},
     "--label-names: label name 2 ('\\x1b[2J\\nred') holds control characters or is not UTF-8 "
     "text"},
    {"LabelNameNotUtf8",
     {"train", "--model", "m.model", "--label-names",
      "ok,r\xe9"
      "d",
      "a.png=mask.png"},
     "--label-names: label name 2 ('r\\xe9d') holds control characters or is not UTF-8 text"},
    {"MisspelledCommand",
     {"trian", "--model", "m.model", "b.json"},
     "unknown command 'trian'; expected one of train, segment, info, demo, serve (see smartseg "
     "--help)"},
    {"EmptyModelName", {"train", "--model", "", "b.json"}, "--model: the model file name is empty"},
    {"ModelInAMissingFolder",
     {"train", "--model", "nofolder/m.model", "b.json"},
     "nofolder/m.model: cannot create a file in nofolder: No such file or directory",
     1},
    {"ModelIsAFolder",
     {"train", "--model", ".", "b.json"},
     ".: is a folder; name the model file to create or extend",
     1},
};

INSTANTIATE_TEST_SUITE_P(Cases, SmartsegUsage, ::testing::ValuesIn(kUsage),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SmartsegOptions, VersionPrintsTheProgramVersion) {
  Scratch scratch;
  const RunResult run = scratch.Run("--version");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out.rfind("smartseg ", 0), 0u) << run.out;
  EXPECT_EQ(run.out.find_first_of("0123456789"), 9u) << run.out;
  EXPECT_EQ(run.err, "");
}

// Every byte below 0x20 except the line ends, and DEL.
bool HasControlCharacters(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\n') || byte == 0x7f) return true;
  }
  return false;
}

TEST(SmartsegOptions, LabelNamesFromAnnotationsAreShownEscaped) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  // A label that clears the screen and forges a line of its own.
  WriteText(scratch / "a.json",
            R"({"imagePath": "a.png", "imageWidth": 24, "imageHeight": 24, "shapes": [
      {"label": "dark\u001b[2J\nsmartseg: all fine", "shape_type": "rectangle",
       "points": [[1, 2], [9, 20]]},
      {"label": "bright", "shape_type": "rectangle", "points": [[15, 3], [22, 20]]}]})");
  const RunResult train = scratch.Run("train --model m.model --quiet a.json");
  ASSERT_EQ(train.exitCode, 0) << train.err;
  EXPECT_NE(train.out.find("(dark\\x1b[2J\\nsmartseg: all fine, bright)"), std::string::npos)
      << train.out;
  const RunResult info = scratch.Run("info m.model");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("1=dark\\x1b[2J\\nsmartseg: all fine, 2=bright"), std::string::npos)
      << info.out;
  const RunResult segment = scratch.Run("segment --model m.model --out o --quiet a.png");
  ASSERT_EQ(segment.exitCode, 0) << segment.err;
  for (const RunResult* run : {&train, &info, &segment}) {
    EXPECT_FALSE(HasControlCharacters(run->out + run->err)) << run->out << run->err;
  }
}

}  // namespace
}  // namespace SmartsegTest
