#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/smartcore/ISmartTrainDatabaseVerifier.h"
#include "support/OperatorTestPeer.h"
#include "vision/SmartSegmenter/FormatString.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::ArgumentException;
using Tamrix::Vision::SmartSegmenter::detail::FormatString;
const long long kDirty = Operator::SfIsDirty;
const long long kSample = Operator::SfSampleSize;

class TrainingControl : public OperatorTest {
 protected:
  // An operator holding one training item with labels A and B (segmenters for both), trained.
  std::shared_ptr<Operator> TrainedOperator() {
    auto op = Peer::Create();
    op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B")}));
    op->Train();
    recording.Reset();
    return op;
  }
};

TEST(OperatorConstants, ChangeFlagValues) {
  EXPECT_EQ(Operator::sf0_, 1);
  EXPECT_EQ(Operator::SfIsDirty, 1);
  EXPECT_EQ(Operator::SfSampleSize, 2);
  EXPECT_EQ(Operator::SfNextSf_, 4);
}

TEST_F(TrainingControl, SampleSizeChangeRaisesSampleSizeThenDirtyAndRequiresFullTraining) {
  auto op = TrainedOperator();
  auto changes = RecordChanges(*op);
  op->setSampleSize(3.0);
  EXPECT_EQ(op->SampleSize(), 3.0);
  EXPECT_EQ(*changes, (std::vector<long long>{kSample, kDirty}));
  EXPECT_TRUE(Peer::TrainingRequired(*op));
  EXPECT_TRUE(Peer::FullTrainRequired(*op));
}

TEST_F(TrainingControl, SampleSizeChangeWhileDirtyRaisesOnlySampleSize) {
  auto op = TrainedOperator();
  Peer::SetFlags(*op, true, false);
  auto changes = RecordChanges(*op);
  op->setSampleSize(1.0);
  EXPECT_EQ(*changes, (std::vector<long long>{kSample}));
  EXPECT_TRUE(Peer::FullTrainRequired(*op));
}

TEST_F(TrainingControl, SampleSizeChangeWithoutTrainingDataOnlyStoresAndNotifies) {
  auto op = Peer::Create();
  auto changes = RecordChanges(*op);
  op->setSampleSize(0.0);
  EXPECT_EQ(op->SampleSize(), 0.0);
  EXPECT_EQ(*changes, (std::vector<long long>{kSample}));
  EXPECT_FALSE(op->IsDirty());
}

TEST_F(TrainingControl, UnchangedSampleSizeDoesNothing) {
  auto op = TrainedOperator();
  auto changes = RecordChanges(*op);
  op->setSampleSize(5.0);
  EXPECT_TRUE(changes->empty());
  EXPECT_FALSE(op->IsDirty());
}

TEST_F(TrainingControl, NegativeSampleSizeIsRefusedWithTheFormattedMessage) {
  auto op = TrainedOperator();
  auto changes = RecordChanges(*op);
  try {
    op->setSampleSize(-0.5);
    FAIL() << "no exception";
  } catch (const ArgumentException& e) {
    EXPECT_EQ(std::string(e.what()),
              FormatString(Tamrix::Vision::Strings::IDS_Tamrix_InvalidArgGE_2, {"Value", "0"}));
    EXPECT_EQ(std::string(e.what()),
              "Argument Value is invalid: it must be greater than or equal to 0.");
  }
  EXPECT_EQ(op->SampleSize(), 5.0);
  EXPECT_TRUE(changes->empty());
  EXPECT_FALSE(op->IsDirty());
}

TEST_F(TrainingControl, NotANumberPassesTheCheckAndIsStored) {
  auto op = Peer::Create();
  auto changes = RecordChanges(*op);
  op->setSampleSize(std::numeric_limits<double>::quiet_NaN());
  EXPECT_TRUE(std::isnan(op->SampleSize()));
  EXPECT_EQ(*changes, (std::vector<long long>{kSample}));
}

