#include <cmath>
#include <cstdio>
#include <memory>

#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tools/smartseg/AnnotationFolders.h"
#include "tools/smartseg/Commands.h"
#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ModelFile.h"
#include "tools/smartseg/ModelLock.h"
#include "tools/smartseg/Progress.h"
#include "tools/smartseg/TrainingSet.h"

namespace Smartseg {
namespace {

// An annotation argument that names no existing file but holds '=' is an IMAGE=MASK pair.
bool IsMaskPair(const std::string& annotation, std::string& image, std::string& mask) {
  std::error_code ignored;
  if (std::filesystem::exists(annotation, ignored)) return false;
  const auto split = annotation.find('=');
  if (split == std::string::npos) return false;
  image = annotation.substr(0, split);
  mask = annotation.substr(split + 1);
  if (image.empty() || mask.empty()) {
    throw UsageError("expected IMAGE=MASK, found '" + annotation + "'");
  }
  return true;
}

std::string JoinLabelNames(const Operator& model) {
  const auto labels = model.Labels();
  std::string names;
  for (int i = 0; i < labels->Count(); ++i) {
    names += (i ? ", " : "") + labels->Item(i)->Name();
  }
  return names;
}

void CheckOptions(const TrainOptions& options) {
  for (std::size_t i = 0; i < options.labelNames.size(); ++i) {
    if (options.labelNames[i].empty()) {
      throw UsageError("--label-names: label name " + std::to_string(i + 1) + " is empty");
    }
  }
  if (options.sampleSize) {
    const double size = *options.sampleSize;
    if (!(size > 0.0)) throw UsageError("--sample-size: expected a number above 0");
    if (!std::isfinite(size) || size < kSmallestSampleSize || size > kLargestSampleSize) {
      char text[128];
      std::snprintf(text, sizeof(text), "--sample-size: expected a number from %g to %g, found %g",
                    kSmallestSampleSize, kLargestSampleSize, size);
      throw UsageError(text);
    }
  }
  if (options.model.empty()) throw UsageError("--model: the model file name is empty");
  std::error_code error;
  if (std::filesystem::is_directory(options.model, error)) {
    throw WorkError(options.model, "is a folder; name the model file to create or extend");
  }
}

}  // namespace

std::vector<std::string> SplitLabelNames(const std::string& text) {
  std::vector<std::string> names;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    names.push_back(
        text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string position = "label name " + std::to_string(i + 1);
    if (names[i].empty()) {
      throw UsageError("--label-names: " + position + " is empty (in '" + PrintableText(text) +
                       "'); give one name per mask value, separated by commas");
    }
    if (PrintableText(names[i]) != names[i]) {
      throw UsageError("--label-names: " + position + " ('" + PrintableText(names[i]) +
                       "') holds control characters or is not UTF-8 text");
    }
  }
  return names;
}

void ApplyThreads(const std::optional<int>& threads) {
  if (!threads) return;
  if (*threads < 1) {
    throw UsageError("--threads: expected a count of 1 or more, found " + std::to_string(*threads));
  }
  Tamrix::Vision::VisionToolMultiThreading::setEnable(true);
  Tamrix::Vision::VisionToolMultiThreading::setThreadCount(*threads);
}

int RunTrain(const TrainOptions& options) {
  ApplyThreads(options.threads);
  CheckOptions(options);
  // Held from reading the model to writing it back, so that two runs extending one model take
  // turns instead of one losing the other's additions; also finds an unwritable model folder
  // before minutes of training.
  const ModelLock lock(options.model, options.wait, options.quiet);
  std::error_code error;
  const bool existing = std::filesystem::exists(options.model, error);
  std::shared_ptr<Operator> model;
  {
    const ProgressPhase phase("loading " + options.model.string(), options.quiet || !existing);
    model = existing ? LoadModel(options.model) : CreateOperator();
  }

  TrainingSet training(*model);
  const std::vector<std::string> annotations = ExpandAnnotationFolders(options.annotations);
  Progress progress("reading annotation", static_cast<int>(annotations.size()), options.quiet);
  int index = 0;
  // One image can take long to read; the steps alone report only when the next one starts.
  auto reading = std::make_unique<ProgressPhase>(
      "reading " + std::to_string(annotations.size()) + " annotation(s)", options.quiet);
  for (const std::string& annotation : annotations) {
    progress.Step(++index, PrintableText(annotation));
    std::string image, mask;
    if (IsMaskPair(annotation, image, mask)) {
      training.AddMask(image, mask, options.labelNames);
    } else {
      training.AddLabelMe(annotation);
    }
  }
  reading.reset();
  const int added = training.ItemCount();
  training.MoveInto(*model);

  const auto database = model->SmartTrainDataDatabase();
  try {
    database->Verify();
  } catch (const std::exception& failure) {
    throw WorkError(options.model,
                    std::string("the training data is not usable: ") + failure.what());
  }
  if (model->Labels()->Count() == 0) {
    throw WorkError(options.annotations.front(), "no labelled shapes to train on");
  }
  if (options.sampleSize) model->setSampleSize(*options.sampleSize);

  try {
    const ProgressPhase phase(std::string(options.retrain ? "retraining" : "training") + " on " +
                                  std::to_string(database->TrainingData()->Count()) + " item(s)",
                              options.quiet);
    if (options.retrain) {
      model->Retrain();
    } else {
      model->Train();
    }
  } catch (const std::exception& failure) {
    throw WorkError(options.model, std::string("training failed: ") + failure.what());
  }
  {
    const ProgressPhase phase("saving " + options.model.string(), options.quiet);
    SaveModel(options.model, model);
  }
  std::printf("Trained %d label(s) (%s) on %d item(s), %d new; model written to %s\n",
              model->Labels()->Count(), PrintableText(JoinLabelNames(*model)).c_str(),
              database->TrainingData()->Count(), added,
              PrintableText(options.model.string()).c_str());
  return kExitSuccess;
}

}  // namespace Smartseg
