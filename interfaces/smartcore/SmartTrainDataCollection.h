// The read-only view of a database's training items.
#pragma once

#include <cstdint>
#include <memory>

#include "interfaces/core/ReadOnlyCollectionBase.h"
#include "interfaces/smartcore/SmartTrainData.h"

namespace Tamrix::Vision::SmartCore {

class SmartTrainDataDatabase;

// Every item of one SmartTrainDataDatabase, in database order. Only the database changes it;
// readers see each change as soon as the database made it.
class SmartTrainDataCollection : public Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
                                     std::shared_ptr<SmartTrainData>> {
 public:
  using Base =
      Tamrix::Vision::Implementation::ReadOnlyCollectionBase<std::shared_ptr<SmartTrainData>>;

  explicit SmartTrainDataCollection(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token);
  ~SmartTrainDataCollection() override = default;

 private:
  friend class cereal::access;
  friend class SmartTrainDataDatabase;
  SmartTrainDataCollection() = default;

  // Record: the read-only collection base part (its items as training-item pointers).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(
      Tamrix::Vision::Implementation::ReadOnlyCollectionBase<std::shared_ptr<SmartTrainData>>)
};

}  // namespace Tamrix::Vision::SmartCore

CEREAL_CLASS_VERSION(Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
                         std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData>>,
                     1)
CEREAL_CLASS_VERSION(Tamrix::Vision::SmartCore::SmartTrainDataCollection, 1)
