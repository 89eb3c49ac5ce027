// A picture for the PNG encoder as rows made on demand, so that pictures drawn from results
// (masks, overlays) are encoded without ever being held whole.
#pragma once

#include <cstddef>
#include <functional>

#include "tools/smartseg/Picture.h"

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

// The rows of 8-bit grey, 16-bit grey or 8-bit blue-green-red pixels (the rows share them); other
// layouts give rows of no width.
PngRows RowsOf(const Picture& pixels);

}  // namespace Smartseg
