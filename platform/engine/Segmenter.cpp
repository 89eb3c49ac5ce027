#include "interfaces/engine/Segmenter.h"

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/ISmartLabel.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"

namespace Tamrix::Vision::SmartSegmenter {

Segmenter::Segmenter(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                     std::shared_ptr<SmartCore::ISmartLabel> label,
                     std::shared_ptr<ISegmenterModel> model,
                     std::shared_ptr<ISmartSegmenterAccess> access)
    : ChangedEventShareableBase(token),
      label_(std::move(label)),
      model_(std::move(model)),
      access_(std::move(access)) {
  if (!label_) throw ArgumentException("Segmenter: expected a label, found an empty pointer");
  if (!model_) {
    throw ArgumentException("Segmenter for label '" + label_->Name() +
                            "': expected an engine model, found an empty pointer");
  }
}

Segmenter::Segmenter() = default;
Segmenter::~Segmenter() = default;

ISegmenterModel& Segmenter::RequireModel(const char* operation) const {
  if (!model_) {
    // Only a loaded segmenter that never received an access object can lack its model.
    throw VisionException(VisionExceptionCodes::LibraryNotLoaded,
                          std::string("Segmenter::") + operation + " for label '" +
                              (label_ ? label_->Name() : std::string()) +
                              "': the segmenter has no engine model; it was loaded without an "
                              "access object to the engine helper");
  }
  return *model_;
}

void Segmenter::Train(const SmartCore::SmartTrainDataDatabase& database, double sampleSize) {
  RequireModel("Train").Train(database, sampleSize, label_->Name());
}

void Segmenter::Retrain(const SmartCore::SmartTrainDataDatabase& database, double sampleSize) {
  RequireModel("Retrain").Retrain(database, sampleSize, label_->Name());
}

std::shared_ptr<SmartSegmenterResult> Segmenter::Execute(const IImage& image,
                                                         const IRegion* region) const {
  return RequireModel("Execute").Execute(image, region, label_);
}

int Segmenter::ContextRadius() const { return model_ ? model_->ContextRadius() : 0; }

int Segmenter::ContextStep() const { return model_ ? model_->ContextStep() : 1; }

std::shared_ptr<SmartCore::ISmartLabel> Segmenter::Label() const { return label_; }

std::shared_ptr<ISegmenterModel> Segmenter::Model() const { return model_; }

void Segmenter::SetAccessAndParameters(std::shared_ptr<ISmartSegmenterAccess> access) {
  access_ = std::move(access);
  if (!model_ && access_) model_ = access_->CreateModel(label_);
}

void Segmenter::UpdateTrainingParametersAndTrainCache() {
  if (model_) model_->UpdateTrainingParametersAndTrainCache();
}

template <class Archive>
void Segmenter::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "Segmenter::serialize()");
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    std::shared_ptr<SmartCore::ISmartLabel> label;
    std::shared_ptr<ISegmenterModel> model;
    archive(label, model);
    if (!label) {
      throw cereal::Exception("Segmenter: expected a label in the archive, found a null pointer");
    }
    // A missing model is allowed: SetAccessAndParameters asks the new binding for one.
    label_ = std::move(label);
    model_ = std::move(model);
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this), label_, model_);
  }
}

template void Segmenter::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void Segmenter::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision::SmartSegmenter
