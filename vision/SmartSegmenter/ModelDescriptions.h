// Read-only diagnostics of an operator's engine state, for host programs and reports.
#pragma once

#include <string>
#include <vector>

#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace Tamrix::Vision::SmartSegmenter {

// One line per segmenter of the operator, in segmenter order: the label's name, ": " and what
// the model says it has learned (ISegmenterModel::Describe()). Empty while the operator has not
// bound its engine. Changes nothing and binds nothing; call it between operations, as any other
// call on the operator.
std::vector<std::string> DescribeModels(const SmartSegmenterOperator& segmenterOperator);

}  // namespace Tamrix::Vision::SmartSegmenter
