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

}  // namespace
}  // namespace Tamrix::Testing
