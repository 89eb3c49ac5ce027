// The engine's result of segmenting one label.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "interfaces/core/PixelMask.h"
#include "interfaces/core/ShareableBase.h"
#include "interfaces/smartcore/ISmartSegmenterResult.h"

namespace Tamrix::Vision::SmartSegmenter {

// An immutable segmentation of one label: the mask of the label's pixels and, optionally, the
// probability of every pixel. Area() and Bounds() are derived from the mask; Bounds() covers the
// whole of each pixel, so a single pixel (x, y) gives [x - 0.5, x + 0.5] x [y - 0.5, y + 0.5].
//
// Probabilities are kept either as given (floats) or compactly as levels: one byte per pixel, the
// probability level / 255. A large image with many labels then holds two bytes per pixel and label
// instead of five; Probabilities() unpacks levels into floats once, on its first call, for hosts
// that want them all, while ProbabilityAt() reads a level without unpacking.
class SmartSegmenterResult : public ShareableBase, public virtual SmartCore::ISmartSegmenterResult {
 public:
  // The largest probability level: level k stands for probability k / kMaxLevel.
  static constexpr int kMaxLevel = 255;

  // Throws ArgumentException when `probabilities` is neither empty nor one value per pixel of
  // `mask`, or holds a value outside [0, 1].
  SmartSegmenterResult(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                       std::string labelName, PixelMask mask, std::vector<float> probabilities);
  // A compact result. Throws ArgumentException when `levels` is neither empty nor one per pixel of
  // `mask`.
  SmartSegmenterResult(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                       std::string labelName, PixelMask mask, std::vector<std::uint8_t> levels);
  ~SmartSegmenterResult() override;

  std::string LabelName() const override { return labelName_; }
  int Width() const override { return mask_.Width(); }
  int Height() const override { return mask_.Height(); }
  const PixelMask& Mask() const override { return mask_; }
  // Thread-safe; the first call on a compact result unpacks its levels.
  const std::vector<float>& Probabilities() const override;
  float ProbabilityAt(std::size_t index) const override;
  // The probability levels of a compact result; empty otherwise.
  const std::vector<std::uint8_t>& Levels() const { return levels_; }
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
  // Either the probabilities as given, or levels_ and (once asked for) their unpacked floats.
  mutable std::vector<float> probabilities_;
  std::vector<std::uint8_t> levels_;
  mutable std::once_flag unpacked_;
  long long area_ = 0;
  BoundingBox bounds_;

  RTTR_ENABLE(ShareableBase, SmartCore::ISmartSegmenterResult)
};

}  // namespace Tamrix::Vision::SmartSegmenter

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartSegmenter::SmartSegmenterResult, 1)
