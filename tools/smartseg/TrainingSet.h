// Training items gathered from annotation files, kept apart from the operator until every input
// has been read, so that a bad input leaves the operator as it was.
#pragma once

#include <filesystem>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "tools/smartseg/ItemContent.h"
#include "tools/smartseg/LabelMeImage.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace Smartseg {

// Writes "smartseg: warning: <line>" to stderr (through Warn).
void PrintWarning(const std::string& line);

class TrainingSet {
 public:
  // Labels of `segmenterOperator` with a name met again are reused, so the model's label order
  // stays as it was and new labels follow in the order of their first appearance. Warnings (shapes
  // skipped, annotations already in the model) go to `warn`.
  explicit TrainingSet(
      const Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& segmenterOperator,
      WarningSink warn = PrintWarning);

  // Reads a LabelMe file and its image. Shapes are clipped to the image; a shape that covers no
  // pixel of it, or whose type cannot be trained, is skipped with a warning. Pixels under shapes
  // labelled kIgnoreLabel belong to no label. An annotation whose image and labelled pixels are
  // already in the model, or were read before, is skipped with a warning. Throws WorkError naming
  // the file at fault.
  void AddLabelMe(const std::filesystem::path& file);
  // Reads an image and its label mask; value k is named labelNames[k - 1], or "label<k>" when
  // labelNames is empty, and a value named kIgnoreLabel belongs to no label. Duplicates are
  // skipped as for AddLabelMe. Throws WorkError naming the file at fault.
  void AddMask(const std::filesystem::path& image, const std::filesystem::path& mask,
               const std::vector<std::string>& labelNames);
  // AddMask for an image and its mask (8-bit grey, of the image's size) already in memory; `source`
  // names the mask in messages.
  void AddMask(const LoadedImage& image, const Picture& values,
               const std::vector<std::string>& labelNames, const std::filesystem::path& source);

  // Appends the gathered items to the operator's database and the new labels to its label
  // collection. Throws WorkError, changing nothing, when a label that the annotations name ends
  // with no training pixel (it is not in the model, and every shape of it covered no pixel or lay
  // under kIgnoreLabel).
  void MoveInto(Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& segmenterOperator);

  int ItemCount() const { return static_cast<int>(items_.size()); }
  const std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData>>& Items() const {
    return items_;
  }

 private:
  std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel> LabelNamed(const std::string& name);
  // Where content equal to `content` was met before ("the model" or an annotation file), or "".
  std::string FindSameContent(const ItemContent& content) const;
  // Adds an item for `content`'s image with `shapesByLabel`, in order, unless its content was met
  // before.
  void AddItem(const std::filesystem::path& source, const ItemContent& content,
               const std::vector<
                   std::pair<std::string, std::vector<std::shared_ptr<Tamrix::Vision::IShape>>>>&
                   shapesByLabel);

  WarningSink warn_;
  std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData>> modelItems_;
  std::set<std::string> modelLabelNames_;
  std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>> knownLabels_;
  std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>> newLabels_;
  std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData>> items_;
  // Parallel to items_: where each came from.
  std::vector<std::filesystem::path> itemSources_;
  // Every label name met in an annotation: its training pixels so far and the first file naming
  // it.
  struct LabelUse {
    long long pixels = 0;
    std::filesystem::path firstFile;
  };
  std::map<std::string, LabelUse> labelUses_;
};

}  // namespace Smartseg
