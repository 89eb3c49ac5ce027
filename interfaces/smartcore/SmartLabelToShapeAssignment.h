// The assignment of one training shape to a label.
#pragma once

#include <cstdint>
#include <memory>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Event.h"
#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/smartcore/ISmartLabel.h"

namespace Tamrix::Vision::SmartCore {

// Says that the pixels of Shape() in the owning item's image belong to the class Label().
//
// setLabel() and setShape() store the new value and then raise OnChanged_(SfAssignment); the
// current value raises nothing. An edit of the shape itself (the shape's changed event, any
// flags) is forwarded as OnChanged_(SfAssignment) too, because it changes which pixels are
// trained. The shape's event holds no strong reference to the assignment, so an assignment never
// keeps itself alive through its shape; the subscription moves with setShape() and is made again
// when an assignment is loaded. Edits of the label (a rename) are not forwarded: labels are
// shared by many assignments and are watched through the label collection.
// Label and shape may be null; SmartTrainDataDatabase::Verify() reports such assignments.
class SmartLabelToShapeAssignment : public ChangedEventShareableBase {
 public:
  // Raised after the label or the shape changed, or after the shape was edited.
  static const long long SfAssignment = 1;

  SmartLabelToShapeAssignment(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                              std::shared_ptr<ISmartLabel> label,
                              std::shared_ptr<Tamrix::Vision::IShape> shape);
  ~SmartLabelToShapeAssignment() override;
  SmartLabelToShapeAssignment(const SmartLabelToShapeAssignment&) = delete;
  SmartLabelToShapeAssignment& operator=(const SmartLabelToShapeAssignment&) = delete;

  std::shared_ptr<ISmartLabel> Label() const { return label_; }
  void setLabel(std::shared_ptr<ISmartLabel> label);
  std::shared_ptr<Tamrix::Vision::IShape> Shape() const { return shape_; }
  void setShape(std::shared_ptr<Tamrix::Vision::IShape> shape);

 private:
  friend class cereal::access;
  SmartLabelToShapeAssignment() = default;

  // Record: ChangedEventShareableBase part, label (polymorphic ISmartLabel pointer), shape
  // (polymorphic IShape pointer).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  void SubscribeToShape();

  std::shared_ptr<ISmartLabel> label_;
  std::shared_ptr<Tamrix::Vision::IShape> shape_;
  Tamrix::Vorn::Connection shapeConnection_;
  // Tracks the shape slot: it expires with the assignment, so the slot is skipped from then on.
  std::shared_ptr<char> lifetime_ = std::make_shared<char>('\0');

  RTTR_ENABLE(ChangedEventShareableBase)
};

}  // namespace Tamrix::Vision::SmartCore

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment, 1)
