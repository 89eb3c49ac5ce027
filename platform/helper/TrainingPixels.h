// Which pixels of a training item teach a label, and what the model learns from them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/core/PixelMask.h"
#include "platform/helper/PixelFeatures.h"

namespace Tamrix::Vision::SmartCore {
class SmartTrainData;
}  // namespace Tamrix::Vision::SmartCore

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

// Width in pixels of the stroke that stands for a curve (a shape that is not an area).
constexpr double kCurveStrokeWidth = 3.0;

// The pixels of one item that belong to the label (positive) and to other labels (negative).
// A pixel claimed by both counts as positive only.
struct TrainingMasks {
  PixelMask positive;
  PixelMask negative;

  // A hash of both masks; equal masks give equal fingerprints.
  std::uint64_t Fingerprint() const;
};

// Rasterizes the shapes assigned in `item` onto a width x height grid. Assignments without a label
// or a shape teach nothing and are skipped.
TrainingMasks RasterizeTrainingMasks(const SmartCore::SmartTrainData& item, int width, int height,
                                     const std::string& labelName);

// Count, sums and sums of squares of each feature over a set of pixels.
struct FeatureSums {
  std::uint64_t count = 0;
  std::vector<double> sum;
  std::vector<double> squares;

  explicit FeatureSums(int featureCount = 0)
      : sum(static_cast<std::size_t>(featureCount), 0.0),
        squares(static_cast<std::size_t>(featureCount), 0.0) {}
  void AddPixel(const FeatureImage& features, std::size_t index);
  void Merge(const FeatureSums& other);
};

// What one item contributes: sums over its positive, negative and unlabelled pixels.
struct ItemStatistics {
  PixelFormat format = PixelFormat::Grey8;
  int channelCount = 1;
  FeatureSums positive;
  FeatureSums negative;
  FeatureSums unlabelled;
};

// Measures the features of `image` over the pixels of `masks` (which have the image's size).
ItemStatistics MeasureItem(const IImage& image, const TrainingMasks& masks, int radius);

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
