#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>
#include <thread>

#include "interfaces/core/Exceptions.h"
#include "support/OperatorTestPeer.h"
#include "tests/core/TestSupport.h"
#include "tests/support/Deadline.h"

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::VisionException;
using Tamrix::Vision::VisionExceptionCodes;

class EngineBinding : public OperatorTest {};

struct BindingFailure {
  const char* module;
  VisionExceptionCodes code;
  const char* message;
};

class EngineBindingFailure : public OperatorTest,
                             public ::testing::WithParamInterface<BindingFailure> {};

// Every entry point that needs the engine reports the failure, every time, and binds nothing.
TEST_P(EngineBindingFailure, EveryAttemptFailsAndLeavesTheOperatorUnbound) {
  UseModule(GetParam().module);
  auto op = Peer::Create();
  const Tamrix::Vision::Image8Grey image(Token{}, 8, 8);
  const std::function<void()> attempts[] = {
      [&] { op->Train(); }, [&] { op->Retrain(); }, [&] { Peer::Binding(*op); },
      // Even without training data: the engine is bound before the data is looked at.
      [&] {
        static_cast<Tamrix::Vision::SmartCore::ISmartSegmenter&>(*op).Execute(image, nullptr);
      },
      [&] { op->Train(); }};
  for (const auto& attempt : attempts) {
    CoreTests::ExpectVisionError(attempt, GetParam().code, GetParam().message);
    EXPECT_FALSE(Peer::IsBound(*op));
  }
}

INSTANTIATE_TEST_SUITE_P(
    Modules, EngineBindingFailure,
    ::testing::Values(
        BindingFailure{"missing", VisionExceptionCodes::LibraryNotLoaded, "Cannot load library"},
        BindingFailure{"no_factory", VisionExceptionCodes::FunctionNotFound,
                       "Can not load the following function from the "
                       "Tamrix.Vision.SmartSegmenterHelper.dll library: "
                       "CreateSegmenterAccessWrapper"},
        BindingFailure{"empty_factory", VisionExceptionCodes::LibraryNotLoaded,
                       "The factory CreateSegmenterAccessWrapper of "
                       "Tamrix.Vision.SmartSegmenterHelper.dll returned no segmenter access "
                       "object"}));

TEST_F(EngineBinding, FactoryExceptionPassesUnchangedAndLeavesTheOperatorUnbound) {
  UseModule("throwing_factory");
  auto op = Peer::Create();
  EXPECT_EQ(MessageOf<std::domain_error>([&] { Peer::Binding(*op); }),
            "factory refused to make an access object");
  EXPECT_FALSE(Peer::IsBound(*op));
  // The next attempt starts again from scratch: the throwing module stays loaded under the same
  // file name in its own folder, the recording module is another file, so the retry binds it.
  UseModule("recording");
  EXPECT_NE(Peer::Binding(*op), nullptr);
  EXPECT_TRUE(Peer::IsBound(*op));
}

TEST_F(EngineBinding, PropertiesNeverBindButTheFirstEngineOperationDoes) {
  auto op = Peer::Create();
  op->setSampleSize(2.0);
  (void)op->IsDirty();
  op->Labels()->Add(Label("A"));
  EXPECT_FALSE(Peer::IsBound(*op)) << "adding a label binds nothing";
  op->Labels()->RemoveAt(0);
  EXPECT_TRUE(Peer::IsBound(*op)) << "removing a label reaches the binding";
}

TEST_F(EngineBinding, OneBindingPerOperatorMadeByOneFactoryCallEvenUnderConcurrentFirstUse) {
  auto op = Peer::Create();
  Threads threads;
  std::vector<std::shared_ptr<void>> seen(4);
  for (int i = 0; i < 4; ++i) threads.Start([&, i] { seen[i] = Peer::Binding(*op); });
  threads.Join();
  for (const auto& binding : seen) EXPECT_EQ(binding, seen[0]);
  EXPECT_EQ(Peer::Binding(*op), seen[0]);
  EXPECT_NE(Peer::Binding(*Peer::Create()), seen[0]);
  EXPECT_EQ(recording.Count("Factory"), 2);
  EXPECT_TRUE(Peer::SegmenterLabels(*op).empty());
  EXPECT_EQ(Peer::RegisteredItems(*op), 0u);
}

}  // namespace
}  // namespace Tamrix::Testing
