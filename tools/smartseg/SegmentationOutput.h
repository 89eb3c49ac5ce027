// The files written for one segmented image.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "interfaces/smartcore/ISmartSegmenterResult.h"
#include "tools/smartseg/Picture.h"

namespace Tamrix::Vision::SmartCore {
class SmartSegmenterResults;
}
namespace Tamrix::Vision::SmartSegmenter {
class SmartSegmenterOperator;
}

namespace Smartseg {

// One label's result, in the model's label order; `result` is null for a label the model has no
// segmenter for (its pixels then stay unset).
struct LabelResult {
  std::string name;
  std::shared_ptr<Tamrix::Vision::SmartCore::ISmartSegmenterResult> result;
};

// The results of one execution of `model`, one per label in the model's label order.
std::vector<LabelResult> InLabelOrder(
    const Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& model,
    const Tamrix::Vision::SmartCore::SmartSegmenterResults& results);

// At each pixel 1 + the position in `labels` of the label with the highest probability (the
// first one on a tie); 0 where no label has a probability above 0. A result without
// probabilities counts as 1 inside its mask and 0 outside. 8-bit grey for up to 255 labels, 16-bit
// grey for more. Bands of rows are done on the engine's threads
// (VisionToolMultiThreading::Workers()).
Picture LabelValueImage(const std::vector<LabelResult>& labels, int width, int height);

// The part of a file name that stands for a label. ASCII letters and digits, '-', '_', '.' and
// UTF-8 letters of other scripts stay as they are; every other byte ('/', spaces, '%', control
// characters, broken UTF-8) becomes %XX, its value in hex. Names that would clash with the other
// outputs ("labels", "overlay", names ending in "_prob") get "label_" in front, and so do names
// that start with "label_" or '.', or are empty. Different names always give different files.
std::string LabelFileName(const std::string& name);

struct SegmentationFiles {
  std::filesystem::path folder;
  std::string stem;
  std::string imageName;
  Picture pixels;
  std::vector<LabelResult> labels;
  bool probabilities = false;
  double seconds = 0.0;
};

// The files WriteSegmentation writes for `files` (which needs no pixels or results for this, only
// the folder, the stem, the label names and whether probabilities are asked for), JSON last.
std::vector<std::filesystem::path> SegmentationFileNames(const SegmentationFiles& files);

// Writes STEM_LABEL.png per label (0/255), STEM_labels.png (16-bit above 255 labels),
// STEM_overlay.png, STEM_LABEL_prob.png with probabilities, and STEM.json, as one FileSet: the
// image's earlier outputs are replaced all together or stay as they were. Returns the JSON
// summary. Throws WorkError naming the file that failed.
nlohmann::json WriteSegmentation(const SegmentationFiles& files);

}  // namespace Smartseg
