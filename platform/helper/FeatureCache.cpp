#include "platform/helper/FeatureCache.h"

#include <algorithm>

#include "interfaces/core/ShareableBase.h"
#include "platform/helper/Segmentation.h"

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

namespace {

bool SameOwner(const std::weak_ptr<const void>& a, const std::weak_ptr<const void>& b) {
  return !a.owner_before(b) && !b.owner_before(a);
}

std::weak_ptr<const void> OwnerOf(const IImage& image) {
  const auto* shareable = dynamic_cast<const ShareableBase*>(&image);
  if (shareable == nullptr) return {};
  return std::weak_ptr<const void>(shareable->weak_from_this().lock());
}

}  // namespace

FeatureCache::FeatureCache(std::size_t byteBudget) : budget_(byteBudget) {}

FeatureCache& FeatureCache::Shared() {
  static FeatureCache cache(std::size_t{96} << 20);
  return cache;
}

std::uint64_t FeatureCache::Fingerprint(const IImage& image) {
  // Like tiles, only images owned through std::shared_ptr are known again.
  const std::weak_ptr<const void> owner = OwnerOf(image);
  if (owner.expired()) return ImageFingerprint(image);
  const std::uint64_t generation = image.PixelGeneration();
  const auto same = [&](const KnownFingerprint& known) {
    return known.image == &image && SameOwner(known.owner, owner) &&
           known.generation == generation && !known.owner.expired();
  };
  {
    std::lock_guard<std::mutex> lock(mutex_);
    const auto found = std::find_if(fingerprints_.begin(), fingerprints_.end(), same);
    if (found != fingerprints_.end()) return found->fingerprint;
  }
  const std::uint64_t fingerprint = ImageFingerprint(image);
  std::lock_guard<std::mutex> lock(mutex_);
  if (std::find_if(fingerprints_.begin(), fingerprints_.end(), same) == fingerprints_.end()) {
    fingerprints_.push_front(KnownFingerprint{owner, &image, generation, fingerprint});
    constexpr std::size_t kKnownImages = 8;
    if (fingerprints_.size() > kKnownImages) fingerprints_.pop_back();
  }
  return fingerprint;
}

std::uint64_t FeatureCache::ComputedTiles() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return computed_;
}

std::size_t FeatureCache::CachedBytes() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

void FeatureCache::EvictLocked(std::uint64_t keep) {
  while (bytes_ > budget_) {
    auto oldest = entries_.end();
    for (auto it = entries_.begin(); it != entries_.end(); ++it) {
      if (!it->ready || it->id == keep) continue;
      if (oldest == entries_.end() || it->lastUse < oldest->lastUse) oldest = it;
    }
    if (oldest == entries_.end()) return;
    bytes_ -= oldest->bytes;
    entries_.erase(oldest);
  }
}

std::shared_ptr<const TileFeatures> FeatureCache::Get(const IImage& image, const TileRect& rect,
                                                      const FeatureLayout& layout, int step) {
  return Find(image, rect, layout, step, false, {});
}

std::shared_ptr<const TileFeatures> FeatureCache::GetPixels(const IImage& image,
                                                            const TileRect& rect,
                                                            const FeatureLayout& layout,
                                                            std::vector<std::uint32_t> pixels) {
  std::sort(pixels.begin(), pixels.end());
  pixels.erase(std::unique(pixels.begin(), pixels.end()), pixels.end());
  return Find(image, rect, layout, 1, true, std::move(pixels));
}

std::shared_ptr<const TileFeatures> FeatureCache::Find(const IImage& image, const TileRect& rect,
                                                       const FeatureLayout& layout, int step,
                                                       bool sparse,
                                                       std::vector<std::uint32_t> pixels) {
  const auto compute = [&] {
    return std::make_shared<const TileFeatures>(
        sparse ? ComputePixelFeatures(image, rect, layout, pixels)
               : ComputeTileFeatures(image, rect, layout, step));
  };
  const std::weak_ptr<const void> owner = OwnerOf(image);
  if (owner.expired()) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      ++computed_;
    }
    return compute();
  }
  const std::uint64_t generation = image.PixelGeneration();
  std::promise<std::shared_ptr<const TileFeatures>> promise;
  std::uint64_t mine = 0;
  std::shared_future<std::shared_ptr<const TileFeatures>> pending;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (it->owner.expired()) {
        bytes_ -= it->bytes;
        it = entries_.erase(it);
        continue;
      }
      if (!pending.valid() && it->image == &image && SameOwner(it->owner, owner) &&
          it->generation == generation && it->sampleSize == layout.SampleSize() &&
          it->channelCount == layout.ChannelCount() && it->bank == layout.Bank() &&
          it->rect == rect && it->step == step && it->sparse == sparse && it->pixels == pixels) {
        it->lastUse = ++clock_;
        pending = it->features;
      }
      ++it;
    }
    if (!pending.valid()) {
      Entry entry;
      entry.owner = owner;
      entry.image = &image;
      entry.generation = generation;
      entry.sampleSize = layout.SampleSize();
      entry.channelCount = layout.ChannelCount();
      entry.bank = layout.Bank();
      entry.rect = rect;
      entry.step = step;
      entry.sparse = sparse;
      entry.pixels = pixels;
      entry.features = promise.get_future().share();
      entry.lastUse = ++clock_;
      entry.id = entry.lastUse;
      mine = entry.id;
      entries_.push_back(std::move(entry));
      ++computed_;
    }
  }
  // Waiting happens outside the lock, so that the tile's computer can store it.
  if (pending.valid()) return pending.get();
  std::shared_ptr<const TileFeatures> features;
  try {
    features = compute();
  } catch (...) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (auto it = entries_.begin(); it != entries_.end(); ++it) {
        if (it->id == mine) {
          entries_.erase(it);
          break;
        }
      }
    }
    promise.set_exception(std::current_exception());
    throw;
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    for (auto& entry : entries_) {
      if (entry.id != mine) continue;
      entry.ready = true;
      entry.bytes = features->Bytes();
      bytes_ += entry.bytes;
      EvictLocked(entry.id);
      break;
    }
  }
  promise.set_value(features);
  return features;
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
