// Construction, final construction, accessors and the class-wide members of the operator.
#include "vision/SmartSegmenter/SmartSegmenterOperator"

#include "vision/SmartSegmenter/OperatorBinding.h"

namespace Tamrix::Vision::SmartSegmenter {

std::mutex SmartSegmenterOperator::lock_;
const long long SmartSegmenterOperator::sf0_ = 1;
const long long SmartSegmenterOperator::SfIsDirty = 1;
const long long SmartSegmenterOperator::SfSampleSize = 2;
const long long SmartSegmenterOperator::SfNextSf_ = 4;

SmartSegmenterOperator::SmartSegmenterOperator(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
    : ChangedEventShareableBase(token),
      database_(std::make_shared<SmartCore::SmartTrainDataDatabase>(token)),
      labels_(std::make_shared<SmartCore::SmartLabelCollection>(token)) {}

SmartSegmenterOperator::SmartSegmenterOperator()
    : SmartSegmenterOperator(Tamrix::Vorn::IObject::ObjectCreateAccessToken{}) {}

// Subscriptions reach the operator only through weak references, so nothing is disconnected.
SmartSegmenterOperator::~SmartSegmenterOperator() = default;

std::shared_ptr<SmartSegmenterOperator> SmartSegmenterOperator::shared_from_this() {
  return std::dynamic_pointer_cast<SmartSegmenterOperator>(ShareableBase::shared_from_this());
}

std::shared_ptr<const SmartSegmenterOperator> SmartSegmenterOperator::shared_from_this() const {
  return std::dynamic_pointer_cast<const SmartSegmenterOperator>(ShareableBase::shared_from_this());
}

void SmartSegmenterOperator::FinalConstruct() {
  const auto trainingData = database_->TrainingData();
  for (const auto& item : *trainingData) {
    {
      std::shared_ptr<impl> binding = EnsureOstrelLibrary();
      EnsureLabelSegmenters(*binding, item.get());
    }
    RegisterItemChangedEvent(item);
  }
  const std::weak_ptr<SmartSegmenterOperator> self = shared_from_this();
  database_->ItemAddedEvent().Connect(self, &SmartSegmenterOperator::DatabaseItemAdded);
  database_->ItemRemovedEvent().Connect(self, &SmartSegmenterOperator::DatabaseItemRemoved);
  labels_->RemovedItemEvent().Connect(self, &SmartSegmenterOperator::LabelRemoved);
}

std::shared_ptr<SmartCore::SmartTrainDataDatabase> SmartSegmenterOperator::SmartTrainDataDatabase()
    const {
  return database_;
}

std::shared_ptr<SmartCore::SmartLabelCollection> SmartSegmenterOperator::Labels() const {
  return labels_;
}

bool SmartSegmenterOperator::IsDirty() const { return fullTrainRequired_ || trainingRequired_; }

double SmartSegmenterOperator::SampleSize() const { return sampleSize_; }

}  // namespace Tamrix::Vision::SmartSegmenter
