// Extra checks of a training-data database.
#pragma once

#include "interfaces/core/IObject.h"

namespace Tamrix::Vision::SmartCore {

class SmartTrainDataDatabase;

// Checks a database beyond SmartTrainDataDatabase's own checks, for example what one kind of
// segmenter requires of its training data. Throws VisionException to reject the database.
class ISmartTrainDatabaseVerifier : public virtual Tamrix::Vorn::IObject {
 public:
  virtual void Verify(const SmartTrainDataDatabase& database) const = 0;

  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

}  // namespace Tamrix::Vision::SmartCore
