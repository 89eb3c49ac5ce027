#include "EngineRecording.h"

#include <utility>

namespace Tamrix::Testing {

void Latch::Wait() {
  std::unique_lock<std::mutex> lock(mutex_);
  cv_.wait(lock, [this] { return open_; });
}

void Latch::Open() {
  std::lock_guard<std::mutex> lock(mutex_);
  open_ = true;
  cv_.notify_all();
}

bool Latch::IsOpen() {
  std::lock_guard<std::mutex> lock(mutex_);
  return open_;
}

EngineRecording& EngineRecording::Instance() {
  static EngineRecording recording;
  return recording;
}

void EngineRecording::Reset() {
  std::lock_guard<std::mutex> lock(mutex_);
  calls_.clear();
  faults_.clear();
  waits_.clear();
  nextSequence_ = 1;
  emptyResults_ = false;
}

std::vector<EngineCall> EngineRecording::Calls() {
  std::lock_guard<std::mutex> lock(mutex_);
  return calls_;
}

std::vector<EngineCall> EngineRecording::CallsOf(const std::string& operation) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<EngineCall> found;
  for (const auto& call : calls_) {
    if (call.operation == operation) found.push_back(call);
  }
  return found;
}

int EngineRecording::Count(const std::string& operation) {
  return static_cast<int>(CallsOf(operation).size());
}

void EngineRecording::ThrowOn(const std::string& operation, const std::string& label,
                              std::function<void()> thrower, std::optional<std::int64_t> sequence) {
  std::lock_guard<std::mutex> lock(mutex_);
  faults_.push_back(Fault{operation, label, std::move(thrower), sequence});
}

void EngineRecording::ReturnEmptyResults(bool empty) {
  std::lock_guard<std::mutex> lock(mutex_);
  emptyResults_ = empty;
}

bool EngineRecording::EmptyResults() {
  std::lock_guard<std::mutex> lock(mutex_);
  return emptyResults_;
}

void EngineRecording::WaitOn(const std::string& operation, const std::string& label, Latch* latch) {
  std::lock_guard<std::mutex> lock(mutex_);
  waits_.push_back(Wait{operation, label, latch});
}

void EngineRecording::Enter(EngineCall call) {
  std::function<void()> thrower;
  Latch* latch = nullptr;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    call.sequence = nextSequence_++;
    call.thread = std::this_thread::get_id();
    calls_.push_back(call);
    const auto matches = [&call](const std::string& operation, const std::string& label) {
      return (operation.empty() || operation == call.operation) &&
             (label.empty() || label == call.label);
    };
    for (const auto& wait : waits_) {
      if (matches(wait.operation, wait.label)) latch = wait.latch;
    }
    for (const auto& fault : faults_) {
      if (matches(fault.operation, fault.label) &&
          (!fault.sequence || *fault.sequence == call.sequence)) {
        thrower = fault.thrower;
      }
    }
  }
  if (latch) latch->Wait();
  if (thrower) thrower();
}

}  // namespace Tamrix::Testing
