#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::FileOpenException;

class LabelSegmenters : public OperatorTest {
 protected:
  void SetUp() override {
    OperatorTest::SetUp();
    op = Peer::Create();
  }
  std::vector<std::string> CreatedFor() {
    std::vector<std::string> names;
    for (const auto& call : recording.CallsOf("CreateSegmenter")) names.push_back(call.label);
    return names;
  }
  std::shared_ptr<Operator> op;
};

TEST_F(LabelSegmenters, OnePerNameInOrderOfFirstAppearance) {
  auto firstA = Label("A");
  op->SmartTrainDataDatabase()->Add(Item({firstA, Label("B"), Label("A")}));
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(CreatedFor(), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Peer::Segmenters(*op)[0]->Label(), firstA) << "made with the first label of that name";
}

TEST_F(LabelSegmenters, NamesAreCaseSensitive) {
  op->SmartTrainDataDatabase()->Add(Item({Label("cell"), Label("Cell")}));
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"cell", "Cell"}));
}

TEST_F(LabelSegmenters, DistinctLabelObjectsWithOneNameShareASegmenter) {
  op->SmartTrainDataDatabase()->Add(Item({Label("A")}));
  op->SmartTrainDataDatabase()->Add(Item({Label("A")}));
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A"}));
  EXPECT_EQ(recording.Count("CreateSegmenter"), 1);
}

TEST_F(LabelSegmenters, NonTrainingItemsMakeNoSegmenter) {
  op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B")}, false));
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
  EXPECT_EQ(recording.Count("CreateSegmenter"), 0);
}

TEST_F(LabelSegmenters, CreationFailureKeepsEarlierSegmentersAndBecomesFileOpenException) {
  recording.ThrowOn("CreateSegmenter", "B", [] { throw std::runtime_error("no engine for B"); });
  try {
    op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B"), Label("C")}));
    FAIL() << "no exception";
  } catch (const FileOpenException& e) {
    EXPECT_STREQ(e.what(), "no engine for B");
  }
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A"}));
  EXPECT_EQ(CreatedFor(), (std::vector<std::string>{"A", "B"})) << "C is not visited";
}

TEST_F(LabelSegmenters, NonRuntimeErrorsPassUnchanged) {
  recording.ThrowOn("CreateSegmenter", "A", [] { throw std::logic_error("not a runtime error"); });
  EXPECT_THROW(op->SmartTrainDataDatabase()->Add(Item({Label("A")})), std::logic_error);
}

TEST_F(LabelSegmenters, DroppingAMiddleLabelKeepsTheOthersInOrder) {
  auto a = Label("A"), b = Label("B"), c = Label("C");
  op->Labels()->Add(a);
  op->Labels()->Add(b);
  op->Labels()->Add(c);
  op->SmartTrainDataDatabase()->Add(Item({a, b, c}));
  op->Labels()->Remove(b);
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A", "C"}));
  op->Labels()->Add(Label("unused"));
  op->Labels()->RemoveAt(2);
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A", "C"}));
}

TEST_F(LabelSegmenters, RenamedLabelIsFoundUnderItsNewName) {
  auto a = Label("A");
  op->Labels()->Add(a);
  op->SmartTrainDataDatabase()->Add(Item({a}));
  a->setName("renamed");
  auto stale = Label("A");
  op->Labels()->Add(stale);
  op->Labels()->Remove(stale);  // no segmenter is named "A" any more
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"renamed"}));
  op->Labels()->Remove(a);
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
}

}  // namespace
}  // namespace Tamrix::Testing
