// A plane of byte levels that stores only what varies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace Tamrix::Vision::SmartSegmenter {

// A width x height plane of byte levels (row-major) kept in blocks of kSide x kSide pixels: a block
// whose pixels all hold one level is kept as that level alone, any other block whole. A label's
// probabilities are 0 far from anything like it and 255 deep inside its regions, so with many
// labels most blocks of most labels are uniform and the plane holds a fraction of its pixels.
class LevelBlocks {
 public:
  static constexpr int kSide = 16;

  LevelBlocks() = default;
  // Packs `levels`, width x height values (width and height at least 0).
  LevelBlocks(const std::uint8_t* levels, int width, int height);

  int Width() const { return width_; }
  int Height() const { return height_; }
  std::uint8_t At(int x, int y) const {
    const std::uint32_t block =
        blocks_[static_cast<std::size_t>(y / kSide) * static_cast<std::size_t>(blocksWide_) +
                static_cast<std::size_t>(x / kSide)];
    if ((block & kUniform) != 0) return static_cast<std::uint8_t>(block);
    return data_[static_cast<std::size_t>(block) * kSide * kSide +
                 static_cast<std::size_t>(y % kSide) * kSide + static_cast<std::size_t>(x % kSide)];
  }
  // The level of pixel `index`, row-major.
  std::uint8_t At(std::size_t index) const {
    const auto width = static_cast<std::size_t>(width_);
    return At(static_cast<int>(index % width), static_cast<int>(index / width));
  }
  // Writes the width x height levels, row-major, to `out`.
  void Unpack(std::uint8_t* out) const;
  // Writes row `y`, width levels, to `out`.
  void UnpackRow(int y, std::uint8_t* out) const;
  // Bytes held, for diagnostics and tests.
  std::size_t Bytes() const { return blocks_.size() * sizeof(std::uint32_t) + data_.size(); }

 private:
  // A block entry is kUniform | level, or the number of the block's kSide x kSide run in data_.
  static constexpr std::uint32_t kUniform = 0x80000000u;

  int width_ = 0, height_ = 0, blocksWide_ = 0;
  std::vector<std::uint32_t> blocks_;
  std::vector<std::uint8_t> data_;
};

}  // namespace Tamrix::Vision::SmartSegmenter
