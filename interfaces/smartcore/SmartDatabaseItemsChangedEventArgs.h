// The argument of a training-data database's item events.
#pragma once

#include <memory>
#include <utility>

#include "interfaces/smartcore/SmartTrainData.h"

namespace Tamrix::Vision::SmartCore {

// The item that was added to or removed from a database, and the position it had there.
class SmartDatabaseItemsChangedEventArgs {
 public:
  SmartDatabaseItemsChangedEventArgs(std::shared_ptr<SmartTrainData> item, int index)
      : item_(std::move(item)), index_(index) {}

  std::shared_ptr<SmartTrainData> ChangedItem() const { return item_; }
  int Index() const { return index_; }

 private:
  std::shared_ptr<SmartTrainData> item_;
  int index_;
};

}  // namespace Tamrix::Vision::SmartCore
