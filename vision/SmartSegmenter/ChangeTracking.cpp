// Keeping the training flags, the segmenter list and the item subscriptions in step with edits
// of the training data.
#include "vision/SmartSegmenter/OperatorBinding.h"

namespace Tamrix::Vision::SmartSegmenter {
namespace {

bool UsesLabelName(const SmartCore::SmartTrainData& item, const std::string& name) {
  for (const auto& assignment : *item.Assignments()) {
    const auto label = AssignedLabel(assignment);
    if (label && label->Name() == name) return true;
  }
  return false;
}

}  // namespace

void SmartSegmenterOperator::RegisterItemChangedEvent(
    std::shared_ptr<SmartCore::SmartTrainData> item) {
  std::shared_ptr<impl> binding = EnsureOstrelLibrary();
  // An item is registered once; connecting again would deliver its events twice.
  if (binding->itemConnections->count(item) != 0) return;

  // Every slot is tracked by the operator, so no handler ever runs on a destroyed operator even
  // when items and assignments outlive it.
  const std::weak_ptr<SmartSegmenterOperator> self = shared_from_this();
  SmartSegmenterOperator* const raw = this;
  // The slots live in the item's own events (and its assignments'), so they hold the item weakly:
  // a strong reference would keep the item alive through its own event after everyone let go.
  const std::weak_ptr<SmartCore::SmartTrainData> weakItem = item;
  auto connections = std::make_shared<impl::ConnectionList>();
  connections->push_back(item->ChangedEvent().Connect(
      self, [raw, weakItem](const std::shared_ptr<ChangedEventArgs>& args) {
        if (auto changed = weakItem.lock()) raw->DatabaseItemChanged(changed, args);
      }));
  for (const auto& assignment : *item->Assignments()) {
    if (!assignment) continue;
    connections->push_back(assignment->ChangedEvent().Connect(
        self, [raw, weakItem](const std::shared_ptr<ChangedEventArgs>& args) {
          if (auto changed = weakItem.lock()) raw->ShapeAssignmentChanged(changed, args);
        }));
  }
  binding->itemConnections->emplace(std::move(item), std::move(connections));
}

void SmartSegmenterOperator::DatabaseItemAdded(
    const std::shared_ptr<SmartCore::SmartDatabaseItemsChangedEventArgs>& args) {
  std::shared_ptr<SmartCore::SmartTrainData> item = args->ChangedItem();
  if (item->IsTraining()) setTrainingRequred(true);
  {
    std::shared_ptr<impl> binding = EnsureOstrelLibrary();
    EnsureLabelSegmenters(*binding, item.get());
  }
  RegisterItemChangedEvent(item);
}

void SmartSegmenterOperator::DatabaseItemRemoved(
    const std::shared_ptr<SmartCore::SmartDatabaseItemsChangedEventArgs>& args) {
  const std::shared_ptr<SmartCore::SmartTrainData> item = args->ChangedItem();
  {
    std::shared_ptr<impl> binding = EnsureOstrelLibrary();
    auto entry = binding->itemConnections->find(item);
    if (entry != binding->itemConnections->end()) {
      for (auto& connection : *entry->second) connection.disconnect();
      binding->itemConnections->erase(entry);
    }
  }
  // The removed event comes after the item left the database, so the search below sees only
  // the items that remain.
  const auto trainingData = database_->TrainingData();
  for (const auto& assignment : *item->Assignments()) {
    const auto label = AssignedLabel(assignment);
    if (!label) continue;
    const std::string name = label->Name();
    bool stillUsed = false;
    for (const auto& other : *trainingData) {
      if (UsesLabelName(*other, name)) {
        stillUsed = true;
        break;
      }
    }
    if (stillUsed) continue;
    std::shared_ptr<impl> binding = EnsureOstrelLibrary();
    SegmenterList& segmenters = *binding->segmenters;
    const auto found = FindSegmenterByLabelName(segmenters.begin(), segmenters.end(), name);
    if (found != segmenters.end()) segmenters.erase(found);
  }
  if (item->IsTraining()) setFullTrainRequired(true);
}

void SmartSegmenterOperator::DatabaseItemChanged(std::shared_ptr<SmartCore::SmartTrainData> item,
                                                 std::shared_ptr<ChangedEventArgs> args) {
  if (args->Flags() != 2) return;
  const auto trainingData = database_->TrainingData();
  const int count = trainingData->Count();
  const int position = trainingData->IndexOf(item);
  // Only a change of the last item can be learned incrementally: the engine may have learned
  // every earlier item already.
  const bool full = position < count - 1 ? true : !item->IsTraining();
  setFullTrainRequired(full);
  setTrainingRequred(true);
}

void SmartSegmenterOperator::ShapeAssignmentChanged(std::shared_ptr<SmartCore::SmartTrainData> item,
                                                    std::shared_ptr<ChangedEventArgs> args) {
  if (args->Flags() == 1 && item->IsTraining()) setFullTrainRequired(true);
}

void SmartSegmenterOperator::LabelRemoved(int /*index*/,
                                          const std::shared_ptr<SmartCore::SmartLabel>& label) {
  if (!label) return;  // a null entry of the label collection names no label
  const std::string name = label->Name();
  const auto trainingData = database_->TrainingData();
  for (const auto& item : *trainingData) {
    const auto assignments = item->Assignments();
    for (const auto& assignment : *assignments) {
      const auto assigned = AssignedLabel(assignment);
      if (assigned && assigned->Name() == name) {
        // Copy first: removing invalidates the iteration.
        const auto found = assignment;
        assignments->Remove(found);
        break;
      }
    }
  }
  std::shared_ptr<impl> binding = EnsureOstrelLibrary();
  RemoveLabelSegmenter(*binding->segmenters, *label);
}

}  // namespace Tamrix::Vision::SmartSegmenter
