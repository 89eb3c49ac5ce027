// Labels, the label collection, and assignments of labels to shapes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignment.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace SmartCoreTest;
using Tamrix::Vision::ChangedEventArgs;

TEST(SmartLabel, RenameRaisesSfNameAfterTheNewNameIsStoredAndOnlyOnChange) {
  auto label = MakeLabel("cat");
  std::vector<std::string> namesSeen;
  FlagRecorder recorder(*label);
  label->ChangedEvent().Connect(
      [&](const std::shared_ptr<ChangedEventArgs>&) { namesSeen.push_back(label->Name()); });
  label->setName("cat");
  label->setName("dog");
  EXPECT_EQ(recorder.flags, std::vector<long long>{SmartLabel::SfName});
  EXPECT_EQ(namesSeen, std::vector<std::string>{"dog"});
  EXPECT_EQ(SmartLabel::SfName, 1);
}

TEST(SmartLabelCollection, RemovedItemEventComesAfterTheLabelLeft) {
  auto labels = std::make_shared<SmartLabelCollection>(Token{});
  auto a = MakeLabel("a");
  labels->Add(a);
  labels->Add(MakeLabel("b"));
  int calls = 0;
  labels->RemovedItemEvent().Connect([&](int index, const std::shared_ptr<SmartLabel>& label) {
    ++calls;
    EXPECT_EQ(index, 0);
    EXPECT_EQ(label, a);
    EXPECT_FALSE(labels->Contains(a));
    EXPECT_EQ(labels->Count(), 1);
  });
  EXPECT_TRUE(labels->Remove(a));
  EXPECT_FALSE(labels->Remove(a));
  EXPECT_EQ(calls, 1);
}

std::shared_ptr<SmartLabelToShapeAssignment> MakeAssignment(std::shared_ptr<ISmartLabel> label,
                                                            std::shared_ptr<FakeShape> shape) {
  return std::make_shared<SmartLabelToShapeAssignment>(Token{}, std::move(label), std::move(shape));
}

TEST(SmartLabelToShapeAssignment, SettersAndShapeEditsRaiseFlagOneAfterStoringAndOnlyOnChange) {
  auto firstLabel = MakeLabel("a"), secondLabel = MakeLabel("b");
  auto firstShape = MakeShape(), secondShape = MakeShape();
  auto assignment = MakeAssignment(firstLabel, firstShape);
  std::vector<std::shared_ptr<ISmartLabel>> labelsSeen;
  std::vector<std::shared_ptr<Tamrix::Vision::IShape>> shapesSeen;
  assignment->ChangedEvent().Connect([&](const std::shared_ptr<ChangedEventArgs>& args) {
    EXPECT_EQ(args->Flags(), SmartLabelToShapeAssignment::SfAssignment);
    labelsSeen.push_back(assignment->Label());
    shapesSeen.push_back(assignment->Shape());
  });
  assignment->setLabel(firstLabel);
  assignment->setShape(firstShape);
  EXPECT_TRUE(labelsSeen.empty());
  firstShape->Edit();
  assignment->setLabel(secondLabel);
  assignment->setShape(secondShape);
  // Edits of a replaced shape are no longer forwarded.
  firstShape->Edit();
  secondShape->Edit();
  EXPECT_EQ(labelsSeen, (std::vector<std::shared_ptr<ISmartLabel>>{firstLabel, secondLabel,
                                                                   secondLabel, secondLabel}));
  EXPECT_EQ(shapesSeen, (std::vector<std::shared_ptr<Tamrix::Vision::IShape>>{
                            firstShape, firstShape, secondShape, secondShape}));
  EXPECT_EQ(SmartLabelToShapeAssignment::SfAssignment, 1);
}

TEST(SmartLabelToShapeAssignment, ShapeDoesNotKeepItsAssignmentAlive) {
  auto shape = MakeShape();
  std::weak_ptr<SmartLabelToShapeAssignment> weak = MakeAssignment(MakeLabel("a"), shape);
  EXPECT_TRUE(weak.expired());
  shape->Edit();  // must reach nothing
  EXPECT_EQ(shape->ChangedEvent().SlotCount(), 0u);
}

TEST(SmartLabelToShapeAssignment, NullLabelAndShapeAreAccepted) {
  auto assignment = MakeAssignment(nullptr, nullptr);
  EXPECT_EQ(assignment->Label(), nullptr);
  EXPECT_EQ(assignment->Shape(), nullptr);
  FlagRecorder recorder(*assignment);
  auto shape = MakeShape();
  assignment->setShape(shape);
  shape->Edit();
  EXPECT_EQ(recorder.flags, (std::vector<long long>{1, 1}));
}

}  // namespace
