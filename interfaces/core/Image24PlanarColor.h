// 24-bit colour images stored as three 8-bit planes.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/Image8Root.h"
#include "interfaces/core/ImageInterfaces.h"

namespace Tamrix::Vision {

// A Width() x Height() rectangle, at (OffsetX(), OffsetY()), of three equally sized 8-bit roots:
// channel 0 red, 1 green, 2 blue. Like Image8Grey it is a view: sub-images and channel views
// share the planes without copying, and PixelGeneration() counts MutableRow() calls, Fill() and
// MarkPixelsChanged() made through this image; the last two raise OnChanged_(SfPixels). Pixel
// memory is not synchronised; the generation counter may be read from any thread.
class Image24PlanarColor : public ChangedEventShareableBase,
                           public virtual IImage,
                           public virtual IImage24PlanarColorData {
 public:
  using Planes = std::array<std::shared_ptr<IImage8RootBuffer>, 3>;

  // Raised by Fill() and MarkPixelsChanged().
  static const long long SfPixels;

  // A new, black image with three new planes. Throws ArgumentException for a negative or too
  // large size (the limit is 2^31 pixels).
  Image24PlanarColor(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, int width,
                     int height);
  // A view of all of `planes`. Throws ArgumentException when a plane is null or the planes differ
  // in width, height or stride.
  Image24PlanarColor(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, Planes planes);
  // A view of the rectangle (x, y, width, height) of `planes`; throws as above and when the
  // rectangle does not lie inside the planes.
  Image24PlanarColor(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, Planes planes,
                     int x, int y, int width, int height);
  ~Image24PlanarColor() override = default;

  // A view of the rectangle (x, y, width, height) of this image, sharing its planes. Throws
  // ArgumentException when the rectangle does not lie inside this image.
  std::shared_ptr<Image24PlanarColor> SubImage(int x, int y, int width, int height) const;
  // A grey view of one channel of this image, sharing that plane. Throws ArgumentException for a
  // channel outside [0, 3).
  std::shared_ptr<Image8Grey> Channel(int channel) const;

  int Width() const override { return width_; }
  int Height() const override { return height_; }
  PixelFormat Format() const override { return PixelFormat::PlanarColor24; }
  int ChannelCount() const override { return 3; }
  double Value(int x, int y, int channel = 0) const override;
  std::uint64_t PixelGeneration() const override { return generation_.load(); }

  // Row(c, y)[x] is channel c of pixel (x, y). Both throw ArgumentException for a channel or row
  // outside the image.
  const std::uint8_t* Row(int channel, int y) const override;
  std::uint8_t* MutableRow(int channel, int y) override;
  // Bytes between rows, the same in every plane.
  std::ptrdiff_t Stride() const override { return planes_[0]->Stride(); }

  // Sets every pixel of this view (not the rest of the planes) to the colour.
  void Fill(std::uint8_t red, std::uint8_t green, std::uint8_t blue);
  // Counts a change made to the pixels and raises OnChanged_(SfPixels).
  void MarkPixelsChanged();

  const Planes& PlaneRoots() const { return planes_; }
  int OffsetX() const { return offsetX_; }
  int OffsetY() const { return offsetY_; }

 private:
  friend class cereal::access;
  Image24PlanarColor() = default;

  // Record: ChangedEventShareableBase part, the red, green and blue roots (shared pointers),
  // offset x, offset y, width, height.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  std::uint8_t* RowAddress(const char* operation, int channel, int y) const;

  Planes planes_;
  int offsetX_ = 0;
  int offsetY_ = 0;
  int width_ = 0;
  int height_ = 0;
  std::atomic<std::uint64_t> generation_{0};

  RTTR_ENABLE(ChangedEventShareableBase, IImage, IImage24PlanarColorData)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::Image24PlanarColor, 1)
