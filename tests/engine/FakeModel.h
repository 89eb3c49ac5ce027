// A test-local engine model that records what reaches it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/core/ShareableBase.h"
#include "interfaces/engine/ISegmenterModel.h"
#include "interfaces/engine/ISmartSegmenterAccess.h"
#include "interfaces/engine/Segmenter.h"
#include "interfaces/engine/SmartSegmenterResult.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/core/TestSupport.h"

namespace Tamrix::Vision::SmartSegmenter {

// Reaches the private parts of Segmenter that the operator uses. Named apart from the helper
// tests' SegmenterTestAccess: two bodies under one name in one program would break the ODR.
struct FakeSegmenterAccess {
  static void SetAccessAndParameters(Segmenter& segmenter,
                                     std::shared_ptr<ISmartSegmenterAccess> access) {
    segmenter.SetAccessAndParameters(std::move(access));
  }
  static void UpdateTrainingParametersAndTrainCache(Segmenter& segmenter) {
    segmenter.UpdateTrainingParametersAndTrainCache();
  }
  static std::shared_ptr<ISmartSegmenterAccess> Access(const Segmenter& segmenter) {
    return segmenter.access_;
  }
  static void DropModel(Segmenter& segmenter) { segmenter.model_.reset(); }
  static void DropLabel(Segmenter& segmenter) { segmenter.label_.reset(); }
};

}  // namespace Tamrix::Vision::SmartSegmenter

namespace EngineTests {

using namespace Tamrix::Vision;
using namespace Tamrix::Vision::SmartSegmenter;
using Access = FakeSegmenterAccess;
const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;
using Tamrix::Testing::MessageOf;

inline std::shared_ptr<SmartCore::SmartLabel> MakeLabel(const std::string& name) {
  return std::make_shared<SmartCore::SmartLabel>(kToken, name);
}

struct FakeModel : public ShareableBase, public virtual ISegmenterModel {
  explicit FakeModel(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                     int initialTag = 0)
      : ShareableBase(token), tag(initialTag) {}

  void Train(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
             const std::string& labelName) override {
    calls += "Train(" + labelName + "," + std::to_string(sampleSize) + ");";
    lastDatabase = &database;
  }
  void Retrain(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
               const std::string& labelName) override {
    calls += "Retrain(" + labelName + "," + std::to_string(sampleSize) + ");";
    lastDatabase = &database;
  }
  std::shared_ptr<SmartSegmenterResult> Execute(
      const IImage& image, const IRegion* region,
      const std::shared_ptr<SmartCore::ISmartLabel>& label) const override {
    calls += "Execute;";
    lastImage = &image;
    lastRegion = region;
    lastLabel = label;
    return lastResult = std::make_shared<SmartSegmenterResult>(
               kToken, "fake", PixelMask(image.Width(), image.Height()), std::vector<float>());
  }
  void UpdateTrainingParametersAndTrainCache() override { calls += "Update;"; }
  std::string Describe() const override { return "FakeModel " + std::to_string(tag); }

  int tag = 0;
  // Not archived: what happened to this instance.
  mutable std::string calls;
  const SmartCore::SmartTrainDataDatabase* lastDatabase = nullptr;
  mutable const IImage* lastImage = nullptr;
  mutable const IRegion* lastRegion = nullptr;
  mutable std::shared_ptr<SmartCore::ISmartLabel> lastLabel;
  mutable std::shared_ptr<SmartSegmenterResult> lastResult;

  FakeModel() = default;
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t) {
    archive(cereal::base_class<ShareableBase>(this), tag);
  }

  RTTR_ENABLE(ShareableBase, ISegmenterModel)
};

// Hands out FakeModels with increasing tags and counts what it was asked for; the segmenters
// are made by the operator, which these tests do not use.
struct FakeAccess : public ISmartSegmenterAccess {
  std::shared_ptr<Segmenter> CreateSegmenter(std::shared_ptr<SmartCore::ISmartLabel>) override {
    return nullptr;
  }
  std::shared_ptr<ISegmenterModel> CreateModel(
      const std::shared_ptr<SmartCore::ISmartLabel>& label) override {
    lastLabel = label;
    return std::make_shared<FakeModel>(kToken, 100 + ++modelsCreated);
  }

  int modelsCreated = 0;
  std::shared_ptr<SmartCore::ISmartLabel> lastLabel;
};

}  // namespace EngineTests
