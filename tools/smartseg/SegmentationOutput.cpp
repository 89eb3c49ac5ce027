#include "tools/smartseg/SegmentationOutput.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageFiles.h"

namespace Smartseg {
namespace {

using Json = nlohmann::json;

// Blue-green-red colours, far apart for the first few labels.
const cv::Vec3b kPalette[] = {{0, 0, 230},   {0, 200, 0},    {230, 80, 0},  {0, 210, 230},
                              {200, 0, 200}, {230, 200, 0},  {0, 120, 255}, {128, 0, 64},
                              {64, 128, 0},  {255, 255, 255}};

float ProbabilityAt(const Tamrix::Vision::SmartCore::ISmartSegmenterResult& result,
                    std::size_t index, int x, int y) {
  const auto& probabilities = result.Probabilities();
  if (!probabilities.empty()) return probabilities[index];
  return result.Mask().At(x, y) ? 1.0f : 0.0f;
}

cv::Mat MaskImage(const Tamrix::Vision::PixelMask& mask, int width, int height) {
  cv::Mat image(height, width, CV_8UC1, cv::Scalar(0));
  for (int y = 0; y < height; ++y) {
    auto* row = image.ptr<std::uint8_t>(y);
    for (int x = 0; x < width; ++x) row[x] = mask.At(x, y) ? 255 : 0;
  }
  return image;
}

cv::Mat ProbabilityImage(const Tamrix::Vision::SmartCore::ISmartSegmenterResult& result, int width,
                         int height) {
  cv::Mat image(height, width, CV_8UC1);
  for (int y = 0; y < height; ++y) {
    auto* row = image.ptr<std::uint8_t>(y);
    for (int x = 0; x < width; ++x) {
      const std::size_t index = static_cast<std::size_t>(y) * width + x;
      row[x] = static_cast<std::uint8_t>(std::lround(ProbabilityAt(result, index, x, y) * 255.0f));
    }
  }
  return image;
}

cv::Mat Overlay(const cv::Mat& pixels, const cv::Mat& values) {
  cv::Mat overlay = ToDisplayColour(pixels);
  constexpr int kPaletteSize = sizeof(kPalette) / sizeof(kPalette[0]);
  for (int y = 0; y < overlay.rows; ++y) {
    auto* row = overlay.ptr<cv::Vec3b>(y);
    const auto* value = values.ptr<std::uint8_t>(y);
    for (int x = 0; x < overlay.cols; ++x) {
      if (value[x] == 0) continue;
      const cv::Vec3b& colour = kPalette[(value[x] - 1) % kPaletteSize];
      for (int c = 0; c < 3; ++c)
        row[x][c] = static_cast<std::uint8_t>((row[x][c] + colour[c] + 1) / 2);
    }
  }
  return overlay;
}

// Box of the pixels set in `mask`: x, y, width, height; all 0 for an empty mask.
Json PixelBox(const Tamrix::Vision::PixelMask& mask) {
  int x0 = mask.Width(), y0 = mask.Height(), x1 = -1, y1 = -1;
  for (int y = 0; y < mask.Height(); ++y) {
    for (int x = 0; x < mask.Width(); ++x) {
      if (!mask.At(x, y)) continue;
      x0 = std::min(x0, x);
      y0 = std::min(y0, y);
      x1 = std::max(x1, x);
      y1 = std::max(y1, y);
    }
  }
  if (x1 < 0) return Json::array({0, 0, 0, 0});
  return Json::array({x0, y0, x1 - x0 + 1, y1 - y0 + 1});
}

// Writes the encoded files in order; on a failure removes those it already wrote.
void CommitAll(const std::vector<std::pair<std::filesystem::path, std::string>>& files) {
  std::size_t written = 0;
  try {
    for (; written < files.size(); ++written) {
      WriteFileAtomically(files[written].first, files[written].second);
    }
  } catch (...) {
    std::error_code ignored;
    for (std::size_t i = 0; i < written; ++i) std::filesystem::remove(files[i].first, ignored);
    throw;
  }
}

}  // namespace

cv::Mat LabelValueImage(const std::vector<LabelResult>& labels, int width, int height) {
  cv::Mat values(height, width, CV_8UC1, cv::Scalar(0));
  for (int y = 0; y < height; ++y) {
    auto* row = values.ptr<std::uint8_t>(y);
    for (int x = 0; x < width; ++x) {
      const std::size_t index = static_cast<std::size_t>(y) * width + x;
      float best = 0.0f;
      for (std::size_t k = 0; k < labels.size() && k < 255; ++k) {
        if (!labels[k].result) continue;
        const float probability = ProbabilityAt(*labels[k].result, index, x, y);
        if (probability > best) {
          best = probability;
          row[x] = static_cast<std::uint8_t>(k + 1);
        }
      }
    }
  }
  return values;
}

std::string LabelFileName(const std::string& name) {
  std::string file;
  for (const char c : name) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_';
    file += plain ? c : '_';
  }
  if (file == "labels" || file == "overlay" || file.empty() || file[0] == '.' ||
      file.rfind("label_", 0) == 0 ||
      (file.size() >= 5 && file.compare(file.size() - 5, 5, "_prob") == 0)) {
    file = "label_" + file;
  }
  return file;
}

nlohmann::json WriteSegmentation(const SegmentationFiles& files) {
  const int width = files.pixels.cols;
  const int height = files.pixels.rows;
  const cv::Mat values = LabelValueImage(files.labels, width, height);
  std::vector<std::pair<std::filesystem::path, std::string>> encoded;
  const auto add = [&](const std::string& suffix, const cv::Mat& image) {
    const auto path = files.folder / (files.stem + "_" + suffix + ".png");
    encoded.emplace_back(path, EncodePng(image, path));
  };

  Json labels = Json::array();
  for (std::size_t k = 0; k < files.labels.size(); ++k) {
    const LabelResult& label = files.labels[k];
    const Tamrix::Vision::PixelMask mask =
        label.result ? label.result->Mask() : Tamrix::Vision::PixelMask(width, height);
    const std::string fileName = LabelFileName(label.name);
    add(fileName, MaskImage(mask, width, height));
    if (files.probabilities) {
      add(fileName + "_prob", label.result ? ProbabilityImage(*label.result, width, height)
                                           : cv::Mat(height, width, CV_8UC1, cv::Scalar(0)));
    }
    labels.push_back({{"name", label.name},
                      {"value", k + 1},
                      {"area", label.result ? label.result->Area() : 0},
                      {"bbox", PixelBox(mask)}});
  }
  add("labels", values);
  add("overlay", Overlay(files.pixels, values));
  const Json summary{{"image", files.imageName}, {"labels", labels}, {"seconds", files.seconds}};
  encoded.emplace_back(files.folder / (files.stem + ".json"), summary.dump(2) + "\n");
  CommitAll(encoded);
  return summary;
}

}  // namespace Smartseg
