#include "tools/smartseg/serve/Prediction.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <opencv2/imgproc.hpp>

#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/serve/ApiError.h"

namespace Smartseg::Serve {
namespace {

using Json = nlohmann::json;

cv::Mat FitInside(const cv::Mat& image, int maxSide, int interpolation) {
  const int side = std::max(image.cols, image.rows);
  if (maxSide <= 0 || side <= maxSide) return image;
  const double scale = static_cast<double>(maxSide) / side;
  cv::Mat smaller;
  cv::resize(image, smaller,
             cv::Size(std::max(1, static_cast<int>(std::lround(image.cols * scale))),
                      std::max(1, static_cast<int>(std::lround(image.rows * scale)))),
             0, 0, interpolation);
  return smaller;
}

cv::Mat ProbabilityImage(const LabelResult& label, int width, int height) {
  cv::Mat image(height, width, CV_8UC1, cv::Scalar(0));
  if (!label.result) return image;
  std::vector<float> probabilities(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    auto* row = image.ptr<std::uint8_t>(y);
    label.result->ProbabilityRow(y, probabilities.data());
    for (int x = 0; x < width; ++x) {
      row[x] =
          static_cast<std::uint8_t>(std::lround(std::clamp(probabilities[x], 0.0f, 1.0f) * 255.0f));
    }
  }
  return image;
}

}  // namespace

std::shared_ptr<Prediction> MakePrediction(const std::string& image, long long generation,
                                           int width, int height,
                                           const std::vector<LabelResult>& results) {
  auto prediction = std::make_shared<Prediction>();
  prediction->image = image;
  prediction->generation = generation;
  prediction->width = width;
  prediction->height = height;
  for (const LabelResult& result : results) {
    prediction->labels.push_back(result.name);
    prediction->probabilities.push_back(ProbabilityImage(result, width, height));
  }
  prediction->labelValues = LabelValueImage(results, width, height);
  prediction->uncertainty = cv::Mat(height, width, CV_8UC1, cv::Scalar(0));
  if (prediction->probabilities.size() >= 2) {
    for (int y = 0; y < height; ++y) {
      auto* row = prediction->uncertainty.ptr<std::uint8_t>(y);
      for (int x = 0; x < width; ++x) {
        int first = 0, second = 0;
        for (const cv::Mat& probability : prediction->probabilities) {
          const int value = probability.at<std::uint8_t>(y, x);
          if (value > first) {
            second = first;
            first = value;
          } else if (value > second) {
            second = value;
          }
        }
        row[x] = static_cast<std::uint8_t>(255 - (first - second));
      }
    }
  }
  return prediction;
}

std::string EncodeView(const Prediction& prediction, const std::string& view,
                       const std::string& label, int maxSide) {
  cv::Mat image;
  if (view == "labels") {
    image = FitInside(prediction.labelValues, maxSide, cv::INTER_NEAREST);
  } else if (view == "uncertainty") {
    image = FitInside(prediction.uncertainty, maxSide, cv::INTER_AREA);
  } else if (view == "probability") {
    const auto found = std::find(prediction.labels.begin(), prediction.labels.end(), label);
    if (found == prediction.labels.end()) {
      throw ApiError(400, "the prediction has no label named '" + label + "'");
    }
    image = FitInside(prediction.probabilities[found - prediction.labels.begin()], maxSide,
                      cv::INTER_AREA);
  } else {
    throw ApiError(400, "unknown view '" + view + "'; expected labels, probability or uncertainty");
  }
  return EncodePng(image, prediction.image);
}

Json SuggestRegions(const Prediction& prediction, int count) {
  Json boxes = Json::array();
  if (prediction.uncertainty.empty()) return boxes;
  const int cell = std::max(16, std::max(prediction.width, prediction.height) / 12);
  struct Cell {
    int x, y, width, height;
    double score;
  };
  std::vector<Cell> cells;
  for (int y = 0; y < prediction.height; y += cell) {
    for (int x = 0; x < prediction.width; x += cell) {
      const cv::Rect area(x, y, std::min(cell, prediction.width - x),
                          std::min(cell, prediction.height - y));
      const double score = cv::mean(prediction.uncertainty(area))[0] / 255.0;
      if (score >= 0.25) cells.push_back({area.x, area.y, area.width, area.height, score});
    }
  }
  std::sort(cells.begin(), cells.end(), [](const Cell& a, const Cell& b) {
    return a.score > b.score || (a.score == b.score && (a.y < b.y || (a.y == b.y && a.x < b.x)));
  });
  for (int i = 0; i < count && i < static_cast<int>(cells.size()); ++i) {
    const Cell& c = cells[i];
    boxes.push_back(
        {{"x", c.x}, {"y", c.y}, {"width", c.width}, {"height", c.height}, {"score", c.score}});
  }
  return boxes;
}

cv::Mat DisplayPixels(const cv::Mat& pixels, double low, double high, int maxSide) {
  const cv::Mat fitted = FitInside(pixels, maxSide, cv::INTER_AREA);
  const double range = high > low ? high - low : 1.0;
  cv::Mat display;
  fitted.convertTo(display, CV_8U, 255.0 / range, -low * 255.0 / range);
  return display;
}

}  // namespace Smartseg::Serve
