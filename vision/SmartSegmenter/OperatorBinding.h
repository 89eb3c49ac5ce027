// The operator's engine binding: the loaded helper module, its access object, the per-label
// segmenters and the connections to the training items.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "interfaces/core/Event.h"
#include "interfaces/engine/ISmartSegmenterAccess.h"
#include "interfaces/engine/Segmenter.h"
#include "interfaces/sys/SysLibrary.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace Tamrix::Vision::SmartSegmenter {

// Created on first need and then kept for the operator's life; shared with every run under way.
struct SmartSegmenterOperator::impl {
  using ConnectionList = std::vector<Tamrix::Vorn::Connection>;
  using ItemConnectionMap =
      std::map<std::shared_ptr<SmartCore::SmartTrainData>, std::shared_ptr<ConnectionList>>;

  // One segmenter per label name, in order of creation.
  std::shared_ptr<SegmenterList> segmenters = std::make_shared<SegmenterList>();
  // For each registered item: element 0 the item's changed-event connection, then one per
  // (non-null) assignment the item held at registration.
  std::shared_ptr<ItemConnectionMap> itemConnections = std::make_shared<ItemConnectionMap>();
  SysLibraryHandle library = nullptr;
  CreateSegmenterAccessWrapperFunction factory = nullptr;
  std::shared_ptr<ISmartSegmenterAccess> access;
};

// The label of an assignment, or null when the assignment or its label is missing. Collections
// may hold such assignments (SmartTrainDataDatabase::Verify() reports them); they train nothing,
// so the segmenter and connection bookkeeping passes over them.
inline std::shared_ptr<SmartCore::ISmartLabel> AssignedLabel(
    const std::shared_ptr<SmartCore::SmartLabelToShapeAssignment>& assignment) {
  return assignment ? assignment->Label() : nullptr;
}

}  // namespace Tamrix::Vision::SmartSegmenter
