// Tile features shared by the segmenters that look at the same image.
#pragma once

#include <cstddef>
#include <cstdint>
#include <future>
#include <list>
#include <memory>
#include <mutex>
#include <vector>

#include "interfaces/core/ImageInterfaces.h"
#include "platform/helper/FeatureBank.h"

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

// Keeps recently computed tile features, keyed by the image object, its pixel generation, the
// feature layout and the tile. The segmenters of one operator run on the same image at the same
// time, one per label; the first to ask for a tile computes it while the others wait for it, so
// each tile is computed once per image and not once per label. Entries of images that no longer
// exist are dropped; the least recently used entries go when the budget is exceeded (an entry
// larger than the budget is still handed out, and goes when the next one arrives). Only images
// owned through std::shared_ptr are cached: for others there is no way to tell a new image at the
// same address from the old one. Thread-safe.
class FeatureCache {
 public:
  explicit FeatureCache(std::size_t byteBudget);

  // The cache of the module, with a budget of 96 MiB: eight grid tiles (kGridTileSize) of the
  // default sample size, or two to four tiles of every pixel (kTileSize). The segmenters of one
  // image run side by side through its tiles in the same order, so those of a larger image share
  // each tile while it is fresh; a larger budget would add memory, not sharing.
  static FeatureCache& Shared();

  // The features of `rect` of `image` on a grid of `step` pixels, computed by ComputeTileFeatures
  // unless cached. Exceptions of the computation reach every caller waiting for it, and nothing is
  // cached.
  std::shared_ptr<const TileFeatures> Get(const IImage& image, const TileRect& rect,
                                          const FeatureLayout& layout, int step = 1);
  // The features of the listed pixels of `rect` (raster indices within it), as Get gives those of
  // a grid; an entry serves the same list only.
  std::shared_ptr<const TileFeatures> GetPixels(const IImage& image, const TileRect& rect,
                                                const FeatureLayout& layout,
                                                std::vector<std::uint32_t> pixels);

  // ImageFingerprint(image), kept for the last few images: the segmenters of every label train
  // on the same images.
  std::uint64_t Fingerprint(const IImage& image);

  // Tiles computed so far (cached or not); for diagnostics and tests.
  std::uint64_t ComputedTiles() const;
  std::size_t CachedBytes() const;

 private:
  struct Entry {
    std::weak_ptr<const void> owner;
    const IImage* image = nullptr;
    std::uint64_t generation = 0;
    double sampleSize = 0.0;
    int channelCount = 0;
    int bank = 0;
    TileRect rect;
    int step = 1;
    bool sparse = false;
    std::vector<std::uint32_t> pixels;
    std::shared_future<std::shared_ptr<const TileFeatures>> features;
    std::size_t bytes = 0;
    bool ready = false;
    std::uint64_t lastUse = 0;
    std::uint64_t id = 0;
  };

  void EvictLocked(std::uint64_t keep);
  // Get for a grid (`sparse` false) or a list of pixels (sorted, without repeats).
  std::shared_ptr<const TileFeatures> Find(const IImage& image, const TileRect& rect,
                                           const FeatureLayout& layout, int step, bool sparse,
                                           std::vector<std::uint32_t> pixels);

  struct KnownFingerprint {
    std::weak_ptr<const void> owner;
    const IImage* image = nullptr;
    std::uint64_t generation = 0;
    std::uint64_t fingerprint = 0;
  };

  const std::size_t budget_;
  mutable std::mutex mutex_;
  std::list<KnownFingerprint> fingerprints_;
  std::list<Entry> entries_;
  std::size_t bytes_ = 0;
  std::uint64_t clock_ = 0;
  std::uint64_t computed_ = 0;
};

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
