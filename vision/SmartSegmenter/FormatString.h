// Filling numbered placeholders of the framework's message templates.
#pragma once

#include <string>
#include <vector>

namespace Tamrix::Vision::SmartSegmenter::detail {

// Replaces each "%N" (a percent sign and a run of decimal digits) of `pattern` with argument N,
// counting from 1. Placeholders without a matching argument ("%0", "%3" with two arguments) and
// percent signs not followed by a digit stay as written. Inserted text is not scanned again.
std::string FormatString(const std::string& pattern, const std::vector<std::string>& arguments);

}  // namespace Tamrix::Vision::SmartSegmenter::detail
