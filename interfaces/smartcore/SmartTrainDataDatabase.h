// The training-data database of a segmenter.
#pragma once

#include <cstdint>
#include <memory>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Event.h"
#include "interfaces/smartcore/ISmartTrainDatabaseVerifier.h"
#include "interfaces/smartcore/SmartDatabaseItemsChangedEventArgs.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"

namespace Tamrix::Vision::SmartCore {

using SmartDatabaseItemsChangedEvent =
    Tamrix::Vorn::Event<const std::shared_ptr<SmartDatabaseItemsChangedEventArgs>&>;

// An ordered set of training items: each item at most once, never null.
//
// ItemAddedEvent() is raised after the item is in TrainingData(); ItemRemovedEvent() after the
// item has left it, so slots of either event see the database as it is now. Clear() removes the
// items one by one from the last to the first, raising ItemRemovedEvent() for each. An exception
// from a slot reaches the editing caller; the edit itself has been made.
// Not synchronised: one thread edits the database at a time.
class SmartTrainDataDatabase : public ChangedEventShareableBase {
 public:
  explicit SmartTrainDataDatabase(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token);
  ~SmartTrainDataDatabase() override = default;

  virtual SmartDatabaseItemsChangedEvent& ItemAddedEvent();
  virtual SmartDatabaseItemsChangedEvent& ItemRemovedEvent();

  // Every item in database order; the same collection object for the database's whole life.
  std::shared_ptr<SmartTrainDataCollection> TrainingData() const { return trainingData_; }

  // Append or insert an item. Throw ArgumentException for a null item, an item already in the
  // database, or (Insert) an index outside [0, Count()].
  void Add(const std::shared_ptr<SmartTrainData>& item);
  void Insert(int index, const std::shared_ptr<SmartTrainData>& item);
  // Removes the item; false when it is not in the database.
  bool Remove(const std::shared_ptr<SmartTrainData>& item);
  // Throws ArgumentException for an index outside [0, Count()).
  void RemoveAt(int index);
  void Clear();

  // Throws VisionException (code InvalidData) naming the first offending item, and assignment,
  // when an item has no image, an assignment has no label or no shape, or a shape's bounds are
  // empty, not finite or lie wholly outside its image, [-0.5, width - 0.5] x [-0.5, height - 0.5].
  // When the database passes, the verifier (if one is set) checks it as well.
  void Verify() const;
  // The verifier is part of the configuration, not of the data: it is not archived.
  void setVerifier(std::shared_ptr<ISmartTrainDatabaseVerifier> verifier) {
    verifier_ = std::move(verifier);
  }
  std::shared_ptr<ISmartTrainDatabaseVerifier> Verifier() const { return verifier_; }

 private:
  friend class cereal::access;
  SmartTrainDataDatabase() = default;

  // Record: ChangedEventShareableBase part, then the training-data collection (pointer record).
  // Loading places the items without raising item events.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  std::shared_ptr<SmartTrainDataCollection> trainingData_;
  std::shared_ptr<ISmartTrainDatabaseVerifier> verifier_;
  SmartDatabaseItemsChangedEvent itemAdded_;
  SmartDatabaseItemsChangedEvent itemRemoved_;

  RTTR_ENABLE(ChangedEventShareableBase)
};

}  // namespace Tamrix::Vision::SmartCore

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartCore::SmartTrainDataDatabase, 1)
