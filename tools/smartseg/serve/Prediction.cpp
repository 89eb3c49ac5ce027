#include "tools/smartseg/serve/Prediction.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/serve/ApiError.h"

namespace Smartseg::Serve {
namespace {

using Json = nlohmann::json;

// How the source span [from, to) of one axis overlaps source pixels: (pixel, weight) pairs.
std::vector<std::pair<int, double>> Overlaps(double from, double to, int size) {
  std::vector<std::pair<int, double>> parts;
  for (int i = static_cast<int>(std::floor(from)); i < to && i < size; ++i) {
    const double weight = std::min(to, i + 1.0) - std::max(from, static_cast<double>(i));
    if (weight > 0.0) parts.emplace_back(i, weight);
  }
  return parts;
}

Picture ProbabilityImage(const LabelResult& label, int width, int height) {
  Picture image = Picture::Grey8(width, height, /*zeroed=*/true);
  if (!label.result) return image;
  std::vector<float> probabilities(static_cast<std::size_t>(width));
  for (int y = 0; y < height; ++y) {
    auto* row = image.Row(y);
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
  prediction->uncertainty = Picture::Grey8(width, height, /*zeroed=*/true);
  if (prediction->probabilities.size() >= 2) {
    for (int y = 0; y < height; ++y) {
      auto* row = prediction->uncertainty.Row(y);
      for (int x = 0; x < width; ++x) {
        int first = 0, second = 0;
        for (const Picture& probability : prediction->probabilities) {
          const int value = probability.Row(y)[x];
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
  Picture image;
  if (view == "labels") {
    image = FitInside(prediction.labelValues, maxSide, /*nearest=*/true);
  } else if (view == "uncertainty") {
    image = FitInside(prediction.uncertainty, maxSide, /*nearest=*/false);
  } else if (view == "probability") {
    const auto found = std::find(prediction.labels.begin(), prediction.labels.end(), label);
    if (found == prediction.labels.end()) {
      throw ApiError(400, "the prediction has no label named '" + label + "'");
    }
    image = FitInside(prediction.probabilities[found - prediction.labels.begin()], maxSide,
                      /*nearest=*/false);
  } else {
    throw ApiError(400, "unknown view '" + view + "'; expected labels, probability or uncertainty");
  }
  return EncodePng(image, prediction.image);
}

Json SuggestRegions(const Prediction& prediction, int count) {
  Json boxes = Json::array();
  if (prediction.uncertainty.Empty()) return boxes;
  const int cell = std::max(16, std::max(prediction.width, prediction.height) / 12);
  struct Cell {
    int x, y, width, height;
    double score;
  };
  std::vector<Cell> cells;
  for (int y = 0; y < prediction.height; y += cell) {
    for (int x = 0; x < prediction.width; x += cell) {
      const int width = std::min(cell, prediction.width - x);
      const int height = std::min(cell, prediction.height - y);
      double sum = 0.0;
      for (int row = y; row < y + height; ++row) {
        const std::uint8_t* values = prediction.uncertainty.Row(row) + x;
        for (int column = 0; column < width; ++column) sum += values[column];
      }
      const double score = sum / (static_cast<double>(width) * height) / 255.0;
      if (score >= 0.25) cells.push_back({x, y, width, height, score});
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

Picture FitInside(const Picture& picture, int maxSide, bool nearest) {
  const int side = std::max(picture.Width(), picture.Height());
  if (maxSide <= 0 || side <= maxSide) return picture;
  const double scale = static_cast<double>(maxSide) / side;
  const int width = std::max(1, static_cast<int>(std::lround(picture.Width() * scale)));
  const int height = std::max(1, static_cast<int>(std::lround(picture.Height() * scale)));
  const double stepX = static_cast<double>(picture.Width()) / width;
  const double stepY = static_cast<double>(picture.Height()) / height;
  const int channels = picture.Channels();
  Picture smaller(width, height, channels, picture.SampleDepth());
  const auto store = [&](int x, int y, int c, double value) {
    smaller.SetSample(x, y, c, static_cast<unsigned>(std::lround(value)));
  };
  std::vector<std::vector<std::pair<int, double>>> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) {
    columns[static_cast<std::size_t>(x)] = Overlaps(x * stepX, (x + 1) * stepX, picture.Width());
  }
  for (int y = 0; y < height; ++y) {
    if (nearest) {
      const int from = std::min(picture.Height() - 1, static_cast<int>(std::floor(y * stepY)));
      for (int x = 0; x < width; ++x) {
        const int column = std::min(picture.Width() - 1, static_cast<int>(std::floor(x * stepX)));
        for (int c = 0; c < channels; ++c) store(x, y, c, picture.Sample(column, from, c));
      }
      continue;
    }
    const auto rows = Overlaps(y * stepY, (y + 1) * stepY, picture.Height());
    for (int x = 0; x < width; ++x) {
      for (int c = 0; c < channels; ++c) {
        double sum = 0.0, area = 0.0;
        for (const auto& [row, rowWeight] : rows) {
          for (const auto& [column, columnWeight] : columns[static_cast<std::size_t>(x)]) {
            sum += picture.Sample(column, row, c) * rowWeight * columnWeight;
            area += rowWeight * columnWeight;
          }
        }
        store(x, y, c, area > 0.0 ? sum / area : 0.0);
      }
    }
  }
  return smaller;
}

Picture DisplayPixels(const Picture& pixels, double low, double high, int maxSide) {
  const Picture fitted = FitInside(pixels, maxSide, /*nearest=*/false);
  const double range = high > low ? high - low : 1.0;
  Picture display(fitted.Width(), fitted.Height(), fitted.Channels());
  for (int y = 0; y < fitted.Height(); ++y) {
    for (int x = 0; x < fitted.Width(); ++x) {
      for (int c = 0; c < fitted.Channels(); ++c) {
        const double value = (fitted.Sample(x, y, c) - low) * 255.0 / range;
        display.SetSample(x, y, c,
                          static_cast<unsigned>(std::clamp<long>(std::lround(value), 0, 255)));
      }
    }
  }
  return display;
}

}  // namespace Smartseg::Serve
