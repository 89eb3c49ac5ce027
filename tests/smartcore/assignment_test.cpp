#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "interfaces/smartcore/SmartLabelToShapeAssignment.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace SmartCoreTest;

std::shared_ptr<SmartLabelToShapeAssignment> MakeAssignment(std::shared_ptr<ISmartLabel> label,
                                                            std::shared_ptr<FakeShape> shape) {
  return std::make_shared<SmartLabelToShapeAssignment>(Token{}, std::move(label), std::move(shape));
}

TEST(SmartLabelToShapeAssignment, SetLabelRaisesFlagOneAfterStoring) {
  auto first = MakeLabel("a");
  auto second = MakeLabel("b");
  auto assignment = MakeAssignment(first, MakeShape());
  std::vector<std::shared_ptr<ISmartLabel>> seen;
  assignment->ChangedEvent().Connect(
      [&](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
        EXPECT_EQ(args->Flags(), SmartLabelToShapeAssignment::SfAssignment);
        seen.push_back(assignment->Label());
      });
  assignment->setLabel(second);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], second);
  EXPECT_EQ(SmartLabelToShapeAssignment::SfAssignment, 1);
}

TEST(SmartLabelToShapeAssignment, SetShapeRaisesFlagOneAfterStoring) {
  auto first = MakeShape();
  auto second = MakeShape();
  auto assignment = MakeAssignment(MakeLabel("a"), first);
  std::vector<std::shared_ptr<Tamrix::Vision::IShape>> seen;
  assignment->ChangedEvent().Connect([&](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>&) {
    seen.push_back(assignment->Shape());
  });
  assignment->setShape(second);
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0], second);
}

TEST(SmartLabelToShapeAssignment, SettersGivenTheCurrentValueRaiseNothing) {
  auto label = MakeLabel("a");
  auto shape = MakeShape();
  auto assignment = MakeAssignment(label, shape);
  FlagRecorder recorder(*assignment);
  assignment->setLabel(label);
  assignment->setShape(shape);
  EXPECT_TRUE(recorder.flags.empty());
}

TEST(SmartLabelToShapeAssignment, EditOfTheShapeIsForwardedAsFlagOne) {
  auto shape = MakeShape();
  auto assignment = MakeAssignment(MakeLabel("a"), shape);
  FlagRecorder recorder(*assignment);
  shape->Edit();
  EXPECT_EQ(recorder.flags, std::vector<long long>{1});
}

TEST(SmartLabelToShapeAssignment, EditsOfAReplacedShapeAreNoLongerForwarded) {
  auto oldShape = MakeShape();
  auto newShape = MakeShape();
  auto assignment = MakeAssignment(MakeLabel("a"), oldShape);
  assignment->setShape(newShape);
  FlagRecorder recorder(*assignment);
  oldShape->Edit();
  EXPECT_TRUE(recorder.flags.empty());
  newShape->Edit();
  EXPECT_EQ(recorder.flags, std::vector<long long>{1});
}

TEST(SmartLabelToShapeAssignment, ShapeDoesNotKeepItsAssignmentAlive) {
  auto shape = MakeShape();
  std::weak_ptr<SmartLabelToShapeAssignment> weak;
  {
    auto assignment = MakeAssignment(MakeLabel("a"), shape);
    weak = assignment;
  }
  EXPECT_TRUE(weak.expired());
  // The shape outlives the assignment: editing it must reach nothing.
  shape->Edit();
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
