#include "platform/helper/FeatureBank.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <functional>
#include <future>
#include <iterator>
#include <limits>
#include <mutex>
#include <string>
#include <system_error>
#include <unordered_map>
#include <utility>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"
#include "interfaces/core/TaskPool.h"
#include "platform/helper/Avx2.h"

#if defined(__SSE2__)
#include <immintrin.h>
#endif

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

namespace {

// Mirrors an index about the edge pixels into 0..n-1 (-1 -> 1, n -> n - 2).
int Reflect(int i, int n) {
  if (n == 1) return 0;
  const int period = 2 * (n - 1);
  i %= period;
  if (i < 0) i += period;
  return i < n ? i : period - i;
}

// A float plane of the padded tile.
struct Plane {
  int width = 0, height = 0;
  FloatBuffer v;
  Plane() = default;
  Plane(int w, int h) : width(w), height(h), v(static_cast<std::size_t>(w) * h) {}
  float* Row(int y) { return v.data() + static_cast<std::size_t>(y) * width; }
  const float* Row(int y) const { return v.data() + static_cast<std::size_t>(y) * width; }
};

// Rows first .. last - 1 of one channel of the window at (x0, y0) of `image` into `plane` (the
// window's size), mirrored where the window leaves the image.
void ReadWindowRows(const IImage& image, int channel, int x0, int y0, Plane& plane, int first,
                    int last) {
  const int width = plane.width;
  const int imageWidth = image.Width();
  const int imageHeight = image.Height();
  std::vector<int> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x)
    columns[static_cast<std::size_t>(x)] = Reflect(x0 + x, imageWidth);
  const auto* grey8 = dynamic_cast<const IImage8GreyData*>(&image);
  const auto* grey16 = dynamic_cast<const IImage16GreyData*>(&image);
  const auto* colour = dynamic_cast<const IImage24PlanarColorData*>(&image);
  const PixelFormat format = image.Format();
  for (int y = first; y < last; ++y) {
    const int sourceY = Reflect(y0 + y, imageHeight);
    float* out = plane.Row(y);
    // The data interfaces avoid a virtual call per pixel; any other image goes through Value().
    if (grey8 != nullptr && format == PixelFormat::Grey8) {
      const std::uint8_t* row = grey8->Row(sourceY);
      for (int x = 0; x < width; ++x) out[x] = row[columns[static_cast<std::size_t>(x)]];
    } else if (grey16 != nullptr && format == PixelFormat::Grey16) {
      const std::uint16_t* row = grey16->Row(sourceY);
      for (int x = 0; x < width; ++x) out[x] = row[columns[static_cast<std::size_t>(x)]];
    } else if (colour != nullptr && format == PixelFormat::PlanarColor24) {
      const std::uint8_t* row = colour->Row(channel, sourceY);
      for (int x = 0; x < width; ++x) out[x] = row[columns[static_cast<std::size_t>(x)]];
    } else {
      for (int x = 0; x < width; ++x) {
        out[x] =
            static_cast<float>(image.Value(columns[static_cast<std::size_t>(x)], sourceY, channel));
      }
    }
  }
}

void Eigenvalues(float a, float b, float c, float& larger, float& smaller) {
  const float mean = 0.5f * (a + c);
  const float half = 0.5f * (a - c);
  const float spread = std::sqrt(half * half + b * b);
  larger = mean + spread;
  smaller = mean - spread;
}

}  // namespace

namespace {

constexpr std::size_t kLargeUnit = std::size_t{2} << 20;
// Freed blocks kept for reuse: a tile's features (the feature cache holds the others) and the
// planes and bands of two workers. More only adds to the peak of large images.
constexpr std::size_t kPoolBudget = std::size_t{64} << 20;

struct LargePool {
  std::mutex mutex;
  std::vector<std::pair<void*, std::size_t>> blocks;
  std::size_t bytes = 0;
  // The size of every pooled-class block handed out, which may exceed what was asked for.
  std::unordered_map<void*, std::size_t> live;
};

LargePool& Pool() {
  // Never destroyed: buffers may be freed by static objects' destructors after this one's.
  static LargePool* pool = new LargePool();
  return *pool;
}

// Blocks from 256 KiB on are pooled, rounded to 64 KiB (to 2 MiB from 4 MiB on), so that sizes
// that differ a little still match.
bool Pooled(std::size_t bytes) { return bytes >= (std::size_t{256} << 10); }
std::size_t Rounded(std::size_t bytes) {
  const std::size_t unit = bytes >= 2 * kLargeUnit ? kLargeUnit : std::size_t{64} << 10;
  return (bytes + unit - 1) / unit * unit;
}

}  // namespace

