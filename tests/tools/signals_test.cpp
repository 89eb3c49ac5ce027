// Interrupting segment: whatever moment a signal arrives, each image keeps either its earlier
// outputs or all of its new ones, and no temporary file stays behind.
#include <gtest/gtest.h>

#include <signal.h>

#include <nlohmann/json.hpp>
#include <opencv2/imgproc.hpp>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

using namespace std::chrono_literals;
using Json = nlohmann::json;

constexpr int kImages = 6;

// segment over the six pictures into o, with or without probabilities.
std::vector<std::string> Segment(bool probabilities) {
  std::vector<std::string> arguments = {"segment", "--model", "m.model", "--out", "o", "--quiet"};
  if (probabilities) arguments.push_back("--probabilities");
  for (int i = 0; i < kImages; ++i) arguments.push_back("p" + std::to_string(i) + ".png");
  return arguments;
}

// Six 160 x 160 two-tone pictures, a model, and a first segmentation of all of them without
// probabilities.
void Prepared(const Scratch& scratch) {
  cv::Mat image;
  cv::resize(TwoToneImage(), image, cv::Size(160, 160), 0, 0, cv::INTER_NEAREST);
  for (int i = 0; i < kImages; ++i) WritePng(scratch / ("p" + std::to_string(i) + ".png"), image);
  TrainedTwoTone(scratch);
  const RunResult first = scratch.RunWords(Segment(false));
  ASSERT_EQ(first.exitCode, 0) << first.err;
}

// Each image's files are the first run's set or the second run's, whole; none are temporary.
void ExpectWholeSets(const Scratch& scratch) {
  for (const std::string& file : scratch.Files()) {
    EXPECT_EQ(file.find(".smartseg-tmp-"), std::string::npos) << file;
  }
  for (int i = 0; i < kImages; ++i) {
    const std::string stem = "o/p" + std::to_string(i);
    ASSERT_TRUE(std::filesystem::exists(scratch / (stem + ".json"))) << stem;
    const Json summary = Json::parse(ReadText(scratch / (stem + ".json")));
    const bool second = summary["labels"][0].contains("probability_file");
    for (const char* suffix : {"_dark.png", "_bright.png", "_labels.png", "_overlay.png"}) {
      EXPECT_TRUE(std::filesystem::exists(scratch / (stem + suffix))) << stem << suffix;
    }
    for (const char* suffix : {"_dark_prob.png", "_bright_prob.png"}) {
      EXPECT_EQ(std::filesystem::exists(scratch / (stem + suffix)), second) << stem << suffix;
    }
  }
}

struct Interruption {
  std::string name;
  int signal;
  std::chrono::milliseconds after;
};

// Test names say which case ran; the parameter itself is not worth printing.
void PrintTo(const Interruption& value, std::ostream* out) { *out << value.name; }

class SmartsegSignals : public ::testing::TestWithParam<Interruption> {};

TEST_P(SmartsegSignals, LeaveEveryImageWithAWholeSetAndNoTemporaries) {
  const Interruption& interruption = GetParam();
  Scratch scratch;
  Prepared(scratch);
  const Started run = scratch.Start(Segment(true));
  std::this_thread::sleep_for(interruption.after);
  kill(run.pid, interruption.signal);
  const RunResult result = Scratch::Wait(run, 120s);
  // Either the signal ended it, or it had finished before.
  EXPECT_TRUE(result.exitCode == 128 + interruption.signal || result.exitCode == 0)
      << result.exitCode << " " << result.err;
  if (interruption.signal != SIGKILL) {
    ExpectWholeSets(scratch);
    return;
  }
  // SIGKILL cannot be caught: the next run in the folder clears what the killed one left, and
  // every output of the first run is still there in some version.
  const RunResult next = scratch.RunWords(Segment(true));
  ASSERT_EQ(next.exitCode, 0) << next.err;
  ExpectWholeSets(scratch);
}

std::vector<Interruption> Interruptions() {
  std::vector<Interruption> cases;
  const std::pair<const char*, int> signals[] = {
      {"Int", SIGINT}, {"Term", SIGTERM}, {"Hup", SIGHUP}, {"Kill", SIGKILL}};
  const std::pair<const char*, int> delays[] = {{"Early", 30}, {"Midway", 150}, {"Late", 400}};
  for (const auto& [signalName, signal] : signals) {
    for (const auto& [delayName, milliseconds] : delays) {
      cases.push_back(
          {std::string(signalName) + delayName, signal, std::chrono::milliseconds(milliseconds)});
    }
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Cases, SmartsegSignals, ::testing::ValuesIn(Interruptions()),
                         [](const auto& test) { return test.param.name; });

}  // namespace
}  // namespace SmartsegTest
