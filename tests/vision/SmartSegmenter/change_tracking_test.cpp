#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::SmartCore::SmartTrainData;
using Flags = std::vector<long long>;
const long long kDirty = Operator::SfIsDirty;

class ChangeTracking : public OperatorTest {
 protected:
  // Brings the operator to the state "up to date" and starts recording its change events.
  void Clean() {
    Peer::SetFlags(*op, false, false);
    changes = RecordChanges(*op);
  }

  std::shared_ptr<Operator> op = Peer::Create();
  std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainDataDatabase> database =
      op->SmartTrainDataDatabase();
  std::shared_ptr<Flags> changes = std::make_shared<Flags>();
};

TEST_F(ChangeTracking, AddedItemsAreRegisteredAndOnlyTrainingItemsProvisionLabels) {
  Clean();
  auto nonTraining = Item({Label("A")}, false);
  database->Add(nonTraining);
  EXPECT_EQ(FlagState(*op), "");
  EXPECT_TRUE(changes->empty());
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
  EXPECT_EQ(Peer::ConnectionCount(*op, nonTraining), 2);

  auto item = Item({Label("A"), Label("B"), Label("A")});
  database->Add(item);
  EXPECT_EQ(FlagState(*op), "T");
  EXPECT_EQ(*changes, Flags{kDirty});
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Peer::ConnectionCount(*op, item), 4);
}

TEST_F(ChangeTracking, ItemsAndAssignmentsAreFreedWithTheOperator) {
  // The operator's slots live in the item's own events; holding the item strongly there would
  // keep it alive through itself once the operator and its database are gone.
  std::weak_ptr<SmartTrainData> weakItem;
  std::weak_ptr<Operator> weakOperator;
  {
    auto owner = Peer::Create();
    auto tracked = Item({Label("A"), Label("B")});
    weakItem = tracked;
    weakOperator = owner;
    owner->SmartTrainDataDatabase()->Add(tracked);
    ASSERT_EQ(Peer::ConnectionCount(*owner, tracked), 3);
  }
  EXPECT_TRUE(weakOperator.expired());
  EXPECT_TRUE(weakItem.expired()) << "the item outlived the operator and the database";
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
  EXPECT_EQ(FlagState(*op), "TF");
  // Edits of the removed item no longer reach the operator.
  Clean();
  removed->setIsTraining(false);
  removed->Assignments()->Item(0)->setLabel(Label("X"));
  EXPECT_EQ(FlagState(*op), "");
  EXPECT_TRUE(changes->empty());
}

TEST_F(ChangeTracking, ALabelKeepsItsSegmenterWhileANonTrainingItemUsesIt) {
  auto b = Label("B");
  database->Add(Item({b}));  // gives B a segmenter
  auto nonTraining = Item({b}, false);
  database->Add(nonTraining);
  database->RemoveAt(0);
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"B"}));
  // Removing the last user drops it, without flags or notifications.
  Clean();
  database->Remove(nonTraining);
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
  EXPECT_EQ(FlagState(*op), "");
  EXPECT_TRUE(changes->empty());
}

TEST_F(ChangeTracking, RemovingTheOnlyItemLeavesTheFlagsAlone) {
  database->Add(Item({Label("A")}));
  Clean();
  database->RemoveAt(0);
  EXPECT_EQ(FlagState(*op), "");
  Peer::SetFlags(*op, true, false);
  database->Add(Item({Label("A")}));
  database->RemoveAt(0);
  EXPECT_EQ(FlagState(*op), "T");
}

