#include <cstdio>

#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tools/smartseg/AnnotationFolders.h"
#include "tools/smartseg/Commands.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ModelFile.h"
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

}  // namespace

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
  for (const std::string& name : options.labelNames) {
    if (name.empty()) throw UsageError("--label-names: a label name is empty");
  }
  if (options.sampleSize && !(*options.sampleSize > 0.0)) {
    throw UsageError("--sample-size: expected a number above 0");
  }
  std::error_code error;
  const bool existing = std::filesystem::exists(options.model, error);
  const std::shared_ptr<Operator> model = existing ? LoadModel(options.model) : CreateOperator();

  TrainingSet training(*model);
  const std::vector<std::string> annotations = ExpandAnnotationFolders(options.annotations);
  Progress progress("reading annotation", static_cast<int>(annotations.size()), options.quiet);
  int index = 0;
  for (const std::string& annotation : annotations) {
    progress.Step(++index, annotation);
    std::string image, mask;
    if (IsMaskPair(annotation, image, mask)) {
      training.AddMask(image, mask, options.labelNames);
    } else {
      training.AddLabelMe(annotation);
    }
  }
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

  progress.Phase(std::string(options.retrain ? "retraining" : "training") + " on " +
                 std::to_string(database->TrainingData()->Count()) + " item(s)");
  try {
    if (options.retrain) {
      model->Retrain();
    } else {
      model->Train();
    }
  } catch (const std::exception& failure) {
    throw WorkError(options.model, std::string("training failed: ") + failure.what());
  }
  SaveModel(options.model, model);
  std::printf("Trained %d label(s) (%s) on %d item(s), %d new; model written to %s\n",
              model->Labels()->Count(), JoinLabelNames(*model).c_str(),
              database->TrainingData()->Count(), added, options.model.string().c_str());
  return kExitSuccess;
}

}  // namespace Smartseg
