#include "platform/helper/IntensityModel.h"

#include <cmath>
#include <sstream>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "interfaces/engine/SmartSegmenterResult.h"
#include "interfaces/smartcore/ISmartLabel.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"

namespace Tamrix::Vision::SmartSegmenterHelper {

namespace {

// Pixel values are integers: rounding spreads each over a unit step, whose variance (1/12) is
// added to every learned variance. It keeps a constant feature (a flat training area) from
// giving a zero variance and an infinitely sharp class.
constexpr double kQuantisationVariance = 1.0 / 12.0;

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

IntensityModel::ClassModel ModelOf(const detail::FeatureSums& sums) {
  IntensityModel::ClassModel model;
  model.count = sums.count;
  if (sums.count == 0) return model;
  const double n = static_cast<double>(sums.count);
  for (std::size_t f = 0; f < sums.sum.size(); ++f) {
    const double mean = sums.sum[f] / n;
    const double spread = sums.squares[f] / n - mean * mean;
    model.mean.push_back(mean);
    model.variance.push_back((spread > 0.0 ? spread : 0.0) + kQuantisationVariance);
  }
  return model;
}

bool SameObject(const std::weak_ptr<const IImage>& a, const std::shared_ptr<const IImage>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}

std::string Quoted(const std::string& labelName) { return "'" + labelName + "'"; }

template <class Archive>
void SaveClassModel(Archive& archive, const IntensityModel::ClassModel& model) {
  archive(static_cast<std::uint64_t>(model.count));
  Archiving::SaveArithmeticVector(archive, model.mean);
  Archiving::SaveArithmeticVector(archive, model.variance);
}

template <class Archive>
IntensityModel::ClassModel LoadClassModel(Archive& archive, std::size_t featureCount,
                                          const char* name) {
  IntensityModel::ClassModel model;
  std::uint64_t count = 0;
  archive(count);
  model.count = count;
  Archiving::LoadArithmeticVector(archive, model.mean);
  Archiving::LoadArithmeticVector(archive, model.variance);
  const auto fail = [name](const std::string& what) {
    throw cereal::Exception(std::string("IntensityModel: ") + name + " class: " + what);
  };
  if (model.mean.size() != featureCount || model.variance.size() != featureCount) {
    fail("expected " + std::to_string(featureCount) + " means and variances, found " +
         std::to_string(model.mean.size()) + " and " + std::to_string(model.variance.size()));
  }
  if (featureCount > 0 && count == 0) fail("expected a pixel count above 0, found 0");
  for (std::size_t f = 0; f < featureCount; ++f) {
    if (!std::isfinite(model.mean[f]))
      fail("expected finite means, found " + std::to_string(model.mean[f]));
    if (!(std::isfinite(model.variance[f]) && model.variance[f] > 0.0)) {
      fail("expected finite variances above 0, found " + std::to_string(model.variance[f]));
    }
  }
  return model;
}

}  // namespace

IntensityModel::IntensityModel(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
    : ShareableBase(token) {}

IntensityModel::~IntensityModel() = default;

void IntensityModel::Retrain(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
                             const std::string& labelName) {
  items_.clear();
  cacheValid_ = true;
  Train(database, sampleSize, labelName);
}

void IntensityModel::Train(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
                           const std::string& labelName) {
  const int radius = detail::RadiusForSampleSize(sampleSize);
  // Item statistics measured with another window cannot be reused.
  const bool reuse = cacheValid_ && radius == radius_;

  // Everything is built aside and committed at the end, so a failure leaves the model as it was.
  ItemMap items;
  bool haveFormat = false;
  PixelFormat format = PixelFormat::Grey8;
  detail::FeatureSums positive, negative, unlabelled;
  int itemIndex = -1;
  const auto collection = database.TrainingData();
  for (const auto& item : *collection) {
    ++itemIndex;
    if (!item || !item->IsTraining()) continue;
    const std::shared_ptr<const IImage> image = item->Image();
    if (!image) continue;
    detail::TrainingMasks masks =
        detail::RasterizeTrainingMasks(*item, image->Width(), image->Height(), labelName);
    if (masks.positive.Count() == 0 && masks.negative.Count() == 0) continue;

    if (!haveFormat) {
      haveFormat = true;
      format = image->Format();
    } else if (image->Format() != format) {
      throw VisionException(VisionExceptionCodes::InvalidData,
                            "IntensityModel for label " + Quoted(labelName) +
                                ": expected every training image in one pixel format, found " +
                                FormatName(format) + " and " + FormatName(image->Format()) +
                                " (training item " + std::to_string(itemIndex) + ")");
    }

    const std::uint64_t generation = image->PixelGeneration();
    const std::uint64_t fingerprint = masks.Fingerprint();
    ItemRecord record;
    const auto known = reuse ? items_.find(item) : items_.end();
    if (known != items_.end() && SameObject(known->second.image, image) &&
        known->second.generation == generation && known->second.fingerprint == fingerprint) {
      record = known->second;
    } else {
      record.image = image;
      record.generation = generation;
      record.fingerprint = fingerprint;
      record.statistics = detail::MeasureItem(*image, masks, radius);
    }
    // Summed in database order whether reused or measured, so Train equals Retrain exactly.
    positive.Merge(record.statistics.positive);
    negative.Merge(record.statistics.negative);
    if (record.statistics.positive.count > 0) unlabelled.Merge(record.statistics.unlabelled);
    items.emplace(item, std::move(record));
  }

  const bool trained = positive.count > 0 && (negative.count > 0 || unlabelled.count > 0);
  items_ = std::move(items);
  cacheValid_ = true;
  radius_ = radius;
  sampleSize_ = sampleSize;
  trained_ = trained;
  format_ = format;
  channelCount_ = ChannelCountOf(format);
  if (trained) {
    positive_ = ModelOf(positive);
    negative_ = ModelOf(negative.count > 0 ? negative : unlabelled);
  } else {
    positive_ = ClassModel{};
    negative_ = ClassModel{};
  }
  UpdateClassifier();
}

void IntensityModel::UpdateClassifier() {
  logRatioConstant_ = 0.0;
  positiveWeight_.clear();
  negativeWeight_.clear();
  if (!trained_) return;
  for (std::size_t f = 0; f < positive_.mean.size(); ++f) {
    logRatioConstant_ -= 0.5 * std::log(positive_.variance[f] / negative_.variance[f]);
    positiveWeight_.push_back(0.5 / positive_.variance[f]);
    negativeWeight_.push_back(0.5 / negative_.variance[f]);
  }
}

std::shared_ptr<SmartSegmenter::SmartSegmenterResult> IntensityModel::Execute(
    const IImage& image, const IRegion* region,
    const std::shared_ptr<SmartCore::ISmartLabel>& label) const {
  const std::string labelName = label ? label->Name() : std::string();
  const int width = image.Width();
  const int height = image.Height();
  const std::size_t pixels = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
  PixelMask mask(width, height);
  std::vector<float> probabilities(pixels, 0.0f);
  const Tamrix::Vorn::IObject::ObjectCreateAccessToken token;
  if (!trained_) {
    return std::make_shared<SmartSegmenter::SmartSegmenterResult>(token, labelName, std::move(mask),
                                                                  std::move(probabilities));
  }
  if (image.Format() != format_) {
    throw VisionException(VisionExceptionCodes::InvalidArgument,
                          "IntensityModel for label " + Quoted(labelName) + ": expected a " +
                              FormatName(format_) +
                              " image, the format it was trained on, found a " +
                              FormatName(image.Format()) + " image");
  }

  PixelMask inside;
  if (region != nullptr) inside = region->Mask(width, height);
  const detail::FeatureImage features(image, radius_);
  const std::size_t featureCount = positiveWeight_.size();
  auto& bits = mask.Data();
  for (std::size_t i = 0; i < pixels; ++i) {
    if (region != nullptr && inside.Data()[i] == 0) continue;
    double logRatio = logRatioConstant_;
    for (std::size_t f = 0; f < featureCount; ++f) {
      const double x = features.At(static_cast<int>(f), i);
      const double toPositive = x - positive_.mean[f];
      const double toNegative = x - negative_.mean[f];
      logRatio += negativeWeight_[f] * toNegative * toNegative -
                  positiveWeight_[f] * toPositive * toPositive;
    }
    // Equal priors: the posterior is the logistic function of the log-likelihood ratio.
    const double probability = 1.0 / (1.0 + std::exp(-logRatio));
    probabilities[i] = static_cast<float>(probability);
    bits[i] = probability >= 0.5 ? 1 : 0;
  }
  return std::make_shared<SmartSegmenter::SmartSegmenterResult>(token, labelName, std::move(mask),
                                                                std::move(probabilities));
}

void IntensityModel::UpdateTrainingParametersAndTrainCache() {
  UpdateClassifier();
  // The archive holds no item statistics: the next Train measures every item again.
  items_.clear();
  cacheValid_ = false;
}

std::string IntensityModel::Describe() const {
  std::ostringstream text;
  text.precision(4);
  text << "IntensityModel(";
  if (!trained_) {
    text << "untrained)";
    return text.str();
  }
  text << FormatName(format_) << ", window " << 2 * radius_ + 1 << "x" << 2 * radius_ + 1
       << ", label " << positive_.count << " px, others " << negative_.count << " px";
  for (int c = 0; c < channelCount_; ++c) {
    const auto f = static_cast<std::size_t>(3 * c);
    text << "; channel " << c << " value " << positive_.mean[f] << "+-"
         << std::sqrt(positive_.variance[f]) << " vs " << negative_.mean[f] << "+-"
         << std::sqrt(negative_.variance[f]);
  }
  text << ")";
  return text.str();
}

template <class Archive>
void IntensityModel::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "IntensityModel::serialize()");
    archive(cereal::base_class<ShareableBase>(this));
    bool trained = false;
    Archiving::LoadBool(archive, trained);
    std::int32_t format = 0, radius = 0;
    double sampleSize = 0.0;
    archive(format, radius, sampleSize);
    if (format < 0 || format > static_cast<std::int32_t>(PixelFormat::PlanarColor24)) {
      throw cereal::Exception("IntensityModel: expected a pixel format 0 to 2, found " +
                              std::to_string(format));
    }
    if (radius < 1 || radius > detail::kMaxFeatureRadius) {
      throw cereal::Exception("IntensityModel: expected a window radius 1 to " +
                              std::to_string(detail::kMaxFeatureRadius) + ", found " +
                              std::to_string(radius));
    }
    const auto pixelFormat = static_cast<PixelFormat>(format);
    const std::size_t featureCount =
        trained ? static_cast<std::size_t>(
                      detail::FeatureImage::FeatureCountFor(ChannelCountOf(pixelFormat)))
                : 0;
    ClassModel positive = LoadClassModel(archive, featureCount, "label");
    ClassModel negative = LoadClassModel(archive, featureCount, "other");
    trained_ = trained;
    format_ = pixelFormat;
    channelCount_ = ChannelCountOf(pixelFormat);
    radius_ = radius;
    sampleSize_ = sampleSize;
    positive_ = std::move(positive);
    negative_ = std::move(negative);
    UpdateTrainingParametersAndTrainCache();
  } else {
    archive(cereal::base_class<ShareableBase>(this));
    Archiving::SaveBool(archive, trained_);
    archive(static_cast<std::int32_t>(format_), static_cast<std::int32_t>(radius_), sampleSize_);
    SaveClassModel(archive, positive_);
    SaveClassModel(archive, negative_);
  }
}

template void IntensityModel::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void IntensityModel::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision::SmartSegmenterHelper
