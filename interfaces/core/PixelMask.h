// Binary pixel masks and boxes, the raster form of shapes.
#pragma once

#include <cstdint>
#include <vector>

namespace Tamrix::Vision {

// Axis-aligned box in image coordinates: [X0, X1] x [Y0, Y1]. Empty when X1 < X0 or Y1 < Y0.
struct BoundingBox {
  double X0 = 0, Y0 = 0, X1 = -1, Y1 = -1;
  bool Empty() const { return X1 < X0 || Y1 < Y0; }
};

// A width x height mask, one byte per pixel (0 or 1), rows top to bottom.
//
// Pixel convention of the framework: pixel (x, y) is centred on the point (x, y) and covers
// [x - 0.5, x + 0.5) x [y - 0.5, y + 0.5). A pixel belongs to a region when its centre does.
class PixelMask {
 public:
  PixelMask() = default;
  PixelMask(int width, int height)
      : width_(width < 0 ? 0 : width),
        height_(height < 0 ? 0 : height),
        bits_(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_), 0) {}

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  bool At(int x, int y) const { return Inside(x, y) && bits_[Index(x, y)] != 0; }
  // Writes outside the mask are ignored, so shapes may extend past the image.
  void Set(int x, int y, bool on = true) {
    if (Inside(x, y)) bits_[Index(x, y)] = on ? 1 : 0;
  }
  const std::vector<std::uint8_t>& Data() const { return bits_; }
  std::vector<std::uint8_t>& Data() { return bits_; }
  long long Count() const {
    long long n = 0;
    for (auto b : bits_) n += b;
    return n;
  }

 private:
  std::size_t Index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) +
           static_cast<std::size_t>(x);
  }
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> bits_;
};

}  // namespace Tamrix::Vision
