// A picture for the PNG encoder as rows made on demand, so that pictures drawn from results
// (masks, overlays) are encoded without ever being held whole.
#pragma once

#include <cstddef>
#include <functional>

#include <opencv2/core.hpp>

namespace Smartseg {

struct PngRows {
  enum class Samples { Grey8, Grey16, Rgb8 };

  int width = 0;
  int height = 0;
  Samples samples = Samples::Grey8;
  // Writes row y's samples as PNG stores them into `out`: grey bytes, 16-bit grey big-endian, or
  // red-green-blue bytes. Called from several threads at once, each row once or twice.
  std::function<void(int y, unsigned char* out)> row;

  std::size_t RowBytes() const {
    const std::size_t perPixel = samples == Samples::Grey8 ? 1 : samples == Samples::Grey16 ? 2 : 3;
    return static_cast<std::size_t>(width) * perPixel;
  }
};

// The rows of CV_8UC1, CV_16UC1 or blue-green-red CV_8UC3 pixels, which must outlive them; other
// types give rows of no width.
PngRows RowsOf(const cv::Mat& pixels);

}  // namespace Smartseg
