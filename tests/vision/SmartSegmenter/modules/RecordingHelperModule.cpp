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

using namespace Tamrix::Vision;
using namespace Tamrix::Vision::SmartCore;
using namespace Tamrix::Vision::SmartSegmenter;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

static void Record(EngineCall call) { EngineRecording::Instance().Enter(std::move(call)); }

// Learns nothing; every call is recorded under the label name it was made for.
class RecordingModel : public virtual ISegmenterModel {
 public:
  RecordingModel() = default;
  explicit RecordingModel(std::string labelName) : labelName_(std::move(labelName)) {}

  std::string ToString() const override { return "RecordingModel " + labelName_; }
  void Train(const SmartTrainDataDatabase& database, double sampleSize,
             const std::string& labelName) override {
    Record({"Train", labelName, sampleSize, &database});
  }
  void Retrain(const SmartTrainDataDatabase& database, double sampleSize,
               const std::string& labelName) override {
    Record({"Retrain", labelName, sampleSize, &database});
  }
  std::shared_ptr<SmartSegmenterResult> Execute(
      const IImage& image, const IRegion* region,
      const std::shared_ptr<ISmartLabel>& label) const override {
    Record({"Execute", label->Name(), 0, nullptr, &image, region});
    if (EngineRecording::Instance().emptyResults) return nullptr;
    return std::make_shared<SmartSegmenterResult>(Token{}, label->Name(), PixelMask(1, 1),
                                                  std::vector<float>{});
  }
  void UpdateTrainingParametersAndTrainCache() override { Record({"Update", labelName_}); }
  std::string Describe() const override { return "records calls for " + labelName_; }

  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version) {
    if constexpr (Archive::is_loading::value) {
      CheckSerializationVersionMismatch(version, 1, "RecordingModel::serialize()");
      Archiving::LoadString(archive, labelName_);
    } else {
      Archiving::SaveString(archive, labelName_);
    }
  }

 private:
  std::string labelName_;
  RTTR_ENABLE(ISegmenterModel)
};

class RecordingAccess : public ISmartSegmenterAccess,
                        public std::enable_shared_from_this<RecordingAccess> {
 public:
  std::shared_ptr<Segmenter> CreateSegmenter(std::shared_ptr<ISmartLabel> label) override {
    Record({"CreateSegmenter", label->Name()});
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
  Tamrix::Testing::Record({"Factory", ""});
  *access = std::make_shared<Tamrix::Testing::RecordingAccess>();
  return 0;
}
