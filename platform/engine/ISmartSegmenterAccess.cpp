#include "interfaces/engine/ISmartSegmenterAccess.h"

namespace Tamrix::Vision::SmartSegmenter {

// Defined here so that the interface's type information has one home, the engine library, and
// access objects made in the helper module compare equal to it.
ISmartSegmenterAccess::~ISmartSegmenterAccess() = default;

}  // namespace Tamrix::Vision::SmartSegmenter
