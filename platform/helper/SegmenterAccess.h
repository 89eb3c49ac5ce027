// The helper module's access object.
#pragma once

#include <memory>

#include "interfaces/engine/ISmartSegmenterAccess.h"

namespace Tamrix::Vision::SmartSegmenterHelper {

// Makes segmenters with ForestModel engines. Each segmenter keeps a reference to the access
// object that made it. Holds no state of its own, so it is thread-safe.
class SegmenterAccess final : public SmartSegmenter::ISmartSegmenterAccess,
                              public std::enable_shared_from_this<SegmenterAccess> {
 public:
  // Throws ArgumentException (a std::runtime_error) when `label` is empty.
  std::shared_ptr<SmartSegmenter::Segmenter> CreateSegmenter(
      std::shared_ptr<SmartCore::ISmartLabel> label) override;
  std::shared_ptr<SmartSegmenter::ISegmenterModel> CreateModel(
      const std::shared_ptr<SmartCore::ISmartLabel>& label) override;
};

}  // namespace Tamrix::Vision::SmartSegmenterHelper
