// Executing the operator on an image.
#include "vision/SmartSegmenter/OperatorBinding.h"
#include "vision/SmartSegmenter/RunOnSegmenters.h"

namespace Tamrix::Vision::SmartSegmenter {

std::shared_ptr<SmartCore::SmartSegmenterResults> SmartSegmenterOperator::Execute(
    const IImage& image, const IRegion* region) {
  // Binding first, so that a missing engine is reported even while there is no training data.
  EnsureOstrelLibrary();
  std::vector<std::shared_ptr<SmartCore::ISmartSegmenterResult>> results;
  if (SmartTrainDataDatabase()->TrainingData()->Count() > 0) {
    const std::shared_ptr<impl> binding = EnsureOstrelLibrary();
    results = detail::RunOnSegmenters<std::shared_ptr<SmartCore::ISmartSegmenterResult>>(
        *binding->segmenters, [&image, region](std::shared_ptr<Segmenter> segmenter) {
          return std::shared_ptr<SmartCore::ISmartSegmenterResult>(
              segmenter->Execute(image, region));
        });
  }
  return std::shared_ptr<SmartCore::SmartSegmenterResults>(
      new SmartCore::SmartSegmenterResults(std::move(results)));
}

}  // namespace Tamrix::Vision::SmartSegmenter
