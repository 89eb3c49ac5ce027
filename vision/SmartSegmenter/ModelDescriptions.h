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

// The margin around a crop of an image that makes Execute on the extended crop agree, inside the
// crop, with Execute on the whole image, when the extended crop's corner lies at a multiple of
// ContextStep() in both directions: the largest ISegmenterModel::ContextRadius() of the operator's
// segmenters, rounded up to a multiple of ContextStep(). 0 while the operator has not bound its
// engine. Changes nothing.
int ContextRadius(const SmartSegmenterOperator& segmenterOperator);
// The least common multiple of the segmenters' ISegmenterModel::ContextStep(): 1 while the
// operator has not bound its engine. Changes nothing.
int ContextStep(const SmartSegmenterOperator& segmenterOperator);

}  // namespace Tamrix::Vision::SmartSegmenter
