// One label's result of a segmentation.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/core/IObject.h"
#include "interfaces/core/PixelMask.h"

namespace Tamrix::Vision::SmartCore {

// The pixels of an executed image that a segmenter assigned to one label.
class ISmartSegmenterResult : public virtual Tamrix::Vorn::IObject {
 public:
  virtual std::string LabelName() const = 0;
  // The size of the executed image.
  virtual int Width() const = 0;
  virtual int Height() const = 0;
  // Width() x Height(): 1 where the pixel belongs to the label. A result that keeps its mask
  // compactly unpacks it on the first call; hosts that read pixel by pixel use MaskAt.
  virtual const Tamrix::Vision::PixelMask& Mask() const = 0;
  // Whether pixel `index` (row-major) belongs to the label.
  virtual bool MaskAt(std::size_t index) const { return Mask().Data()[index] != 0; }
  // Row `y` of the mask, Width() values of 0 or 1, into `out`; for hosts that write images.
  virtual void MaskRow(int y, std::uint8_t* out) const {
    const std::size_t first = static_cast<std::size_t>(y) * static_cast<std::size_t>(Width());
    for (int x = 0; x < Width(); ++x) out[x] = MaskAt(first + static_cast<std::size_t>(x)) ? 1 : 0;
  }
  // One probability per pixel, row-major; empty when the segmenter gives none. A result that keeps
  // its probabilities compactly unpacks them on the first call, so hosts that only need single
  // values (ProbabilityAt) or the mask should not call it.
  virtual const std::vector<float>& Probabilities() const = 0;
  // The probability of pixel `index` (row-major) without unpacking a compact result: where the
  // segmenter gives no probabilities, 1 inside Mask() and 0 outside.
  virtual float ProbabilityAt(std::size_t index) const {
    const std::vector<float>& probabilities = Probabilities();
    if (!probabilities.empty()) return probabilities[index];
    return MaskAt(index) ? 1.0f : 0.0f;
  }
  // Row `y` of the probabilities (ProbabilityAt of each pixel), Width() values, into `out`.
  virtual void ProbabilityRow(int y, float* out) const {
    const std::size_t first = static_cast<std::size_t>(y) * static_cast<std::size_t>(Width());
    for (int x = 0; x < Width(); ++x) out[x] = ProbabilityAt(first + static_cast<std::size_t>(x));
  }
  // The number of pixels set in Mask().
  virtual long long Area() const = 0;
  // The smallest box holding every pixel of Mask(); empty when Area() is 0.
  virtual Tamrix::Vision::BoundingBox Bounds() const = 0;

  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

}  // namespace Tamrix::Vision::SmartCore
