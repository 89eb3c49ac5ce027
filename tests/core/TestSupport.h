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

namespace CoreTest {

using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

// Runs `action`, which must throw E with exactly `message`.
template <class E = Tamrix::Vision::ArgumentException>
void ExpectThrowWith(const std::function<void()>& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "no exception, expected: " << message;
  } catch (const E& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
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

// Records the flags of every changed event an object raises.
class FlagLog {
 public:
  explicit FlagLog(Tamrix::Vision::IChangedEvent& source) {
    source.ChangedEvent().Connect(
        [this](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
          flags.push_back(args->Flags());
        });
  }
  std::vector<long long> flags;
};

}  // namespace CoreTest
