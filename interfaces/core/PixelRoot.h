// The pixel memory of grey and colour images: Image8Root and Image16Root (their own headers) are
// the two instances.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/core/ShareableBase.h"

namespace Tamrix::Vision {

// What differs between the root types besides the pixel type.
template <typename Pixel>
struct PixelRootKind;

template <>
struct PixelRootKind<std::uint8_t> {
  using Buffer = IImage8RootBuffer;
  using Memory = IImage8PixelMemory;
  static constexpr const char* kName = "Image8Root";
};

template <>
struct PixelRootKind<std::uint16_t> {
  using Buffer = IImage16RootBuffer;
  using Memory = IImage16PixelMemory;
  static constexpr const char* kName = "Image16Root";
};

// Owns width x height pixels, row after row without padding (Stride() == Width()), zeroed on
// creation. Views (the grey images, Image24PlanarColor's planes) share one root through
// std::shared_ptr and read and write its memory directly; the root itself announces nothing.
// Sizes are limited to 2^31 pixels. Not synchronised: concurrent writers must coordinate among
// themselves.
template <typename Pixel>
class PixelRoot : public ShareableBase,
                  public virtual PixelRootKind<Pixel>::Buffer,
                  public virtual PixelRootKind<Pixel>::Memory {
 public:
  // Throws ArgumentException for a negative or too large size.
  PixelRoot(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width, int height);
  ~PixelRoot() override = default;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Pixels (for 8 bits also bytes) from one row to the next.
  std::ptrdiff_t Stride() const override { return width_; }

  Pixel* Buffer() override { return pixels_.data(); }
  const Pixel* Buffer() const override { return pixels_.data(); }

  Pixel* Data() override { return pixels_.data(); }
  const Pixel* Data() const override { return pixels_.data(); }
  // Pixels (for 8 bits also bytes) of memory: Width() * Height().
  std::size_t Size() const override { return pixels_.size(); }

 private:
  friend class cereal::access;
  PixelRoot() = default;

  // Record: ShareableBase part, width, height, pixel count, pixels in the archive's byte order.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  int width_ = 0;
  int height_ = 0;
  std::vector<Pixel> pixels_;

  RTTR_ENABLE(ShareableBase, typename PixelRootKind<Pixel>::Buffer,
              typename PixelRootKind<Pixel>::Memory)
};

extern template class PixelRoot<std::uint8_t>;
extern template class PixelRoot<std::uint16_t>;

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::PixelRoot<std::uint8_t>, 1)
CEREAL_CLASS_VERSION(Tamrix::Vision::PixelRoot<std::uint16_t>, 1)
