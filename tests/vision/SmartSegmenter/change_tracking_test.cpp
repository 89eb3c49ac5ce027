#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "interfaces/core/Image8Grey.h"
#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::SmartCore::SmartTrainData;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;
const long long kDirty = Operator::SfIsDirty;

class ChangeTracking : public OperatorTest {
 protected:
  void SetUp() override {
    OperatorTest::SetUp();
    op = Peer::Create();
    database = op->SmartTrainDataDatabase();
  }
  // Brings the operator to the state "up to date" without engine calls being recorded.
  void Clean() {
    Peer::SetFlags(*op, false, false);
    changes = RecordChanges(*op);
  }
  void ExpectFlags(bool training, bool full) {
    EXPECT_EQ(Peer::TrainingRequired(*op), training);
    EXPECT_EQ(Peer::FullTrainRequired(*op), full);
  }

  std::shared_ptr<Operator> op;
  std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainDataDatabase> database;
  std::shared_ptr<std::vector<long long>> changes = std::make_shared<std::vector<long long>>();
};

TEST_F(ChangeTracking, AddingATrainingItemRequiresTrainingAndProvisionsItsLabels) {
  Clean();
  auto item = Item({Label("A"), Label("B"), Label("A")});
  database->Add(item);
  ExpectFlags(true, false);
  EXPECT_EQ(*changes, (std::vector<long long>{kDirty}));
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Peer::ConnectionCount(*op, item), 4);
}

TEST_F(ChangeTracking, AddingANonTrainingItemRegistersItOnly) {
  Clean();
  auto item = Item({Label("A")}, false);
  database->Add(item);
  ExpectFlags(false, false);
  EXPECT_TRUE(changes->empty());
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
  EXPECT_EQ(Peer::ConnectionCount(*op, item), 2);
}

TEST_F(ChangeTracking, RemovingATrainingItemDropsUnusedLabelsCutsConnectionsAndRequiresFull) {
  auto a = Label("A"), b = Label("B");
  auto removed = Item({a, b});
  database->Add(removed);
  database->Add(Item({b}));
  Clean();
  database->Remove(removed);
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"B"}));
  EXPECT_EQ(Peer::ConnectionCount(*op, removed), -1);
  ExpectFlags(true, true);
  // Edits of the removed item no longer reach the operator.
  Clean();
  removed->setIsTraining(false);
  removed->Assignments()->Item(0)->setLabel(Label("X"));
  ExpectFlags(false, false);
  EXPECT_TRUE(changes->empty());
}

TEST_F(ChangeTracking, LabelStillUsedByANonTrainingItemKeepsItsSegmenter) {
  auto a = Label("A");
  auto removed = Item({a});
  database->Add(removed);
  database->Add(Item({a}, false));
  database->Remove(removed);
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A"}));
}

TEST_F(ChangeTracking, RemovingANonTrainingItemDropsItsUnusedLabelWithoutFlags) {
  auto b = Label("B");
  database->Add(Item({b}));  // gives B a segmenter
  auto nonTraining = Item({b}, false);
  database->Add(nonTraining);
  database->RemoveAt(0);  // B still used by the non-training item
  ASSERT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"B"}));
  Clean();
  database->Remove(nonTraining);
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
  ExpectFlags(false, false);
  EXPECT_TRUE(changes->empty());
}

TEST_F(ChangeTracking, RemovingTheOnlyItemLeavesTheFlagsAlone) {
  database->Add(Item({Label("A")}));
  Clean();
  database->RemoveAt(0);
  ExpectFlags(false, false);
  Peer::SetFlags(*op, true, false);
  database->Add(Item({Label("A")}));
  database->RemoveAt(0);
  ExpectFlags(true, false);
}

TEST_F(ChangeTracking, StateChangeOfTheLastTrainingItemClearsFullAndRequiresTraining) {
  database->Add(Item({Label("A")}));
  auto last = Item({Label("B")});
  database->Add(last);
  Peer::SetFlags(*op, true, true);
  changes = RecordChanges(*op);
  last->setImage(std::make_shared<Tamrix::Vision::Image8Grey>(Token{}, 16, 16));
  ExpectFlags(true, false);
  // The training-required flag is cleared and raised again: two notifications.
  EXPECT_EQ(*changes, (std::vector<long long>{kDirty, kDirty}));
}

TEST_F(ChangeTracking, StateChangeOfAnEarlierItemRequiresFullTraining) {
  auto first = Item({Label("A")});
  database->Add(first);
  database->Add(Item({Label("B")}));
  Clean();
  first->setImage(std::make_shared<Tamrix::Vision::Image8Grey>(Token{}, 16, 16));
  ExpectFlags(true, true);
  EXPECT_EQ(*changes, (std::vector<long long>{kDirty}));
}

TEST_F(ChangeTracking, LastItemLeavingTrainingRequiresFullTraining) {
  auto last = Item({Label("A")});
  database->Add(last);
  Clean();
  last->setIsTraining(false);
  ExpectFlags(true, true);
}

TEST_F(ChangeTracking, AssignmentChangeOfATrainingItemRequiresFullTraining) {
  auto item = Item({Label("A")});
  database->Add(item);
  Clean();
  item->Assignments()->Item(0)->setLabel(Label("Z"));
  ExpectFlags(true, true);
  EXPECT_EQ(*changes, (std::vector<long long>{kDirty}));
}

TEST_F(ChangeTracking, AssignmentChangeOfANonTrainingItemChangesNothing) {
  auto item = Item({Label("A")}, false);
  database->Add(item);
  database->Add(Item({Label("B")}));
  Clean();
  item->Assignments()->Item(0)->setLabel(Label("Z"));
  ExpectFlags(false, false);
}

TEST_F(ChangeTracking, AssignmentAddedAfterRegistrationIsNotWatched) {
  auto item = Item({Label("A")});
  database->Add(item);
  auto late = item->AddAssignment(Label("L"), item->Assignments()->Item(0)->Shape());
  Clean();
  late->setLabel(Label("M"));
  ExpectFlags(false, false);
}

TEST_F(ChangeTracking, RemovingALabelRemovesTheFirstMatchingAssignmentOfEachItem) {
  auto a = Label("A"), b = Label("B");
  op->Labels()->Add(a);
  auto twice = Item({a, b, a});
  auto once = Item({b, a}, false);
  database->Add(twice);
  database->Add(once);
  Clean();
  op->Labels()->Remove(a);
  ASSERT_EQ(twice->Assignments()->Count(), 2);
  EXPECT_EQ(twice->Assignments()->Item(0)->Label()->Name(), "B");
  EXPECT_EQ(twice->Assignments()->Item(1)->Label()->Name(), "A");
  ASSERT_EQ(once->Assignments()->Count(), 1);
  EXPECT_EQ(once->Assignments()->Item(0)->Label()->Name(), "B");
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"B"}));
}

TEST_F(ChangeTracking, RegisteringAnItemTwiceConnectsNothingNew) {
  auto item = Item({Label("A")});
  database->Add(item);
  auto assignment = item->Assignments()->Item(0);
  const std::size_t itemSlots = item->ChangedEvent().SlotCount();
  const std::size_t assignmentSlots = assignment->ChangedEvent().SlotCount();
  Peer::FinalConstruct(*op);  // registers every present item again
  EXPECT_EQ(Peer::ConnectionCount(*op, item), 2);
  EXPECT_EQ(item->ChangedEvent().SlotCount(), itemSlots);
  EXPECT_EQ(assignment->ChangedEvent().SlotCount(), assignmentSlots);
}

}  // namespace
}  // namespace Tamrix::Testing
