// Output files: one file per label whatever the label's name, label values above 255, and an
// image's outputs replaced as one set. Plans that would replace a file are refused in the error
// table.
#include <gtest/gtest.h>

#include <map>

#include <nlohmann/json.hpp>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

using Json = nlohmann::json;

struct NamePair {
  const char* name;
  std::string dark, bright;
  // The mask files expected, worked out by hand from the escaping rule.
  std::string darkFile, brightFile;
};

// Test names say which case ran; the parameter itself is not worth printing.
void PrintTo(const NamePair& value, std::ostream* out) { *out << value.name; }

class SmartsegLabelFiles : public ::testing::TestWithParam<NamePair> {};

TEST_P(SmartsegLabelFiles, LabelsWhoseNamesOnceClashedGetAFileEach) {
  const NamePair& pair = GetParam();
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  WriteText(scratch / "a.json", TwoToneLabelled(pair.dark, pair.bright));
  ASSERT_EQ(scratch.Run("train --model m.model --quiet a.json").exitCode, 0);
  const RunResult run = scratch.Run("segment --model m.model --out o --quiet a.png");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const Json summary = Json::parse(ReadText(scratch / "o/a.json"));
  ASSERT_EQ(summary["labels"].size(), 2u);
  EXPECT_EQ(summary["labels"][0]["file"], pair.darkFile);
  EXPECT_EQ(summary["labels"][1]["file"], pair.brightFile);
  // Each file holds its own label's mask: white on its own half only.
  const cv::Mat dark = ReadPng(scratch / "o" / pair.darkFile);
  const cv::Mat bright = ReadPng(scratch / "o" / pair.brightFile);
  ASSERT_FALSE(dark.empty());
  ASSERT_FALSE(bright.empty());
  EXPECT_EQ(dark.at<std::uint8_t>(12, 4), 255);
  EXPECT_EQ(dark.at<std::uint8_t>(12, 19), 0);
  EXPECT_EQ(bright.at<std::uint8_t>(12, 4), 0);
  EXPECT_EQ(bright.at<std::uint8_t>(12, 19), 255);
}

const std::vector<NamePair> kPairs = {
    {"AccentedLetters", "\xc3\xa9", "\xc3\xbc", "a_\xc3\xa9.png", "a_\xc3\xbc.png"},
    {"SpaceAndSlash", "a b", "a/b", "a_a%20b.png", "a_a%2Fb.png"},
    {"UnderscoreAndSpace", "a_b", "a b", "a_a_b.png", "a_a%20b.png"},
    {"ChineseCharacters", "\xe7\x8c\xab", "\xe7\x8a\xac", "a_\xe7\x8c\xab.png",
     "a_\xe7\x8a\xac.png"},
    {"PercentAndItsEscape", "%", "%25", "a_%25.png", "a_%2525.png"},
    {"ReservedNames", "labels", "label_labels", "a_label_labels.png", "a_label_label_labels.png"},
};

INSTANTIATE_TEST_SUITE_P(Cases, SmartsegLabelFiles, ::testing::ValuesIn(kPairs),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(SmartsegOutputs, MoreThan255LabelsGiveA16BitLabelImage) {
  Scratch scratch;
  // 300 labels, each on a 2 x 2 block of its own grey level, in a 40 x 30 grid of blocks.
  constexpr int kLabels = 300;
  cv::Mat image(60, 40, CV_8UC1);
  std::string shapes;
  for (int k = 0; k < kLabels; ++k) {
    const int x = (k % 20) * 2, y = (k / 20) * 2;
    image(cv::Rect(x, y, 2, 2)).setTo(k % 256);
    image(cv::Rect(x, y + 30, 2, 2)).setTo(k % 256);
    shapes += std::string(k ? "," : "") + R"({"label": "l)" + std::to_string(k + 1) +
              R"(", "shape_type": "rectangle", "points": [[)" + std::to_string(x) + ", " +
              std::to_string(y) + "], [" + std::to_string(x + 2) + ", " + std::to_string(y + 2) +
              "]]}";
  }
  WritePng(scratch / "a.png", image);
  WriteText(scratch / "a.json", R"({"imagePath": "a.png", "imageWidth": 40, "imageHeight": 60,
    "shapes": [)" + shapes + "]}");
  const RunResult train = scratch.Run("train --model m.model --quiet a.json");
  ASSERT_EQ(train.exitCode, 0) << train.err;
  const RunResult run = scratch.Run("segment --model m.model --out o --quiet a.png");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  const cv::Mat labels = ReadPng(scratch / "o/a_labels.png");
  ASSERT_EQ(labels.type(), CV_16UC1);
  double highest = 0.0;
  cv::minMaxLoc(labels, nullptr, &highest);
  EXPECT_GT(highest, 255.0);
  EXPECT_LE(highest, kLabels);
  const Json summary = Json::parse(ReadText(scratch / "o/a.json"));
  EXPECT_EQ(summary["label_image"], Json({{"file", "a_labels.png"}, {"bits", 16}}));
}

