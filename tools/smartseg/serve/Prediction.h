// What the browser host shows of a segmentation: the winning label per pixel, each label's
// probability, how uncertain the model is, and the regions it is least sure about.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/smartseg/Picture.h"
#include "tools/smartseg/SegmentationOutput.h"

namespace Smartseg::Serve {

struct Prediction {
  std::string image;
  // The edit generation of the model that made it.
  long long generation = 0;
  int width = 0;
  int height = 0;
  std::vector<std::string> labels;
  // 8-bit grey: 1 + index in `labels` of the winning label, 0 where no label wins.
  Picture labelValues;
  // 8-bit grey per label: probability x 255.
  std::vector<Picture> probabilities;
  // 8-bit grey: 255 x (1 - (highest - second highest probability)).
  Picture uncertainty;
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
Picture DisplayPixels(const Picture& pixels, double low, double high, int maxSide);

// `picture` scaled down to fit maxSide x maxSide (unchanged when it fits): each pixel the mean of
// the area it covers, or with `nearest` the value of the source pixel at its top-left corner.
Picture FitInside(const Picture& picture, int maxSide, bool nearest);

}  // namespace Smartseg::Serve
