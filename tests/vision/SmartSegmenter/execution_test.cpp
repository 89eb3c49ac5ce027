#include <gtest/gtest.h>

#include <memory>
#include <set>
#include <stdexcept>
#include <thread>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image8Grey.h"
#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::Image8Grey;
using Tamrix::Vision::SmartCore::ISmartSegmenter;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

class Execution : public OperatorTest {
 protected:
  std::shared_ptr<Image8Grey> image = std::make_shared<Image8Grey>(Token{}, 8, 8);
};

TEST_F(Execution, EmptyTrainingDataGivesEmptyResultsWithoutEngineCalls) {
  auto op = Peer::Create();
  std::shared_ptr<ISmartSegmenter> segmenter = op;
  auto results = segmenter->Execute(*image, nullptr);
  ASSERT_NE(results, nullptr);
  EXPECT_EQ(results->Count(), 0);
  EXPECT_EQ(recording.Count("Execute"), 0);
  EXPECT_TRUE(Peer::IsBound(*op)) << "the engine is bound before the data is looked at";
}

TEST_F(Execution, MissingEngineIsReportedEvenWithoutTrainingData) {
  UseModule("missing");
  std::shared_ptr<ISmartSegmenter> op = Peer::Create();
  EXPECT_THROW(op->Execute(*image, nullptr), Tamrix::Vision::VisionException);
}

TEST_F(Execution, TrainingDataWithoutSegmentersGivesEmptyResults) {
  auto op = Peer::Create();
  op->SmartTrainDataDatabase()->Add(Item({Label("A")}, /*isTraining=*/false));
  auto results = std::static_pointer_cast<ISmartSegmenter>(op)->Execute(*image, nullptr);
  EXPECT_EQ(results->Count(), 0);
}

TEST_F(Execution, OneResultPerSegmenterInListOrderSequentially) {
  Sequential();
  auto op = Peer::Create();
  op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B"), Label("C")}));
  auto results = std::static_pointer_cast<ISmartSegmenter>(op)->Execute(*image, nullptr);
  ASSERT_EQ(results->Count(), 3);
  EXPECT_EQ(results->Item(0)->LabelName(), "A");
  EXPECT_EQ(results->Item(1)->LabelName(), "B");
  EXPECT_EQ(results->Item(2)->LabelName(), "C");
}

TEST_F(Execution, ImageAndRegionReachEverySegmenterUnchanged) {
  auto op = Peer::Create();
  op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B")}));
  auto region = Item({Label("R")})->Assignments()->Item(0)->Shape();
  auto asRegion = std::dynamic_pointer_cast<Tamrix::Vision::IRegion>(region);
  ASSERT_NE(asRegion, nullptr);
  std::static_pointer_cast<ISmartSegmenter>(op)->Execute(*image, asRegion.get());
  std::static_pointer_cast<ISmartSegmenter>(op)->Execute(*image, nullptr);
  const auto calls = recording.CallsOf("Execute");
  ASSERT_EQ(calls.size(), 4u);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(calls[i].image, static_cast<const Tamrix::Vision::IImage*>(image.get()));
    EXPECT_EQ(calls[i].region, i < 2 ? static_cast<const void*>(asRegion.get()) : nullptr);
  }
}

TEST_F(Execution, EmptyEngineResultsKeepTheirEntries) {
  auto op = Peer::Create();
  op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B")}));
  recording.ReturnEmptyResults(true);
  auto results = std::static_pointer_cast<ISmartSegmenter>(op)->Execute(*image, nullptr);
  ASSERT_EQ(results->Count(), 2);
  EXPECT_EQ(results->Item(0), nullptr);
  EXPECT_EQ(results->Item(1), nullptr);
}

TEST_F(Execution, FlagsAreUnchangedAndNothingIsNotified) {
  auto op = Peer::Create();
  op->SmartTrainDataDatabase()->Add(Item({Label("A")}));
  ASSERT_TRUE(op->IsDirty());
  auto changes = RecordChanges(*op);
  std::static_pointer_cast<ISmartSegmenter>(op)->Execute(*image, nullptr);
  EXPECT_TRUE(op->IsDirty());
  EXPECT_TRUE(Peer::TrainingRequired(*op));
  EXPECT_FALSE(Peer::FullTrainRequired(*op));
  EXPECT_TRUE(changes->empty());
}

TEST_F(Execution, ParallelRunsNeverUseTheCallingThreadAndRespectTheBound) {
  Tamrix::Vision::VisionToolMultiThreading::setThreadCount(2);
  auto op = Peer::Create();
  op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B"), Label("C"), Label("D")}));
  std::static_pointer_cast<ISmartSegmenter>(op)->Execute(*image, nullptr);
  std::set<std::thread::id> threads;
  for (const auto& call : recording.CallsOf("Execute")) threads.insert(call.thread);
  EXPECT_EQ(recording.Count("Execute"), 4);
  EXPECT_LE(threads.size(), 2u);
  EXPECT_EQ(threads.count(std::this_thread::get_id()), 0u);
}

TEST_F(Execution, FirstFailingWorkerWinsAfterEveryWorkerFinished) {
  Tamrix::Vision::VisionToolMultiThreading::setThreadCount(3);
  auto op = Peer::Create();
  op->SmartTrainDataDatabase()->Add(Item({Label("A"), Label("B"), Label("C")}));
  Latch slow;
  struct FirstError : std::runtime_error {
    using std::runtime_error::runtime_error;
  };
  // B's worker is held on a latch, so it finishes well after A's and C's workers failed.
  recording.ThrowOn("Execute", "A", [] { throw FirstError("A failed"); });
  recording.ThrowOn("Execute", "C", [] { throw std::logic_error("C failed"); });
  std::thread opener([&slow] {
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    slow.Open();
  });
  recording.WaitOn("Execute", "B", &slow);
  try {
    std::static_pointer_cast<ISmartSegmenter>(op)->Execute(*image, nullptr);
    ADD_FAILURE() << "no exception";
  } catch (const FirstError& e) {
    EXPECT_STREQ(e.what(), "A failed");
    EXPECT_TRUE(slow.IsOpen()) << "the run returned before B's worker finished";
  } catch (const std::exception& e) {
    ADD_FAILURE() << "wrong exception: " << e.what();
  }
  opener.join();
  EXPECT_EQ(recording.Count("Execute"), 3);
}

}  // namespace
}  // namespace Tamrix::Testing
