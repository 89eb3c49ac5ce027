#include "tests/engine/FakeModel.h"

#include "interfaces/core/ImageInterfaces.h"

namespace EngineTests {

std::shared_ptr<SmartSegmenterResult> FakeModel::Execute(
    const IImage& image, const IRegion* region,
    const std::shared_ptr<SmartCore::ISmartLabel>& label) const {
  calls += "Execute;";
  lastImage = &image;
  lastRegion = region;
  lastLabel = label;
  lastResult = std::make_shared<SmartSegmenterResult>(
      Tamrix::Vorn::IObject::ObjectCreateAccessToken(), "fake",
      PixelMask(image.Width(), image.Height()), std::vector<float>());
  return lastResult;
}

std::shared_ptr<Segmenter> FakeAccess::CreateSegmenter(
    std::shared_ptr<SmartCore::ISmartLabel> label) {
  auto model = CreateModel(label);
  return std::make_shared<Segmenter>(Tamrix::Vorn::IObject::ObjectCreateAccessToken(),
                                     std::move(label), std::move(model), shared_from_this());
}

std::shared_ptr<ISegmenterModel> FakeAccess::CreateModel(
    const std::shared_ptr<SmartCore::ISmartLabel>& label) {
  lastLabel = label;
  return std::make_shared<FakeModel>(Tamrix::Vorn::IObject::ObjectCreateAccessToken(),
                                     100 + ++modelsCreated);
}

}  // namespace EngineTests

CEREAL_REGISTER_TYPE_WITH_NAME(EngineTests::FakeModel, "EngineTests::FakeModel")
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::SmartSegmenter::ISegmenterModel,
                                     EngineTests::FakeModel)
