#include <gtest/gtest.h>

#include <memory>

#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::SmartCore::ISmartSegmenter;

class Execution : public OperatorTest {
 protected:
  std::shared_ptr<Tamrix::Vision::SmartCore::SmartSegmenterResults> Run(
      const Tamrix::Vision::IRegion* region = nullptr) {
    return static_cast<ISmartSegmenter&>(*op).Execute(image, region);
  }
  std::vector<std::string> ResultLabels() {
    std::vector<std::string> names;
    auto results = Run();
    if (!results) return {"(no result list)"};
    for (int i = 0; i < results->Count(); ++i)
      names.push_back(results->Item(i) ? results->Item(i)->LabelName() : "(none)");
    return names;
  }

  std::shared_ptr<Operator> op = Peer::Create();
  Tamrix::Vision::Image8Grey image{Token{}, 8, 8};
};

TEST_F(Execution, WithoutSegmentersTheResultsAreEmptyAndNoEngineRuns) {
  EXPECT_TRUE(ResultLabels().empty());
  EXPECT_TRUE(Peer::IsBound(*op)) << "the engine is bound before the data is looked at";
  op->SmartTrainDataDatabase()->Add(Item({Label("A")}, /*isTraining=*/false));
  EXPECT_TRUE(ResultLabels().empty());
  EXPECT_EQ(recording.Count("Execute"), 0);
}

TEST_F(Execution, OneResultPerSegmenterInListOrderEvenWhenTheEngineGivesNone) {
  Sequential();
  op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B"), Label("C")}));
  auto changes = RecordChanges(*op);
  EXPECT_EQ(ResultLabels(), (std::vector<std::string>{"A", "B", "C"}));
  recording.emptyResults = true;
  EXPECT_EQ(ResultLabels(), (std::vector<std::string>{"(none)", "(none)", "(none)"}));
  // Executing changes no flag and notifies nothing.
  EXPECT_EQ(FlagState(*op), "T");
  EXPECT_TRUE(changes->empty());
}

TEST_F(Execution, ImageAndRegionReachEverySegmenterUnchanged) {
  op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B")}));
  auto region = std::dynamic_pointer_cast<Tamrix::Vision::IRegion>(
      Item({Label("R")})->Assignments()->Item(0)->Shape());
  ASSERT_NE(region, nullptr);
  Run(region.get());
  Run();
  const auto calls = recording.CallsOf("Execute");
  ASSERT_EQ(calls.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(calls[i].image, static_cast<const Tamrix::Vision::IImage*>(&image));
    EXPECT_EQ(calls[i].region, i < 2 ? static_cast<const void*>(region.get()) : nullptr);
  }
}

}  // namespace
}  // namespace Tamrix::Testing
