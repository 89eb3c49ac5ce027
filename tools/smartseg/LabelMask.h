// Label masks: 8-bit grey images whose value k > 0 marks the pixels of label k, 0 unlabelled.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <vector>

#include "interfaces/core/GraphicInterfaces.h"
#include "tools/smartseg/Picture.h"

namespace Smartseg {

struct MaskLabelShapes {
  int value = 0;
  // Axis-aligned rectangles that together hold exactly the pixels of `value`.
  std::vector<std::shared_ptr<Tamrix::Vision::IShape>> shapes;
};

// Reads the mask at `path` for a width x height image. Throws WorkError naming `path` when it
// cannot be read, is not 8-bit grey or has another size.
Picture ReadLabelMask(const std::filesystem::path& path, int width, int height);

// The shapes of every value present in `mask` (8-bit grey), in ascending value order. Runs of equal
// value that repeat on consecutive rows share one rectangle.
std::vector<MaskLabelShapes> MaskToShapes(const Picture& mask);
// The same for width x height values, rows one after another.
std::vector<MaskLabelShapes> MaskToShapes(const std::uint8_t* values, int width, int height);

}  // namespace Smartseg
