#include "interfaces/smartcore/SmartLabelToShapeAssignment.h"

#include <utility>

#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignmentCollection.h"

namespace Tamrix::Vision::SmartCore {

const long long SmartLabelToShapeAssignment::SfAssignment;

SmartLabelToShapeAssignment::SmartLabelToShapeAssignment(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, std::shared_ptr<ISmartLabel> label,
    std::shared_ptr<Tamrix::Vision::IShape> shape)
    : ChangedEventShareableBase(token), label_(std::move(label)), shape_(std::move(shape)) {
  SubscribeToShape();
}

SmartLabelToShapeAssignment::~SmartLabelToShapeAssignment() {
  // The shape may outlive this assignment; its event must not keep calling into freed memory.
  shapeConnection_.disconnect();
}

void SmartLabelToShapeAssignment::setLabel(std::shared_ptr<ISmartLabel> label) {
  if (label == label_) return;
  label_ = std::move(label);
  OnChanged_(SfAssignment);
}

void SmartLabelToShapeAssignment::setShape(std::shared_ptr<Tamrix::Vision::IShape> shape) {
  if (shape == shape_) return;
  shapeConnection_.disconnect();
  shape_ = std::move(shape);
  SubscribeToShape();
  OnChanged_(SfAssignment);
}

void SmartLabelToShapeAssignment::SubscribeToShape() {
  if (!shape_) return;
  // The slot holds a plain pointer: a shared one would make the shape own its assignment. The
  // tracked lifetime token and the disconnect in the destructor keep the pointer valid.
  shapeConnection_ = shape_->ChangedEvent().Connect(
      std::weak_ptr<char>(lifetime_),
      [this](const std::shared_ptr<ChangedEventArgs>&) { OnChanged_(SfAssignment); });
}

template <class Archive>
void SmartLabelToShapeAssignment::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "SmartLabelToShapeAssignment::serialize()");
    shapeConnection_.disconnect();
    archive(cereal::base_class<ChangedEventShareableBase>(this), label_, shape_);
    SubscribeToShape();
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this), label_, shape_);
  }
}

template void SmartLabelToShapeAssignment::serialize(cereal::PortableBinaryOutputArchive&,
                                                     std::uint32_t);
template void SmartLabelToShapeAssignment::serialize(cereal::PortableBinaryInputArchive&,
                                                     std::uint32_t);

SmartLabelToShapeAssignmentCollection::SmartLabelToShapeAssignmentCollection(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
    : Base(token) {}

template <class Archive>
void SmartLabelToShapeAssignmentCollection::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1,
                                      "SmartLabelToShapeAssignmentCollection::serialize()");
  }
  archive(cereal::base_class<Base>(this));
}

template void SmartLabelToShapeAssignmentCollection::serialize(cereal::PortableBinaryOutputArchive&,
                                                               std::uint32_t);
template void SmartLabelToShapeAssignmentCollection::serialize(cereal::PortableBinaryInputArchive&,
                                                               std::uint32_t);

}  // namespace Tamrix::Vision::SmartCore