TEST_F(ChangeTracking, AssignmentAddedAfterRegistrationIsNotWatched) {
  auto item = Item({Label("A")});
  database->Add(item);
  auto late = item->AddAssignment(Label("L"), item->Assignments()->Item(0)->Shape());
  Clean();
  late->setLabel(Label("M"));
  EXPECT_EQ(FlagState(*op), "");
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
  const auto names = [](const SmartTrainData& item) {
    std::vector<std::string> found;
    for (int i = 0; i < item.Assignments()->Count(); ++i)
      found.push_back(item.Assignments()->Item(i)->Label()->Name());
    return found;
  };
  EXPECT_EQ(names(*twice), (std::vector<std::string>{"B", "A"}));
  EXPECT_EQ(names(*once), (std::vector<std::string>{"B"}));
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

// Edits of registered items of the database [first, nonTraining, last] and the flags they leave,
// written "T" for training required and "F" for full training required.
TEST_F(ChangeTracking, ItemEditsSetTheFlagsByPositionAndKind) {
  struct Items {
    std::shared_ptr<SmartTrainData> first, nonTraining, last;
  };
  const auto newImage = [](SmartTrainData& item) {
    item.setImage(std::make_shared<Tamrix::Vision::Image8Grey>(Token{}, 16, 16));
  };
  const auto relabel = [](SmartTrainData& item) {
    item.Assignments()->Item(0)->setLabel(Label("Z"));
  };
  const struct {
    std::string before;
    std::function<void(Items&)> edit;
    std::string after;
    Flags notifications;
  } rows[] = {
      // The training-required flag is cleared and raised again: two notifications.
      {"TF", [&](Items& i) { newImage(*i.last); }, "T", {kDirty, kDirty}},
      {"", [&](Items& i) { newImage(*i.first); }, "TF", {kDirty}},
      {"", [](Items& i) { i.last->setIsTraining(false); }, "TF", {kDirty}},
      {"", [&](Items& i) { relabel(*i.last); }, "TF", {kDirty}},
      {"", [&](Items& i) { relabel(*i.nonTraining); }, "", {}},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(&row - rows);
    op = Peer::Create();
    Items items{Item({Label("A")}), Item({Label("A")}, false), Item({Label("B")})};
    for (const auto& item : {items.first, items.nonTraining, items.last}) {
      op->SmartTrainDataDatabase()->Add(item);
    }
    SetFlagState(*op, row.before);
    changes = RecordChanges(*op);
    row.edit(items);
    EXPECT_EQ(FlagState(*op), row.after);
    EXPECT_EQ(*changes, row.notifications);
  }
}

TEST_F(ChangeTracking, FinalConstructProvisionsAndRegistersExistingItems) {
  op = Peer::ConstructOnly();
  auto a = Label("A"), b = Label("B");
  auto first = Item({a, b});
  auto second = Item({b}, /*isTraining=*/false);
  op->SmartTrainDataDatabase()->Add(first);
  op->SmartTrainDataDatabase()->Add(second);
  // Only constructed: nothing reacts yet.
  EXPECT_FALSE(op->IsDirty());
  EXPECT_FALSE(Peer::IsBound(*op));
  Peer::FinalConstruct(*op);
  EXPECT_EQ(Peer::SegmenterLabels(*op), (std::vector<std::string>{"A", "B"}));
  EXPECT_EQ(Peer::ConnectionCount(*op, first), 3);
  EXPECT_EQ(Peer::ConnectionCount(*op, second), 2);
  EXPECT_FALSE(op->IsDirty());
}

TEST_F(ChangeTracking, DestroyedOperatorIgnoresEventsOfObjectsThatOutliveIt) {
  auto labels = op->Labels();
  auto a = Label("A");
  labels->Add(a);
  auto item = Item({a});
  database->Add(item);
  auto assignment = item->Assignments()->Item(0);
  const std::size_t callsBefore = recording.Calls().size();
  op.reset();

  // Every kind of event the operator listened to, raised after it is gone.
  assignment->setLabel(Label("renamed"));
  item->setIsTraining(false);
  database->Add(Item({Label("B")}));
  labels->Remove(a);
  database->RemoveAt(0);
  EXPECT_EQ(recording.Calls().size(), callsBefore);
}

}  // namespace
}  // namespace Tamrix::Testing
