#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/smartcore/SmartTrainData.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace SmartCoreTest;

std::shared_ptr<SmartTrainData> MakeItem(bool isTraining = true) {
  return std::make_shared<SmartTrainData>(Token{}, MakeImage(), isTraining);
}

std::shared_ptr<SmartLabelToShapeAssignment> MakeAssignment(const std::string& label) {
  return std::make_shared<SmartLabelToShapeAssignment>(Token{}, MakeLabel(label), MakeShape());
}

TEST(SmartTrainData, ConstructorKeepsImageAndStateAndMakesAnEmptyAssignmentCollection) {
  auto image = MakeImage();
  auto item = std::make_shared<SmartTrainData>(Token{}, image, false);
  EXPECT_EQ(item->Image(), image);
  EXPECT_FALSE(item->IsTraining());
  ASSERT_NE(item->Assignments(), nullptr);
  EXPECT_EQ(item->Assignments()->Count(), 0);
  EXPECT_EQ(item->Assignments(), item->Assignments());
  EXPECT_TRUE(std::make_shared<SmartTrainData>(Token{}, image)->IsTraining());
}

TEST(SmartTrainData, TrainingStateIsStoredBeforeFlagTwoIsRaised) {
  auto item = MakeItem(true);
  std::vector<bool> statesSeen;
  item->ChangedEvent().Connect([&](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
    EXPECT_EQ(args->Flags(), SmartTrainData::SfTrainingContent);
    statesSeen.push_back(item->IsTraining());
  });
  item->setIsTraining(false);
  item->setIsTraining(true);
  EXPECT_EQ(statesSeen, (std::vector<bool>{false, true}));
  EXPECT_EQ(SmartTrainData::SfTrainingContent, 2);
}

TEST(SmartTrainData, ImageIsStoredBeforeFlagTwoIsRaised) {
  auto item = MakeItem();
  auto image = MakeImage(3, 3);
  std::vector<std::shared_ptr<Tamrix::Vision::IImage>> seen;
  item->ChangedEvent().Connect([&](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
    EXPECT_EQ(args->Flags(), 2);
    seen.push_back(item->Image());
  });
  item->setImage(image);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], image);
}

TEST(SmartTrainData, SettersGivenTheCurrentValueRaiseNothing) {
  auto item = MakeItem(true);
  FlagRecorder recorder(*item);
  item->setIsTraining(true);
  item->setImage(item->Image());
  EXPECT_TRUE(recorder.flags.empty());
}

// Each edit of the assignment collection, with what the collection must hold when flag 2 arrives.
struct AssignmentEditCase {
  const char* name;
  int initialCount;
  std::function<void(SmartTrainData&)> edit;
  int countInSlot;
};

class SmartTrainDataAssignmentEdits : public ::testing::TestWithParam<AssignmentEditCase> {};

TEST_P(SmartTrainDataAssignmentEdits, RaiseFlagTwoAfterTheCollectionChanged) {
  const auto& param = GetParam();
  auto item = MakeItem();
  for (int i = 0; i < param.initialCount; ++i) item->Assignments()->Add(MakeAssignment("a"));
  std::vector<int> countsSeen;
  item->ChangedEvent().Connect([&](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
    EXPECT_EQ(args->Flags(), 2);
    countsSeen.push_back(item->Assignments()->Count());
  });
  param.edit(*item);
  EXPECT_EQ(countsSeen, std::vector<int>{param.countInSlot});
}

INSTANTIATE_TEST_SUITE_P(
    Edits, SmartTrainDataAssignmentEdits,
    ::testing::Values(
        AssignmentEditCase{
            "Add", 0, [](SmartTrainData& item) { item.Assignments()->Add(MakeAssignment("a")); },
            1},
        AssignmentEditCase{
            "AddAssignment", 1,
            [](SmartTrainData& item) { item.AddAssignment(MakeLabel("b"), MakeShape()); }, 2},
        AssignmentEditCase{
            "Insert", 2,
            [](SmartTrainData& item) { item.Assignments()->Insert(0, MakeAssignment("a")); }, 3},
        AssignmentEditCase{"RemoveAt", 2,
                           [](SmartTrainData& item) { item.Assignments()->RemoveAt(1); }, 1},
        AssignmentEditCase{
            "Remove", 1,
            [](SmartTrainData& item) { item.Assignments()->Remove(item.Assignments()->Item(0)); },
            0},
        AssignmentEditCase{
            "Replace", 2,
            [](SmartTrainData& item) { item.Assignments()->Replace(0, MakeAssignment("b")); }, 2},
        AssignmentEditCase{"Clear", 3, [](SmartTrainData& item) { item.Assignments()->Clear(); },
                           0}),
    [](const ::testing::TestParamInfo<AssignmentEditCase>& param) { return param.param.name; });

TEST(SmartTrainData, EditsThatChangeNoContentRaiseNothing) {
  auto item = MakeItem();
  FlagRecorder recorder(*item);
  item->Assignments()->Clear();
  item->Assignments()->Add(MakeAssignment("a"));
  item->Assignments()->Add(MakeAssignment("b"));
  recorder.flags.clear();
  item->Assignments()->Replace(0, item->Assignments()->Item(0));
  item->Assignments()->Move(0, 1);
  EXPECT_FALSE(item->Assignments()->Remove(MakeAssignment("c")));
  EXPECT_TRUE(recorder.flags.empty());
}

TEST(SmartTrainData, AddAssignmentAppendsAndReturnsTheNewAssignment) {
  auto item = MakeItem();
  auto label = MakeLabel("a");
  auto shape = MakeShape();
  auto assignment = item->AddAssignment(label, shape);
  ASSERT_EQ(item->Assignments()->Count(), 1);
  EXPECT_EQ(item->Assignments()->Item(0), assignment);
  EXPECT_EQ(assignment->Label(), label);
  EXPECT_EQ(assignment->Shape(), shape);
}

TEST(SmartTrainData, EditsInsideAnAssignmentAreNotRaisedByTheItem) {
  auto item = MakeItem();
  auto shape = MakeShape();
  auto assignment = item->AddAssignment(MakeLabel("a"), shape);
  FlagRecorder recorder(*item);
  assignment->setLabel(MakeLabel("b"));
  shape->Edit();
  EXPECT_TRUE(recorder.flags.empty());
}

TEST(SmartTrainData, AssignmentCollectionDoesNotKeepItsItemAlive) {
  std::shared_ptr<SmartLabelToShapeAssignmentCollection> assignments;
  std::weak_ptr<SmartTrainData> weak;
  {
    auto item = MakeItem();
    assignments = item->Assignments();
    weak = item;
  }
  EXPECT_TRUE(weak.expired());
  // The collection outlives its item: editing it must reach nothing.
  assignments->Add(MakeAssignment("a"));
  assignments->Clear();
  EXPECT_EQ(assignments->InsertedItemEvent().SlotCount(), 0u);
}

}  // namespace
