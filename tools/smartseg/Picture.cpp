#include "tools/smartseg/Picture.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>

namespace Smartseg {

Picture::Picture(int width, int height, int channels, Depth depth, bool zeroed)
    : width_(std::max(0, width)), height_(std::max(0, height)), channels_(channels), depth_(depth) {
  if (channels < 1 || channels > 4) {
    throw std::invalid_argument("Picture: expected 1 to 4 channels, found " +
                                std::to_string(channels));
  }
  const std::size_t bytes = RowBytes() * static_cast<std::size_t>(height_);
  if (bytes == 0) return;
  // Default-initialised: the decoders and makers write every sample.
  samples_ = std::shared_ptr<std::uint8_t[]>(new std::uint8_t[bytes]);
  if (zeroed) std::memset(samples_.get(), 0, bytes);
}

Picture Picture::Clone() const {
  Picture copy(width_, height_, channels_, depth_);
  if (!Empty()) std::memcpy(copy.samples_.get(), samples_.get(), RowBytes() * height_);
  return copy;
}

Picture Picture::Channel(int channel) const {
  Picture one(width_, height_, 1, depth_);
  const std::size_t sample = static_cast<std::size_t>(depth_);
  const std::size_t pixel = PixelBytes();
  for (int y = 0; y < height_; ++y) {
    const std::uint8_t* from = Row(y) + static_cast<std::size_t>(channel) * sample;
    std::uint8_t* to = one.Row(y);
    for (int x = 0; x < width_; ++x, from += pixel, to += sample) std::memcpy(to, from, sample);
  }
  return one;
}

std::pair<double, double> Picture::SampleRange() const {
  if (Empty()) return {0.0, 0.0};
  unsigned low = Sample(0, 0), high = low;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      for (int c = 0; c < channels_; ++c) {
        low = std::min(low, Sample(x, y, c));
        high = std::max(high, Sample(x, y, c));
      }
    }
  }
  return {static_cast<double>(low), static_cast<double>(high)};
}

std::string Picture::Describe() const {
  const std::string bits = depth_ == Depth::Bits16 ? "16-bit" : "8-bit";
  switch (channels_) {
    case 1:
      return bits + " grey";
    case 2:
      return bits + " grey with alpha";
    case 3:
      return bits + " colour";
    default:
      return bits + " colour with alpha";
  }
}

}  // namespace Smartseg