void* AllocateLarge(std::size_t bytes) {
  void* pointer = nullptr;
  if (Pooled(bytes)) {
    const std::size_t rounded = Rounded(bytes);
    LargePool& pool = Pool();
    {
      std::lock_guard<std::mutex> lock(pool.mutex);
      // The smallest kept block that fits and wastes at most half of itself (the edge tiles of an
      // image are smaller than the others, and should not fault in fresh pages of their own);
      // among equals the most recently freed, the likeliest to be still in the caches.
      auto best = pool.blocks.rend();
      for (auto it = pool.blocks.rbegin(); it != pool.blocks.rend(); ++it) {
        if (it->second < rounded || it->second > 2 * rounded) continue;
        if (best == pool.blocks.rend() || it->second < best->second) best = it;
      }
      if (best != pool.blocks.rend()) {
        pointer = best->first;
        pool.bytes -= best->second;
        pool.live[pointer] = best->second;
        pool.blocks.erase(std::next(best).base());
        return pointer;
      }
    }
    // Ordinary pages: huge pages were both slower (each fault clears 2 MiB, most of it for
    // buffers that are only partly written) and larger at the peak.
    pointer = std::malloc(rounded);
    if (pointer == nullptr) throw std::bad_alloc();
    std::lock_guard<std::mutex> lock(pool.mutex);
    pool.live[pointer] = rounded;
    return pointer;
  }
  pointer = std::malloc(bytes == 0 ? 1 : bytes);
  if (pointer == nullptr) throw std::bad_alloc();
  return pointer;
}

void FreeLarge(void* pointer, std::size_t bytes) {
  if (pointer == nullptr) return;
  if (Pooled(bytes)) {
    LargePool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    const auto found = pool.live.find(pointer);
    const std::size_t size = found != pool.live.end() ? found->second : Rounded(bytes);
    if (found != pool.live.end()) pool.live.erase(found);
    // The oldest blocks make room, so the pool follows the sizes in current use.
    while (!pool.blocks.empty() && pool.bytes + size > kPoolBudget) {
      pool.bytes -= pool.blocks.front().second;
      std::free(pool.blocks.front().first);
      pool.blocks.erase(pool.blocks.begin());
    }
    if (pool.bytes + size <= kPoolBudget) {
      pool.blocks.emplace_back(pointer, size);
      pool.bytes += size;
      return;
    }
  }
  std::free(pointer);
}

std::size_t PooledLargeBytes() {
  LargePool& pool = Pool();
  std::lock_guard<std::mutex> lock(pool.mutex);
  return pool.bytes;
}

int GaussianRadius(double sigma) { return std::max(1, static_cast<int>(std::ceil(3.0 * sigma))); }

std::vector<float> GaussianWeights(double sigma) {
  const int radius = GaussianRadius(sigma);
  std::vector<double> w(static_cast<std::size_t>(radius) + 1);
  double total = 0.0;
  for (int k = 0; k <= radius; ++k) {
    w[static_cast<std::size_t>(k)] = std::exp(-0.5 * k * k / (sigma * sigma));
    total += k == 0 ? w[0] : 2.0 * w[static_cast<std::size_t>(k)];
  }
  std::vector<float> weights;
  weights.reserve(w.size());
  for (double value : w) weights.push_back(static_cast<float>(value / total));
  return weights;
}

FeatureLayout::FeatureLayout(double sampleSize, int channelCount, int bank)
    : sampleSize_(sampleSize), channelCount_(channelCount), bank_(bank) {
  if (bank < 1 || bank > kCurrentBank) {
    throw ArgumentException("Feature bank: expected bank 1 to " + std::to_string(kCurrentBank) +
                            ", found " + std::to_string(bank));
  }
  if (!(sampleSize >= 0.0)) {
    throw ArgumentException("Feature bank: expected a sample size of at least 0, found " +
                            std::to_string(sampleSize));
  }
  if (channelCount < 1 || channelCount > 3) {
    throw ArgumentException("Feature bank: expected 1 to 3 channels, found " +
                            std::to_string(channelCount));
  }
  const double largest = std::min(sampleSize, kMaxSampleSize);
  if (largest > 0.0) {
    scales_.push_back(largest);
    for (double s = largest / 2.0; s >= 1.0; s /= 2.0) scales_.push_back(s);
    std::reverse(scales_.begin(), scales_.end());
  }
  for (double s : scales_) {
    halo_ = std::max(halo_, GaussianRadius(s) + 1 + GaussianRadius(IntegrationScale(s)));
  }
}

std::vector<TileRect> TileGrid(int width, int height, int tileSize) {
  std::vector<TileRect> tiles;
  if (tileSize < 1) tileSize = 1;
  for (int y = 0; y < height; y += tileSize) {
    for (int x = 0; x < width; x += tileSize) {
      tiles.push_back(
          TileRect{x, y, std::min(tileSize, width - x), std::min(tileSize, height - y)});
    }
  }
  return tiles;
}

int EngineThreadCount() { return VisionToolMultiThreading::Workers(); }

void RunTasks(int count, const std::function<void(int task, int worker)>& body) {
  RunTasks(count, EngineThreadCount(), body);
}

