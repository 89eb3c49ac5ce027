#include "platform/helper/ForestModel.h"

#include <cmath>
#include <sstream>
#include <stdexcept>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "interfaces/engine/SmartSegmenterResult.h"
#include "interfaces/smartcore/ISmartLabel.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "platform/helper/FeatureBank.h"
#include "platform/helper/FeatureCache.h"
#include "platform/helper/Segmentation.h"

namespace Tamrix::Vision::SmartSegmenterHelper {

namespace {

const char* FormatName(PixelFormat format) {
  switch (format) {
    case PixelFormat::Grey8:
      return "Grey8";
    case PixelFormat::Grey16:
      return "Grey16";
    case PixelFormat::PlanarColor24:
      return "PlanarColor24";
  }
  return "unknown";
}

int ChannelCountOf(PixelFormat format) { return format == PixelFormat::PlanarColor24 ? 3 : 1; }

std::string Quoted(const std::string& labelName) { return "'" + labelName + "'"; }

[[noreturn]] void Corrupt(const std::string& what) {
  throw cereal::Exception("ForestModel: " + what);
}

}  // namespace

ForestModel::ForestModel(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                         std::uint64_t seed)
    : ShareableBase(token), seed_(seed) {}

ForestModel::ForestModel() = default;
ForestModel::~ForestModel() = default;

void ForestModel::Retrain(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
                          const std::string& labelName) {
  cache_.clear();
  // Learning from scratch, a model of an older bank moves to the current one.
  bank_ = detail::FeatureLayout::kCurrentBank;
  forest_ = detail::RandomForest();
  Train(database, sampleSize, labelName);
}

void ForestModel::Train(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
                        const std::string& labelName) {
  // Validates the sample size before anything changes.
  (void)detail::FeatureLayout(sampleSize, 1);
  const bool reuse = sampleSize == sampleSize_;

  // Everything is built aside and committed at the end, so a failure leaves the model as it was.
  std::vector<CachedItem> items;
  bool haveFormat = false;
  PixelFormat format = format_;
  int itemIndex = -1;
  const auto collection = database.TrainingData();
  for (const auto& item : *collection) {
    ++itemIndex;
    if (!item || !item->IsTraining()) continue;
    const std::shared_ptr<const IImage> image = item->Image();
    if (!image || image->Width() == 0 || image->Height() == 0) continue;
    detail::LabelMasks masks =
        detail::RasterizeLabelMasks(*item, image->Width(), image->Height(), labelName);
    if (masks.positive.Count() == 0 && masks.negative.Count() == 0) continue;
    if (!haveFormat) {
      haveFormat = true;
      format = image->Format();
    } else if (image->Format() != format) {
      throw VisionException(VisionExceptionCodes::InvalidData,
                            "ForestModel for label " + Quoted(labelName) +
                                ": expected every training image in one pixel format, found " +
                                FormatName(format) + " and " + FormatName(image->Format()) +
                                " (training item " + std::to_string(itemIndex) + ")");
    }
    // Without other labels in the item, the label is learned against the rest of the image.
    if (masks.negative.Count() == 0) {
      for (std::size_t i = 0; i < masks.negative.Data().size(); ++i) {
        masks.negative.Data()[i] = masks.positive.Data()[i] ? 0 : 1;
      }
    }
    const std::uint64_t fingerprint =
        detail::ItemFingerprint(detail::FeatureCache::Shared().Fingerprint(*image), masks);
    const CachedItem* known = nullptr;
    if (reuse) {
      for (const auto& cached : cache_) {
        if (cached.fingerprint == fingerprint) {
          known = &cached;
          break;
        }
      }
    }
    if (known != nullptr) {
      items.push_back(*known);
      continue;
    }
    const detail::FeatureLayout layout(sampleSize, image->ChannelCount(), bank_);
    items.push_back(
        CachedItem{fingerprint, detail::SampleItem(*image, masks, layout, seed_, fingerprint,
                                                   &detail::FeatureCache::Shared())});
  }

  bool unchanged = reuse && fitCurrent_ && items.size() == cache_.size() && format == format_;
  for (std::size_t i = 0; unchanged && i < items.size(); ++i) {
    unchanged = items[i].fingerprint == cache_[i].fingerprint;
  }
  cache_ = std::move(items);
  sampleSize_ = sampleSize;
  format_ = format;
  if (!unchanged) Fit();
}

void ForestModel::Fit() {
  detail::SampleMatrix all;
  for (const auto& item : cache_) {
    all.featureCount = item.samples.featureCount;
    all.values.insert(all.values.end(), item.samples.values.begin(), item.samples.values.end());
    all.positive.insert(all.positive.end(), item.samples.positive.begin(),
                        item.samples.positive.end());
  }
  bool anyPositive = false;
  for (auto p : all.positive) anyPositive = anyPositive || p != 0;
  // A label without a single sample has nothing to learn: the model stays untrained.
  forest_ =
      anyPositive ? detail::RandomForest::Fit(all, parameters_, seed_) : detail::RandomForest();
  fitCurrent_ = true;
  ++fits_;
}

std::shared_ptr<SmartSegmenter::SmartSegmenterResult> ForestModel::Execute(
    const IImage& image, const IRegion* region,
    const std::shared_ptr<SmartCore::ISmartLabel>& label) const {
  const std::string labelName = label ? label->Name() : std::string();
  const int width = image.Width();
  const int height = image.Height();
  const Tamrix::Vorn::IObject::ObjectCreateAccessToken token;
  if (forest_.Empty()) {
    return std::make_shared<SmartSegmenter::SmartSegmenterResult>(
        token, labelName, width, height,
        std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height, 0));
  }
  if (image.Format() != format_) {
    throw VisionException(VisionExceptionCodes::InvalidArgument,
                          "ForestModel for label " + Quoted(labelName) + ": expected a " +
                              FormatName(format_) +
                              " image, the format it was trained on, found a " +
                              FormatName(image.Format()) + " image");
  }
  const detail::FeatureLayout layout(sampleSize_, image.ChannelCount(), bank_);
  PixelMask inside;
  if (region != nullptr) inside = region->Mask(width, height);
  // One byte per pixel: the probability's level, which also tells the mask (level 128, exactly
  // the probabilities from 0.5 up).
  std::vector<std::uint8_t> levels = detail::SegmentImage(
      forest_, image, region != nullptr ? &inside : nullptr, layout, SmoothingScale(),
      detail::ClassificationStride(SmoothingScale()), &detail::FeatureCache::Shared());
  return std::make_shared<SmartSegmenter::SmartSegmenterResult>(token, labelName, width, height,
                                                                std::move(levels));
}

