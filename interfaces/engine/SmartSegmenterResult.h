// The engine's result of segmenting one label.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "interfaces/core/PixelMask.h"
#include "interfaces/core/ShareableBase.h"
#include "interfaces/engine/LevelBlocks.h"
#include "interfaces/smartcore/ISmartSegmenterResult.h"

namespace Tamrix::Vision::SmartSegmenter {

// An immutable segmentation of one label: the mask of the label's pixels and, optionally, the
// probability of every pixel. Area() and Bounds() are derived from the mask; Bounds() covers the
// whole of each pixel, so a single pixel (x, y) gives [x - 0.5, x + 0.5] x [y - 0.5, y + 0.5].
//
// A result is kept either as given (mask and float probabilities) or compactly as levels: level k
// stands for probability k / 255, the mask being the pixels whose level reaches kMaskLevel (a
// probability of at least 0.5), and the levels are packed in LevelBlocks. A large image with many
// labels then holds at most a byte per pixel and label, often far less, instead of five. MaskAt()
// and ProbabilityAt() read levels directly; Mask() and Probabilities() unpack them, each once, on
// their first call, for hosts that want them whole.
class SmartSegmenterResult : public ShareableBase, public virtual SmartCore::ISmartSegmenterResult {
 public:
  // The largest probability level: level k stands for probability k / kMaxLevel.
  static constexpr int kMaxLevel = 255;
  // The lowest level of a mask pixel: the level of every probability from 0.5 up when levels are
  // probabilities x kMaxLevel, rounded to the nearest (halves away from zero).
  static constexpr int kMaskLevel = 128;

  // Throws ArgumentException when `probabilities` is neither empty nor one value per pixel of
  // `mask`, or holds a value outside [0, 1].
  SmartSegmenterResult(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                       std::string labelName, PixelMask mask, std::vector<float> probabilities);
  // A compact result of a width x height image. Throws ArgumentException for a negative size or
  // when `levels` does not hold one level per pixel.
  SmartSegmenterResult(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                       std::string labelName, int width, int height,
                       std::vector<std::uint8_t> levels);
  ~SmartSegmenterResult() override;

  std::string LabelName() const override { return labelName_; }
  int Width() const override { return width_; }
  int Height() const override { return height_; }
  // Thread-safe, as Probabilities(); the first call on a compact result unpacks its levels.
  const PixelMask& Mask() const override;
  bool MaskAt(std::size_t index) const override;
  void MaskRow(int y, std::uint8_t* out) const override;
  const std::vector<float>& Probabilities() const override;
  float ProbabilityAt(std::size_t index) const override;
  void ProbabilityRow(int y, float* out) const override;
  // Whether the result keeps levels (see above).
  bool Compact() const { return compact_; }
  // Bytes held by the levels of a compact result, for diagnostics and tests.
  std::size_t LevelBytes() const { return levels_.Bytes(); }
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
  int width_ = 0, height_ = 0;
  // Either the mask and probabilities as given, or levels_ and (once asked for) the mask and
  // floats unpacked from them.
  mutable PixelMask mask_;
  mutable std::vector<float> probabilities_;
  bool compact_ = false;
  LevelBlocks levels_;
  mutable std::once_flag maskUnpacked_, probabilitiesUnpacked_;
  long long area_ = 0;
  BoundingBox bounds_;

  RTTR_ENABLE(ShareableBase, SmartCore::ISmartSegmenterResult)
};

}  // namespace Tamrix::Vision::SmartSegmenter

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartSegmenter::SmartSegmenterResult, 1)