struct FormatCase {
  const char* pattern;
  std::vector<std::string> arguments;
  const char* expected;
};

class FormatStringCases : public ::testing::TestWithParam<FormatCase> {};

TEST_P(FormatStringCases, FillsNumberedPlaceholders) {
  EXPECT_EQ(FormatString(GetParam().pattern, GetParam().arguments), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Patterns, FormatStringCases,
    ::testing::Values(FormatCase{"%1 >= %2", {"Value", "0"}, "Value >= 0"},
                      FormatCase{"%2 then %1", {"a", "b"}, "b then a"},
                      FormatCase{"%3 and %0 stay", {"a", "b"}, "%3 and %0 stay"},
                      FormatCase{"", {"a"}, ""},
                      FormatCase{"no placeholders", {"a"}, "no placeholders"},
                      FormatCase{"%1", {"%1%2"}, "%1%2"},  // inserted text is not rescanned
                      FormatCase{"%12", {"a"}, "%12"},
                      FormatCase{"100% sure, %1", {"yes"}, "100% sure, yes"},
                      FormatCase{"ends with %", {}, "ends with %"},
                      FormatCase{"%99999999999999999999", {"a"}, "%99999999999999999999"}));

TEST_F(TrainingControl, TrainWithFullTrainingRequiredRetrainsEverySegmenter) {
  auto op = TrainedOperator();
  Peer::SetFlags(*op, true, true);
  auto changes = RecordChanges(*op);
  op->Train();
  EXPECT_EQ(recording.Count("Retrain"), 2);
  EXPECT_EQ(recording.Count("Train"), 0);
  EXPECT_FALSE(op->IsDirty());
  EXPECT_EQ(*changes, (std::vector<long long>{kDirty}));
}

TEST_F(TrainingControl, TrainWhenUpToDateStillTrainsAndVerifiesWithoutNotification) {
  auto op = TrainedOperator();
  struct CountingVerifier : Tamrix::Vision::SmartCore::ISmartTrainDatabaseVerifier {
    mutable int calls = 0;
    void Verify(const Tamrix::Vision::SmartCore::SmartTrainDataDatabase&) const override {
      ++calls;
    }
    std::string ToString() const override { return "CountingVerifier"; }
  };
  auto verifier = std::make_shared<CountingVerifier>();
  op->SmartTrainDataDatabase()->setVerifier(verifier);
  auto changes = RecordChanges(*op);
  op->Train();
  EXPECT_EQ(recording.Count("Train"), 2);
  EXPECT_EQ(verifier->calls, 1);
  EXPECT_TRUE(changes->empty());
}

TEST_F(TrainingControl, TrainPassesTheDatabaseAndSampleSizeToEverySegmenter) {
  auto op = TrainedOperator();
  op->setSampleSize(2.5);
  op->Retrain();
  const auto calls = recording.CallsOf("Retrain");
  ASSERT_EQ(calls.size(), 2u);
  for (const auto& call : calls) {
    EXPECT_EQ(call.sampleSize, 2.5);
    EXPECT_EQ(call.database, op->SmartTrainDataDatabase().get());
  }
}

TEST_F(TrainingControl, EmptySegmenterListStillVerifiesAndClearsFlags) {
  auto op = Peer::Create();
  op->SmartTrainDataDatabase()->Add(Item({}));  // a training item without assignments
  EXPECT_TRUE(op->IsDirty());
  op->Train();
  EXPECT_EQ(recording.Count("Train"), 0);
  EXPECT_FALSE(op->IsDirty());
}

TEST_F(TrainingControl, EngineFailureLeavesFlagsAndRaisesNothing) {
  auto op = TrainedOperator();
  Peer::SetFlags(*op, true, false);
  recording.ThrowOn("Train", "B", [] { throw std::out_of_range("engine B failed"); });
  auto changes = RecordChanges(*op);
  EXPECT_THROW(op->Train(), std::out_of_range);
  EXPECT_TRUE(Peer::TrainingRequired(*op));
  EXPECT_TRUE(changes->empty());
}

TEST_F(TrainingControl, VerifyFailureComesAfterTrainingAndLeavesFlags) {
  auto op = TrainedOperator();
  struct Refusing : Tamrix::Vision::SmartCore::ISmartTrainDatabaseVerifier {
    void Verify(const Tamrix::Vision::SmartCore::SmartTrainDataDatabase&) const override {
      throw Tamrix::Vision::VisionException(Tamrix::Vision::VisionExceptionCodes::InvalidData,
                                            "refused");
    }
    std::string ToString() const override { return "Refusing"; }
  };
  op->SmartTrainDataDatabase()->setVerifier(std::make_shared<Refusing>());
  Peer::SetFlags(*op, true, true);
  EXPECT_THROW(op->Retrain(), Tamrix::Vision::VisionException);
  EXPECT_EQ(recording.Count("Retrain"), 2);
  EXPECT_TRUE(Peer::TrainingRequired(*op));
  EXPECT_TRUE(Peer::FullTrainRequired(*op));
}

// The state table of the two flags: each row starts from a state, applies one call and expects
// the resulting state and the notifications in order.
struct FlagRow {
  const char* name;
  bool training, full, withData;
  std::function<void(Operator&)> act;
  bool trainingAfter, fullAfter;
  std::vector<long long> notifications;
};

class FlagStateTable : public OperatorTest, public ::testing::WithParamInterface<FlagRow> {};

TEST_P(FlagStateTable, Transition) {
  const FlagRow& row = GetParam();
  auto op = Peer::Create();
  if (row.withData) op->SmartTrainDataDatabase()->Add(Item({Label("A")}));
  Peer::SetFlags(*op, row.training, row.full);
  auto changes = RecordChanges(*op);
  row.act(*op);
  EXPECT_EQ(Peer::TrainingRequired(*op), row.trainingAfter);
  EXPECT_EQ(Peer::FullTrainRequired(*op), row.fullAfter);
  EXPECT_EQ(*changes, row.notifications);
}

const auto setTraining = [](Operator& op) { Peer::SetTrainingRequired(op, true); };
const auto setFull = [](Operator& op) { Peer::SetFullTrainRequired(op, true); };
const auto clearFull = [](Operator& op) { Peer::SetFullTrainRequired(op, false); };
const auto train = [](Operator& op) { op.Train(); };
const auto retrain = [](Operator& op) { op.Retrain(); };

INSTANTIATE_TEST_SUITE_P(
    Rows, FlagStateTable,
    ::testing::Values(
        FlagRow{"TrainingFromUpToDate", false, false, true, setTraining, true, false, {kDirty}},
        FlagRow{"TrainingWhenRequired", true, false, true, setTraining, true, false, {}},
        FlagRow{"TrainingWhenFull", true, true, true, setTraining, true, true, {}},
        FlagRow{"FullFromUpToDate", false, false, true, setFull, true, true, {kDirty}},
        FlagRow{"FullFromTraining", true, false, true, setFull, true, true, {}},
        FlagRow{"FullWithoutData", false, false, false, setFull, false, false, {}},
        FlagRow{"FullWithoutDataKeepsDirty", true, false, false, setFull, true, false, {}},
        FlagRow{"ClearFromFull", true, true, true, clearFull, false, false, {kDirty}},
        FlagRow{"ClearWhenClean", false, false, true, clearFull, false, false, {}},
        FlagRow{"ClearFullOnlyIsSilent", false, true, true, clearFull, false, false, {}},
        FlagRow{"TrainFromTraining", true, false, true, train, false, false, {kDirty}},
        FlagRow{"RetrainFromFull", true, true, true, retrain, false, false, {kDirty}},
        FlagRow{"RetrainWhenClean", false, false, true, retrain, false, false, {}}),
    [](const auto& param_info) { return std::string(param_info.param.name); });

}  // namespace
}  // namespace Tamrix::Testing
