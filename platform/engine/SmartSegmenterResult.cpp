#include "interfaces/engine/SmartSegmenterResult.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"

namespace Tamrix::Vision::SmartSegmenter {

namespace {

// Index of the first probability that is not a number in [0, 1], or -1.
long long FirstInvalidProbability(const std::vector<float>& probabilities) {
  for (std::size_t i = 0; i < probabilities.size(); ++i) {
    if (!(probabilities[i] >= 0.0f && probabilities[i] <= 1.0f)) return static_cast<long long>(i);
  }
  return -1;
}

float LevelProbability(std::uint8_t level) {
  return static_cast<float>(level) / static_cast<float>(SmartSegmenterResult::kMaxLevel);
}

}  // namespace

SmartSegmenterResult::SmartSegmenterResult(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, std::string labelName,
    PixelMask mask, std::vector<float> probabilities)
    : ShareableBase(token),
      labelName_(std::move(labelName)),
      width_(mask.Width()),
      height_(mask.Height()),
      mask_(std::move(mask)),
      probabilities_(std::move(probabilities)) {
  const auto pixels = mask_.Data().size();
  if (!probabilities_.empty() && probabilities_.size() != pixels) {
    throw ArgumentException("SmartSegmenterResult: expected no probabilities or one per pixel (" +
                            std::to_string(pixels) + "), found " +
                            std::to_string(probabilities_.size()));
  }
  if (const long long bad = FirstInvalidProbability(probabilities_); bad >= 0) {
    throw ArgumentException("SmartSegmenterResult: expected probabilities in [0, 1], found " +
                            std::to_string(probabilities_[static_cast<std::size_t>(bad)]) +
                            " at pixel " + std::to_string(bad));
  }
  UpdateDerived();
}

SmartSegmenterResult::SmartSegmenterResult(
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token, std::string labelName, int width,
    int height, std::vector<std::uint8_t> levels)
    : ShareableBase(token),
      labelName_(std::move(labelName)),
      width_(width),
      height_(height),
      compact_(true) {
  if (width < 0 || height < 0) {
    throw ArgumentException("SmartSegmenterResult: expected a size of at least 0 x 0, found " +
                            std::to_string(width) + " x " + std::to_string(height));
  }
  const auto pixels = static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
  if (levels.size() != pixels) {
    throw ArgumentException("SmartSegmenterResult: expected one probability level per pixel (" +
                            std::to_string(pixels) + "), found " + std::to_string(levels.size()));
  }
  levels_ = LevelBlocks(levels.data(), width, height);
  std::vector<std::uint8_t>().swap(levels);
  UpdateDerived();
}

SmartSegmenterResult::SmartSegmenterResult() = default;
SmartSegmenterResult::~SmartSegmenterResult() = default;

const PixelMask& SmartSegmenterResult::Mask() const {
  if (compact_) {
    std::call_once(maskUnpacked_, [this] {
      PixelMask mask(width_, height_);
      auto& bits = mask.Data();
      levels_.Unpack(bits.data());
      for (auto& bit : bits) bit = bit >= kMaskLevel ? 1 : 0;
      mask_ = std::move(mask);
    });
  }
  return mask_;
}

bool SmartSegmenterResult::MaskAt(std::size_t index) const {
  if (compact_) return levels_.At(index) >= kMaskLevel;
  return mask_.Data()[index] != 0;
}

void SmartSegmenterResult::MaskRow(int y, std::uint8_t* out) const {
  if (!compact_) {
    ISmartSegmenterResult::MaskRow(y, out);
    return;
  }
  levels_.UnpackRow(y, out);
  for (int x = 0; x < width_; ++x) out[x] = out[x] >= kMaskLevel ? 1 : 0;
}

void SmartSegmenterResult::ProbabilityRow(int y, float* out) const {
  if (!compact_) {
    ISmartSegmenterResult::ProbabilityRow(y, out);
    return;
  }
  std::vector<std::uint8_t> levels(static_cast<std::size_t>(width_));
  levels_.UnpackRow(y, levels.data());
  for (int x = 0; x < width_; ++x) {
    out[x] = LevelProbability(levels[x]);
  }
}

const std::vector<float>& SmartSegmenterResult::Probabilities() const {
  if (compact_) {
    std::call_once(probabilitiesUnpacked_, [this] {
      std::vector<std::uint8_t> levels(static_cast<std::size_t>(width_) * height_);
      levels_.Unpack(levels.data());
      probabilities_.resize(levels.size());
      for (std::size_t i = 0; i < levels.size(); ++i) {
        probabilities_[i] = LevelProbability(levels[i]);
      }
    });
  }
  return probabilities_;
}

float SmartSegmenterResult::ProbabilityAt(std::size_t index) const {
  if (compact_) return LevelProbability(levels_.At(index));
  if (!probabilities_.empty()) return probabilities_[index];
  return mask_.Data()[index] != 0 ? 1.0f : 0.0f;
}

void SmartSegmenterResult::UpdateDerived() {
  area_ = 0;
  int minX = width_, minY = height_, maxX = -1, maxY = -1;
  const auto add = [&](int x, int y) {
    ++area_;
    minX = std::min(minX, x);
    maxX = std::max(maxX, x);
    minY = std::min(minY, y);
    maxY = std::max(maxY, y);
  };
  if (compact_) {
    // Row by row: the row's count in a loop that vectorises, then its first and last pixel. A
    // plane 0 pixels wide and a billion rows high holds no pixels and must cost nothing.
    std::vector<std::uint8_t> row(static_cast<std::size_t>(width_));
    for (int y = 0; y < (width_ > 0 ? height_ : 0); ++y) {
      levels_.UnpackRow(y, row.data());
      int count = 0;
      for (int x = 0; x < width_; ++x) count += row[static_cast<std::size_t>(x)] >= kMaskLevel;
      if (count == 0) continue;
      int first = 0, last = width_ - 1;
      while (row[static_cast<std::size_t>(first)] < kMaskLevel) ++first;
      while (row[static_cast<std::size_t>(last)] < kMaskLevel) --last;
      add(first, y);
      add(last, y);
      area_ += count - 2;
    }
  } else {
    // Walks the pixels rather than the rows, for the same reason.
    const auto& bits = mask_.Data();
    const auto width = static_cast<std::size_t>(width_);
    for (std::size_t i = 0; i < bits.size(); ++i) {
      if (bits[i]) add(static_cast<int>(i % width), static_cast<int>(i / width));
    }
  }
  bounds_ =
      area_ == 0 ? BoundingBox{} : BoundingBox{minX - 0.5, minY - 0.5, maxX + 0.5, maxY + 0.5};
}

template <class Archive>
void SmartSegmenterResult::serialize(Archive& archive, std::uint32_t version) {
  namespace A = Tamrix::Vision::Archiving;
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "SmartSegmenterResult::serialize()");
    archive(cereal::base_class<ShareableBase>(this));
    std::string labelName;
    A::LoadString(archive, labelName);
    std::int32_t width = 0, height = 0;
    archive(width, height);
    if (width < 0 || height < 0) {
      throw cereal::Exception("SmartSegmenterResult: expected a size of at least 0 x 0, found " +
                              std::to_string(width) + " x " + std::to_string(height));
    }
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height);
    // The mask bytes are read before the mask is made, so a corrupt size cannot request more
    // memory than the archive actually holds.
    std::vector<std::uint8_t> bits;
    A::LoadArithmeticVector(archive, bits);
    if (bits.size() != pixels) {
      throw cereal::Exception("SmartSegmenterResult: expected " + std::to_string(pixels) +
                              " mask bytes for " + std::to_string(width) + " x " +
                              std::to_string(height) + " pixels, found " +
                              std::to_string(bits.size()));
    }
    if (const auto bad = std::find_if(bits.begin(), bits.end(), [](auto b) { return b > 1; });
        bad != bits.end()) {
      throw cereal::Exception("SmartSegmenterResult: expected mask bytes 0 or 1, found " +
                              std::to_string(*bad));
    }
    std::vector<float> probabilities;
    A::LoadArithmeticVector(archive, probabilities);
    if (!probabilities.empty() && probabilities.size() != pixels) {
      throw cereal::Exception("SmartSegmenterResult: expected 0 or " + std::to_string(pixels) +
                              " probabilities, found " + std::to_string(probabilities.size()));
    }
    if (const long long bad = FirstInvalidProbability(probabilities); bad >= 0) {
      throw cereal::Exception("SmartSegmenterResult: expected probabilities in [0, 1], found " +
                              std::to_string(probabilities[static_cast<std::size_t>(bad)]) +
                              " at pixel " + std::to_string(bad));
    }
    PixelMask mask(width, height);
    mask.Data() = std::move(bits);
    labelName_ = std::move(labelName);
    width_ = width;
    height_ = height;
    mask_ = std::move(mask);
    probabilities_ = std::move(probabilities);
    UpdateDerived();
  } else {
    archive(cereal::base_class<ShareableBase>(this));
    A::SaveString(archive, labelName_);
    archive(static_cast<std::int32_t>(width_), static_cast<std::int32_t>(height_));
    A::SaveArithmeticVector(archive, Mask().Data());
    // The record holds floats whichever way the probabilities are kept.
    A::SaveArithmeticVector(archive, Probabilities());
  }
}

template void SmartSegmenterResult::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void SmartSegmenterResult::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision::SmartSegmenter
