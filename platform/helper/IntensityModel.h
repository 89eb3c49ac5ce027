// The helper's first engine model: Gaussian naive Bayes on local intensity features.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/ShareableBase.h"
#include "interfaces/engine/ISegmenterModel.h"
#include "platform/helper/TrainingPixels.h"

namespace Tamrix::Vision::SmartCore {
class SmartTrainData;
}  // namespace Tamrix::Vision::SmartCore

namespace Tamrix::Vision::SmartSegmenterHelper {

// Learns, for one label, the per-class mean and variance of the features of
// detail::FeatureImage (value, window mean and window deviation of each channel; the window radius
// follows the sample size) and classifies each pixel by the naive-Bayes posterior of the label's
// class against the other labels' pixels, with equal class priors so that the amount of
// annotation does not bias the result. When the training data has no pixels of other labels, the
// unlabelled pixels of the items that show the label stand in for them.
//
// Train is incremental: the statistics of every learned item are kept with the item's identity,
// its image's identity and PixelGeneration(), and a fingerprint of its training masks; Train
// learns only new or changed items and forgets items that left the database. The class
// statistics are always summed over the items in database order, so Train and Retrain on the
// same data give identical models. The archive record holds the class statistics only; a loaded
// model relearns every item on its next Train.
//
// All training images must have one pixel format, and Execute refuses images of another.
class IntensityModel : public ShareableBase, public virtual SmartSegmenter::ISegmenterModel {
 public:
  explicit IntensityModel(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token);
  ~IntensityModel() override;

  void Train(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
             const std::string& labelName) override;
  void Retrain(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
               const std::string& labelName) override;
  std::shared_ptr<SmartSegmenter::SmartSegmenterResult> Execute(
      const IImage& image, const IRegion* region,
      const std::shared_ptr<SmartCore::ISmartLabel>& label) const override;
  void UpdateTrainingParametersAndTrainCache() override;
  std::string Describe() const override;

  bool Trained() const { return trained_; }

  // Mean and variance of each feature in one class, learned from `count` pixels.
  struct ClassModel {
    std::uint64_t count = 0;
    std::vector<double> mean;
    std::vector<double> variance;
  };

 private:
  friend class cereal::access;
  IntensityModel() = default;

  // What is remembered of one learned training item.
  struct ItemRecord {
    std::weak_ptr<const IImage> image;
    std::uint64_t generation = 0;
    std::uint64_t fingerprint = 0;
    detail::ItemStatistics statistics;
  };
  using ItemMap = std::map<std::weak_ptr<const SmartCore::SmartTrainData>, ItemRecord,
                           std::owner_less<std::weak_ptr<const SmartCore::SmartTrainData>>>;

  // Rebuilds the per-pixel constants of the classifier from the class models.
  void UpdateClassifier();

  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  // The archived model.
  bool trained_ = false;
  PixelFormat format_ = PixelFormat::Grey8;
  int channelCount_ = 1;
  int radius_ = 1;
  double sampleSize_ = 0.0;
  ClassModel positive_;
  ClassModel negative_;

  // Derived from the class models: the log-likelihood ratio of a pixel with features x is
  // logRatioConstant_ + sum over f of negativeWeight_[f] (x_f - mean_n)^2 - positiveWeight_[f]
  // (x_f - mean_p)^2, the weights being 1 / (2 variance).
  double logRatioConstant_ = 0.0;
  std::vector<double> positiveWeight_;
  std::vector<double> negativeWeight_;

  // The training cache; empty and invalid after loading.
  ItemMap items_;
  bool cacheValid_ = true;

  RTTR_ENABLE(ShareableBase, SmartSegmenter::ISegmenterModel)
};

}  // namespace Tamrix::Vision::SmartSegmenterHelper

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartSegmenterHelper::IntensityModel, 1)
