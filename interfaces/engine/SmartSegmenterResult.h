// The engine's result of segmenting one label.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/core/PixelMask.h"
#include "interfaces/core/ShareableBase.h"
#include "interfaces/smartcore/ISmartSegmenterResult.h"

namespace Tamrix::Vision::SmartSegmenter {

// An immutable segmentation of one label: the mask of the label's pixels and, optionally, the
// probability of every pixel. Area() and Bounds() are derived from the mask; Bounds() covers the
// whole of each pixel, so a single pixel (x, y) gives [x - 0.5, x + 0.5] x [y - 0.5, y + 0.5].
class SmartSegmenterResult : public ShareableBase, public virtual SmartCore::ISmartSegmenterResult {
 public:
  // Throws ArgumentException when `probabilities` is neither empty nor one value per pixel of
  // `mask`, or holds a value outside [0, 1].
  SmartSegmenterResult(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                       std::string labelName, PixelMask mask, std::vector<float> probabilities);
  ~SmartSegmenterResult() override;

  std::string LabelName() const override { return labelName_; }
  int Width() const override { return mask_.Width(); }
  int Height() const override { return mask_.Height(); }
  const PixelMask& Mask() const override { return mask_; }
  const std::vector<float>& Probabilities() const override { return probabilities_; }
  long long Area() const override { return area_; }
  BoundingBox Bounds() const override { return bounds_; }

 private:
  friend class cereal::access;
  SmartSegmenterResult();

  void UpdateDerived();

  // Record: ShareableBase part, label name, width, height (signed 32-bit), mask bytes (count then
  // bytes, each 0 or 1), probabilities (count then 32-bit floats; 0 or width * height of them).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  std::string labelName_;
  PixelMask mask_;
  std::vector<float> probabilities_;
  long long area_ = 0;
  BoundingBox bounds_;

  RTTR_ENABLE(ShareableBase, SmartCore::ISmartSegmenterResult)
};

}  // namespace Tamrix::Vision::SmartSegmenter

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartSegmenter::SmartSegmenterResult, 1)
