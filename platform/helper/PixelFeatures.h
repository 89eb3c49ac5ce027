// Per-pixel features that the helper's models learn from.
#pragma once

#include <cstdint>
#include <vector>

#include "interfaces/core/ImageInterfaces.h"

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

// Largest neighbourhood radius a model uses, whatever the sample size.
constexpr int kMaxFeatureRadius = 64;

// The neighbourhood radius for a sample size (the window is 2 * radius + 1 pixels wide): half the
// sample size, rounded, within [1, kMaxFeatureRadius]. Throws ArgumentException for a sample size
// that is not a finite number above 0.
int RadiusForSampleSize(double sampleSize);

// Three features per channel, in this order for each channel: the pixel's value, the mean and the
// standard deviation of the values in the (2 * radius + 1)^2 window centred on the pixel. Windows
// are clipped at the image border. Pixel values are integers, so the window sums are exact and
// the features do not depend on the order in which pixels are visited.
class FeatureImage {
 public:
  // Reads every pixel of `image`; only reads, so one image may be shared by concurrent callers.
  FeatureImage(const IImage& image, int radius);

  static int FeatureCountFor(int channelCount) { return 3 * channelCount; }

  int Width() const { return width_; }
  int Height() const { return height_; }
  int FeatureCount() const { return static_cast<int>(planes_.size()); }
  // Feature `feature` of the pixel at raster index `index` (y * Width() + x).
  double At(int feature, std::size_t index) const { return planes_[feature][index]; }

 private:
  int width_;
  int height_;
  std::vector<std::vector<double>> planes_;
};

// The values of one channel of `image` in raster order.
std::vector<double> ReadChannel(const IImage& image, int channel);

// Window mean and standard deviation of a plane (clipped windows of radius `radius`).
void BoxStatistics(const std::vector<double>& plane, int width, int height, int radius,
                   std::vector<double>& mean, std::vector<double>& deviation);

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
