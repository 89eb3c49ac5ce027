// Shareable framework object with a changed event.
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>

#include "interfaces/core/IChangedEvent.h"
#include "interfaces/core/ShareableBase.h"

namespace Tamrix::Vision {

// Implements IChangedEvent. OnChanged_(flags) raises ChangedEvent() synchronously on the calling
// thread with a ChangedEventArgs carrying the flags. SuspendChangedEvent() nests: each suspend
// needs one resume; the outermost resume raises one event with every flag collected meanwhile
// (none when nothing changed).
class ChangedEventShareableBase : public ShareableBase, public virtual IChangedEvent {
 public:
  explicit ChangedEventShareableBase(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ShareableBase(token) {}
  ~ChangedEventShareableBase() override = default;

  bool ChangedEventSuspended() const override;
  ChangedEventType& ChangedEvent() override;
  void ResumeAndRaiseChangedEvent() override;
  void SuspendChangedEvent() override;

 protected:
  ChangedEventShareableBase() = default;
  // A copy has its own, unconnected event.
  ChangedEventShareableBase(const ChangedEventShareableBase& other)
      : Tamrix::Vorn::IObject(), IChangedEvent(), ShareableBase(other) {}

  virtual void OnChanged_(std::shared_ptr<ChangedEventArgs> args);
  virtual void OnChanged_(long long flags);

 private:
  friend class cereal::access;
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  ChangedEventType changed_;
  mutable std::mutex suspendMutex_;
  int suspendCount_ = 0;
  long long pendingFlags_ = 0;

  RTTR_ENABLE(ShareableBase, IChangedEvent)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::ChangedEventShareableBase, 1)
