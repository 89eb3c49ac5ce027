#include "platform/helper/PixelFeatures.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "interfaces/core/Exceptions.h"

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

int RadiusForSampleSize(double sampleSize) {
  if (!std::isfinite(sampleSize) || sampleSize <= 0.0) {
    std::ostringstream message;
    message << "Sample size must be a finite number above 0, found " << sampleSize;
    throw ArgumentException(message.str());
  }
  const double radius = std::round(sampleSize / 2.0);
  return static_cast<int>(std::clamp(radius, 1.0, static_cast<double>(kMaxFeatureRadius)));
}

std::vector<double> ReadChannel(const IImage& image, int channel) {
  const int width = image.Width();
  const int height = image.Height();
  std::vector<double> plane(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
  auto out = plane.begin();
  // The data interfaces avoid a virtual call per pixel; any other image goes through Value().
  if (const auto* grey8 = dynamic_cast<const IImage8GreyData*>(&image);
      grey8 != nullptr && image.Format() == PixelFormat::Grey8) {
    for (int y = 0; y < height; ++y) out = std::copy(grey8->Row(y), grey8->Row(y) + width, out);
  } else if (const auto* grey16 = dynamic_cast<const IImage16GreyData*>(&image);
             grey16 != nullptr && image.Format() == PixelFormat::Grey16) {
    for (int y = 0; y < height; ++y) out = std::copy(grey16->Row(y), grey16->Row(y) + width, out);
  } else if (const auto* colour = dynamic_cast<const IImage24PlanarColorData*>(&image);
             colour != nullptr && image.Format() == PixelFormat::PlanarColor24) {
    for (int y = 0; y < height; ++y) {
      out = std::copy(colour->Row(channel, y), colour->Row(channel, y) + width, out);
    }
  } else {
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) *out++ = image.Value(x, y, channel);
    }
  }
  return plane;
}

void BoxStatistics(const std::vector<double>& plane, int width, int height, int radius,
                   std::vector<double>& mean, std::vector<double>& deviation) {
  const std::size_t size = plane.size();
  // Separable running sums: rows first, then columns, so each window costs O(1).
  std::vector<double> rowSum(size), rowSquares(size);
  for (int y = 0; y < height; ++y) {
    const std::size_t row = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    double sum = 0, squares = 0;
    int right = 0;
    int left = 0;
    for (int x = 0; x < width; ++x) {
      for (; right <= std::min(width - 1, x + radius); ++right) {
        const double v = plane[row + static_cast<std::size_t>(right)];
        sum += v;
        squares += v * v;
      }
      for (; left < x - radius; ++left) {
        const double v = plane[row + static_cast<std::size_t>(left)];
        sum -= v;
        squares -= v * v;
      }
      rowSum[row + static_cast<std::size_t>(x)] = sum;
      rowSquares[row + static_cast<std::size_t>(x)] = squares;
    }
  }
  mean.assign(size, 0.0);
  deviation.assign(size, 0.0);
  std::vector<double> sum(static_cast<std::size_t>(width), 0.0);
  std::vector<double> squares(static_cast<std::size_t>(width), 0.0);
  int bottom = 0;
  int top = 0;
  for (int y = 0; y < height; ++y) {
    for (; bottom <= std::min(height - 1, y + radius); ++bottom) {
      const std::size_t row = static_cast<std::size_t>(bottom) * static_cast<std::size_t>(width);
      for (int x = 0; x < width; ++x) {
        sum[static_cast<std::size_t>(x)] += rowSum[row + static_cast<std::size_t>(x)];
        squares[static_cast<std::size_t>(x)] += rowSquares[row + static_cast<std::size_t>(x)];
      }
    }
    for (; top < y - radius; ++top) {
      const std::size_t row = static_cast<std::size_t>(top) * static_cast<std::size_t>(width);
      for (int x = 0; x < width; ++x) {
        sum[static_cast<std::size_t>(x)] -= rowSum[row + static_cast<std::size_t>(x)];
        squares[static_cast<std::size_t>(x)] -= rowSquares[row + static_cast<std::size_t>(x)];
      }
    }
    const int rows = std::min(height - 1, y + radius) - std::max(0, y - radius) + 1;
    const std::size_t out = static_cast<std::size_t>(y) * static_cast<std::size_t>(width);
    for (int x = 0; x < width; ++x) {
      const int columns = std::min(width - 1, x + radius) - std::max(0, x - radius) + 1;
      const double count = static_cast<double>(rows) * static_cast<double>(columns);
      const double m = sum[static_cast<std::size_t>(x)] / count;
      const double variance = squares[static_cast<std::size_t>(x)] / count - m * m;
      mean[out + static_cast<std::size_t>(x)] = m;
      deviation[out + static_cast<std::size_t>(x)] = variance > 0.0 ? std::sqrt(variance) : 0.0;
    }
  }
}

FeatureImage::FeatureImage(const IImage& image, int radius)
    : width_(image.Width()), height_(image.Height()) {
  const int channels = image.ChannelCount();
  planes_.reserve(static_cast<std::size_t>(FeatureCountFor(channels)));
  for (int channel = 0; channel < channels; ++channel) {
    std::vector<double> value = ReadChannel(image, channel);
    std::vector<double> mean, deviation;
    BoxStatistics(value, width_, height_, radius, mean, deviation);
    planes_.push_back(std::move(value));
    planes_.push_back(std::move(mean));
    planes_.push_back(std::move(deviation));
  }
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
