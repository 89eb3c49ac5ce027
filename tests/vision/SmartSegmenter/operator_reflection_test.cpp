#include <gtest/gtest.h>

#include <rttr/type>

#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::SmartCore::ISmartSegmenter;
using Tamrix::Vorn::TypeRegistration::ClassType;
using Tamrix::Vorn::TypeRegistration::PropertyType;

class OperatorReflection : public OperatorTest {
 protected:
  std::shared_ptr<Operator> Create() {
    rttr::variant made = type.create();
    EXPECT_TRUE(made.is_valid());
    return made.get_value<std::shared_ptr<Operator>>();
  }
  rttr::type type =
      rttr::type::get_by_name("Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator");
};

TEST_F(OperatorReflection, FoundByNameWithItsMetadata) {
  ASSERT_TRUE(type.is_valid());
  EXPECT_EQ(type, rttr::type::get<Operator>());
  EXPECT_EQ(type.get_metadata(std::string("LibraryExport")).get_value<std::string>(),
            "Tamrix.Vision.SmartSegmenter");
  EXPECT_EQ(type.get_metadata(std::string("HeaderPath")).get_value<std::string>(),
            "<vision/SmartSegmenter/SmartSegmenterOperator>");
  const rttr::variant classType = type.get_metadata(std::string("ClassType"));
  ASSERT_TRUE(classType.is_type<ClassType>());
  EXPECT_EQ(static_cast<int>(classType.get_value<ClassType>()), 0);
  EXPECT_FALSE(type.create({rttr::argument(1)}).is_valid()) << "no constructor with arguments";
}

TEST_F(OperatorReflection, ConstructorCreatesACleanWiredOperatorWithoutLoadingTheEngine) {
  UseModule("missing");  // creation must not need the engine at all
  auto op = Create();
  ASSERT_NE(op, nullptr);
  EXPECT_FALSE(type.get_property_value("IsDirty", op).get_value<bool>());
  EXPECT_EQ(type.get_property_value("SampleSize", op).get_value<double>(), 5.0);
  EXPECT_EQ(op->SmartTrainDataDatabase()->TrainingData()->Count(), 0);
  EXPECT_EQ(op->Labels()->Count(), 0);
  EXPECT_FALSE(Peer::IsBound(*op));
  EXPECT_EQ(recording.Count("Factory"), 0);
  // Wired: an added training item makes it dirty.
  UseModule("recording");
  op->SmartTrainDataDatabase()->Add(Item({}));
  EXPECT_TRUE(op->IsDirty());
}

TEST_F(OperatorReflection, PropertiesInOrderWithMetadataOnlyOnTheStaticFlags) {
  std::vector<std::string> names;
  for (const auto& property : type.get_properties()) {
    if (property.get_declaring_type() != type) continue;
    names.push_back(property.get_name().to_string());
    const rttr::variant accessor = property.get_metadata(std::string("PropertyAccessorType"));
    if (property.is_static()) {
      ASSERT_TRUE(accessor.is_type<PropertyType>()) << names.back();
      EXPECT_EQ(static_cast<int>(accessor.get_value<PropertyType>()), 2);
    } else {
      EXPECT_FALSE(accessor.is_valid()) << names.back();
    }
  }
  EXPECT_EQ(names, (std::vector<std::string>{"SampleSize", "SmartTrainDataDatabase", "Labels",
                                             "IsDirty", "SfIsDirty", "SfSampleSize"}));
  const std::pair<const char*, long long> flags[] = {{"SfIsDirty", 1}, {"SfSampleSize", 2}};
  for (const auto& [name, value] : flags) {
    const rttr::variant flag = type.get_property(name).get_value(rttr::instance());
    ASSERT_TRUE(flag.is_type<long long>()) << name;
    EXPECT_EQ(flag.get_value<long long>(), value);
  }
  // The flags of a derived class start after the operator's own.
  EXPECT_EQ(Operator::sf0_, 1);
  EXPECT_EQ(Operator::SfNextSf_, 4);
}

TEST_F(OperatorReflection, PropertiesAndMethodsWorkOnTheOperatorItself) {
  auto op = Create();
  EXPECT_EQ(type.get_property_value("SmartTrainDataDatabase", op)
                .get_value<std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainDataDatabase>>(),
            op->SmartTrainDataDatabase());
  EXPECT_EQ(type.get_property_value("Labels", op)
                .get_value<std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabelCollection>>(),
            op->Labels());
  op->SmartTrainDataDatabase()->Add(Item({Label("A")}));
  EXPECT_TRUE(type.get_method("Train").invoke(op).is_valid());
  EXPECT_EQ(recording.Count("Train"), 1);
  EXPECT_TRUE(type.get_method("Retrain").invoke(op).is_valid());
  EXPECT_EQ(recording.Count("Retrain"), 1);
  // Setting the sample size goes through the setter: notifications, the check, read-only flags.
  auto changes = RecordChanges(*op);
  EXPECT_TRUE(type.set_property_value("SampleSize", op, 3.0));
  EXPECT_EQ(op->SampleSize(), 3.0);
  EXPECT_EQ(*changes, (std::vector<long long>{Operator::SfSampleSize, Operator::SfIsDirty}));
  EXPECT_THROW(type.set_property_value("SampleSize", op, -1.0), Tamrix::Vision::ArgumentException);
  EXPECT_EQ(op->SampleSize(), 3.0);
  EXPECT_FALSE(type.set_property_value("IsDirty", op, true)) << "read-only";
}

TEST_F(OperatorReflection, OwningPointersConvertBetweenTheOperatorAndItsBases) {
  auto op = Create();
  rttr::variant asInterface = std::static_pointer_cast<ISmartSegmenter>(op);
  ASSERT_TRUE(asInterface.can_convert<std::shared_ptr<Operator>>());
  bool ok = false;
  auto back = asInterface.convert<std::shared_ptr<Operator>>(&ok);
  EXPECT_TRUE(ok);
  EXPECT_EQ(back, op);
  EXPECT_GE(op.use_count(), 3) << "the conversion shares ownership";
  rttr::variant asObject = std::static_pointer_cast<Tamrix::Vorn::IObject>(op);
  EXPECT_EQ(asObject.convert<std::shared_ptr<Operator>>(), op);
  rttr::variant empty = std::shared_ptr<ISmartSegmenter>();
  ok = true;
  EXPECT_EQ(empty.convert<std::shared_ptr<Operator>>(&ok), nullptr);
  EXPECT_FALSE(ok);
}

TEST_F(OperatorReflection, InstancesAnswerTheirRegisteredType) {
  auto op = Create();
  EXPECT_EQ(static_cast<const Tamrix::Vorn::IObject&>(*op).get_type(), type);
  EXPECT_EQ(op->get_ptr(), static_cast<void*>(op.get()));
}

}  // namespace
}  // namespace Tamrix::Testing
