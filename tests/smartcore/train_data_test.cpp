// Labels, the label collection, assignments of labels to shapes and training items: each change
// stored before its event, events only on change, and no object kept alive by what it watches.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignment.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace Tamrix::Testing::SmartCoreTests;
using Tamrix::Vision::IShape;

TEST(SmartLabel, RenameRaisesSfNameAfterTheNewNameIsStoredAndOnlyOnChange) {
  auto label = MakeLabel("cat");
  std::vector<std::pair<long long, std::string>> seen;
  label->ChangedEvent().Connect(
      [&](const auto& args) { seen.emplace_back(args->Flags(), label->Name()); });
  label->setName("cat");
  label->setName("dog");
  EXPECT_EQ(seen, (std::vector<std::pair<long long, std::string>>{{1, "dog"}}));
  EXPECT_EQ(SmartLabel::SfName, 1);
}

TEST(SmartLabelCollection, RemovedItemEventComesAfterTheLabelLeft) {
  auto labels = std::make_shared<SmartLabelCollection>(Token{});
  auto a = MakeLabel("a");
  labels->Add(a);
  labels->Add(MakeLabel("b"));
  std::vector<std::string> log;
  Tamrix::Testing::CoreTests::RecordCollectionEvents(*labels, log);
  EXPECT_TRUE(labels->Remove(a));
  EXPECT_FALSE(labels->Remove(a));
  EXPECT_EQ(log, (std::vector<std::string>{"removing 0 a count=2", "removed 0 a count=1"}));
  EXPECT_FALSE(labels->Contains(a));
}

std::shared_ptr<SmartLabelToShapeAssignment> MakeAssignment(std::shared_ptr<ISmartLabel> label,
                                                            std::shared_ptr<FakeShape> shape) {
  return std::make_shared<SmartLabelToShapeAssignment>(Token{}, std::move(label), std::move(shape));
}

TEST(SmartLabelToShapeAssignment, SettersAndShapeEditsRaiseFlagOneAfterStoringAndOnlyOnChange) {
  auto firstLabel = MakeLabel("a"), secondLabel = MakeLabel("b");
  auto firstShape = MakeShape(), secondShape = MakeShape();
  auto assignment = MakeAssignment(firstLabel, firstShape);
  using Seen = std::pair<std::shared_ptr<ISmartLabel>, std::shared_ptr<IShape>>;
  std::vector<Seen> seen;
  assignment->ChangedEvent().Connect([&](const auto& args) {
    EXPECT_EQ(args->Flags(), SmartLabelToShapeAssignment::SfAssignment);
    seen.emplace_back(assignment->Label(), assignment->Shape());
  });
  assignment->setLabel(firstLabel);
  assignment->setShape(firstShape);
  EXPECT_TRUE(seen.empty());
  firstShape->Edit();
  assignment->setLabel(secondLabel);
  assignment->setShape(secondShape);
  firstShape->Edit();  // edits of a replaced shape are no longer forwarded
  secondShape->Edit();
  EXPECT_EQ(seen, (std::vector<Seen>{{firstLabel, firstShape},
                                     {secondLabel, firstShape},
                                     {secondLabel, secondShape},
                                     {secondLabel, secondShape}}));
  EXPECT_EQ(SmartLabelToShapeAssignment::SfAssignment, 1);
}

TEST(SmartLabelToShapeAssignment, AcceptsNullLabelAndShapeAndIsNotKeptAliveByItsShape) {
  auto assignment = MakeAssignment(nullptr, nullptr);
  EXPECT_EQ(assignment->Label(), nullptr);
  EXPECT_EQ(assignment->Shape(), nullptr);
  FlagLog log(*assignment);
  auto shape = MakeShape();
  assignment->setShape(shape);
  shape->Edit();
  EXPECT_EQ(log.flags, (std::vector<long long>{1, 1}));
  std::weak_ptr<SmartLabelToShapeAssignment> weak = MakeAssignment(MakeLabel("a"), shape);
  EXPECT_TRUE(weak.expired());
  shape->Edit();  // must reach only the living assignment
  EXPECT_EQ(shape->ChangedEvent().SlotCount(), 1u);
  EXPECT_EQ(log.flags.size(), 3u);
}

std::shared_ptr<SmartLabelToShapeAssignment> MakeAssignment(const std::string& label) {
  return std::make_shared<SmartLabelToShapeAssignment>(Token{}, MakeLabel(label), MakeShape());
}

