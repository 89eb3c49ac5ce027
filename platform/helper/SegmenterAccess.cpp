#include "platform/helper/SegmenterAccess.h"

#include "interfaces/core/Exceptions.h"
#include "interfaces/engine/Segmenter.h"
#include "platform/helper/ForestModel.h"

namespace Tamrix::Vision::SmartSegmenterHelper {

std::shared_ptr<SmartSegmenter::Segmenter> SegmenterAccess::CreateSegmenter(
    std::shared_ptr<SmartCore::ISmartLabel> label) {
  if (!label) {
    throw ArgumentException("CreateSegmenter: expected a label, found an empty pointer");
  }
  auto model = CreateModel(label);
  return std::make_shared<SmartSegmenter::Segmenter>(
      Tamrix::Vorn::IObject::ObjectCreateAccessToken(), std::move(label), std::move(model),
      shared_from_this());
}

std::shared_ptr<SmartSegmenter::ISegmenterModel> SegmenterAccess::CreateModel(
    const std::shared_ptr<SmartCore::ISmartLabel>&) {
  // Every label gets the same kind of model; the label only matters once training starts.
  return std::make_shared<ForestModel>(Tamrix::Vorn::IObject::ObjectCreateAccessToken());
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper
