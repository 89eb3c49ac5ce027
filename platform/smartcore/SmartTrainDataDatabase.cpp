#include "interfaces/smartcore/SmartTrainDataDatabase.h"

#include <cmath>
#include <set>
#include <sstream>
#include <string>
#include <utility>

#include "interfaces/core/CollectionDetail.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"

namespace Tamrix::Vision::SmartCore {

namespace {

using Tamrix::Vision::VisionException;
using Tamrix::Vision::VisionExceptionCodes;

[[noreturn]] void ThrowInvalid(const std::string& what) {
  throw VisionException(VisionExceptionCodes::InvalidData,
                        "SmartTrainDataDatabase::Verify(): " + what);
}

std::string Interval(double low, double high) {
  std::ostringstream text;
  text << '[' << low << ", " << high << ']';
  return text.str();
}

std::string AssignmentName(std::size_t assignment, std::size_t item) {
  return "assignment " + std::to_string(assignment) + " of training item " + std::to_string(item);
}

void VerifyShape(const Tamrix::Vision::IShape& shape, const Tamrix::Vision::IImage& image,
                 std::size_t assignment, std::size_t item) {
  const Tamrix::Vision::BoundingBox box = shape.Bounds();
  if (!std::isfinite(box.X0) || !std::isfinite(box.X1) || !std::isfinite(box.Y0) ||
      !std::isfinite(box.Y1)) {
    ThrowInvalid(AssignmentName(assignment, item) + " has a shape whose bounds are not finite");
  }
  if (box.Empty()) {
    ThrowInvalid(AssignmentName(assignment, item) + " has a shape with empty bounds");
  }
  // Pixel (x, y) covers [x - 0.5, x + 0.5), so the image spans these intervals; a shape that
  // touches them still reaches the border pixels' edges and is accepted.
  const double right = image.Width() - 0.5;
  const double bottom = image.Height() - 0.5;
  if (box.X1 < -0.5 || box.X0 > right || box.Y1 < -0.5 || box.Y0 > bottom) {
    ThrowInvalid(AssignmentName(assignment, item) +
                 " has a shape wholly outside its image: bounds " + Interval(box.X0, box.X1) +
                 " x " + Interval(box.Y0, box.Y1) + ", image " + Interval(-0.5, right) + " x " +
                 Interval(-0.5, bottom));
  }
}

}  // namespace

SmartTrainDataCollection::SmartTrainDataCollection(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
    : Base(token) {}

template <class Archive>
void SmartTrainDataCollection::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "SmartTrainDataCollection::serialize()");
  }
  archive(cereal::base_class<Base>(this));
}

template void SmartTrainDataCollection::serialize(cereal::PortableBinaryOutputArchive&,
                                                  std::uint32_t);
template void SmartTrainDataCollection::serialize(cereal::PortableBinaryInputArchive&,
                                                  std::uint32_t);

SmartTrainDataDatabase::SmartTrainDataDatabase(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
    : ChangedEventShareableBase(token),
      trainingData_(std::make_shared<SmartTrainDataCollection>(token)) {}

SmartDatabaseItemsChangedEvent& SmartTrainDataDatabase::ItemAddedEvent() { return itemAdded_; }

SmartDatabaseItemsChangedEvent& SmartTrainDataDatabase::ItemRemovedEvent() { return itemRemoved_; }

void SmartTrainDataDatabase::Add(const std::shared_ptr<SmartTrainData>& item) {
  Insert(trainingData_->Count(), item);
}

void SmartTrainDataDatabase::Insert(int index, const std::shared_ptr<SmartTrainData>& item) {
  if (!item) {
    throw ArgumentException("SmartTrainDataDatabase::Insert: expected a training item, found null");
  }
  const int existing = trainingData_->IndexOf(item);
  if (existing >= 0) {
    throw ArgumentException(
        "SmartTrainDataDatabase::Insert: the item is already in the database at index " +
        std::to_string(existing));
  }
  Implementation::detail::CheckIndex("SmartTrainDataDatabase::Insert", index,
                                     trainingData_->Count(), true);
  auto& items = trainingData_->items_;
  items.insert(items.begin() + index, item);
  itemAdded_(std::make_shared<SmartDatabaseItemsChangedEventArgs>(item, index));
}

bool SmartTrainDataDatabase::Remove(const std::shared_ptr<SmartTrainData>& item) {
  const int index = trainingData_->IndexOf(item);
  if (index < 0) return false;
  RemoveAt(index);
  return true;
}

void SmartTrainDataDatabase::RemoveAt(int index) {
  Implementation::detail::CheckIndex("SmartTrainDataDatabase::RemoveAt", index,
                                     trainingData_->Count());
  auto& items = trainingData_->items_;
  // The event argument keeps the item alive after it has left the collection.
  auto args = std::make_shared<SmartDatabaseItemsChangedEventArgs>(
      items[static_cast<std::size_t>(index)], index);
  items.erase(items.begin() + index);
  itemRemoved_(args);
}

void SmartTrainDataDatabase::Clear() {
  // From the end, so that every removal keeps the positions of the items still to be removed
  // and each slot sees a consistent database.
  while (trainingData_->Count() > 0) RemoveAt(trainingData_->Count() - 1);
}

void SmartTrainDataDatabase::Verify() const {
  const auto& items = trainingData_->Items();
  for (std::size_t i = 0; i < items.size(); ++i) {
    const auto& item = items[i];
    const auto image = item->Image();
    if (!image) ThrowInvalid("training item " + std::to_string(i) + " has no image");
    const auto& assignments = item->Assignments()->Items();
    for (std::size_t a = 0; a < assignments.size(); ++a) {
      const auto& assignment = assignments[a];
      if (!assignment) ThrowInvalid(AssignmentName(a, i) + " is null");
      if (!assignment->Label()) ThrowInvalid(AssignmentName(a, i) + " has no label");
      const auto shape = assignment->Shape();
      if (!shape) ThrowInvalid(AssignmentName(a, i) + " has no shape");
      VerifyShape(*shape, *image, a, i);
    }
  }
  if (verifier_) verifier_->Verify(*this);
}

template <class Archive>
void SmartTrainDataDatabase::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "SmartTrainDataDatabase::serialize()");
    archive(cereal::base_class<ChangedEventShareableBase>(this), trainingData_);
    if (!trainingData_) {
      throw cereal::Exception(
          "SmartTrainDataDatabase::serialize(): expected a training-data collection, found a null "
          "pointer");
    }
    // The database's invariants hold for loaded data too: no null item, no item twice.
    std::set<const SmartTrainData*> seen;
    const auto& items = trainingData_->Items();
    for (std::size_t i = 0; i < items.size(); ++i) {
      if (!items[i]) {
        throw cereal::Exception(
            "SmartTrainDataDatabase::serialize(): expected a training item at "
            "index " +
            std::to_string(i) + ", found a null pointer");
      }
      if (!seen.insert(items[i].get()).second) {
        throw cereal::Exception("SmartTrainDataDatabase::serialize(): the training item at index " +
                                std::to_string(i) + " occurs earlier in the database too");
      }
    }
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this), trainingData_);
  }
}

template void SmartTrainDataDatabase::serialize(cereal::PortableBinaryOutputArchive&,
                                                std::uint32_t);
template void SmartTrainDataDatabase::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision::SmartCore