// A noisy colour picture whose overlay compresses badly, so that its overlay is by far the
// largest output.
cv::Mat NoisyColour() {
  cv::Mat image(96, 96, CV_8UC3);
  cv::randu(image, cv::Scalar::all(0), cv::Scalar::all(255));
  image(cv::Rect(0, 0, 48, 96)) *= 0.3;
  return image;
}

TEST(SmartsegOutputs, AFailedWriteLeavesTheEarlierSetIntact) {
  Scratch scratch;
  WritePng(scratch / "a.png", NoisyColour());
  WriteText(scratch / "a.json", R"({"imagePath": "a.png", "imageWidth": 96, "imageHeight": 96,
    "shapes": [{"label": "dark", "shape_type": "rectangle", "points": [[2, 2], [40, 90]]},
      {"label": "bright", "shape_type": "rectangle", "points": [[56, 2], [94, 90]]}]})");
  ASSERT_EQ(scratch.Run("train --model m.model --quiet a.json").exitCode, 0);
  ASSERT_EQ(scratch.Run("segment --model m.model --out o --quiet a.png").exitCode, 0);
  const auto before = Snapshot(scratch);
  ASSERT_EQ(before.size(), 4u + 5);  // a.png, a.json, m.model, o and its five files
  std::size_t largestMask = 0;
  for (const char* mask : {"a_dark.png", "a_bright.png", "a_labels.png"}) {
    largestMask = std::max(largestMask, before.at(std::string("o/") + mask).size());
  }
  const std::size_t overlay = before.at("o/a_overlay.png").size();
  ASSERT_GT(overlay, 4 * largestMask);

  // Writes past the limit fail as on a full disk: the masks fit, the overlay does not.
  RunSettings settings;
  settings.fileSizeLimit = static_cast<rlim_t>(2 * largestMask);
  const RunResult run = scratch.RunWords(
      Scratch::Split("segment --model m.model --out o --probabilities --quiet a.png"), settings);
  EXPECT_EQ(run.exitCode, 1);
  // Which file hits the limit first depends on how well each compresses.
  EXPECT_EQ(run.err.rfind("smartseg: error: o/a_", 0), 0u) << run.err;
  EXPECT_NE(run.err.find(".png: cannot write: File too large\n"), std::string::npos) << run.err;
  EXPECT_EQ(Snapshot(scratch), before);
}

TEST(SmartsegOutputs, TemporariesOfAKilledRunAreRemovedByTheNextRunInTheFolder) {
  Scratch scratch;
  TrainedTwoTone(scratch);
  std::filesystem::create_directory(scratch / "o");
  // A process id that is certainly free: a child that has been reaped.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  const std::string stale = ".a_dark.png.smartseg-tmp-" + std::to_string(gone) + "-Ab12Cd";
  WriteText(scratch / "o" / stale, "half a mask");
  WriteText(scratch / "o/.keep", "not ours");
  const RunResult run = scratch.Run("segment --model m.model --out o a.png");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("smartseg: warning: o: removed 1 temporary file(s) left by an "
                         "interrupted smartseg run\n"),
            std::string::npos)
      << run.err;
  EXPECT_FALSE(std::filesystem::exists(scratch / "o" / stale));
  EXPECT_TRUE(std::filesystem::exists(scratch / "o/.keep"));
}

}  // namespace
}  // namespace SmartsegTest
