#include "vision/SmartSegmenter/LibraryInfo.h"

namespace Tamrix::Vision::SmartSegmenter {

const char* LibraryName() { return "Tamrix.Vision.SmartSegmenter"; }
// The project version of the build, handed in by the build file.
const char* LibraryVersion() { return TAMRIX_PROJECT_VERSION; }

}  // namespace Tamrix::Vision::SmartSegmenter
