#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include "interfaces/core/Ellipse.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/engine/FakeModel.h"

namespace EngineTests {
namespace {

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

std::shared_ptr<SmartCore::SmartLabel> MakeLabel(const std::string& name) {
  return std::make_shared<SmartCore::SmartLabel>(kToken, name);
}

struct Fixture {
  std::shared_ptr<SmartCore::SmartLabel> label = MakeLabel("disc");
  std::shared_ptr<FakeModel> model = std::make_shared<FakeModel>(kToken, 7);
  std::shared_ptr<FakeAccess> access = std::make_shared<FakeAccess>();
  std::shared_ptr<Segmenter> segmenter = std::make_shared<Segmenter>(kToken, label, model, access);
};

TEST(Segmenter, TrainAndRetrainForwardDatabaseSampleSizeAndLabelName) {
  Fixture f;
  auto database = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  f.segmenter->Train(*database, 4.5);
  EXPECT_EQ(f.model->lastDatabase, database.get());
  f.segmenter->Retrain(*database, 2.0);
  EXPECT_EQ(f.model->calls, "Train(disc,4.500000);Retrain(disc,2.000000);");
}

TEST(Segmenter, LabelNameIsReadAtEachCallSoARenameReachesTheModel) {
  Fixture f;
  auto database = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  f.label->setName("renamed");
  f.segmenter->Train(*database, 1.0);
  EXPECT_EQ(f.model->calls, "Train(renamed,1.000000);");
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

TEST(Segmenter, KeepsItsLabelAndModel) {
  Fixture f;
  EXPECT_EQ(f.segmenter->Label(), f.label);
  EXPECT_EQ(f.segmenter->Model(), f.model);
  EXPECT_EQ(SegmenterTestAccess::Access(*f.segmenter), f.access);
}

TEST(Segmenter, ConstructionRefusesAnEmptyLabelOrModel) {
  auto model = std::make_shared<FakeModel>(kToken);
  EXPECT_THROW(std::make_shared<Segmenter>(kToken, nullptr, model, nullptr), ArgumentException);
  try {
    std::make_shared<Segmenter>(kToken, MakeLabel("road"), nullptr, nullptr);
    FAIL() << "expected ArgumentException";
  } catch (const ArgumentException& error) {
    EXPECT_NE(std::string(error.what()).find("'road'"), std::string::npos) << error.what();
  }
}

TEST(Segmenter, AccessObjectMadeByTheFactoryCreatesSegmentersWithNewModels) {
  auto access = std::make_shared<FakeAccess>();
  auto label = MakeLabel("a");
  auto first = access->CreateSegmenter(label);
  auto second = access->CreateSegmenter(label);
  EXPECT_NE(first->Model(), second->Model());
  EXPECT_EQ(access->modelsCreated, 2);
  EXPECT_EQ(first->Label(), label);
}

TEST(Segmenter, SetAccessKeepsAnExistingModel) {
  Fixture f;
  auto other = std::make_shared<FakeAccess>();
  SegmenterTestAccess::SetAccessAndParameters(*f.segmenter, other);
  EXPECT_EQ(SegmenterTestAccess::Access(*f.segmenter), other);
  EXPECT_EQ(f.segmenter->Model(), f.model);
  EXPECT_EQ(other->modelsCreated, 0);
}

TEST(Segmenter, SetAccessGivesASegmenterWithoutModelANewOneForItsLabel) {
  Fixture f;
  SegmenterTestAccess::DropModel(*f.segmenter);
  auto other = std::make_shared<FakeAccess>();
  SegmenterTestAccess::SetAccessAndParameters(*f.segmenter, other);
  EXPECT_EQ(other->modelsCreated, 1);
  EXPECT_EQ(other->lastLabel, f.label);
  auto model = std::dynamic_pointer_cast<FakeModel>(f.segmenter->Model());
  ASSERT_NE(model, nullptr);
  EXPECT_EQ(model->tag, 101);
  auto database = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  f.segmenter->Train(*database, 3.0);
  EXPECT_EQ(model->calls, "Train(disc,3.000000);");
}

TEST(Segmenter, WithoutModelAndAccessEveryEngineCallThrowsLibraryNotLoaded) {
  Fixture f;
  SegmenterTestAccess::DropModel(*f.segmenter);
  SegmenterTestAccess::SetAccessAndParameters(*f.segmenter, nullptr);
  auto database = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  auto image = std::make_shared<Image8Grey>(kToken, 2, 2);
  try {
    f.segmenter->Train(*database, 1.0);
    FAIL() << "expected VisionException";
  } catch (const VisionException& error) {
    EXPECT_EQ(error.Code(), VisionExceptionCodes::LibraryNotLoaded);
    EXPECT_NE(std::string(error.what()).find("Segmenter::Train for label 'disc'"),
              std::string::npos)
        << error.what();
  }
  EXPECT_THROW(f.segmenter->Retrain(*database, 1.0), VisionException);
  EXPECT_THROW(f.segmenter->Execute(*image, nullptr), VisionException);
  // Updating a segmenter without model has nothing to update and must not fail.
  EXPECT_NO_THROW(SegmenterTestAccess::UpdateTrainingParametersAndTrainCache(*f.segmenter));
}

TEST(Segmenter, UpdateTrainingParametersForwardsToTheModel) {
  Fixture f;
  SegmenterTestAccess::UpdateTrainingParametersAndTrainCache(*f.segmenter);
  EXPECT_EQ(f.model->calls, "Update;");
}

}  // namespace
}  // namespace EngineTests
