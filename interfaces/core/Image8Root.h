// The pixel memory of 8-bit images.
#pragma once

#include <cstdint>
#include <vector>

#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/core/ShareableBase.h"

namespace Tamrix::Vision {

// Owns width x height 8-bit pixels, row after row without padding (Stride() == Width()), zeroed
// on creation. Views (Image8Grey, Image24PlanarColor) share one root through std::shared_ptr and
// read and write its memory directly; the root itself announces nothing. Sizes are limited to
// 2^31 pixels. Not synchronised: concurrent writers must coordinate among themselves.
class Image8Root : public ShareableBase,
                   public virtual IImage8RootBuffer,
                   public virtual IImage8PixelMemory {
 public:
  // Throws ArgumentException for a negative or too large size.
  Image8Root(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width, int height);
  ~Image8Root() override = default;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Bytes from one row to the next.
  std::ptrdiff_t Stride() const override { return width_; }

  std::uint8_t* Buffer() override { return pixels_.data(); }
  const std::uint8_t* Buffer() const override { return pixels_.data(); }

  std::uint8_t* Data() override { return pixels_.data(); }
  const std::uint8_t* Data() const override { return pixels_.data(); }
  // Bytes of pixel memory: Width() * Height().
  std::size_t Size() const override { return pixels_.size(); }

 private:
  friend class cereal::access;
  Image8Root() = default;

  // Record: ShareableBase part, width, height, pixel count, pixels.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> pixels_;

  RTTR_ENABLE(ShareableBase, IImage8RootBuffer, IImage8PixelMemory)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::Image8Root, 1)
