// The assignments of one training item.
#pragma once

#include <cstdint>
#include <memory>

#include "interfaces/core/CollectionBase.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignment.h"

namespace Tamrix::Vision::SmartCore {

// An ordered collection of label-to-shape assignments with the collection events of
// CollectionBase. The owning SmartTrainData watches its events (see there).
class SmartLabelToShapeAssignmentCollection : public Tamrix::Vision::Implementation::CollectionBase<
                                                  std::shared_ptr<SmartLabelToShapeAssignment>> {
 public:
  using Base =
      Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<SmartLabelToShapeAssignment>>;

  explicit SmartLabelToShapeAssignmentCollection(
      const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token);
  ~SmartLabelToShapeAssignmentCollection() override = default;

 private:
  friend class cereal::access;
  SmartLabelToShapeAssignmentCollection() = default;

  // Record: the collection base part (its items as assignment pointers).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(
      Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<SmartLabelToShapeAssignment>>)
};

}  // namespace Tamrix::Vision::SmartCore

CEREAL_CLASS_VERSION(Tamrix::Vision::Implementation::CollectionBase<
                         std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment>>,
                     1)
CEREAL_CLASS_VERSION(Tamrix::Vision::SmartCore::SmartLabelToShapeAssignmentCollection, 1)
