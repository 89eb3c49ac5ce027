// Interfaces of images and of the pixel memory behind them.
#pragma once

#include <cstdint>

#include "interfaces/core/IChangedEvent.h"

namespace Tamrix::Vision {

enum class PixelFormat : int { Grey8 = 0, Grey16 = 1, PlanarColor24 = 2 };

// An image: width x height pixels of one format. Pixel (x, y) is x columns right and y rows down
// from the top-left pixel (0, 0). Concrete images also implement the data interface of their
// format (IImage8GreyData, IImage16GreyData, IImage24PlanarColorData) for direct pixel access.
class IImage : public virtual IChangedEvent {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual PixelFormat Format() const = 0;
  // 1 for grey, 3 for colour.
  virtual int ChannelCount() const = 0;
  // The value of one channel of one pixel, for code that does not care about the format.
  // Throws ArgumentException for a position or channel outside the image.
  virtual double Value(int x, int y, int channel = 0) const = 0;
  // Incremented whenever the pixels change, so that caches keyed by image can tell.
  virtual std::uint64_t PixelGeneration() const = 0;
  RTTR_ENABLE(IChangedEvent)
};

// Rows of 8-bit pixels: Row(y)[x] is pixel (x, y); rows are Stride() bytes apart.
class IImage8GreyData : public virtual Tamrix::Vorn::IObject {
 public:
  virtual const std::uint8_t* Row(int y) const = 0;
  virtual std::uint8_t* MutableRow(int y) = 0;
  virtual std::ptrdiff_t Stride() const = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

// Rows of 16-bit pixels: Row(y)[x] is pixel (x, y); rows are Stride() elements apart.
class IImage16GreyData : public virtual Tamrix::Vorn::IObject {
 public:
  virtual const std::uint16_t* Row(int y) const = 0;
  virtual std::uint16_t* MutableRow(int y) = 0;
  virtual std::ptrdiff_t Stride() const = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

// Three 8-bit planes (0 red, 1 green, 2 blue): Row(c, y)[x] is channel c of pixel (x, y).
class IImage24PlanarColorData : public virtual Tamrix::Vorn::IObject {
 public:
  virtual const std::uint8_t* Row(int channel, int y) const = 0;
  virtual std::uint8_t* MutableRow(int channel, int y) = 0;
  virtual std::ptrdiff_t Stride() const = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

// Raw pixel memory, shared by the images that view it.
class IImage8PixelMemory : public virtual Tamrix::Vorn::IObject {
 public:
  virtual std::uint8_t* Data() = 0;
  virtual const std::uint8_t* Data() const = 0;
  virtual std::size_t Size() const = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

class IImage16PixelMemory : public virtual Tamrix::Vorn::IObject {
 public:
  virtual std::uint16_t* Data() = 0;
  virtual const std::uint16_t* Data() const = 0;
  virtual std::size_t Size() const = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

// The root of an image tree: the full-size buffer that sub-images view.
class IImage8Root : public virtual Tamrix::Vorn::IObject {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual std::ptrdiff_t Stride() const = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

class IImage8RootBuffer : public virtual IImage8Root {
 public:
  virtual std::uint8_t* Buffer() = 0;
  virtual const std::uint8_t* Buffer() const = 0;
  RTTR_ENABLE(IImage8Root)
};

class IImage16Root : public virtual Tamrix::Vorn::IObject {
 public:
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  virtual std::ptrdiff_t Stride() const = 0;
  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

class IImage16RootBuffer : public virtual IImage16Root {
 public:
  virtual std::uint16_t* Buffer() = 0;
  virtual const std::uint16_t* Buffer() const = 0;
  RTTR_ENABLE(IImage16Root)
};

}  // namespace Tamrix::Vision