int ForestModel::ContextRadius() const {
  if (forest_.Empty()) return 0;
  // A pixel interpolates grid pixels up to step - 1 away; the smoothing mixes those of its own
  // radius (in grid steps), and each of them has features reaching Halo() pixels out (the halo
  // does not depend on the channel count). A multiple of the step, so that a crop extended by it
  // keeps its grid where the whole image has it.
  const double smoothing = SmoothingScale();
  const int step = ContextStep();
  const int reach = detail::FeatureLayout(sampleSize_, 1, bank_).Halo() + step - 1 +
                    (smoothing > 0.0 ? detail::GaussianRadius(smoothing / step) * step : 0);
  return (reach + step - 1) / step * step;
}

int ForestModel::ContextStep() const {
  return forest_.Empty() ? 1 : detail::ClassificationStride(SmoothingScale());
}

double ForestModel::SmoothingScale() const {
  // Twice the sample size gained 0.03 mean IoU on the benchmark mosaics, whose regions are
  // large, but blurred small structures and narrow images away: the sample size it stays.
  return std::min(sampleSize_, detail::kMaxSampleSize);
}

void ForestModel::UpdateTrainingParametersAndTrainCache() {
  // The archive carries the forest and the samples it was fitted on: they still agree.
  fitCurrent_ = true;
}

std::string ForestModel::Describe() const {
  if (forest_.Empty()) return "ForestModel(untrained)";
  std::size_t samples = 0;
  for (const auto& item : cache_) samples += item.samples.Count();
  std::ostringstream text;
  text << "ForestModel(" << FormatName(format_) << ", sample size " << sampleSize_ << ", bank "
       << bank_ << ", " << forest_.FeatureCount() << " features, " << forest_.TreeCount()
       << " trees of " << forest_.NodeCount() << " nodes, " << cache_.size() << " items, "
       << samples << " samples)";
  return text.str();
}

