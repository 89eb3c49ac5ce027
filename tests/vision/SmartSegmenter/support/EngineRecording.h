// What the recording engine module saw and what it is told to do, shared between the module
// (loaded at run time) and the tests that drive the operator. Thread-safe.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace Tamrix::Testing {

// One call that reached the recording engine.
struct EngineCall {
  std::string operation{};  // "Factory", "CreateSegmenter", "Train", "Retrain", "Execute", "Update"
  std::string label{};      // the segmenter's label name (empty for the factory)
  double sampleSize = 0;
  const void* database = nullptr;
  const void* image = nullptr;
  const void* region = nullptr;
  std::thread::id thread{};
};

class EngineRecording {
 public:
  // The one instance lives in the shared library, so the module and the tests see the same.
  static EngineRecording& Instance();

  // Forgets every call and every instruction.
  void Reset() {
    std::lock_guard<std::mutex> lock(mutex_);
    calls_.clear();
    faults_.clear();
    emptyResults = false;
  }
  std::vector<EngineCall> Calls() {
    std::lock_guard<std::mutex> lock(mutex_);
    return calls_;
  }
  std::vector<EngineCall> CallsOf(const std::string& operation) {
    std::vector<EngineCall> found;
    for (const auto& call : Calls()) {
      if (call.operation == operation) found.push_back(call);
    }
    return found;
  }
  int Count(const std::string& operation) { return static_cast<int>(CallsOf(operation).size()); }

  // Calls of `operation` for the label named `label` run `thrower` after being recorded.
  void ThrowOn(std::string operation, std::string label, std::function<void()> thrower) {
    std::lock_guard<std::mutex> lock(mutex_);
    faults_.push_back(Fault{std::move(operation), std::move(label), std::move(thrower)});
  }
  // Called by the module: records the call, then throws as instructed.
  void Enter(EngineCall call);
  // Execute calls return no result object while set.
  std::atomic<bool> emptyResults{false};

 private:
  struct Fault {
    std::string operation, label;
    std::function<void()> thrower;
  };
  std::mutex mutex_;
  std::vector<EngineCall> calls_;
  std::vector<Fault> faults_;
};

}  // namespace Tamrix::Testing
