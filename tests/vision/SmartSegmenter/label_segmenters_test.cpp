// One segmenter per label name, made, kept and dropped as labels and items change; executing
// runs each of them.
#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "support/OperatorTestPeer.h"
#include "tests/support/MessageOf.h"

namespace Tamrix::Testing {
namespace {

using Names = std::vector<std::string>;

class LabelSegmenters : public OperatorTest {
 protected:
  Names CreatedFor() {
    Names names;
    for (const auto& call : recording.CallsOf("CreateSegmenter")) names.push_back(call.label);
    return names;
  }
  std::shared_ptr<Operator> op = Peer::Create();
};

TEST_F(LabelSegmenters, OnePerCaseSensitiveNameInOrderOfFirstAppearanceInTrainingItems) {
  auto firstA = Label("A");
  op->SmartTrainDataDatabase()->Add(Item({firstA, Label("B"), Label("A")}));
  op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("cell"), Label("Cell")}));
  op->SmartTrainDataDatabase()->Add(Item({Label("X"), Label("B")}, /*isTraining=*/false));
  EXPECT_EQ(Peer::SegmenterLabels(*op), (Names{"A", "B", "cell", "Cell"}));
  EXPECT_EQ(CreatedFor(), (Names{"A", "B", "cell", "Cell"}));
  EXPECT_EQ(Peer::Segmenters(*op)[0]->Label(), firstA) << "made with the first label of that name";
}

TEST_F(LabelSegmenters, CreationFailureKeepsEarlierSegmentersAndBecomesFileOpenException) {
  recording.ThrowOn("CreateSegmenter", "B", [] { throw std::runtime_error("no engine for B"); });
  EXPECT_EQ(MessageOf<Tamrix::Vision::FileOpenException>([&] {
              op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B"), Label("C")}));
            }),
            "no engine for B");
  EXPECT_EQ(Peer::SegmenterLabels(*op), Names{"A"});
  EXPECT_EQ(CreatedFor(), (Names{"A", "B"})) << "C is not visited";
}

TEST_F(LabelSegmenters, CreationErrorsOtherThanRuntimeErrorsPassUnchanged) {
  recording.ThrowOn("CreateSegmenter", "A", [] { throw std::logic_error("not a runtime error"); });
  EXPECT_THROW(op->SmartTrainDataDatabase()->Add(Item({Label("A")})), std::logic_error);
}

TEST_F(LabelSegmenters, DroppingAMiddleLabelKeepsTheOthersInOrder) {
  auto a = Label("A"), b = Label("B"), c = Label("C");
  for (const auto& label : {a, b, c}) op->Labels()->Add(label);
  op->SmartTrainDataDatabase()->Add(Item({a, b, c}));
  op->Labels()->Remove(b);
  EXPECT_EQ(Peer::SegmenterLabels(*op), (Names{"A", "C"}));
  op->Labels()->Add(Label("unused"));
  op->Labels()->RemoveAt(2);
  EXPECT_EQ(Peer::SegmenterLabels(*op), (Names{"A", "C"}));
}

TEST_F(LabelSegmenters, RenamedLabelIsFoundUnderItsNewName) {
  auto a = Label("A");
  op->Labels()->Add(a);
  op->SmartTrainDataDatabase()->Add(Item({a}));
  a->setName("renamed");
  auto stale = Label("A");
  op->Labels()->Add(stale);
  op->Labels()->Remove(stale);  // no segmenter is named "A" any more
  EXPECT_EQ(Peer::SegmenterLabels(*op), Names{"renamed"});
  op->Labels()->Remove(a);
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
}

// Collections may hold an assignment without a label, or no assignment at all (Verify() reports
// both); adding, editing and removing around them must neither crash nor make segmenters.
TEST_F(LabelSegmenters, AssignmentsWithoutALabelAreLeftOut) {
  auto a = Label("A");
  op->Labels()->Add(a);
  auto item = Item({nullptr, a, nullptr});
  item->Assignments()->Add(nullptr);
  op->SmartTrainDataDatabase()->Add(item);
  EXPECT_EQ(Peer::SegmenterLabels(*op), Names{"A"});
  EXPECT_EQ(CreatedFor(), Names{"A"});
  Peer::SetFlags(*op, false, false);
  item->Assignments()->Item(0)->setLabel(Label("late"));  // still reaches the operator
  EXPECT_TRUE(Peer::FullTrainRequired(*op));
  op->Labels()->Remove(a);
  EXPECT_EQ(item->Assignments()->Count(), 3) << "only the assignment of A goes";
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
  op->SmartTrainDataDatabase()->Remove(item);
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
}

// Executing: one result per segmenter, in list order, with the caller's image and region.

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
