#include "interfaces/core/Event.h"
#include "interfaces/core/ChangedEventShareableBase.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "tests/core/TestSupport.h"
#include "tests/support/Deadline.h"

namespace {

using Tamrix::Vorn::Event;

struct Recorder {
  std::vector<std::string>* calls;
  void OnValue(int value) { calls->push_back("m" + std::to_string(value)); }
};

TEST(Event, SlotsRunInConnectionOrderUntilCutOrTheirTrackedSubscriberIsGone) {
  Event<int> event;
  std::vector<std::string> calls;
  auto slot = [&calls](std::string name) {
    return [&calls, name](int v) { calls.push_back(name + std::to_string(v)); };
  };
  auto recorder = std::make_shared<Recorder>(Recorder{&calls});
  const std::weak_ptr<Recorder> weak = recorder;
  auto owner = std::make_shared<int>(0);
  event.Connect(slot("a"));
  auto second = event.Connect(slot("b"));
  { auto dropped = event.Connect(slot("c")); }  // destroying the handle keeps the slot
  event.Connect(weak, &Recorder::OnValue);
  event.Connect(std::weak_ptr<int>(owner), slot("d"));
  event(7);
  second.disconnect();
  EXPECT_FALSE(second.connected());
  recorder.reset();
  owner.reset();
  event(8);
  EXPECT_TRUE(weak.expired()) << "the event must not own its subscribers";
  EXPECT_EQ(calls, (std::vector<std::string>{"a7", "b7", "c7", "m7", "d7", "a8", "c8"}));
}

TEST(Event, TrackedSubscriberIsKeptAliveWhileItsSlotRuns) {
  Event<> event;
  auto subscriber = std::make_shared<int>(0);
  const std::weak_ptr<int> weak = subscriber;
  bool aliveInSlot = false;
  event.Connect(weak, [&] {
    subscriber.reset();  // the last outside owner goes away during the call
    aliveInSlot = !weak.expired();
  });
  event();
  EXPECT_TRUE(aliveInSlot);
  EXPECT_TRUE(weak.expired());
}

TEST(Event, ExceptionFromSlotReachesRaiserAndStopsLaterSlots) {
  Event<> event;
  int later = 0;
  event.Connect([] { throw std::runtime_error("slot failed"); });
  event.Connect([&] { ++later; });
  EXPECT_THROW(event(), std::runtime_error);
  EXPECT_EQ(later, 0);
}

TEST(Event, SlotMayConnectAnotherSlotWhileRaising) {
  Event<> event;
  int added = 0;
  event.Connect([&] { event.Connect([&] { ++added; }); });
  event();
  event();
  EXPECT_GE(added, 1);
  EXPECT_EQ(event.SlotCount(), 3u);
}

TEST(Event, SlotsRunOnTheRaisingThreadAndConcurrentRaisesDeliverEveryCall) {
  Event<int> event;
  std::atomic<int> total{0};
  std::thread::id slotThread, raiser;
  event.Connect([&](int v) {
    total += v;
    if (v == 0) slotThread = std::this_thread::get_id();
  });
  {
    Tamrix::Testing::Threads one;
    one.Start([&] {
      raiser = std::this_thread::get_id();
      event(0);
    });
  }
  EXPECT_EQ(slotThread, raiser);
  EXPECT_NE(slotThread, std::this_thread::get_id());
  Tamrix::Testing::Threads threads;
  for (int t = 0; t < 4; ++t) {
    threads.Start([&] {
      for (int i = 0; i < 1000; ++i) event(1);
    });
  }
  threads.Join();
  EXPECT_EQ(total.load(), 4000);
}

using Tamrix::Testing::CoreTests::Token;

class Counter : public Tamrix::Vision::ChangedEventShareableBase {
 public:
  explicit Counter(const Token& token) : ChangedEventShareableBase(token) {}
  int value = 0;
  void Change(long long flags, int newValue) {
    value = newValue;
    OnChanged_(flags);
  }
};

TEST(ChangedEventShareableBase, OnChangedRaisesSynchronouslyAfterTheChangeWithTheFlags) {
  auto counter = std::make_shared<Counter>(Token{});
  std::vector<std::pair<long long, int>> seen;
  counter->ChangedEvent().Connect(
      [&](const auto& args) { seen.emplace_back(args->Flags(), counter->value); });
  counter->Change(1, 5);
  counter->Change(2, 6);
  EXPECT_EQ(seen, (std::vector<std::pair<long long, int>>{{1, 5}, {2, 6}}));
}

TEST(ChangedEventShareableBase, SuspendCollectsFlagsAndTheOutermostResumeRaisesThemOnce) {
  auto counter = std::make_shared<Counter>(Token{});
  Tamrix::Testing::CoreTests::FlagLog log(*counter);
  counter->SuspendChangedEvent();
  counter->ResumeAndRaiseChangedEvent();  // nothing changed: nothing raised
  counter->SuspendChangedEvent();
  counter->SuspendChangedEvent();
  EXPECT_TRUE(counter->ChangedEventSuspended());
  for (long long flag : {1, 2, 1}) counter->Change(flag, 0);
  counter->ResumeAndRaiseChangedEvent();
  EXPECT_TRUE(log.flags.empty()) << "inner resume must not raise";
  EXPECT_TRUE(counter->ChangedEventSuspended());
  counter->ResumeAndRaiseChangedEvent();
  EXPECT_FALSE(counter->ChangedEventSuspended());
  counter->ResumeAndRaiseChangedEvent();  // unbalanced resume is harmless
  EXPECT_EQ(log.flags, std::vector<long long>{3});
}

TEST(ShareableBase, SharedFromThisSharesOwnershipAndToStringNamesTheNearestRegisteredType) {
  auto counter = std::make_shared<Counter>(Token{});
  std::shared_ptr<Tamrix::Vision::ShareableBase> shared = counter->shared_from_this();
  EXPECT_EQ(shared.get(), static_cast<Tamrix::Vision::ShareableBase*>(counter.get()));
  EXPECT_EQ(counter.use_count(), 2);
  EXPECT_EQ(counter->ToString(), "Tamrix::Vision::ChangedEventShareableBase");
}

}  // namespace
