#include <gtest/gtest.h>

#include <memory>

#include "interfaces/core/Ellipse.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image8Grey.h"
#include "tests/engine/FakeModel.h"

namespace EngineTests {
namespace {

struct Fixture {
  std::shared_ptr<SmartCore::SmartLabel> label = MakeLabel("disc");
  std::shared_ptr<FakeModel> model = std::make_shared<FakeModel>(kToken, 7);
  std::shared_ptr<FakeAccess> access = std::make_shared<FakeAccess>();
  std::shared_ptr<Segmenter> segmenter = std::make_shared<Segmenter>(kToken, label, model, access);
  std::shared_ptr<SmartCore::SmartTrainDataDatabase> database =
      std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
};

TEST(Segmenter, TrainAndRetrainForwardDatabaseSampleSizeAndTheLabelNameOfEachCall) {
  Fixture f;
  f.segmenter->Train(*f.database, 4.5);
  EXPECT_EQ(f.model->lastDatabase, f.database.get());
  f.label->setName("renamed");
  f.segmenter->Retrain(*f.database, 2.0);
  EXPECT_EQ(f.model->calls, "Train(disc,4.500000);Retrain(renamed,2.000000);");
}

TEST(Segmenter, ExecuteForwardsImageRegionAndLabelAndReturnsTheModelsResult) {
  Fixture f;
  auto image = std::make_shared<Image8Grey>(kToken, 5, 4);
  auto region = std::make_shared<Ellipse>(kToken, Point2D{2, 2}, 1.0, 1.0);
  const auto result = f.segmenter->Execute(*image, region.get());
  EXPECT_EQ(f.model->calls, "Execute;");
  EXPECT_EQ(f.model->lastImage, image.get());
  EXPECT_EQ(f.model->lastRegion, region.get());
  EXPECT_EQ(f.model->lastLabel, f.label);
  EXPECT_EQ(result, f.model->lastResult);
  f.segmenter->Execute(*image, nullptr);
  EXPECT_EQ(f.model->lastRegion, nullptr);
}

TEST(Segmenter, ConstructionRefusesAnEmptyLabelOrModel) {
  auto model = std::make_shared<FakeModel>(kToken);
  EXPECT_THROW(std::make_shared<Segmenter>(kToken, nullptr, model, nullptr), ArgumentException);
  const std::string error = MessageOf<ArgumentException>(
      [] { std::make_shared<Segmenter>(kToken, MakeLabel("road"), nullptr, nullptr); });
  EXPECT_NE(error.find("'road'"), std::string::npos) << error;
}

TEST(Segmenter, SetAccessKeepsAnExistingModelAndUpdateForwardsToIt) {
  Fixture f;
  EXPECT_EQ(Access::Access(*f.segmenter), f.access);
  auto other = std::make_shared<FakeAccess>();
  Access::SetAccessAndParameters(*f.segmenter, other);
  EXPECT_EQ(Access::Access(*f.segmenter), other);
  EXPECT_EQ(f.segmenter->Model(), f.model);
  EXPECT_EQ(other->modelsCreated, 0);
  Access::UpdateTrainingParametersAndTrainCache(*f.segmenter);
  EXPECT_EQ(f.model->calls, "Update;");
}

TEST(Segmenter, WithoutModelAndAccessEveryEngineCallThrowsLibraryNotLoaded) {
  Fixture f;
  Access::DropModel(*f.segmenter);
  Access::SetAccessAndParameters(*f.segmenter, nullptr);
  try {
    f.segmenter->Train(*f.database, 1.0);
    FAIL() << "expected VisionException";
  } catch (const VisionException& error) {
    EXPECT_EQ(error.Code(), VisionExceptionCodes::LibraryNotLoaded);
    EXPECT_NE(std::string(error.what()).find("Segmenter::Train for label 'disc'"),
              std::string::npos)
        << error.what();
  }
  EXPECT_THROW(f.segmenter->Retrain(*f.database, 1.0), VisionException);
  EXPECT_THROW(f.segmenter->Execute(Image8Grey(kToken, 2, 2), nullptr), VisionException);
  // Updating a segmenter without model has nothing to update and must not fail.
  EXPECT_NO_THROW(Access::UpdateTrainingParametersAndTrainCache(*f.segmenter));
}

}  // namespace
}  // namespace EngineTests
