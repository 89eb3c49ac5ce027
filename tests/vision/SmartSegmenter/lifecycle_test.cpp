#include <gtest/gtest.h>

#include <memory>

#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

class Lifecycle : public OperatorTest {};

TEST_F(Lifecycle, NewOperatorIsCleanEmptyAndUnbound) {
  UseModule("missing");  // creation must not need the engine at all
  auto op = Peer::Create();
  EXPECT_FALSE(op->IsDirty());
  EXPECT_EQ(op->SampleSize(), 5.0);
  EXPECT_EQ(op->SmartTrainDataDatabase()->TrainingData()->Count(), 0);
  EXPECT_EQ(op->Labels()->Count(), 0);
  EXPECT_FALSE(Peer::IsBound(*op));
  EXPECT_EQ(recording.Count("Factory"), 0);
}

TEST_F(Lifecycle, AccessorsHandOutTheOperatorsOwnObjects) {
  auto op = Peer::Create();
  EXPECT_EQ(op->SmartTrainDataDatabase(), op->SmartTrainDataDatabase());
  EXPECT_EQ(op->Labels(), op->Labels());
  op->Labels()->Add(Label("A"));
  EXPECT_EQ(op->Labels()->Count(), 1);
}

TEST_F(Lifecycle, SharedFromThisSharesOwnership) {
  auto op = Peer::Create();
  std::shared_ptr<Operator> again = op->shared_from_this();
  EXPECT_EQ(again, op);
  std::shared_ptr<const Operator> constAgain = std::as_const(*op).shared_from_this();
  EXPECT_EQ(constAgain.get(), op.get());
}

TEST_F(Lifecycle, SharedFromThisIsEmptyWithoutOwner) {
  Operator* raw = new Operator(Tamrix::Vorn::IObject::ObjectCreateAccessToken{});
  EXPECT_THROW(raw->shared_from_this(), std::bad_weak_ptr);
  delete raw;
}

struct DirtyCase {
  bool training, full, dirty;
};

class IsDirty : public OperatorTest, public ::testing::WithParamInterface<DirtyCase> {};

TEST_P(IsDirty, EitherFlagMakesTheOperatorDirty) {
  auto op = Peer::Create();
  Peer::SetFlags(*op, GetParam().training, GetParam().full);
  EXPECT_EQ(op->IsDirty(), GetParam().dirty);
}

INSTANTIATE_TEST_SUITE_P(Flags, IsDirty,
                         ::testing::Values(DirtyCase{false, false, false},
                                           DirtyCase{true, false, true},
                                           DirtyCase{false, true, true},
                                           DirtyCase{true, true, true}));

TEST_F(Lifecycle, FinalConstructProvisionsAndRegistersExistingItems) {
  auto op = Peer::ConstructOnly();
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

TEST_F(Lifecycle, DestroyedOperatorIgnoresEventsOfObjectsThatOutliveIt) {
  auto op = Peer::Create();
  auto database = op->SmartTrainDataDatabase();
  auto labels = op->Labels();
  auto a = Label("A");
  labels->Add(a);
  auto item = Item({a});
  database->Add(item);
  auto assignment = item->Assignments()->Item(0);
  const int callsBefore = static_cast<int>(recording.Calls().size());
  op.reset();

  // Every kind of event the operator listened to, raised after it is gone.
  assignment->setLabel(Label("renamed"));
  item->setIsTraining(false);
  database->Add(Item({Label("B")}));
  labels->Remove(a);
  database->RemoveAt(0);
  EXPECT_EQ(static_cast<int>(recording.Calls().size()), callsBefore);
}

}  // namespace
}  // namespace Tamrix::Testing
