#include "interfaces/core/Event.h"

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

using Tamrix::Vorn::Connection;
using Tamrix::Vorn::Event;

struct Recorder {
  std::vector<std::string> calls;
  void OnValue(int value) { calls.push_back("member " + std::to_string(value)); }
};

TEST(Event, SlotsRunInConnectionOrderUntilTheirStoredConnectionIsCut) {
  Event<int> event;
  std::vector<std::string> calls;
  event.Connect([&](int v) { calls.push_back("first " + std::to_string(v)); });
  Connection second = event.Connect([&](int v) { calls.push_back("second " + std::to_string(v)); });
  {
    // Destroying the handle keeps the slot.
    Connection dropped =
        event.Connect([&](int v) { calls.push_back("third " + std::to_string(v)); });
  }
  event(7);
  second.disconnect();
  event(8);
  EXPECT_FALSE(second.connected());
  EXPECT_EQ(calls,
            (std::vector<std::string>{"first 7", "second 7", "third 7", "first 8", "third 8"}));
}

TEST(Event, TrackedSlotsAreSkippedOnceTheirSubscriberIsGone) {
  Event<int> event;
  auto recorder = std::make_shared<Recorder>();
  std::weak_ptr<Recorder> weak = recorder;
  event.Connect(weak, &Recorder::OnValue);
  auto owner = std::make_shared<int>(0);
  std::vector<int> seen;
  event.Connect(std::weak_ptr<int>(owner), [&seen](int v) { seen.push_back(v); });
  event(1);
  EXPECT_EQ(recorder->calls, (std::vector<std::string>{"member 1"}));
  recorder.reset();
  owner.reset();
  EXPECT_NO_THROW(event(2));
  EXPECT_TRUE(weak.expired());
  EXPECT_EQ(seen, (std::vector<int>{1}));
}

TEST(Event, TrackedSubscriberIsKeptAliveWhileItsSlotRuns) {
  struct Guarded {
    explicit Guarded(bool* flag) : destroyed(flag) {}
    ~Guarded() { *destroyed = true; }
    bool* destroyed;
  };
  Event<> event;
  bool destroyed = false;
  bool destroyedInsideSlot = true;
  auto subscriber = std::make_shared<Guarded>(&destroyed);
  event.Connect(std::weak_ptr<Guarded>(subscriber), [&] {
    subscriber.reset();  // the last outside owner goes away during the call
    destroyedInsideSlot = destroyed;
  });
  event();
  EXPECT_FALSE(destroyedInsideSlot);
  EXPECT_TRUE(destroyed);
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
  std::thread::id slotThread;
  event.Connect([&](int v) {
    total += v;
    if (v == 0) slotThread = std::this_thread::get_id();
  });
  std::thread::id raiser;
  std::thread([&] {
    raiser = std::this_thread::get_id();
    event(0);
  }).join();
  EXPECT_EQ(slotThread, raiser);
  EXPECT_NE(slotThread, std::this_thread::get_id());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < 1000; ++i) event(1);
    });
  }
  for (auto& t : threads) t.join();
  EXPECT_EQ(total.load(), 4000);
}

}  // namespace
