#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "interfaces/core/Exceptions.h"
#include "support/OperatorTestPeer.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::VisionException;
using Tamrix::Vision::VisionExceptionCodes;

class EngineBinding : public OperatorTest {};

void ExpectVisionError(const std::function<void()>& call, VisionExceptionCodes code,
                       const std::string& message) {
  try {
    call();
    FAIL() << "no exception";
  } catch (const VisionException& e) {
    EXPECT_EQ(e.Code(), code);
    EXPECT_EQ(std::string(e.what()), message);
  }
}

TEST_F(EngineBinding, MissingModuleFailsWithCodeTwoAndAgainOnRetry) {
  UseModule("missing");
  auto op = Peer::Create();
  for (int attempt = 0; attempt < 2; ++attempt) {
    ExpectVisionError([&] { op->Train(); }, VisionExceptionCodes::LibraryNotLoaded,
                      "Cannot load library");
    EXPECT_FALSE(Peer::IsBound(*op));
  }
}

TEST_F(EngineBinding, ModuleWithoutFactoryFailsWithCodeOneAndTheFullMessage) {
  UseModule("no_factory");
  auto op = Peer::Create();
  ExpectVisionError([&] { op->Retrain(); }, VisionExceptionCodes::FunctionNotFound,
                    "Can not load the following function from the "
                    "Tamrix.Vision.SmartSegmenterHelper.dll library: CreateSegmenterAccessWrapper");
  EXPECT_FALSE(Peer::IsBound(*op));
}

TEST_F(EngineBinding, FactoryExceptionPassesUnchangedAndLeavesTheOperatorUnbound) {
  UseModule("throwing_factory");
  auto op = Peer::Create();
  try {
    Peer::Binding(*op);
    FAIL() << "no exception";
  } catch (const std::domain_error& e) {
    EXPECT_STREQ(e.what(), "factory refused to make an access object");
  }
  EXPECT_FALSE(Peer::IsBound(*op));
  // The next attempt starts again from scratch and can succeed.
  UseModule("recording");
  // The throwing module stays loaded under the same file name in its own folder; the recording
  // module is another file, so the retry binds it.
  EXPECT_NE(Peer::Binding(*op), nullptr);
  EXPECT_TRUE(Peer::IsBound(*op));
}

TEST_F(EngineBinding, FactoryLeavingTheAccessEmptyIsABindingFailure) {
  UseModule("empty_factory");
  auto op = Peer::Create();
  ExpectVisionError([&] { Peer::Binding(*op); }, VisionExceptionCodes::LibraryNotLoaded,
                    "The factory CreateSegmenterAccessWrapper of "
                    "Tamrix.Vision.SmartSegmenterHelper.dll returned no segmenter access object");
  EXPECT_FALSE(Peer::IsBound(*op));
}

TEST_F(EngineBinding, OneBindingPerOperatorAndOneFactoryCallEach) {
  auto first = Peer::Create();
  auto second = Peer::Create();
  auto binding = Peer::Binding(*first);
  EXPECT_EQ(Peer::Binding(*first), binding);
  EXPECT_NE(Peer::Binding(*second), binding);
  EXPECT_EQ(recording.Count("Factory"), 2);
  EXPECT_EQ(Peer::SegmenterLabels(*first).size(), 0u);
  EXPECT_EQ(Peer::RegisteredItems(*first), 0u);
}

TEST_F(EngineBinding, PropertiesNeverBindButTheFirstEngineOperationDoes) {
  auto op = Peer::Create();
  op->setSampleSize(2.0);
  (void)op->IsDirty();
  (void)op->Labels();
  EXPECT_FALSE(Peer::IsBound(*op));
  op->Labels()->Add(Label("A"));
  EXPECT_FALSE(Peer::IsBound(*op)) << "adding a label binds nothing";
  op->Labels()->RemoveAt(0);
  EXPECT_TRUE(Peer::IsBound(*op)) << "removing a label reaches the binding";
}

TEST_F(EngineBinding, ConcurrentFirstUseMakesExactlyOneBinding) {
  auto op = Peer::Create();
  std::vector<std::thread> threads;
  std::vector<std::shared_ptr<void>> seen(4);
  for (int i = 0; i < 4; ++i) threads.emplace_back([&, i] { seen[i] = Peer::Binding(*op); });
  for (auto& t : threads) t.join();
  for (const auto& binding : seen) EXPECT_EQ(binding, seen[0]);
  EXPECT_EQ(recording.Count("Factory"), 1);
}

}  // namespace
}  // namespace Tamrix::Testing
