// The argument of a framework object's changed event.
#pragma once

namespace Tamrix::Vision {

// Carries the state flags of one change: each class numbers its observable states with
// Sf-prefixed constants, and receivers compare the whole value.
class ChangedEventArgs {
 public:
  explicit ChangedEventArgs(long long flags) : flags_(flags) {}
  long long Flags() const { return flags_; }

 private:
  long long flags_;
};

}  // namespace Tamrix::Vision
