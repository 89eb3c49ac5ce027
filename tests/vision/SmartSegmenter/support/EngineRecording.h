// What the recording engine module saw, and what it is told to do, shared between the module
// (loaded at run time) and the tests that drive the operator.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace Tamrix::Testing {

// One call that reached the recording engine.
struct EngineCall {
  std::string operation;  // "Factory", "CreateSegmenter", "Train", "Retrain", "Execute", "Update"
  std::string label;      // the segmenter's label name (empty for the factory)
  std::thread::id thread;
  std::int64_t sequence = 0;  // order of arrival, from 1
  double sampleSize = 0;
  const void* database = nullptr;
  const void* image = nullptr;
  const void* region = nullptr;
  const void* access = nullptr;  // the access object that made or serves the segmenter
};

// A latch that engine calls can be made to wait on.
class Latch {
 public:
  void Wait();
  void Open();
  bool IsOpen();

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool open_ = false;
};

// Process-wide record of engine calls plus fault injection. Thread-safe.
class EngineRecording {
 public:
  static EngineRecording& Instance();

  // Forgets every call and every instruction.
  void Reset();
  std::vector<EngineCall> Calls();
  std::vector<EngineCall> CallsOf(const std::string& operation);
  int Count(const std::string& operation);

  // Instructions. `operation` may be "" for any operation, `label` "" for any label; `sequence`
  // (when set) matches only the call with that sequence number.
  void ThrowOn(const std::string& operation, const std::string& label,
               std::function<void()> thrower, std::optional<std::int64_t> sequence = {});
  void ReturnEmptyResults(bool empty);
  void WaitOn(const std::string& operation, const std::string& label, Latch* latch);

  // Called by the module: records the call, then waits or throws as instructed.
  void Enter(EngineCall call);
  bool EmptyResults();

 private:
  struct Fault {
    std::string operation, label;
    std::function<void()> thrower;
    std::optional<std::int64_t> sequence;
  };
  struct Wait {
    std::string operation, label;
    Latch* latch;
  };
  std::mutex mutex_;
  std::vector<EngineCall> calls_;
  std::vector<Fault> faults_;
  std::vector<Wait> waits_;
  std::int64_t nextSequence_ = 1;
  bool emptyResults_ = false;
};

}  // namespace Tamrix::Testing
