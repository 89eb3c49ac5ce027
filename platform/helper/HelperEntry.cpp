// The helper module's only exported entry point, resolved by name by the operator.
#include <memory>

#include "platform/helper/SegmenterAccess.h"

// Fills *access with a new access object; returns 0, or -1 when `access` is null.
extern "C" __attribute__((visibility("default"))) int CreateSegmenterAccessWrapper(
    std::shared_ptr<Tamrix::Vision::SmartSegmenter::ISmartSegmenterAccess>* access) {
  if (access == nullptr) return -1;
  *access = std::make_shared<Tamrix::Vision::SmartSegmenterHelper::SegmenterAccess>();
  return 0;
}
