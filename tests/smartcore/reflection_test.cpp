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

TEST(SmartCoreReflection, TypesAreFoundByTheirQualifiedNameAndNameTheirLibrary) {
  for (const char* name :
       {"ISmartLabel", "SmartLabel", "SmartLabelCollection", "SmartLabelToShapeAssignment",
        "SmartLabelToShapeAssignmentCollection", "SmartTrainData", "SmartTrainDataCollection",
        "SmartTrainDataDatabase", "ISmartTrainDatabaseVerifier", "ISmartSegmenterResult",
        "SmartSegmenterResults", "ISmartSegmenter"}) {
    const rttr::type type =
        rttr::type::get_by_name(std::string("Tamrix::Vision::SmartCore::") + name);
    ASSERT_TRUE(type.is_valid()) << name;
    EXPECT_EQ(type.get_metadata("LibraryExport").to_string(), "Tamrix.Vision.SmartCore") << name;
  }
}

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
  // The last two, after the named ones, stand for the items in order.
  for (int i = 0; i < 2; ++i) {
    const auto& property = properties[properties.size() - 2 + static_cast<std::size_t>(i)];
    EXPECT_EQ(property->Argument().get_value<int>(), i);
    EXPECT_EQ(property->GetValue(*data).get_value<std::shared_ptr<SmartTrainData>>(), i ? b : a);
  }
}

}  // namespace
