// The label interface of training data.
#pragma once

#include <string>

#include "interfaces/core/IChangedEvent.h"

namespace Tamrix::Vision::SmartCore {

// A class label that training shapes are assigned to. Labels are identified by their name alone:
// two labels with the same name stand for the same class.
class ISmartLabel : public virtual Tamrix::Vision::IChangedEvent {
 public:
  virtual std::string Name() const = 0;
  virtual void setName(const std::string& name) = 0;

  RTTR_ENABLE(Tamrix::Vision::IChangedEvent)
};

}  // namespace Tamrix::Vision::SmartCore
