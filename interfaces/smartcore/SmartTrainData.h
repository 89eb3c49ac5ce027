// One item of training data: an image with labelled shapes.
#pragma once

#include <cstdint>
#include <memory>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Event.h"
#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/smartcore/ISmartLabel.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignmentCollection.h"

namespace Tamrix::Vision::SmartCore {

// An image together with the shapes in it that are assigned to labels. A training item
// (IsTraining() true) takes part in training; other items are kept, for example for testing.
//
// OnChanged_(SfTrainingContent) is raised after the training content changed, with the new state
// already stored: by setImage() and setIsTraining(), and after an assignment was inserted into,
// removed from or replaced in Assignments(), or the assignments were cleared. A setter given the
// current value, Clear() of an empty collection, Replace() with the same assignment and Move()
// raise nothing. Edits inside an assignment (its label or shape) are announced by the assignment
// itself, not by the item; edits of the image's pixels are not watched.
// Not synchronised: one thread edits an item at a time.
class SmartTrainData : public ChangedEventShareableBase {
 public:
  // Raised after the training content changed (see above).
  static const long long SfTrainingContent = 2;

  SmartTrainData(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                 std::shared_ptr<Tamrix::Vision::IImage> image, bool isTraining = true);
  ~SmartTrainData() override;
  SmartTrainData(const SmartTrainData&) = delete;
  SmartTrainData& operator=(const SmartTrainData&) = delete;

  std::shared_ptr<Tamrix::Vision::IImage> Image() const { return image_; }
  void setImage(std::shared_ptr<Tamrix::Vision::IImage> image);
  bool IsTraining() const { return isTraining_; }
  void setIsTraining(bool isTraining);

  // The item's own assignment collection: the same object for the item's whole life.
  std::shared_ptr<SmartLabelToShapeAssignmentCollection> Assignments() const {
    return assignments_;
  }
  // Appends a new assignment of `shape` to `label` and returns it.
  std::shared_ptr<SmartLabelToShapeAssignment> AddAssignment(
      std::shared_ptr<ISmartLabel> label, std::shared_ptr<Tamrix::Vision::IShape> shape);

 private:
  friend class cereal::access;
  SmartTrainData() = default;

  // Record: ChangedEventShareableBase part, image (polymorphic IImage pointer), training state
  // (one byte, 0 or 1), assignment collection (pointer record).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  void SubscribeToAssignments();
  void DisconnectFromAssignments();

  std::shared_ptr<Tamrix::Vision::IImage> image_;
  bool isTraining_ = true;
  std::shared_ptr<SmartLabelToShapeAssignmentCollection> assignments_;
  Tamrix::Vorn::Connection connections_[5];
  bool clearingNonEmpty_ = false;
  // Tracks the collection slots: the collection may outlive the item that owned it.
  std::shared_ptr<char> lifetime_ = std::make_shared<char>('\0');

  RTTR_ENABLE(ChangedEventShareableBase)
};

}  // namespace Tamrix::Vision::SmartCore

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartCore::SmartTrainData, 1)
