#include <gtest/gtest.h>

#include <memory>
#include <string>

#include <rttr/type>

#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace SmartCoreTest;

class SmartCoreReflectedTypes : public ::testing::TestWithParam<const char*> {};

TEST_P(SmartCoreReflectedTypes, AreFoundByTheirQualifiedName) {
  const rttr::type type = rttr::type::get_by_name(GetParam());
  ASSERT_TRUE(type.is_valid()) << GetParam();
  EXPECT_EQ(type.get_metadata("LibraryExport").to_string(), "Tamrix.Vision.SmartCore");
}

INSTANTIATE_TEST_SUITE_P(
    Names, SmartCoreReflectedTypes,
    ::testing::Values("Tamrix::Vision::SmartCore::ISmartLabel",
                      "Tamrix::Vision::SmartCore::SmartLabel",
                      "Tamrix::Vision::SmartCore::SmartLabelCollection",
                      "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment",
                      "Tamrix::Vision::SmartCore::SmartLabelToShapeAssignmentCollection",
                      "Tamrix::Vision::SmartCore::SmartTrainData",
                      "Tamrix::Vision::SmartCore::SmartTrainDataCollection",
                      "Tamrix::Vision::SmartCore::SmartTrainDataDatabase",
                      "Tamrix::Vision::SmartCore::ISmartTrainDatabaseVerifier",
                      "Tamrix::Vision::SmartCore::ISmartSegmenterResult",
                      "Tamrix::Vision::SmartCore::SmartSegmenterResults",
                      "Tamrix::Vision::SmartCore::ISmartSegmenter"));

TEST(SmartCoreReflection, LabelIsCreatedAndRenamedThroughTheRegistry) {
  const rttr::type type = rttr::type::get_by_name("Tamrix::Vision::SmartCore::SmartLabel");
  rttr::variant created = type.create();
  ASSERT_TRUE(created.is_type<std::shared_ptr<SmartLabel>>());
  auto label = created.get_value<std::shared_ptr<SmartLabel>>();
  FlagRecorder recorder(*label);
  ASSERT_TRUE(type.get_method("setName").invoke(*label, std::string("cat")).is_valid());
  EXPECT_EQ(label->Name(), "cat");
  EXPECT_EQ(type.get_property_value("Name", *label).to_string(), "cat");
  EXPECT_EQ(recorder.flags, std::vector<long long>{1});
}

TEST(SmartCoreReflection, StaticFlagsReadBackTheirValues) {
  auto flag = [](const char* type, const char* name) {
    const rttr::property property = rttr::type::get_by_name(type).get_property(name);
    EXPECT_TRUE(property.is_static()) << name;
    const rttr::variant value = property.get_value(rttr::instance());
    EXPECT_TRUE(value.is_type<long long>()) << name;
    return value.is_type<long long>() ? value.get_value<long long>() : -1;
  };
  EXPECT_EQ(flag("Tamrix::Vision::SmartCore::SmartLabel", "SfName"), 1);
  EXPECT_EQ(flag("Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment", "SfAssignment"), 1);
  EXPECT_EQ(flag("Tamrix::Vision::SmartCore::SmartTrainData", "SfTrainingContent"), 2);
}

TEST(SmartCoreReflection, TrainingDataOffersOnePseudoPropertyPerItem) {
  auto database = std::make_shared<SmartTrainDataDatabase>(Token{});
  auto a = std::make_shared<SmartTrainData>(Token{}, MakeImage());
  auto b = std::make_shared<SmartTrainData>(Token{}, MakeImage());
  database->Add(a);
  database->Add(b);
  const auto data = database->TrainingData();
  const auto properties = data->GetFakeProperties();
  ASSERT_GE(properties.size(), 2u);
  const auto& last = properties[properties.size() - 1];
  const auto& beforeLast = properties[properties.size() - 2];
  EXPECT_EQ(beforeLast->Argument().get_value<int>(), 0);
  EXPECT_EQ(last->Argument().get_value<int>(), 1);
  EXPECT_EQ(beforeLast->GetValue(*data).get_value<std::shared_ptr<SmartTrainData>>(), a);
  EXPECT_EQ(last->GetValue(*data).get_value<std::shared_ptr<SmartTrainData>>(), b);
}

}  // namespace
