// Helper modules whose factory misbehaves, each built under the helper module's file name into a
// folder of its own. TAMRIX_FACTORY_BEHAVIOUR selects the behaviour at compile time.
#include <memory>
#include <stdexcept>

#include "interfaces/engine/ISmartSegmenterAccess.h"

#if TAMRIX_FACTORY_BEHAVIOUR == 1
// The factory throws.
extern "C" int CreateSegmenterAccessWrapper(
    std::shared_ptr<Tamrix::Vision::SmartSegmenter::ISmartSegmenterAccess>*) {
  throw std::domain_error("factory refused to make an access object");
}
#elif TAMRIX_FACTORY_BEHAVIOUR == 2
// The factory leaves the access pointer empty.
extern "C" int CreateSegmenterAccessWrapper(
    std::shared_ptr<Tamrix::Vision::SmartSegmenter::ISmartSegmenterAccess>* access) {
  access->reset();
  return 0;
}
#else
#error "TAMRIX_FACTORY_BEHAVIOUR must be 1 or 2"
#endif