namespace {

// out[i] = w[0] centre[i] + w[1] (before[0][i] + after[0][i]) + ... + w[radius] (before[radius -
// 1][i] + after[radius - 1][i]), added in that order: a symmetric filter along whatever the
// pointers step through. Each element is the same operations in the same order at any vector
// width (and without fused multiply-adds), so the AVX2 version gives the plain version's values
// bit for bit.
inline __attribute__((always_inline)) void SymmetricTail(float* out, const float* centre,
                                                         const float* const* before,
                                                         const float* const* after, const float* w,
                                                         int radius, std::size_t from,
                                                         std::size_t n) {
  for (std::size_t i = from; i < n; ++i) {
    float sum = w[0] * centre[i];
    for (int k = 0; k < radius; ++k) sum += w[k + 1] * (before[k][i] + after[k][i]);
    out[i] = sum;
  }
}
void SymmetricPlain(float* out, const float* centre, const float* const* before,
                    const float* const* after, const float* w, int radius, std::size_t n) {
  SymmetricTail(out, centre, before, after, w, radius, 0, n);
}
#ifdef TAMRIX_HELPER_AVX2
// Four vectors at a time, each summed in a register over all taps: two loads a tap instead of a
// load and a store of the sum besides, and four independent sums to hide the adds' latency.
__attribute__((target("avx2"))) void SymmetricAvx2(float* out, const float* centre,
                                                   const float* const* before,
                                                   const float* const* after, const float* w,
                                                   int radius, std::size_t n) {
  const __m256 w0 = _mm256_set1_ps(w[0]);
  std::size_t i = 0;
  for (; i + 32 <= n; i += 32) {
    __m256 s0 = _mm256_mul_ps(w0, _mm256_loadu_ps(centre + i));
    __m256 s1 = _mm256_mul_ps(w0, _mm256_loadu_ps(centre + i + 8));
    __m256 s2 = _mm256_mul_ps(w0, _mm256_loadu_ps(centre + i + 16));
    __m256 s3 = _mm256_mul_ps(w0, _mm256_loadu_ps(centre + i + 24));
    for (int k = 0; k < radius; ++k) {
      const __m256 wk = _mm256_set1_ps(w[k + 1]);
      const float* b = before[k] + i;
      const float* a = after[k] + i;
      s0 = _mm256_add_ps(s0,
                         _mm256_mul_ps(wk, _mm256_add_ps(_mm256_loadu_ps(b), _mm256_loadu_ps(a))));
      s1 = _mm256_add_ps(
          s1, _mm256_mul_ps(wk, _mm256_add_ps(_mm256_loadu_ps(b + 8), _mm256_loadu_ps(a + 8))));
      s2 = _mm256_add_ps(
          s2, _mm256_mul_ps(wk, _mm256_add_ps(_mm256_loadu_ps(b + 16), _mm256_loadu_ps(a + 16))));
      s3 = _mm256_add_ps(
          s3, _mm256_mul_ps(wk, _mm256_add_ps(_mm256_loadu_ps(b + 24), _mm256_loadu_ps(a + 24))));
    }
    _mm256_storeu_ps(out + i, s0);
    _mm256_storeu_ps(out + i + 8, s1);
    _mm256_storeu_ps(out + i + 16, s2);
    _mm256_storeu_ps(out + i + 24, s3);
  }
  for (; i + 8 <= n; i += 8) {
    __m256 s = _mm256_mul_ps(w0, _mm256_loadu_ps(centre + i));
    for (int k = 0; k < radius; ++k) {
      const __m256 sum =
          _mm256_add_ps(_mm256_loadu_ps(before[k] + i), _mm256_loadu_ps(after[k] + i));
      s = _mm256_add_ps(s, _mm256_mul_ps(_mm256_set1_ps(w[k + 1]), sum));
    }
    _mm256_storeu_ps(out + i, s);
  }
  SymmetricTail(out, centre, before, after, w, radius, i, n);
}
#endif

using SymmetricFilter = void (*)(float*, const float*, const float* const*, const float* const*,
                                 const float*, int, std::size_t);

SymmetricFilter Symmetric() {
#ifdef TAMRIX_HELPER_AVX2
  static const SymmetricFilter filter = HaveAvx2() ? SymmetricAvx2 : SymmetricPlain;
#else
  static const SymmetricFilter filter = SymmetricPlain;
#endif
  return filter;
}

// The separable Gaussian of `weights` (GaussianWeights) of a plane of `channels` interleaved
// floats per pixel, at plane row `y` and plane columns x0 .. x1 - 1 only, into `result` (the value
// of column x0 first). `rowOf(y)` gives a plane row; the radius of rows and columns around the
// asked ones must be there. A value is the same sum in the same order whichever rows and columns
// are asked for, and wherever the rows are kept.
template <class RowOf>
void BlurRowAt(const RowOf& rowOf, int y, float* result, int channels, int x0, int x1,
               const std::vector<float>& weights, std::vector<float>& scratch,
               const int* only = nullptr, int onlyCount = 0) {
  const SymmetricFilter symmetric = Symmetric();
  const int radius = static_cast<int>(weights.size()) - 1;
  const auto c = static_cast<std::size_t>(channels);
  const std::size_t across = static_cast<std::size_t>(x1 - x0 + 2 * radius) * c;
  const std::size_t out = static_cast<std::size_t>(x1 - x0) * c;
  scratch.resize(across);
  float* column = scratch.data();
  const std::size_t first = static_cast<std::size_t>(x0 - radius) * c;
  thread_local std::vector<const float*> before, after;
  before.resize(static_cast<std::size_t>(radius));
  after.resize(static_cast<std::size_t>(radius));
  // Down the columns first, over every column the row pass reads.
  for (int k = 1; k <= radius; ++k) {
    before[static_cast<std::size_t>(k - 1)] = rowOf(y - k) + first;
    after[static_cast<std::size_t>(k - 1)] = rowOf(y + k) + first;
  }
  symmetric(column, rowOf(y) + first, before.data(), after.data(), weights.data(), radius, across);
  const float* middle = column + static_cast<std::size_t>(radius) * c;
  if (only != nullptr) {
    // Across the row at the listed columns only (relative to x0), each the same sum as below.
    int k = 0;
#if defined(__SSE2__)
    if (c == 4) {
      // Four listed pixels at a time, each pixel's four values in one vector (SSE, which every
      // x86-64 has): four sums in flight instead of one chain of adds, the same operations.
      const __m128 w0 = _mm_set1_ps(weights[0]);
      for (; k + 4 <= onlyCount; k += 4) {
        const float* centre[4];
        __m128 sum[4];
        for (int q = 0; q < 4; ++q) {
          centre[q] = middle + static_cast<std::size_t>(only[k + q]) * 4;
          sum[q] = _mm_mul_ps(w0, _mm_loadu_ps(centre[q]));
        }
        for (int j = 1; j <= radius; ++j) {
          const __m128 w = _mm_set1_ps(weights[static_cast<std::size_t>(j)]);
          const std::size_t shift = static_cast<std::size_t>(j) * 4;
          for (int q = 0; q < 4; ++q) {
            const __m128 pair =
                _mm_add_ps(_mm_loadu_ps(centre[q] - shift), _mm_loadu_ps(centre[q] + shift));
            sum[q] = _mm_add_ps(sum[q], _mm_mul_ps(w, pair));
          }
        }
        for (int q = 0; q < 4; ++q) {
          _mm_storeu_ps(result + static_cast<std::size_t>(only[k + q]) * 4, sum[q]);
        }
      }
    }
#endif
    for (; k < onlyCount; ++k) {
      const std::size_t at = static_cast<std::size_t>(only[k]) * c;
      float* value = result + at;
      const float* centre = middle + at;
      for (std::size_t i = 0; i < c; ++i) value[i] = weights[0] * centre[i];
      for (int j = 1; j <= radius; ++j) {
        const std::size_t shift = static_cast<std::size_t>(j) * c;
        const float w = weights[static_cast<std::size_t>(j)];
        const float* left = centre - shift;
        const float* right = centre + shift;
        for (std::size_t i = 0; i < c; ++i) value[i] += w * (left[i] + right[i]);
      }
    }
    return;
  }
  for (int k = 1; k <= radius; ++k) {
    const std::size_t shift = static_cast<std::size_t>(k) * c;
    before[static_cast<std::size_t>(k - 1)] = middle - shift;
    after[static_cast<std::size_t>(k - 1)] = middle + shift;
  }
  symmetric(result, middle, before.data(), after.data(), weights.data(), radius, out);
}

// Rows top .. top + rows - 1 and columns left .. left + columns - 1 of the Gaussian of scale
// `sigma` of a width x height plane mirrored about its edge pixels, into `target` (`targetStride`
// floats a row). The pixels around the window are read as they are, so a pixel's value depends on
// its neighbourhood in the plane only, not on the window it is computed in.
void BlurWindow(const float* source, int width, int height, int left, int top, int columns,
                int rows, float* target, std::size_t targetStride, double sigma) {
  if (columns <= 0 || rows <= 0) return;
  const std::vector<float> weights = GaussianWeights(sigma);
  const int radius = static_cast<int>(weights.size()) - 1;
  const auto stride = static_cast<std::size_t>(width);
  std::vector<float> scratch;
  const auto blurRows = [&](const auto& rowOf) {
    for (int j = 0; j < rows; ++j) {
      BlurRowAt(rowOf, top + j, target + static_cast<std::size_t>(j) * targetStride, 1, radius,
                radius + columns, weights, scratch);
    }
  };
  if (left - radius >= 0 && left + columns + radius <= width) {
    // Every column the row pass reads lies in the plane (always so inside a padded tile): the
    // rows are read where they are, mirrored above and below the plane only.
    const float* origin = source + (left - radius);
    blurRows([&](int y) { return origin + static_cast<std::size_t>(Reflect(y, height)) * stride; });
    return;
  }
  // Otherwise the rows read are copied once, their columns mirrored at the plane's sides.
  const auto across = static_cast<std::size_t>(columns) + 2 * static_cast<std::size_t>(radius);
  const int down = rows + 2 * radius;
  std::vector<int> from(across);
  for (std::size_t x = 0; x < across; ++x) {
    from[x] = Reflect(left - radius + static_cast<int>(x), width);
  }
  FloatBuffer padded(across * static_cast<std::size_t>(down));
  for (int j = 0; j < down; ++j) {
    const float* row =
        source + static_cast<std::size_t>(Reflect(top - radius + j, height)) * stride;
    float* out = padded.data() + static_cast<std::size_t>(j) * across;
    for (std::size_t x = 0; x < across; ++x) out[x] = row[from[x]];
  }
  blurRows(
      [&](int y) { return padded.data() + static_cast<std::size_t>(y - (top - radius)) * across; });
}

// The tile pixels whose features are kept: per tile row that has any, its (tile-relative) y, the
// x of its kept pixels, and where the first of them goes among the tile's kept pixels.
struct KeptRow {
  int y = 0;
  const int* xs = nullptr;
  int count = 0;
  std::size_t first = 0;
};

// Padded windows smaller than this are computed on one thread.
constexpr std::int64_t kSmallWindowPixels = 256 * 256;

TileFeatures ComputeFeatures(const IImage& image, TileFeatures tile, const FeatureLayout& layout,
                             const std::vector<KeptRow>& kept) {
  if (image.ChannelCount() != layout.ChannelCount()) {
    throw VisionException(VisionExceptionCodes::InvalidArgument,
                          "Feature bank: expected an image of " +
                              std::to_string(layout.ChannelCount()) + " channel(s), found " +
                              std::to_string(image.ChannelCount()));
  }
  const TileRect rect = tile.rect;
  tile.count = layout.Count();
  const std::size_t keptPixels = kept.empty() ? 0 : kept.back().first + kept.back().count;
  tile.values.resize(keptPixels * static_cast<std::size_t>(tile.count));
  const int halo = layout.Halo();
  const int paddedWidth = rect.width + 2 * halo;
  const int paddedHeight = rect.height + 2 * halo;
  const int perChannel = layout.PerChannel();
  const auto count = static_cast<std::size_t>(tile.count);
  const int channels = layout.ChannelCount();
  const std::vector<double>& scales = layout.Scales();
  const int scaleCount = static_cast<int>(scales.size());

  const auto outputOf = [&](const KeptRow& row) { return tile.values.data() + row.first * count; };
  // Writes the tile's part of padded plane `source` as feature `feature` of the kept pixels of
  // kept rows first .. last - 1.
  const auto store = [&](const float* source, int feature, std::size_t first, std::size_t last) {
    for (std::size_t r = first; r < last; ++r) {
      const KeptRow& keptRow = kept[r];
      const float* row = source + static_cast<std::size_t>(keptRow.y + halo) * paddedWidth + halo;
      float* out = outputOf(keptRow) + feature;
      for (int k = 0; k < keptRow.count; ++k, out += count) *out = row[keptRow.xs[k]];
    }
  };

  // A small window (the box of a few labelled pixels) is computed on the calling thread alone:
  // handing its few filters to other workers costs more than they would save, and the boxes of an
  // image are computed side by side instead.
  const int workers = static_cast<std::int64_t>(paddedWidth) * paddedHeight < kSmallWindowPixels
                          ? 1
                          : EngineThreadCount();
  // The window is read, and its pixels' own values stored, in parts on the workers (a large
  // tile's first pages are faulted in here).
  std::vector<Plane> inputs;
  inputs.reserve(static_cast<std::size_t>(channels));
  for (int channel = 0; channel < channels; ++channel)
    inputs.emplace_back(paddedWidth, paddedHeight);
  const int parts = workers;
  RunTasks(channels * parts, workers, [&](int task, int) {
    const int channel = task / parts;
    const int part = task % parts;
    ReadWindowRows(image, channel, rect.x - halo, rect.y - halo,
                   inputs[static_cast<std::size_t>(channel)], part * paddedHeight / parts,
                   (part + 1) * paddedHeight / parts);
  });
  RunTasks(channels * parts, workers, [&](int task, int) {
    const int channel = task / parts;
    const int part = task % parts;
    const std::size_t rows = kept.size();
    store(inputs[static_cast<std::size_t>(channel)].v.data(), channel * perChannel,
          part * rows / static_cast<std::size_t>(parts),
          (part + 1) * rows / static_cast<std::size_t>(parts));
  });
  if (scaleCount == 0) return tile;

  // Each Gaussian once: smooth[c * (S + 1) + i] is channel c at scale scales[i - 1], and i = 0 the
  // half of the smallest scale (the scales halve, so the next finer smoothing is the half of each
  // other one, which the difference of Gaussians needs).
  const int levels = scaleCount + 1;
  std::vector<Plane> smooth(static_cast<std::size_t>(channels * levels));
  for (Plane& plane : smooth) plane = Plane(paddedWidth, paddedHeight);
  const auto smoothOf = [&](int channel, int level) -> Plane& {
    return smooth[static_cast<std::size_t>(channel) * static_cast<std::size_t>(levels) +
                  static_cast<std::size_t>(level)];
  };
  const auto sigmaOf = [&](int level) {
    return level == 0 ? 0.5 * scales[0] : scales[static_cast<std::size_t>(level - 1)];
  };
  // How far around the tile each smoothing is read: the integration-scale blur of the tensor
  // products reaches GaussianRadius(2 s) pixels out, their central differences one more. The
  // half of the smallest scale is read on the tile only.
  const auto reachOf = [&](int level) {
    return level == 0 ? 0 : GaussianRadius(layout.IntegrationScale(sigmaOf(level))) + 1;
  };
  const auto around = [&](int reach) {
    return TileRect{halo - reach, halo - reach, rect.width + 2 * reach, rect.height + 2 * reach};
  };
  // Every smoothing is cut into `parts` bands of rows, coarse scales first: the coarsest blur is
  // over half the work, and whole it would leave the other workers idle while it runs. A band's
  // pixels read their neighbours in the plane as the whole window does, so the values are the
  // same however the window is cut.
  RunTasks(levels * channels * parts, workers, [&](int task, int) {
    const int part = task % parts;
    const int channel = task / parts % channels;
    const int level = levels - 1 - task / parts / channels;
    const TileRect window = around(reachOf(level));
    const int top = window.y + part * window.height / parts;
    const int bottom = window.y + (part + 1) * window.height / parts;
    const Plane& in = inputs[static_cast<std::size_t>(channel)];
    Plane& out = smoothOf(channel, level);
    BlurWindow(in.v.data(), in.width, in.height, window.x, top, window.width, bottom - top,
               out.Row(top) + window.x, static_cast<std::size_t>(out.width), sigmaOf(level));
  });

  // What a worker needs, allocated once per worker: the tensor products and local energy (four
  // values per pixel, blurred together) of the rows the integration blur is reading, in a ring of
  // rows; one row of their blur; and rows of core values on their way into the pixel-major tile.
  // The kept rows come in ascending order, so each product row is computed once, only where some
  // kept row reads it, and a tile's products are never held whole.
  struct Workspace {
    Plane products;
    std::vector<float> integrated, rows, scratch;
  };
  int widestReach = 0;
  for (double s : scales) {
    widestReach = std::max(widestReach, GaussianRadius(layout.IntegrationScale(s)));
  }
  const int ringRows = 2 * widestReach + 1;
  std::vector<Workspace> workspaces(static_cast<std::size_t>(workers));
  const auto width = static_cast<std::size_t>(rect.width);
  // Likewise each (channel, scale) in `parts` runs of kept rows, coarse scales first; a run
  // computes the product rows its first kept row reads afresh, so runs are independent.
  RunTasks(scaleCount * channels * parts, workers, [&](int task, int worker) {
    const int part = task % parts;
    const int channel = task / parts % channels;
    const int scale = scaleCount - 1 - task / parts / channels;
    const auto runs = static_cast<std::size_t>(parts);
    const std::size_t firstKept = static_cast<std::size_t>(part) * kept.size() / runs;
    const std::size_t endKept = static_cast<std::size_t>(part + 1) * kept.size() / runs;
    if (endKept <= firstKept) return;
    const double s = scales[static_cast<std::size_t>(scale)];
    Workspace& ws = workspaces[static_cast<std::size_t>(worker)];
    if (ws.products.width != 4 * paddedWidth || ws.products.height != ringRows) {
      ws.products = Plane(4 * paddedWidth, ringRows);
      ws.integrated.resize(4 * width);
      ws.rows.resize(7 * width);
    }
    const Plane& input = inputs[static_cast<std::size_t>(channel)];
    const Plane& mid = smoothOf(channel, scale + 1);
    const Plane& halfPlane = smoothOf(channel, scale);
    const int feature = channel * perChannel + 1 + scale * layout.PerScale();
    const bool orientation = layout.PerScale() > FeatureLayout::kPerScale;

    // Tensor products and local energy of plane row y, where the integration blur reads them.
    // Every neighbour lies inside the smoothed window, so the loop needs no bounds and
    // vectorises.
    const int reach = GaussianRadius(layout.IntegrationScale(s));
    const int x0 = halo - reach, x1 = halo + rect.width + reach;
    const auto productRow = [&](int y) { return ws.products.Row(y % ringRows); };
    const auto computeProducts = [&](int y) {
      const float* up = mid.Row(y - 1);
      const float* centre = mid.Row(y);
      const float* down = mid.Row(y + 1);
      const float* raw = input.Row(y);
      float* product = productRow(y);
      // Four pixels at a time, their four products turned from one vector per product into one
      // vector per pixel (SSE); the same arithmetic as the loop after it.
      int x = x0;
#if defined(__SSE2__)
      const __m128 half = _mm_set1_ps(0.5f);
      for (; x + 4 <= x1; x += 4) {
        const __m128 ix = _mm_mul_ps(
            half, _mm_sub_ps(_mm_loadu_ps(centre + x + 1), _mm_loadu_ps(centre + x - 1)));
        const __m128 iy =
            _mm_mul_ps(half, _mm_sub_ps(_mm_loadu_ps(down + x), _mm_loadu_ps(up + x)));
        const __m128 detail = _mm_sub_ps(_mm_loadu_ps(raw + x), _mm_loadu_ps(centre + x));
        __m128 xx = _mm_mul_ps(ix, ix);
        __m128 xy = _mm_mul_ps(ix, iy);
        __m128 yy = _mm_mul_ps(iy, iy);
        __m128 dd = _mm_mul_ps(detail, detail);
        _MM_TRANSPOSE4_PS(xx, xy, yy, dd);
        float* out = product + 4 * static_cast<std::size_t>(x);
        _mm_storeu_ps(out, xx);
        _mm_storeu_ps(out + 4, xy);
        _mm_storeu_ps(out + 8, yy);
        _mm_storeu_ps(out + 12, dd);
      }
#endif
      for (; x < x1; ++x) {
        const float ix = 0.5f * (centre[x + 1] - centre[x - 1]);
        const float iy = 0.5f * (down[x] - up[x]);
        const float detail = raw[x] - centre[x];
        product[4 * x + 0] = ix * ix;
        product[4 * x + 1] = ix * iy;
        product[4 * x + 2] = iy * iy;
        product[4 * x + 3] = detail * detail;
      }
    };
    const std::vector<float> integrationWeights = GaussianWeights(layout.IntegrationScale(s));
    int computedTo = std::numeric_limits<int>::min();

    // The scale's features of one pixel x of plane row y, from the rows above, at and below it
    // in the smoothing, the half smoothing and the integrated products. The same arithmetic
    // whether a whole row or single pixels are asked for, so the values are too.
    struct Core {
      float gradient, laplacian, larger, smaller, dog;
    };
    const auto coreAt = [](const float* up, const float* centre, const float* down,
                           const float* half, int x) __attribute__((always_inline)) {
      Core core{};
      const float ix = 0.5f * (centre[x + 1] - centre[x - 1]);
      const float iy = 0.5f * (down[x] - up[x]);
      const float ixx = centre[x + 1] - 2.0f * centre[x] + centre[x - 1];
      const float iyy = down[x] - 2.0f * centre[x] + up[x];
      const float ixy = 0.25f * (down[x + 1] - down[x - 1] - up[x + 1] + up[x - 1]);
      core.gradient = std::sqrt(ix * ix + iy * iy);
      core.laplacian = ixx + iyy;
      Eigenvalues(ixx, ixy, iyy, core.larger, core.smaller);
      core.dog = half[x] - centre[x];
      return core;
    };
    // Rows of many kept pixels are computed whole in loops that vectorise, then written into the
    // pixel-major tile in one pass of nine adjacent values; rows of few (a grid, or sparse
    // samples) only at their pixels.
    float* gradient = ws.rows.data();
    float* laplacian = gradient + width;
    float* larger = laplacian + width;
    float* smaller = larger + width;
    float* dog = smaller + width;
    float* tensorLarger = dog + width;
    float* tensorSmaller = tensorLarger + width;
    for (std::size_t keptIndex = firstKept; keptIndex < endKept; ++keptIndex) {
      const KeptRow& keptRow = kept[keptIndex];
      const int y = keptRow.y + halo;
      const bool few = 2 * keptRow.count < rect.width;
      // The ring holds rows y - reach .. y + reach once the missing ones are computed; the rows
      // they replace lie above every row still to come.
      for (int r = std::max(computedTo + 1, y - reach); r <= y + reach; ++r) computeProducts(r);
      computedTo = y + reach;
      BlurRowAt(productRow, y, ws.integrated.data(), 4, halo, halo + rect.width, integrationWeights,
                ws.scratch, few ? keptRow.xs : nullptr, keptRow.count);
      const float* up = mid.Row(y - 1) + halo;
      const float* centre = mid.Row(y) + halo;
      const float* down = mid.Row(y + 1) + halo;
      const float* half = halfPlane.Row(y) + halo;
      const float* sums = ws.integrated.data();
      float* out = outputOf(keptRow) + feature;
      if (few) {
        for (int k = 0; k < keptRow.count; ++k, out += count) {
          const int x = keptRow.xs[k];
          const Core core = coreAt(up, centre, down, half, x);
          const float* sum = sums + 4 * static_cast<std::size_t>(x);
          out[0] = centre[x];
          out[1] = core.gradient;
          out[2] = core.laplacian;
          out[3] = core.larger;
          out[4] = core.smaller;
          out[5] = core.dog;
          Eigenvalues(sum[0], sum[1], sum[2], out[6], out[7]);
          out[8] = sum[3];
        }
      } else {
        for (int x = 0; x < rect.width; ++x) {
          const Core core = coreAt(up, centre, down, half, x);
          gradient[x] = core.gradient;
          laplacian[x] = core.laplacian;
          larger[x] = core.larger;
          smaller[x] = core.smaller;
          dog[x] = core.dog;
        }
        for (int x = 0; x < rect.width; ++x) {
          Eigenvalues(sums[4 * x], sums[4 * x + 1], sums[4 * x + 2], tensorLarger[x],
                      tensorSmaller[x]);
        }
        for (int k = 0; k < keptRow.count; ++k, out += count) {
          const auto x = static_cast<std::size_t>(keptRow.xs[k]);
          out[0] = centre[x];
          out[1] = gradient[x];
          out[2] = laplacian[x];
          out[3] = larger[x];
          out[4] = smaller[x];
          out[5] = dog[x];
          out[6] = tensorLarger[x];
          out[7] = tensorSmaller[x];
          out[8] = sums[4 * x + 3];
        }
      }
      if (!orientation) continue;
      out = outputOf(keptRow) + feature;
      for (int k = 0; k < keptRow.count; ++k, out += count) {
        const auto x = static_cast<std::size_t>(keptRow.xs[k]);
        const float jxx = sums[4 * x], jxy = sums[4 * x + 1], jyy = sums[4 * x + 2];
        const float weight = 1.0f / (jxx + jyy + 1.0f);
        out[9] = (jxx - jyy) * weight;
        out[10] = 2.0f * jxy * weight;
      }
    }
  });
  return tile;
}

}  // namespace

