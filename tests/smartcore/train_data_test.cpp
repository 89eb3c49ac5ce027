#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

#include "interfaces/smartcore/SmartTrainData.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace Tamrix::Testing::SmartCoreTests;

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
