#include "interfaces/core/ChangedEventShareableBase.h"

#include "interfaces/core/Settings.h"

namespace Tamrix::Vision {

bool ChangedEventShareableBase::ChangedEventSuspended() const {
  std::lock_guard<std::mutex> guard(suspendMutex_);
  return suspendCount_ > 0;
}

ChangedEventType& ChangedEventShareableBase::ChangedEvent() { return changed_; }

void ChangedEventShareableBase::SuspendChangedEvent() {
  std::lock_guard<std::mutex> guard(suspendMutex_);
  ++suspendCount_;
}

void ChangedEventShareableBase::ResumeAndRaiseChangedEvent() {
  long long flags = 0;
  {
    std::lock_guard<std::mutex> guard(suspendMutex_);
    if (suspendCount_ == 0) return;
    if (--suspendCount_ > 0) return;
    flags = pendingFlags_;
    pendingFlags_ = 0;
  }
  // Raised outside the lock: slots may query or change this object.
  if (flags != 0) changed_(std::make_shared<ChangedEventArgs>(flags));
}

void ChangedEventShareableBase::OnChanged_(std::shared_ptr<ChangedEventArgs> args) {
  {
    std::lock_guard<std::mutex> guard(suspendMutex_);
    if (suspendCount_ > 0) {
      pendingFlags_ |= args->Flags();
      return;
    }
  }
  changed_(args);
}

void ChangedEventShareableBase::OnChanged_(long long flags) {
  OnChanged_(std::make_shared<ChangedEventArgs>(flags));
}

template <class Archive>
void ChangedEventShareableBase::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "ChangedEventShareableBase::serialize()");
  }
  archive(cereal::base_class<ShareableBase>(this));
}

template void ChangedEventShareableBase::serialize(cereal::PortableBinaryOutputArchive&,
                                                   std::uint32_t);
template void ChangedEventShareableBase::serialize(cereal::PortableBinaryInputArchive&,
                                                   std::uint32_t);

}  // namespace Tamrix::Vision