TileFeatures ComputeTileFeatures(const IImage& image, const TileRect& rect,
                                 const FeatureLayout& layout, int step) {
  TileFeatures tile;
  tile.rect = rect;
  tile.step = std::max(1, step);
  std::vector<int> xs;
  for (int x = 0; x < rect.width; x += tile.step) xs.push_back(x);
  std::vector<KeptRow> kept;
  for (int y = 0; y < rect.height; y += tile.step) {
    kept.push_back(KeptRow{y, xs.data(), static_cast<int>(xs.size()), kept.size() * xs.size()});
  }
  return ComputeFeatures(image, std::move(tile), layout, kept);
}

TileFeatures ComputePixelFeatures(const IImage& image, const TileRect& rect,
                                  const FeatureLayout& layout, std::vector<std::uint32_t> pixels) {
  TileFeatures tile;
  tile.rect = rect;
  tile.sparse = true;
  std::sort(pixels.begin(), pixels.end());
  pixels.erase(std::unique(pixels.begin(), pixels.end()), pixels.end());
  const auto tilePixels = static_cast<std::uint64_t>(rect.width) * rect.height;
  while (!pixels.empty() && pixels.back() >= tilePixels) pixels.pop_back();
  std::vector<int> xs(pixels.size());
  std::vector<KeptRow> kept;
  const auto width = static_cast<std::uint32_t>(rect.width);
  for (std::size_t k = 0; k < pixels.size(); ++k) {
    const auto y = static_cast<int>(pixels[k] / width);
    xs[k] = static_cast<int>(pixels[k] % width);
    if (kept.empty() || kept.back().y != y) kept.push_back(KeptRow{y, xs.data() + k, 0, k});
    ++kept.back().count;
  }
  tile.pixels = std::move(pixels);
  return ComputeFeatures(image, std::move(tile), layout, kept);
}

void GaussianBlur(const float* source, float* target, int width, int height, double sigma) {
  GaussianBlurRows(source, target, width, height, 0, height, sigma);
}

void GaussianBlurRows(const float* source, float* target, int width, int height, int first,
                      int rows, double sigma) {
  if (width <= 0 || height <= 0 || rows <= 0) return;
  BlurWindow(source, width, height, 0, first, width, rows, target, static_cast<std::size_t>(width),
             sigma);
}

const float* TileFeatures::Pixel(int x, int y) const {
  if (sparse) {
    const auto index =
        static_cast<std::uint32_t>(y - rect.y) * static_cast<std::uint32_t>(rect.width) +
        static_cast<std::uint32_t>(x - rect.x);
    const auto found = std::lower_bound(pixels.begin(), pixels.end(), index);
    if (found == pixels.end() || *found != index) return nullptr;
    return values.data() +
           static_cast<std::size_t>(found - pixels.begin()) * static_cast<std::size_t>(count);
  }
  const auto column = static_cast<std::size_t>((x - rect.x) / step);
  const auto row = static_cast<std::size_t>((y - rect.y) / step);
  return values.data() +
         (row * static_cast<std::size_t>(Columns()) + column) * static_cast<std::size_t>(count);
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
