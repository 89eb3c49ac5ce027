// The helper's engine model: a random forest on a multi-scale filter bank.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/ShareableBase.h"
#include "interfaces/engine/ISegmenterModel.h"
#include "platform/helper/FeatureBank.h"
#include "platform/helper/RandomForest.h"

namespace Tamrix::Vision::SmartSegmenterHelper {

// Learns one label against the others from the pixels under their shapes in the training items,
// described by the filter bank of FeatureBank.h at the scales the sample size sets, with a random
// forest. Everything it does depends only on its inputs and its seed, never on threads or timing.
//
// Train keeps the samples drawn from every item it learned (its train cache), keyed by a
// fingerprint of the item's content (pixels and the pixels of each label's shapes), so an
// unchanged item is not sampled again, even after the model was saved and loaded with new item
// objects; it refits only when the set of items changed. A new sample size makes every cached
// sample stale. Execute shares the features of an image between the segmenters of all labels
// through the module's FeatureCache and works in tiles, so memory grows with the tile size. The
// probability map is smoothed (SmoothProbabilities, at SmoothingScale()) before it is thresholded.
//
// Record version 2; version 1 records lack the final feature bank and mean bank 1. The bank sets
// the feature count of the forest and the samples. After the
// ShareableBase part: seed (u64), sample size (double), pixel format (i32),
// tree count and depth limit (i32, i32), then the forest: feature count (i32) and the node arrays
// roots (i32), features (i32), thresholds (f32), children (i32), values (f32), each a count and a
// contiguous block; then the train cache: a count of items and for each its fingerprint (u64),
// sample classes (u8 0/1) and sample features (f32, feature count per sample); then the feature
// bank (i32, see FeatureBank.h) the forest and the train cache were computed with.
class ForestModel : public ShareableBase, public virtual SmartSegmenter::ISegmenterModel {
 public:
  static constexpr std::uint64_t kDefaultSeed = 0x5EEDF0E57ULL;
  // Version of the archive record. Version 1 records (feature bank 1) still load and keep their
  // bank until retrained; newer versions than this fail to load, naming both versions.
  static constexpr std::uint32_t kRecordVersion = 2;

  explicit ForestModel(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                       std::uint64_t seed = kDefaultSeed);
  ~ForestModel() override;

  // Throws ArgumentException for a negative sample size, VisionException (InvalidData) when the
  // training images differ in pixel format.
  void Train(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
             const std::string& labelName) override;
  void Retrain(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
               const std::string& labelName) override;
  // Throws VisionException (InvalidArgument) for an image of another pixel format than the
  // training images.
  std::shared_ptr<SmartSegmenter::SmartSegmenterResult> Execute(
      const IImage& image, const IRegion* region,
      const std::shared_ptr<SmartCore::ISmartLabel>& label) const override;
  // The filter bank's halo plus the radius of the probability smoothing.
  int ContextRadius() const override;
  // The grid step of the classification (ClassificationStride of the smoothing scale).
  int ContextStep() const override;
  void UpdateTrainingParametersAndTrainCache() override;
  std::string Describe() const override;

  bool Trained() const { return !forest_.Empty(); }
  std::uint64_t Seed() const { return seed_; }
  // How many times the forest was fitted; Train skips the fit when nothing changed.
  int FitCount() const { return fits_; }
  // The feature bank (see FeatureBank.h) the model's forest was trained on.
  int Bank() const { return bank_; }
  // Scale of the Gaussian that smooths the probability map before it is thresholded: the sample
  // size, at most kMaxSampleSize.
  double SmoothingScale() const;

 private:
  friend class cereal::access;
  ForestModel();

  struct CachedItem {
    std::uint64_t fingerprint = 0;
    detail::SampleMatrix samples;
  };

  void Fit();

  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  std::uint64_t seed_ = kDefaultSeed;
  double sampleSize_ = 0.0;
  int bank_ = detail::FeatureLayout::kCurrentBank;
  PixelFormat format_ = PixelFormat::Grey8;
  detail::ForestParameters parameters_;
  detail::RandomForest forest_;
  std::vector<CachedItem> cache_;
  // Whether forest_ is the fit of cache_, so that an unchanged cache needs no new fit.
  bool fitCurrent_ = false;
  int fits_ = 0;

  RTTR_ENABLE(ShareableBase, SmartSegmenter::ISegmenterModel)
};

}  // namespace Tamrix::Vision::SmartSegmenterHelper

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartSegmenterHelper::ForestModel,
                     Tamrix::Vision::SmartSegmenterHelper::ForestModel::kRecordVersion)