TEST(SmartTrainData, StateAndImageAreStoredBeforeFlagTwoIsRaisedAndOnlyOnChange) {
  using Seen = std::pair<bool, std::shared_ptr<Tamrix::Vision::IImage>>;
  const std::shared_ptr<Tamrix::Vision::IImage> first = MakeImage(), second = MakeImage(3, 3);
  auto item = std::make_shared<SmartTrainData>(Token{}, first, false);
  EXPECT_EQ(item->Image(), first);
  EXPECT_TRUE(std::make_shared<SmartTrainData>(Token{}, first)->IsTraining());
  std::vector<Seen> seen;
  item->ChangedEvent().Connect([&](const auto& args) {
    EXPECT_EQ(args->Flags(), SmartTrainData::SfTrainingContent);
    seen.emplace_back(item->IsTraining(), item->Image());
  });
  item->setIsTraining(false);
  item->setImage(first);
  item->setIsTraining(true);
  item->setImage(second);
  item->setIsTraining(false);
  EXPECT_EQ(seen, (std::vector<Seen>{{true, first}, {true, second}, {false, second}}));
  EXPECT_EQ(SmartTrainData::SfTrainingContent, 2);
}

TEST(SmartTrainData, AssignmentEditsRaiseFlagTwoAfterTheCollectionChanged) {
  // Each edit, the assignments before it, and the count the collection must have in the slot.
  const std::vector<std::tuple<std::function<void(SmartTrainData&)>, int, int>> cases = {
      {[](SmartTrainData& item) { item.Assignments()->Add(MakeAssignment("a")); }, 0, 1},
      {[](SmartTrainData& item) { item.AddAssignment(MakeLabel("b"), MakeShape()); }, 1, 2},
      {[](SmartTrainData& item) { item.Assignments()->Insert(0, MakeAssignment("a")); }, 2, 3},
      {[](SmartTrainData& item) { item.Assignments()->RemoveAt(1); }, 2, 1},
      {[](SmartTrainData& item) { item.Assignments()->Remove(item.Assignments()->Item(0)); }, 1, 0},
      {[](SmartTrainData& item) { item.Assignments()->Replace(0, MakeAssignment("b")); }, 2, 2},
      {[](SmartTrainData& item) { item.Assignments()->Clear(); }, 3, 0},
  };
  for (const auto& [edit, initialCount, countInSlot] : cases) {
    auto item = MakeItem();
    for (int i = 0; i < initialCount; ++i) item->Assignments()->Add(MakeAssignment("a"));
    std::vector<std::pair<long long, int>> seen;
    item->ChangedEvent().Connect(
        [&](const auto& args) { seen.emplace_back(args->Flags(), item->Assignments()->Count()); });
    edit(*item);
    EXPECT_EQ(seen, (std::vector<std::pair<long long, int>>{{2, countInSlot}}))
        << "initial count " << initialCount;
  }
}

TEST(SmartTrainData, AddAssignmentAppendsAndEditsThatChangeNoContentRaiseNothing) {
  auto item = MakeItem();
  auto label = MakeLabel("a");
  auto shape = MakeShape();
  item->Assignments()->Add(MakeAssignment("b"));
  auto added = item->AddAssignment(label, shape);
  ASSERT_EQ(item->Assignments()->Count(), 2);
  EXPECT_EQ(item->Assignments()->Item(1), added);
  EXPECT_EQ(std::make_pair(added->Label(), added->Shape()),
            std::make_pair(std::shared_ptr<ISmartLabel>(label),
                           std::shared_ptr<Tamrix::Vision::IShape>(shape)));
  FlagLog log(*item);
  item->Assignments()->Replace(0, item->Assignments()->Item(0));
  item->Assignments()->Move(0, 1);
  EXPECT_FALSE(item->Assignments()->Remove(MakeAssignment("c")));
  added->setLabel(MakeLabel("b"));  // edits inside an assignment are not the item's
  shape->Edit();
  EXPECT_TRUE(log.flags.empty());
}

TEST(SmartTrainData, AssignmentCollectionDoesNotKeepItsItemAlive) {
  std::shared_ptr<SmartLabelToShapeAssignmentCollection> assignments;
  std::weak_ptr<SmartTrainData> weak;
  {
    auto item = MakeItem();
    assignments = item->Assignments();
    EXPECT_EQ(item->Assignments(), assignments);  // one collection for the item's lifetime
    weak = item;
  }
  EXPECT_TRUE(weak.expired());
  // The collection outlives its item: editing it must reach nothing.
  assignments->Add(MakeAssignment("a"));
  assignments->Clear();
  EXPECT_EQ(assignments->InsertedItemEvent().SlotCount(), 0u);
}

}  // namespace
