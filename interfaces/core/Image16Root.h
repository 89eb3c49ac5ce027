// The pixel memory of 16-bit images.
#pragma once

#include <cstdint>
#include <vector>

#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/core/ShareableBase.h"

namespace Tamrix::Vision {

// Owns width x height 16-bit pixels, row after row without padding (Stride() == Width()), zeroed
// on creation. Views (Image16Grey) share one root through std::shared_ptr and
// read and write its memory directly; the root itself announces nothing. Sizes are limited to
// 2^31 pixels. Not synchronised: concurrent writers must coordinate among themselves.
class Image16Root : public ShareableBase,
                    public virtual IImage16RootBuffer,
                    public virtual IImage16PixelMemory {
 public:
  // Throws ArgumentException for a negative or too large size.
  Image16Root(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width, int height);
  ~Image16Root() override = default;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Pixels (not bytes) from one row to the next.
  std::ptrdiff_t Stride() const override { return width_; }

  std::uint16_t* Buffer() override { return pixels_.data(); }
  const std::uint16_t* Buffer() const override { return pixels_.data(); }

  std::uint16_t* Data() override { return pixels_.data(); }
  const std::uint16_t* Data() const override { return pixels_.data(); }
  // Pixels (not bytes) of memory: Width() * Height().
  std::size_t Size() const override { return pixels_.size(); }

 private:
  friend class cereal::access;
  Image16Root() = default;

  // Record: ShareableBase part, width, height, pixel count, pixels in the archive's byte order.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint16_t> pixels_;

  RTTR_ENABLE(ShareableBase, IImage16RootBuffer, IImage16PixelMemory)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::Image16Root, 1)
