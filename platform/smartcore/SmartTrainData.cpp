#include "interfaces/smartcore/SmartTrainData.h"

#include <utility>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Settings.h"

namespace Tamrix::Vision::SmartCore {

const long long SmartTrainData::SfTrainingContent;

namespace {
using Assignment = std::shared_ptr<SmartLabelToShapeAssignment>;
}  // namespace

SmartTrainData::SmartTrainData(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                               std::shared_ptr<Tamrix::Vision::IImage> image, bool isTraining)
    : ChangedEventShareableBase(token),
      image_(std::move(image)),
      isTraining_(isTraining),
      assignments_(std::make_shared<SmartLabelToShapeAssignmentCollection>(token)) {
  SubscribeToAssignments();
}

SmartTrainData::~SmartTrainData() {
  // Whoever still holds the assignment collection must not reach this item any more.
  DisconnectFromAssignments();
}

void SmartTrainData::setImage(std::shared_ptr<Tamrix::Vision::IImage> image) {
  if (image == image_) return;
  image_ = std::move(image);
  OnChanged_(SfTrainingContent);
}

void SmartTrainData::setIsTraining(bool isTraining) {
  if (isTraining == isTraining_) return;
  // Stored before the event: receivers decide on IsTraining() inside their slots.
  isTraining_ = isTraining;
  OnChanged_(SfTrainingContent);
}

std::shared_ptr<SmartLabelToShapeAssignment> SmartTrainData::AddAssignment(
    std::shared_ptr<ISmartLabel> label, std::shared_ptr<Tamrix::Vision::IShape> shape) {
  auto assignment = std::make_shared<SmartLabelToShapeAssignment>(
      Tamrix::Vorn::IObject::ObjectCreateAccessToken{}, std::move(label), std::move(shape));
  assignments_->Add(assignment);
  return assignment;
}

void SmartTrainData::SubscribeToAssignments() {
  if (!assignments_) return;
  // The slots hold a plain pointer, not a shared one: the item owns the collection, so a shared
  // pointer in the collection's events would be a cycle. Every slot is tracked by the item's
  // lifetime token and cut by the destructor.
  const std::weak_ptr<char> alive(lifetime_);
  auto changed = [this](int, const Assignment&) { OnChanged_(SfTrainingContent); };
  connections_[0] = assignments_->InsertedItemEvent().Connect(alive, changed);
  connections_[1] = assignments_->RemovedItemEvent().Connect(alive, changed);
  connections_[2] = assignments_->ReplacedItemEvent().Connect(
      alive, [this](int, const Assignment& before, const Assignment& after) {
        if (before != after) OnChanged_(SfTrainingContent);
      });
  connections_[3] = assignments_->ClearingEvent().Connect(
      alive, [this] { clearingNonEmpty_ = assignments_->Count() > 0; });
  connections_[4] = assignments_->ClearedEvent().Connect(alive, [this] {
    if (!clearingNonEmpty_) return;
    clearingNonEmpty_ = false;
    OnChanged_(SfTrainingContent);
  });
}

void SmartTrainData::DisconnectFromAssignments() {
  for (auto& connection : connections_) connection.disconnect();
}

template <class Archive>
void SmartTrainData::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "SmartTrainData::serialize()");
    DisconnectFromAssignments();
    archive(cereal::base_class<ChangedEventShareableBase>(this), image_);
    Archiving::LoadBool(archive, isTraining_);
    archive(assignments_);
    if (!assignments_) {
      throw cereal::Exception(
          "SmartTrainData::serialize(): expected an assignment collection, found a null pointer");
    }
    SubscribeToAssignments();
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this), image_);
    Archiving::SaveBool(archive, isTraining_);
    archive(assignments_);
  }
}

template void SmartTrainData::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void SmartTrainData::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision::SmartCore
