#include "platform/helper/TrainingPixels.h"

#include "interfaces/smartcore/SmartTrainData.h"

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

namespace {

// FNV-1a, 64 bit.
constexpr std::uint64_t kFnvOffset = 1469598103934665603ULL;
constexpr std::uint64_t kFnvPrime = 1099511628211ULL;

void HashBytes(std::uint64_t& hash, const std::uint8_t* bytes, std::size_t size) {
  for (std::size_t i = 0; i < size; ++i) {
    hash ^= bytes[i];
    hash *= kFnvPrime;
  }
}

void HashInt(std::uint64_t& hash, std::int64_t value) {
  std::uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<std::uint8_t>(value >> (8 * i));
  HashBytes(hash, bytes, sizeof bytes);
}

void Unite(PixelMask& target, const PixelMask& shape) {
  auto& bits = target.Data();
  const auto& add = shape.Data();
  if (shape.Width() != target.Width() || shape.Height() != target.Height()) {
    // A shape that rasterizes to another size still marks the pixels it names.
    for (int y = 0; y < shape.Height(); ++y) {
      for (int x = 0; x < shape.Width(); ++x) {
        if (shape.At(x, y)) target.Set(x, y);
      }
    }
    return;
  }
  for (std::size_t i = 0; i < bits.size(); ++i) bits[i] = bits[i] | add[i];
}

}  // namespace

std::uint64_t TrainingMasks::Fingerprint() const {
  std::uint64_t hash = kFnvOffset;
  HashInt(hash, positive.Width());
  HashInt(hash, positive.Height());
  HashBytes(hash, positive.Data().data(), positive.Data().size());
  HashBytes(hash, negative.Data().data(), negative.Data().size());
  return hash;
}

TrainingMasks RasterizeTrainingMasks(const SmartCore::SmartTrainData& item, int width, int height,
                                     const std::string& labelName) {
  TrainingMasks masks{PixelMask(width, height), PixelMask(width, height)};
  const auto assignments = item.Assignments();
  if (!assignments) return masks;
  for (const auto& assignment : *assignments) {
    if (!assignment) continue;
    const auto label = assignment->Label();
    const auto shape = assignment->Shape();
    if (!label || !shape) continue;
    Unite(label->Name() == labelName ? masks.positive : masks.negative,
          shape->Rasterize(width, height, kCurveStrokeWidth));
  }
  auto& negative = masks.negative.Data();
  const auto& positive = masks.positive.Data();
  for (std::size_t i = 0; i < negative.size(); ++i) {
    if (positive[i] != 0) negative[i] = 0;
  }
  return masks;
}

void FeatureSums::AddPixel(const FeatureImage& features, std::size_t index) {
  ++count;
  for (std::size_t f = 0; f < sum.size(); ++f) {
    const double value = features.At(static_cast<int>(f), index);
    sum[f] += value;
    squares[f] += value * value;
  }
}

void FeatureSums::Merge(const FeatureSums& other) {
  if (sum.empty()) {
    sum.assign(other.sum.size(), 0.0);
    squares.assign(other.squares.size(), 0.0);
  }
  count += other.count;
  for (std::size_t f = 0; f < sum.size() && f < other.sum.size(); ++f) {
    sum[f] += other.sum[f];
    squares[f] += other.squares[f];
  }
}

ItemStatistics MeasureItem(const IImage& image, const TrainingMasks& masks, int radius) {
  const FeatureImage features(image, radius);
  const int featureCount = features.FeatureCount();
  ItemStatistics statistics{image.Format(), image.ChannelCount(), FeatureSums(featureCount),
                            FeatureSums(featureCount), FeatureSums(featureCount)};
  const auto& positive = masks.positive.Data();
  const auto& negative = masks.negative.Data();
  for (std::size_t i = 0; i < positive.size(); ++i) {
    if (positive[i] != 0) {
      statistics.positive.AddPixel(features, i);
    } else if (negative[i] != 0) {
      statistics.negative.AddPixel(features, i);
    } else {
      statistics.unlabelled.AddPixel(features, i);
    }
  }
  return statistics;
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
