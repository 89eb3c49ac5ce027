// Helpers shared by the core tests: exceptions checked by type and exact message, and a recorder
// of changed-event flags.
#pragma once

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/IChangedEvent.h"
#include "tests/support/MessageOf.h"

namespace Tamrix::Testing::CoreTests {

using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

using Tamrix::Testing::MessageOf;

// Runs `action`, which must throw E with exactly `message`.
template <class E = Tamrix::Vision::ArgumentException>
void ExpectThrowWith(const std::function<void()>& action, const std::string& message) {
  EXPECT_EQ(MessageOf<E>(action), message);
}

// Runs `action`, which must throw a VisionException with `code` and exactly `message`.
inline void ExpectVisionError(const std::function<void()>& action,
                              Tamrix::Vision::VisionExceptionCodes code,
                              const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "no exception, expected: " << message;
  } catch (const Tamrix::Vision::VisionException& e) {
    EXPECT_EQ(e.Code(), code) << e.what();
    EXPECT_EQ(std::string(e.what()), message);
  }
}

inline std::string ArgText(int index) { return std::to_string(index); }
template <class T>
std::string ArgText(const std::shared_ptr<T>& item) {
  return item ? item->Name() : "null";
}

// Appends to `log` one line per event of collection `c`: the event, its arguments (indices and item
// names) and the collection's count at the time it was raised.
template <class C>
void RecordCollectionEvents(C& c, std::vector<std::string>& log) {
  auto record = [&log, &c](const char* what) {
    return [&log, &c, what](const auto&... args) {
      std::string text = what;
      ((text += " " + ArgText(args)), ...);
      log.push_back(text + " count=" + std::to_string(c.Count()));
    };
  };
  c.ClearingEvent().Connect(record("clearing"));
  c.ClearedEvent().Connect(record("cleared"));
  c.InsertingItemEvent().Connect(record("inserting"));
  c.InsertedItemEvent().Connect(record("inserted"));
  c.MovingItemEvent().Connect(record("moving"));
  c.MovedItemEvent().Connect(record("moved"));
  c.RemovingItemEvent().Connect(record("removing"));
  c.RemovedItemEvent().Connect(record("removed"));
  c.ReplacingItemEvent().Connect(record("replacing"));
  c.ReplacedItemEvent().Connect(record("replaced"));
}

// Records the flags of every changed event an object raises, until it is destroyed.
class FlagLog {
 public:
  explicit FlagLog(Tamrix::Vision::IChangedEvent& source)
      : connection_(source.ChangedEvent().Connect(
            [this](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
              flags.push_back(args->Flags());
            })) {}
  ~FlagLog() { connection_.disconnect(); }
  std::vector<long long> flags;

 private:
  Tamrix::Vorn::Connection connection_;
};

}  // namespace Tamrix::Testing::CoreTests
