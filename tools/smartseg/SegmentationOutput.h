// The files written for one segmented image.
#pragma once

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <opencv2/core.hpp>

#include "interfaces/smartcore/ISmartSegmenterResult.h"

namespace Smartseg {

// One label's result, in the model's label order; `result` is null for a label the model has no
// segmenter for (its pixels then stay unset).
struct LabelResult {
  std::string name;
  std::shared_ptr<Tamrix::Vision::SmartCore::ISmartSegmenterResult> result;
};

// CV_8UC1: at each pixel 1 + the position in `labels` of the label with the highest probability
// (the first one on a tie); 0 where no label has a probability above 0. A result without
// probabilities counts as 1 inside its mask and 0 outside.
cv::Mat LabelValueImage(const std::vector<LabelResult>& labels, int width, int height);

// The part of a file name that stands for a label: characters other than letters, digits, '-',
// '.' and '_' become '_', and names that would clash with the other outputs get "label_" in front.
std::string LabelFileName(const std::string& name);

struct SegmentationFiles {
  std::filesystem::path folder;
  std::string stem;
  std::string imageName;
  cv::Mat pixels;
  std::vector<LabelResult> labels;
  bool probabilities = false;
  double seconds = 0.0;
};

// Writes STEM_LABEL.png per label (0/255), STEM_labels.png, STEM_overlay.png, STEM_LABEL_prob.png
// with probabilities, and STEM.json; returns the JSON summary. Each file is written
// all-or-nothing, and when one cannot be written the ones already written for this image are
// removed. Throws WorkError naming the file that failed.
nlohmann::json WriteSegmentation(const SegmentationFiles& files);

}  // namespace Smartseg
