// The per-label segmenter list: one segmenter per label name.
#include <stdexcept>

#include "interfaces/core/Exceptions.h"
#include "vision/SmartSegmenter/OperatorBinding.h"

namespace Tamrix::Vision::SmartSegmenter {

SmartSegmenterOperator::SegmenterList::iterator SmartSegmenterOperator::FindSegmenterByLabelName(
    SegmenterList::iterator first, SegmenterList::iterator last, std::string name) {
  for (; first != last; ++first) {
    // The label's name is fetched anew each time: labels can be renamed.
    if ((*first)->Label()->Name() == name) return first;
  }
  return last;
}

void SmartSegmenterOperator::EnsureLabelSegmenters(impl& binding, SmartCore::SmartTrainData* item) {
  if (!item->IsTraining()) return;
  SegmenterList& segmenters = *binding.segmenters;
  for (const auto& assignment : *item->Assignments()) {
    std::shared_ptr<SmartCore::ISmartLabel> label = AssignedLabel(assignment);
    if (!label) continue;
    const std::string name = label->Name();
    if (FindSegmenterByLabelName(segmenters.begin(), segmenters.end(), name) != segmenters.end()) {
      continue;
    }
    try {
      segmenters.push_back(binding.access->CreateSegmenter(label));
    } catch (const std::runtime_error& error) {
      // Segmenters made for earlier assignments stay; the caller learns why this one failed.
      throw FileOpenException(error.what());
    }
  }
}

void SmartSegmenterOperator::RemoveLabelSegmenter(SegmenterList& segmenters,
                                                  const SmartCore::ISmartLabel& label) {
  const auto found = FindSegmenterByLabelName(segmenters.begin(), segmenters.end(), label.Name());
  if (found != segmenters.end()) segmenters.erase(found);
}

}  // namespace Tamrix::Vision::SmartSegmenter
