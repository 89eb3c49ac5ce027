// Train, Retrain, the sample size and the two training flags.
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "vision/SmartSegmenter/FormatString.h"
#include "vision/SmartSegmenter/OperatorBinding.h"
#include "vision/SmartSegmenter/RunOnSegmenters.h"

namespace Tamrix::Vision::SmartSegmenter {

void SmartSegmenterOperator::Train() {
  if (fullTrainRequired_) {
    Retrain();
    return;
  }
  const std::shared_ptr<SmartCore::SmartTrainDataDatabase> database = SmartTrainDataDatabase();
  const double sampleSize = sampleSize_;
  {
    const std::shared_ptr<impl> binding = EnsureOstrelLibrary();
    detail::RunOnSegmenters<int>(*binding->segmenters,
                                 [&database, sampleSize](std::shared_ptr<Segmenter> segmenter) {
                                   segmenter->Train(*database, sampleSize);
                                   return 0;
                                 });
  }
  database_->Verify();
  setFullTrainRequired(false);
}

void SmartSegmenterOperator::Retrain() {
  const std::shared_ptr<SmartCore::SmartTrainDataDatabase> database = SmartTrainDataDatabase();
  const double sampleSize = sampleSize_;
  {
    const std::shared_ptr<impl> binding = EnsureOstrelLibrary();
    detail::RunOnSegmenters<int>(*binding->segmenters,
                                 [&database, sampleSize](std::shared_ptr<Segmenter> segmenter) {
                                   segmenter->Retrain(*database, sampleSize);
                                   return 0;
                                 });
  }
  database_->Verify();
  setFullTrainRequired(false);
}

void SmartSegmenterOperator::setSampleSize(double value) {
  if (value < 0.0) {
    throw ArgumentException(
        detail::FormatString(Strings::IDS_Tamrix_InvalidArgGE_2, {"Value", "0"}));
  }
  if (value == sampleSize_) return;
  sampleSize_ = value;
  OnChanged_(SfSampleSize);
  setFullTrainRequired(true);
}

void SmartSegmenterOperator::setFullTrainRequired(bool required) {
  // With no training data there is nothing to retrain.
  if (required && !(database_->TrainingData()->Count() > 0)) return;
  fullTrainRequired_ = required;
  if (trainingRequired_ != required) {
    trainingRequired_ = required;
    OnChanged_(SfIsDirty);
  }
}

void SmartSegmenterOperator::setTrainingRequred(bool required) {
  if (trainingRequired_ == required) return;
  trainingRequired_ = required;
  OnChanged_(SfIsDirty);
}

}  // namespace Tamrix::Vision::SmartSegmenter
