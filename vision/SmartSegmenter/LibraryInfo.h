// Identification of the operator library.
#pragma once

namespace Tamrix::Vision::SmartSegmenter {

// The library's file stem, as hosts name it in reflection metadata.
const char* LibraryName();
// The library's version, "major.minor.patch".
const char* LibraryVersion();

}  // namespace Tamrix::Vision::SmartSegmenter
