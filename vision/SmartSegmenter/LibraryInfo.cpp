#include "vision/SmartSegmenter/LibraryInfo.h"

namespace Tamrix::Vision::SmartSegmenter {

const char* LibraryName() { return "Tamrix.Vision.SmartSegmenter"; }
const char* LibraryVersion() { return "0.1.0"; }

}  // namespace Tamrix::Vision::SmartSegmenter
