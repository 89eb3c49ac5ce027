// The results of one execution of a segmenter.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "interfaces/core/ReadOnlyCollectionBase.h"
#include "interfaces/smartcore/ISmartSegmenterResult.h"

namespace Tamrix::Vision::SmartSegmenter {
class SmartSegmenterOperator;
}  // namespace Tamrix::Vision::SmartSegmenter

namespace Tamrix::Vision::SmartCore {

// One result per label, in the segmenter's label order. Read-only: only the segmenter that
// executed creates it.
class SmartSegmenterResults : public Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
                                  std::shared_ptr<ISmartSegmenterResult>> {
 public:
  using Base = Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
      std::shared_ptr<ISmartSegmenterResult>>;

  ~SmartSegmenterResults() override = default;

 private:
  friend class cereal::access;
  friend class Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;
  friend struct SmartSegmenterResultsTestAccess;

  SmartSegmenterResults() = default;
  explicit SmartSegmenterResults(std::vector<std::shared_ptr<ISmartSegmenterResult>> results);
  SmartSegmenterResults(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                        std::vector<std::shared_ptr<ISmartSegmenterResult>> results);

  // Record: the read-only collection base part (its items as polymorphic result pointers).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
              std::shared_ptr<ISmartSegmenterResult>>)
};

}  // namespace Tamrix::Vision::SmartCore

CEREAL_CLASS_VERSION(Tamrix::Vision::Implementation::ReadOnlyCollectionBase<
                         std::shared_ptr<Tamrix::Vision::SmartCore::ISmartSegmenterResult>>,
                     1)
CEREAL_CLASS_VERSION(Tamrix::Vision::SmartCore::SmartSegmenterResults, 1)
