// The smartseg commands. Each returns the process exit code and reports failures by throwing
// UsageError or WorkError, which main() turns into one "smartseg: error: ..." line.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace Smartseg {

struct TrainOptions {
  std::filesystem::path model;
  std::optional<double> sampleSize;
  std::optional<int> threads;
  bool retrain = false;
  bool quiet = false;
  // Wait for another run training the same model to finish (false: fail at once).
  bool wait = true;
  std::vector<std::string> labelNames;
  // LabelMe files, or IMAGE=MASK pairs.
  std::vector<std::string> annotations;
};

struct SegmentOptions {
  std::filesystem::path model;
  std::filesystem::path out;
  std::optional<int> threads;
  bool probabilities = false;
  bool quiet = false;
  std::vector<std::filesystem::path> images;
};

struct DemoOptions {
  std::filesystem::path out = "smartseg-demo";
  std::optional<int> threads;
  bool quiet = false;
};

// Adds the annotations' training data to the model (a new one when the file does not exist),
// trains and saves it.
int RunTrain(const TrainOptions& options);
// Segments every image and writes its masks, label image, overlay and summary.
int RunSegment(const SegmentOptions& options);
// Prints what a model holds.
int RunInfo(const std::filesystem::path& model);
// Makes the bundled data, trains, saves, reloads, segments and reports the mean IoU.
int RunDemo(const DemoOptions& options);

// Sets the operator's worker count for this process.
void ApplyThreads(const std::optional<int>& threads);

// The sample sizes `train` accepts: a model trained at a scale outside them is of no use.
constexpr double kSmallestSampleSize = 0.01;
constexpr double kLargestSampleSize = 1000.0;

// The label names of a comma-separated --label-names value. Throws UsageError naming an empty
// name, or one holding control characters or broken UTF-8.
std::vector<std::string> SplitLabelNames(const std::string& text);

}  // namespace Smartseg
