#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <tuple>

#include <rttr/type>

#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace Tamrix::Testing::SmartCoreTests;

rttr::type Type(const std::string& name) {
  return rttr::type::get_by_name("Tamrix::Vision::SmartCore::" + name);
}

// Reads a string the registration stored; variant::to_string() would also convert other types.
std::string StringIn(const rttr::variant& value) {
  return value.is_type<std::string>() ? value.get_value<std::string>() : "<not a string>";
}

TEST(SmartCoreReflection, TypesAreFoundByTheirQualifiedNameAndNameTheirLibrary) {
  for (const char* name :
       {"ISmartLabel", "SmartLabel", "SmartLabelCollection", "SmartLabelToShapeAssignment",
        "SmartLabelToShapeAssignmentCollection", "SmartTrainData", "SmartTrainDataCollection",
        "SmartTrainDataDatabase", "ISmartTrainDatabaseVerifier", "ISmartSegmenterResult",
        "SmartSegmenterResults", "ISmartSegmenter"}) {
    EXPECT_EQ(StringIn(Type(name).get_metadata("LibraryExport")), "Tamrix.Vision.SmartCore")
        << name;
  }
}

TEST(SmartCoreReflection, LabelIsCreatedAndRenamedThroughTheRegistry) {
  rttr::variant created = Type("SmartLabel").create();
  ASSERT_TRUE(created.is_type<std::shared_ptr<SmartLabel>>());
  auto label = created.get_value<std::shared_ptr<SmartLabel>>();
  FlagLog log(*label);
  ASSERT_TRUE(
      Type("SmartLabel").get_method("setName").invoke(*label, std::string("cat")).is_valid());
  EXPECT_EQ(label->Name(), "cat");
  EXPECT_EQ(StringIn(Type("SmartLabel").get_property_value("Name", *label)), "cat");
  EXPECT_EQ(log.flags, std::vector<long long>{1});
}

TEST(SmartCoreReflection, StaticFlagsReadBackTheirValues) {
  for (const auto& [type, name, value] : {std::tuple{"SmartLabel", "SfName", 1LL},
                                          {"SmartLabelToShapeAssignment", "SfAssignment", 1LL},
                                          {"SmartTrainData", "SfTrainingContent", 2LL}}) {
    const rttr::property property = Type(type).get_property(name);
    EXPECT_TRUE(property.is_static()) << name;
    const rttr::variant read = property.get_value(rttr::instance());
    ASSERT_TRUE(read.is_type<long long>()) << name;
    EXPECT_EQ(read.get_value<long long>(), value) << name;
  }
}

TEST(SmartCoreReflection, TrainingDataOffersOnePseudoPropertyPerItem) {
  auto database = std::make_shared<SmartTrainDataDatabase>(Token{});
  auto a = MakeItem(), b = MakeItem();
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