template <class Archive>
void ForestModel::serialize(Archive& archive, std::uint32_t version) {
  namespace A = Tamrix::Vision::Archiving;
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, kRecordVersion, "ForestModel::serialize()");
    archive(cereal::base_class<ShareableBase>(this));
    std::uint64_t seed = 0;
    double sampleSize = 0.0;
    std::int32_t format = 0, trees = 0, depth = 0, featureCount = 0;
    archive(seed, sampleSize, format, trees, depth);
    if (!(sampleSize >= 0.0 && std::isfinite(sampleSize))) {
      Corrupt("expected a finite sample size of at least 0, found " + std::to_string(sampleSize));
    }
    if (format < 0 || format > static_cast<std::int32_t>(PixelFormat::PlanarColor24)) {
      Corrupt("expected a pixel format 0 to 2, found " + std::to_string(format));
    }
    if (trees < 1 || trees > 1024)
      Corrupt("expected 1 to 1024 trees, found " + std::to_string(trees));
    if (depth < 1 || depth > 64) {
      Corrupt("expected a depth limit of 1 to 64, found " + std::to_string(depth));
    }
    const auto pixelFormat = static_cast<PixelFormat>(format);
    archive(featureCount);
    std::vector<std::int32_t> roots, features, children;
    std::vector<float> thresholds, values;
    A::LoadArithmeticVector(archive, roots);
    A::LoadArithmeticVector(archive, features);
    A::LoadArithmeticVector(archive, thresholds);
    A::LoadArithmeticVector(archive, children);
    A::LoadArithmeticVector(archive, values);
    std::vector<CachedItem> cache;
    A::LoadVector(archive, cache, [&](Archive& a, CachedItem& item) {
      a(item.fingerprint);
      A::LoadArithmeticVector(a, item.samples.positive);
      A::LoadArithmeticVector(a, item.samples.values);
    });
    // Version 1 records come from models of feature bank 1 and end here.
    std::int32_t bank = 1;
    if (version >= 2) {
      archive(bank);
      if (bank < 1 || bank > detail::FeatureLayout::kCurrentBank) {
        Corrupt("expected feature bank 1 to " +
                std::to_string(detail::FeatureLayout::kCurrentBank) + ", found " +
                std::to_string(bank));
      }
    }
    // The bank, last in the record, tells how many features the forest and the samples have.
    const int expectedFeatures =
        detail::FeatureLayout(sampleSize, ChannelCountOf(pixelFormat), bank).Count();
    if (!roots.empty() && featureCount != expectedFeatures) {
      Corrupt("expected " + std::to_string(expectedFeatures) + " features for sample size " +
              std::to_string(sampleSize) + ", " + FormatName(pixelFormat) + " images and bank " +
              std::to_string(bank) + ", found " + std::to_string(featureCount));
    }
    detail::RandomForest forest;
    try {
      forest = detail::RandomForest::FromArrays(std::max(featureCount, 1), std::move(roots),
                                                std::move(features), std::move(thresholds),
                                                std::move(children), std::move(values));
    } catch (const std::runtime_error& error) {
      Corrupt(error.what());
    }
    for (std::size_t i = 0; i < cache.size(); ++i) {
      CachedItem& item = cache[i];
      item.samples.featureCount = expectedFeatures;
      const std::string where = "train cache item " + std::to_string(i);
      for (auto p : item.samples.positive) {
        if (p > 1) Corrupt(where + ": expected sample classes 0 or 1, found " + std::to_string(p));
      }
      const std::uint64_t expected =
          static_cast<std::uint64_t>(item.samples.positive.size()) * expectedFeatures;
      if (item.samples.values.size() != expected) {
        Corrupt(where + ": expected " + std::to_string(expected) + " feature values for " +
                std::to_string(item.samples.positive.size()) + " samples, found " +
                std::to_string(item.samples.values.size()));
      }
      for (float v : item.samples.values) {
        if (!std::isfinite(v)) Corrupt(where + ": expected finite feature values");
      }
    }
    seed_ = seed;
    sampleSize_ = sampleSize;
    format_ = pixelFormat;
    parameters_.trees = trees;
    parameters_.maxDepth = depth;
    forest_ = std::move(forest);
    cache_ = std::move(cache);
    bank_ = bank;
    fitCurrent_ = false;
  } else {
    archive(cereal::base_class<ShareableBase>(this));
    archive(seed_, sampleSize_, static_cast<std::int32_t>(format_),
            static_cast<std::int32_t>(parameters_.trees),
            static_cast<std::int32_t>(parameters_.maxDepth),
            static_cast<std::int32_t>(forest_.FeatureCount()));
    A::SaveArithmeticVector(archive, forest_.Roots());
    A::SaveArithmeticVector(archive, forest_.Features());
    A::SaveArithmeticVector(archive, forest_.Thresholds());
    A::SaveArithmeticVector(archive, forest_.Children());
    A::SaveArithmeticVector(archive, forest_.Values());
    A::SaveCount(archive, cache_.size());
    for (const auto& item : cache_) {
      archive(item.fingerprint);
      A::SaveArithmeticVector(archive, item.samples.positive);
      A::SaveArithmeticVector(archive, item.samples.values);
    }
    archive(static_cast<std::int32_t>(bank_));
  }
}

template void ForestModel::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void ForestModel::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision::SmartSegmenterHelper
