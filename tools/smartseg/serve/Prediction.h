// What the browser host shows of a segmentation: the winning label per pixel, each label's
// probability, how uncertain the model is, and the regions it is least sure about.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>
#include <opencv2/core.hpp>

#include "tools/smartseg/SegmentationOutput.h"

namespace Smartseg::Serve {

struct Prediction {
  std::string image;
  // The edit generation of the model that made it.
  long long generation = 0;
  int width = 0;
  int height = 0;
  std::vector<std::string> labels;
  // CV_8UC1: 1 + index in `labels` of the winning label, 0 where no label wins.
  cv::Mat labelValues;
  // CV_8UC1 per label: probability x 255.
  std::vector<cv::Mat> probabilities;
  // CV_8UC1: 255 x (1 - (highest - second highest probability)).
  cv::Mat uncertainty;
  double seconds = 0.0;
};

// Builds the views of one execution (results in the model's label order).
std::shared_ptr<Prediction> MakePrediction(const std::string& image, long long generation,
                                           int width, int height,
                                           const std::vector<LabelResult>& results);

// The PNG of a view: "labels", "probability" (of label `label`) or "uncertainty", scaled down to
// fit maxSide x maxSide when larger. Throws ApiError(400) for an unknown view or label.
std::string EncodeView(const Prediction& prediction, const std::string& view,
                       const std::string& label, int maxSide);

// Up to `count` boxes {x, y, width, height, score} of a grid over the image, those with the
// highest mean uncertainty first; cells whose mean uncertainty is below a quarter are left out.
nlohmann::json SuggestRegions(const Prediction& prediction, int count);

// `pixels` as 8-bit display pixels (grey or blue-green-red), values from `low` to `high` spread
// over 0 to 255, scaled down to fit maxSide x maxSide when larger.
cv::Mat DisplayPixels(const cv::Mat& pixels, double low, double high, int maxSide);

}  // namespace Smartseg::Serve
