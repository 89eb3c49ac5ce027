// The changed-event interface of framework objects.
#pragma once

#include <memory>

#include "interfaces/core/ChangedEventArgs.h"
#include "interfaces/core/Event.h"
#include "interfaces/core/IObject.h"

namespace Tamrix::Vision {

using ChangedEventType = Tamrix::Vorn::Event<const std::shared_ptr<ChangedEventArgs>&>;

// An object that announces changes of its observable state. While suspended, changes are
// collected and announced once, with the flags combined, by ResumeAndRaiseChangedEvent().
class IChangedEvent : public virtual Tamrix::Vorn::IObject {
 public:
  virtual bool ChangedEventSuspended() const = 0;
  virtual ChangedEventType& ChangedEvent() = 0;
  virtual void ResumeAndRaiseChangedEvent() = 0;
  virtual void SuspendChangedEvent() = 0;

  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

}  // namespace Tamrix::Vision
