#include "interfaces/engine/LevelBlocks.h"

#include <algorithm>
#include <cstring>

namespace Tamrix::Vision::SmartSegmenter {

LevelBlocks::LevelBlocks(const std::uint8_t* levels, int width, int height)
    : width_(width), height_(height), blocksWide_((width + kSide - 1) / kSide) {
  // A plane without pixels has no blocks, however many rows it has.
  const int blocksHigh = width > 0 ? (height + kSide - 1) / kSide : 0;
  blocks_.resize(static_cast<std::size_t>(blocksWide_) * static_cast<std::size_t>(blocksHigh));
  const auto rowBytes = static_cast<std::size_t>(width);
  const auto cornerOf = [&](int bx, int by) {
    return levels + static_cast<std::size_t>(by) * kSide * rowBytes +
           static_cast<std::size_t>(bx) * kSide;
  };
  // First which blocks are uniform, then the others' runs in one allocation of their exact size:
  // growing it run by run would copy and fault in fresh pages again and again.
  std::size_t runs = 0;
  for (int by = 0; by < blocksHigh; ++by) {
    const int rows = std::min(kSide, height - by * kSide);
    for (int bx = 0; bx < blocksWide_; ++bx) {
      const int columns = std::min(kSide, width - bx * kSide);
      const std::uint8_t* corner = cornerOf(bx, by);
      const std::uint8_t first = corner[0];
      bool uniform = true;
      for (int y = 0; y < rows && uniform; ++y) {
        const std::uint8_t* row = corner + static_cast<std::size_t>(y) * rowBytes;
        uniform = std::all_of(row, row + columns, [first](std::uint8_t v) { return v == first; });
      }
      std::uint32_t& entry = blocks_[static_cast<std::size_t>(by) * blocksWide_ + bx];
      entry = uniform ? kUniform | first : static_cast<std::uint32_t>(runs++);
    }
  }
  // Edge blocks are kept whole too, their outside zero, so that every run has one shape.
  data_.assign(runs * kSide * kSide, 0);
  for (int by = 0; by < blocksHigh; ++by) {
    const int rows = std::min(kSide, height - by * kSide);
    for (int bx = 0; bx < blocksWide_; ++bx) {
      const std::uint32_t entry = blocks_[static_cast<std::size_t>(by) * blocksWide_ + bx];
      if ((entry & kUniform) != 0) continue;
      const auto columns = static_cast<std::size_t>(std::min(kSide, width - bx * kSide));
      std::uint8_t* target = data_.data() + static_cast<std::size_t>(entry) * kSide * kSide;
      const std::uint8_t* corner = cornerOf(bx, by);
      for (int y = 0; y < rows; ++y) {
        std::memcpy(target + static_cast<std::size_t>(y) * kSide,
                    corner + static_cast<std::size_t>(y) * rowBytes, columns);
      }
    }
  }
}

void LevelBlocks::Unpack(std::uint8_t* out) const {
  for (int y = 0; y < height_; ++y) {
    UnpackRow(y, out + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_));
  }
}

void LevelBlocks::UnpackRow(int y, std::uint8_t* out) const {
  const std::uint32_t* row = blocks_.data() + static_cast<std::size_t>(y / kSide) * blocksWide_;
  const std::size_t offset = static_cast<std::size_t>(y % kSide) * kSide;
  for (int bx = 0; bx < blocksWide_; ++bx) {
    const int x0 = bx * kSide;
    const auto columns = static_cast<std::size_t>(std::min(kSide, width_ - x0));
    const std::uint32_t block = row[bx];
    if ((block & kUniform) != 0) {
      std::memset(out + x0, static_cast<std::uint8_t>(block), columns);
    } else {
      std::memcpy(out + x0, data_.data() + static_cast<std::size_t>(block) * kSide * kSide + offset,
                  columns);
    }
  }
}

}  // namespace Tamrix::Vision::SmartSegmenter
