// A helper module whose engine records every call in EngineRecording and obeys its instructions.
// Built under the helper module's file name into a folder of its own.
#include <memory>
#include <string>

#include "../support/EngineRecording.h"
#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Cereal.h"
#include "interfaces/core/Settings.h"
#include "interfaces/engine/ISegmenterModel.h"
#include "interfaces/engine/ISmartSegmenterAccess.h"
#include "interfaces/engine/Segmenter.h"
#include "interfaces/engine/SmartSegmenterResult.h"
#include "interfaces/smartcore/ISmartLabel.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::IImage;
using Tamrix::Vision::IRegion;
using Tamrix::Vision::PixelMask;
using Tamrix::Vision::SmartCore::ISmartLabel;
using Tamrix::Vision::SmartCore::SmartTrainDataDatabase;
using Tamrix::Vision::SmartSegmenter::ISegmenterModel;
using Tamrix::Vision::SmartSegmenter::ISmartSegmenterAccess;
using Tamrix::Vision::SmartSegmenter::Segmenter;
using Tamrix::Vision::SmartSegmenter::SmartSegmenterResult;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

EngineCall Call(const std::string& operation, const std::string& label) {
  EngineCall call;
  call.operation = operation;
  call.label = label;
  return call;
}

}  // namespace

// Learns nothing; every call is recorded under the label name it was made for.
class RecordingModel : public virtual ISegmenterModel {
 public:
  RecordingModel() = default;
  explicit RecordingModel(std::string labelName) : labelName_(std::move(labelName)) {}

  std::string ToString() const override { return "RecordingModel " + labelName_; }

  void Train(const SmartTrainDataDatabase& database, double sampleSize,
             const std::string& labelName) override {
    Training("Train", database, sampleSize, labelName);
  }
  void Retrain(const SmartTrainDataDatabase& database, double sampleSize,
               const std::string& labelName) override {
    Training("Retrain", database, sampleSize, labelName);
  }
  std::shared_ptr<SmartSegmenterResult> Execute(
      const IImage& image, const IRegion* region,
      const std::shared_ptr<ISmartLabel>& label) const override {
    EngineCall call = Call("Execute", label->Name());
    call.image = &image;
    call.region = region;
    EngineRecording::Instance().Enter(call);
    if (EngineRecording::Instance().EmptyResults()) return nullptr;
    return std::make_shared<SmartSegmenterResult>(Token{}, label->Name(), PixelMask(1, 1),
                                                  std::vector<float>{});
  }
  void UpdateTrainingParametersAndTrainCache() override {
    EngineRecording::Instance().Enter(Call("Update", labelName_));
  }
  std::string Describe() const override { return "records calls for " + labelName_; }

  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version) {
    if constexpr (Archive::is_loading::value) {
      Tamrix::Vision::CheckSerializationVersionMismatch(version, 1, "RecordingModel::serialize()");
      Tamrix::Vision::Archiving::LoadString(archive, labelName_);
    } else {
      Tamrix::Vision::Archiving::SaveString(archive, labelName_);
    }
  }

 private:
  void Training(const char* operation, const SmartTrainDataDatabase& database, double sampleSize,
                const std::string& labelName) {
    EngineCall call = Call(operation, labelName);
    call.database = &database;
    call.sampleSize = sampleSize;
    EngineRecording::Instance().Enter(call);
  }

  std::string labelName_;
  RTTR_ENABLE(ISegmenterModel)
};

class RecordingAccess : public ISmartSegmenterAccess,
                        public std::enable_shared_from_this<RecordingAccess> {
 public:
  std::shared_ptr<Segmenter> CreateSegmenter(std::shared_ptr<ISmartLabel> label) override {
    EngineCall call = Call("CreateSegmenter", label->Name());
    call.access = this;
    EngineRecording::Instance().Enter(call);
    return std::make_shared<Segmenter>(Token{}, label, CreateModel(label), shared_from_this());
  }
  std::shared_ptr<ISegmenterModel> CreateModel(const std::shared_ptr<ISmartLabel>& label) override {
    return std::make_shared<RecordingModel>(label->Name());
  }
};

}  // namespace Tamrix::Testing

CEREAL_CLASS_VERSION(Tamrix::Testing::RecordingModel, 1)
CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Testing::RecordingModel, "Tamrix::Testing::RecordingModel")
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::SmartSegmenter::ISegmenterModel,
                                     Tamrix::Testing::RecordingModel)

extern "C" int CreateSegmenterAccessWrapper(
    std::shared_ptr<Tamrix::Vision::SmartSegmenter::ISmartSegmenterAccess>* access) {
  auto made = std::make_shared<Tamrix::Testing::RecordingAccess>();
  Tamrix::Testing::EngineCall call;
  call.operation = "Factory";
  call.access = made.get();
  Tamrix::Testing::EngineRecording::Instance().Enter(call);
  *access = made;
  return 0;
}
