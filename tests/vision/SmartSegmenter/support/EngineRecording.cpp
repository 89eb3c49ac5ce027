#include "EngineRecording.h"

namespace Tamrix::Testing {

EngineRecording& EngineRecording::Instance() {
  static EngineRecording recording;
  return recording;
}

void EngineRecording::Enter(EngineCall call) {
  std::function<void()> thrower;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    call.thread = std::this_thread::get_id();
    calls_.push_back(call);
    for (const auto& fault : faults_) {
      if (fault.operation == call.operation && fault.label == call.label) thrower = fault.thrower;
    }
  }
  // Thrown outside the lock: the throwing engine call may run on any worker.
  if (thrower) thrower();
}

}  // namespace Tamrix::Testing
