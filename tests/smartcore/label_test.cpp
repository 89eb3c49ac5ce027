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

}  // namespace
