// Grey images: rectangular views of shared 8-bit or 16-bit pixel memory. Image8Grey and
// Image16Grey (their own headers) are the two instances.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Image16Root.h"
#include "interfaces/core/Image8Root.h"
#include "interfaces/core/ImageInterfaces.h"

namespace Tamrix::Vision {

// What differs between the grey image types besides the pixel type.
template <typename Pixel>
struct GreyImageKind;

template <>
struct GreyImageKind<std::uint8_t> {
  using RootBuffer = IImage8RootBuffer;
  using Root = Image8Root;
  using Data = IImage8GreyData;
  static constexpr PixelFormat kFormat = PixelFormat::Grey8;
  static constexpr const char* kName = "Image8Grey";
};

template <>
struct GreyImageKind<std::uint16_t> {
  using RootBuffer = IImage16RootBuffer;
  using Root = Image16Root;
  using Data = IImage16GreyData;
  static constexpr PixelFormat kFormat = PixelFormat::Grey16;
  static constexpr const char* kName = "Image16Grey";
};

// A Width() x Height() rectangle of a root buffer, starting at (OffsetX(), OffsetY()) of the
// root. Views share the root: making a view or a sub-image copies no pixels, and a write through
// one view is visible through every view of the same memory.
//
// PixelGeneration() counts the occasions on which pixels may have changed through this view:
// each MutableRow() call, Fill() and MarkPixelsChanged(). Writes through another view or the root
// are not seen here; whoever makes them announces them with MarkPixelsChanged(). Fill() and
// MarkPixelsChanged() raise OnChanged_(SfPixels) after counting. Pixel memory is not
// synchronised; the generation counter may be read from any thread.
template <typename Pixel>
class GreyImage : public ChangedEventShareableBase,
                  public virtual IImage,
                  public virtual GreyImageKind<Pixel>::Data {
 public:
  using RootBuffer = typename GreyImageKind<Pixel>::RootBuffer;

  // Raised by Fill() and MarkPixelsChanged().
  static constexpr long long SfPixels = 1;

  // A new, zeroed image with its own root. Throws ArgumentException for a negative or too large
  // size (the limit is 2^31 pixels).
  GreyImage(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width, int height);
  // A view of all of `root`. Throws ArgumentException when `root` is null.
  GreyImage(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
            std::shared_ptr<RootBuffer> root);
  // A view of the rectangle (x, y, width, height) of `root`. Throws ArgumentException when `root`
  // is null or the rectangle does not lie inside it.
  GreyImage(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
            std::shared_ptr<RootBuffer> root, int x, int y, int width, int height);
  ~GreyImage() override = default;

  // A new image holding a copy of `pixels`, whose rows are `stride` pixels apart. Throws
  // ArgumentException for an invalid size, a stride below the width, or null pixels with a
  // non-empty size.
  static std::shared_ptr<GreyImage> FromPixels(int width, int height, const Pixel* pixels,
                                               std::ptrdiff_t stride);

  // A view of the rectangle (x, y, width, height) of this image, sharing its root. Throws
  // ArgumentException when the rectangle does not lie inside this image.
  std::shared_ptr<GreyImage> SubImage(int x, int y, int width, int height) const;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  PixelFormat Format() const override { return GreyImageKind<Pixel>::kFormat; }
  int ChannelCount() const override { return 1; }
  double Value(int x, int y, int channel = 0) const override;
  std::uint64_t PixelGeneration() const override { return generation_.load(); }

  // Row(y)[x] is pixel (x, y). Both throw ArgumentException for a row outside the image.
  const Pixel* Row(int y) const override;
  Pixel* MutableRow(int y) override;
  // Pixels (for 8 bits also bytes) between rows: the root's stride.
  std::ptrdiff_t Stride() const override { return root_->Stride(); }

  // Sets every pixel of this view (not the rest of the root) to `value`.
  void Fill(Pixel value);
  // Counts a change made to the pixels and raises OnChanged_(SfPixels).
  void MarkPixelsChanged();

  const std::shared_ptr<RootBuffer>& Root() const { return root_; }
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }

 private:
  friend class cereal::access;
  GreyImage() = default;

  // Record: ChangedEventShareableBase part, root (a shared pointer, so views of one root stay
  // sharing it), offset x, offset y, width, height.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  Pixel* RowAddress(const char* method, int y) const;

  std::shared_ptr<RootBuffer> root_;
  int offsetX_ = 0;
  int offsetY_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::atomic<std::uint64_t> generation_{0};

  RTTR_ENABLE(ChangedEventShareableBase, IImage, typename GreyImageKind<Pixel>::Data)
};

extern template class GreyImage<std::uint8_t>;
extern template class GreyImage<std::uint16_t>;

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::GreyImage<std::uint8_t>, 1)
CEREAL_CLASS_VERSION(Tamrix::Vision::GreyImage<std::uint16_t>, 1)
