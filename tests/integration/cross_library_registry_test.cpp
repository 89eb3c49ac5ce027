// The archive and reflection registries are one per process: a type registered by one library is
// archived by code compiled into another.
#include <gtest/gtest.h>

#include <memory>
#include <sstream>

#include <rttr/type>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/engine/SmartSegmenterResult.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"

namespace {

using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;
namespace Archiving = Tamrix::Vision::Archiving;

template <typename T>
std::shared_ptr<T> RoundTripThroughCore(const std::shared_ptr<Tamrix::Vorn::IObject>& object) {
  std::stringstream stream;
  Archiving::SaveObject(stream, object);  // compiled into the core library
  return std::dynamic_pointer_cast<T>(Archiving::LoadObject(stream));
}

TEST(CrossLibraryRegistry, CoreArchivesATypeRegisteredByTheTrainingDataLibrary) {
  auto label = std::make_shared<Tamrix::Vision::SmartCore::SmartLabel>(Token{}, "cell");
  auto loaded = RoundTripThroughCore<Tamrix::Vision::SmartCore::SmartLabel>(label);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Name(), "cell");
}

TEST(CrossLibraryRegistry, CoreArchivesATypeRegisteredByTheEngineLibrary) {
  Tamrix::Vision::PixelMask mask(2, 1);
  mask.Set(1, 0);
  auto result = std::make_shared<Tamrix::Vision::SmartSegmenter::SmartSegmenterResult>(
      Token{}, "cell", mask, std::vector<float>{0.25f, 0.75f});
  auto loaded = RoundTripThroughCore<Tamrix::Vision::SmartCore::ISmartSegmenterResult>(result);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->LabelName(), "cell");
  EXPECT_EQ(loaded->Area(), 1);
  EXPECT_EQ(loaded->Probabilities(), (std::vector<float>{0.25f, 0.75f}));
}

TEST(CrossLibraryRegistry, AnItemOfThreeLibrariesKeepsItsSharedObjects) {
  auto image = std::make_shared<Tamrix::Vision::Image8Grey>(Token{}, 4, 4);
  auto item = std::make_shared<Tamrix::Vision::SmartCore::SmartTrainData>(Token{}, image);
  auto label = std::make_shared<Tamrix::Vision::SmartCore::SmartLabel>(Token{}, "A");
  auto polygon = std::make_shared<Tamrix::Vision::Polygon>(Token{});
  item->AddAssignment(label, polygon);
  item->AddAssignment(label, polygon);
  auto loaded = RoundTripThroughCore<Tamrix::Vision::SmartCore::SmartTrainData>(item);
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(loaded->Assignments()->Count(), 2);
  EXPECT_EQ(loaded->Assignments()->Item(0)->Label(), loaded->Assignments()->Item(1)->Label());
  EXPECT_EQ(loaded->Assignments()->Item(0)->Shape(), loaded->Assignments()->Item(1)->Shape());
  EXPECT_NE(std::dynamic_pointer_cast<Tamrix::Vision::Image8Grey>(loaded->Image()), nullptr);
}

TEST(CrossLibraryRegistry, ReflectionSeesTypesOfEveryLibrary) {
  EXPECT_TRUE(rttr::type::get_by_name("Tamrix::Vision::ChangedEventShareableBase").is_valid());
  EXPECT_TRUE(rttr::type::get_by_name("Tamrix::Vision::Polygon").is_valid());
  EXPECT_TRUE(rttr::type::get_by_name("Tamrix::Vision::SmartCore::SmartLabel").is_valid());
  EXPECT_TRUE(
      rttr::type::get_by_name("Tamrix::Vision::SmartSegmenter::SmartSegmenterResult").is_valid());
}

}  // namespace
