// The collection of labels that a segmenter knows.
#pragma once

#include <cstdint>
#include <memory>

#include "interfaces/core/CollectionBase.h"
#include "interfaces/smartcore/SmartLabel.h"

namespace Tamrix::Vision::SmartCore {

// An ordered collection of labels with the collection events of CollectionBase; RemovedItemEvent
// comes after the label has left the collection. Labels are held by shared reference, so the
// same label object may also be used by assignments.
class SmartLabelCollection
    : public Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<SmartLabel>> {
 public:
  using Base = Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<SmartLabel>>;

  explicit SmartLabelCollection(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token);
  ~SmartLabelCollection() override = default;

 private:
  friend class cereal::access;
  SmartLabelCollection() = default;

  // Record: the collection base part (its items as polymorphic label pointers).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(Tamrix::Vision::Implementation::CollectionBase<std::shared_ptr<SmartLabel>>)
};

}  // namespace Tamrix::Vision::SmartCore

CEREAL_CLASS_VERSION(Tamrix::Vision::Implementation::CollectionBase<
                         std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>>,
                     1)
CEREAL_CLASS_VERSION(Tamrix::Vision::SmartCore::SmartLabelCollection, 1)
