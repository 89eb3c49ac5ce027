// The pixels of a picture as the hosts decode, make and encode them, apart from the framework's
// images (which hold colour as planes): interleaved samples, rows one after another.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

namespace Smartseg {

// `height` rows of `width` pixels, each `channels` samples (1 grey, 2 grey and alpha, 3
// blue-green-red, 4 blue-green-red and alpha) of 8 or 16 bits in the machine's byte order.
// Copies share the samples, so handing a picture on costs nothing; Clone makes one of its own.
class Picture {
 public:
  enum class Depth { Bits8 = 1, Bits16 = 2 };

  Picture() = default;
  // Samples are left as they come from the allocator unless `zeroed`. Throws std::bad_alloc, and
  // std::invalid_argument for a channel count outside 1..4.
  Picture(int width, int height, int channels, Depth depth = Depth::Bits8, bool zeroed = false);

  static Picture Grey8(int width, int height, bool zeroed = false) {
    return Picture(width, height, 1, Depth::Bits8, zeroed);
  }
  static Picture Grey16(int width, int height, bool zeroed = false) {
    return Picture(width, height, 1, Depth::Bits16, zeroed);
  }
  static Picture Bgr8(int width, int height, bool zeroed = false) {
    return Picture(width, height, 3, Depth::Bits8, zeroed);
  }

  int Width() const { return width_; }
  int Height() const { return height_; }
  int Channels() const { return channels_; }
  Depth SampleDepth() const { return depth_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  bool Is(int channels, Depth depth) const {
    return !Empty() && channels_ == channels && depth_ == depth;
  }
  bool IsGrey8() const { return Is(1, Depth::Bits8); }
  bool IsGrey16() const { return Is(1, Depth::Bits16); }
  bool IsBgr8() const { return Is(3, Depth::Bits8); }

  std::size_t PixelBytes() const {
    return static_cast<std::size_t>(channels_) * static_cast<std::size_t>(depth_);
  }
  std::size_t RowBytes() const { return static_cast<std::size_t>(width_) * PixelBytes(); }

  template <class Sample = std::uint8_t>
  Sample* Row(int y) {
    return reinterpret_cast<Sample*>(samples_.get() + static_cast<std::size_t>(y) * RowBytes());
  }
  template <class Sample = std::uint8_t>
  const Sample* Row(int y) const {
    return reinterpret_cast<const Sample*>(samples_.get() +
                                           static_cast<std::size_t>(y) * RowBytes());
  }

  Picture Clone() const;
  // The `channel`-th sample of every pixel, as a one-channel picture of the same depth.
  Picture Channel(int channel) const;
  // "8-bit grey", "16-bit colour with alpha", ...
  std::string Describe() const;
  // The lowest and highest sample over every channel; (0, 0) for an empty picture.
  std::pair<double, double> SampleRange() const;
  // The sample of channel `channel` at (x, y), widened; SetSample stores one (it must fit).
  unsigned Sample(int x, int y, int channel = 0) const {
    const std::size_t at = static_cast<std::size_t>(x) * channels_ + channel;
    return depth_ == Depth::Bits16 ? Row<std::uint16_t>(y)[at] : Row(y)[at];
  }
  void SetSample(int x, int y, int channel, unsigned value) {
    const std::size_t at = static_cast<std::size_t>(x) * channels_ + channel;
    if (depth_ == Depth::Bits16) {
      Row<std::uint16_t>(y)[at] = static_cast<std::uint16_t>(value);
    } else {
      Row(y)[at] = static_cast<std::uint8_t>(value);
    }
  }

 private:
  int width_ = 0;
  int height_ = 0;
  int channels_ = 1;
  Depth depth_ = Depth::Bits8;
  std::shared_ptr<std::uint8_t[]> samples_;
};

}  // namespace Smartseg
