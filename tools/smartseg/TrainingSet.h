// Training items gathered from annotation files, kept apart from the operator until every input
// has been read, so that a bad input leaves the operator as it was.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace Smartseg {

class TrainingSet {
 public:
  // Labels of `segmenterOperator` with a name met again are reused, so the model's label order
  // stays as it was and new labels follow in the order of their first appearance.
  explicit TrainingSet(
      const Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& segmenterOperator);

  // Reads a LabelMe file and its image. Throws WorkError naming the file at fault.
  void AddLabelMe(const std::filesystem::path& file);
  // Reads an image and its label mask; value k is named labelNames[k - 1], or "label<k>" when
  // labelNames is empty. Throws WorkError naming the file at fault.
  void AddMask(const std::filesystem::path& image, const std::filesystem::path& mask,
               const std::vector<std::string>& labelNames);

  // Appends the gathered items to the operator's database and the new labels to its label
  // collection.
  void MoveInto(Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& segmenterOperator);

  int ItemCount() const { return static_cast<int>(items_.size()); }

 private:
  std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel> LabelNamed(const std::string& name);

  std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>> knownLabels_;
  std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>> newLabels_;
  std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData>> items_;
};

}  // namespace Smartseg
