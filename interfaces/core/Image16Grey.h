// 16-bit grey images: rectangular views of shared 16-bit pixel memory.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Image16Root.h"
#include "interfaces/core/ImageInterfaces.h"

namespace Tamrix::Vision {

// A Width() x Height() rectangle of an IImage16RootBuffer, starting at (OffsetX(), OffsetY()) of
// the root. Views share the root: making a view or a sub-image copies no pixels, and a write
// through one view is visible through every view of the same memory.
//
// PixelGeneration() counts the occasions on which pixels may have changed through this view:
// each MutableRow() call, Fill() and MarkPixelsChanged(). Writes through another view or the root
// are not seen here; whoever makes them announces them with MarkPixelsChanged(). Fill() and
// MarkPixelsChanged() raise OnChanged_(SfPixels) after counting. Pixel memory is not
// synchronised; the generation counter may be read from any thread.
class Image16Grey : public ChangedEventShareableBase,
                    public virtual IImage,
                    public virtual IImage16GreyData {
 public:
  // Raised by Fill() and MarkPixelsChanged().
  static const long long SfPixels;

  // A new, zeroed image with its own root. Throws ArgumentException for a negative or too large
  // size (the limit is 2^31 pixels).
  Image16Grey(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width, int height);
  // A view of all of `root`. Throws ArgumentException when `root` is null.
  Image16Grey(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
              std::shared_ptr<IImage16RootBuffer> root);
  // A view of the rectangle (x, y, width, height) of `root`. Throws ArgumentException when `root`
  // is null or the rectangle does not lie inside it.
  Image16Grey(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
              std::shared_ptr<IImage16RootBuffer> root, int x, int y, int width, int height);
  ~Image16Grey() override = default;

  // A new image holding a copy of `pixels`, whose rows are `stride` pixels apart. Throws
  // ArgumentException for an invalid size, a stride below the width, or null pixels with a
  // non-empty size.
  static std::shared_ptr<Image16Grey> FromPixels(int width, int height, const std::uint16_t* pixels,
                                                 std::ptrdiff_t stride);

  // A view of the rectangle (x, y, width, height) of this image, sharing its root. Throws
  // ArgumentException when the rectangle does not lie inside this image.
  std::shared_ptr<Image16Grey> SubImage(int x, int y, int width, int height) const;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  PixelFormat Format() const override { return PixelFormat::Grey16; }
  int ChannelCount() const override { return 1; }
  double Value(int x, int y, int channel = 0) const override;
  std::uint64_t PixelGeneration() const override { return generation_.load(); }

  // Row(y)[x] is pixel (x, y). Both throw ArgumentException for a row outside the image.
  const std::uint16_t* Row(int y) const override;
  std::uint16_t* MutableRow(int y) override;
  // Pixels (not bytes) between rows: the root's stride.
  std::ptrdiff_t Stride() const override { return root_->Stride(); }

  // Sets every pixel of this view (not the rest of the root) to `value`.
  void Fill(std::uint16_t value);
  // Counts a change made to the pixels and raises OnChanged_(SfPixels).
  void MarkPixelsChanged();

  const std::shared_ptr<IImage16RootBuffer>& Root() const { return root_; }
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }

 private:
  friend class cereal::access;
  Image16Grey() = default;

  // Record: ChangedEventShareableBase part, root (a shared pointer, so views of one root stay
  // sharing it), offset x, offset y, width, height.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  std::uint16_t* RowAddress(const char* operation, int y) const;

  std::shared_ptr<IImage16RootBuffer> root_;
  int offsetX_ = 0;
  int offsetY_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::atomic<std::uint64_t> generation_{0};

  RTTR_ENABLE(ChangedEventShareableBase, IImage, IImage16GreyData)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::Image16Grey, 1)
