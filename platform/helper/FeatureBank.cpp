#include "platform/helper/FeatureBank.h"

#ifdef __linux__
#include <sys/mman.h>
#endif

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdlib>
#include <exception>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "interfaces/core/Exceptions.h"

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

// One channel of the window (x0, y0, width, height) of `image`, mirrored where it leaves the image.
Plane ReadWindow(const IImage& image, int channel, int x0, int y0, int width, int height) {
  Plane plane(width, height);
  const int imageWidth = image.Width();
  const int imageHeight = image.Height();
  std::vector<int> columns(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x)
    columns[static_cast<std::size_t>(x)] = Reflect(x0 + x, imageWidth);
  const auto* grey8 = dynamic_cast<const IImage8GreyData*>(&image);
  const auto* grey16 = dynamic_cast<const IImage16GreyData*>(&image);
  const auto* colour = dynamic_cast<const IImage24PlanarColorData*>(&image);
  const PixelFormat format = image.Format();
  for (int y = 0; y < height; ++y) {
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
  return plane;
}

// The rows and columns of a plane a blur must produce.
struct Window {
  int x0, y0, x1, y1;
};

// Separable Gaussian of `in` into `out` (`scratch` holds the vertical pass), computed only inside
// `window` (the whole plane when null); elsewhere `out` is left undefined. Offsets that leave the
// plane are clamped to its edge: those results lie in the halo and are never used. A pixel's value
// does not depend on the window.
void Blur(const Plane& in, const std::vector<float>& w, Plane& scratch, Plane& out,
          const Window* window = nullptr) {
  const int width = in.width;
  const int height = in.height;
  const Window all{0, 0, width, height};
  const Window& area = window != nullptr ? *window : all;
  const int radius = static_cast<int>(w.size()) - 1;
  // Buffers of the right size are reused as they are: every value read is overwritten below.
  if (scratch.width != width || scratch.height != height) scratch = Plane(width, height);
  if (out.width != width || out.height != height) out = Plane(width, height);
  for (int y = area.y0; y < area.y1; ++y) {
    float* target = scratch.Row(y);
    const float* centre = in.Row(y);
    for (int x = 0; x < width; ++x) target[x] = w[0] * centre[x];
    for (int k = 1; k <= radius; ++k) {
      const float* above = in.Row(std::max(0, y - k));
      const float* below = in.Row(std::min(height - 1, y + k));
      const float weight = w[static_cast<std::size_t>(k)];
      for (int x = 0; x < width; ++x) target[x] += weight * (above[x] + below[x]);
    }
  }
  // Horizontal pass, offset by offset over whole rows so that the loop over x vectorises; each
  // pixel still sums w0 s[x] + w1 (s[x-1] + s[x+1]) + ... in that order, inside or at the edge.
  const int first = std::clamp(std::min(radius, width), area.x0, area.x1);
  const int last = std::clamp(std::max(std::min(radius, width), width - radius), first, area.x1);
  for (int y = area.y0; y < area.y1; ++y) {
    const float* source = scratch.Row(y);
    float* target = out.Row(y);
    for (int x = area.x0; x < area.x1; ++x) target[x] = w[0] * source[x];
    for (int k = 1; k <= radius; ++k) {
      const float weight = w[static_cast<std::size_t>(k)];
      for (int x = area.x0; x < first; ++x) {
        target[x] += weight * (source[std::max(0, x - k)] + source[std::min(width - 1, x + k)]);
      }
      for (int x = first; x < last; ++x) target[x] += weight * (source[x - k] + source[x + k]);
      for (int x = last; x < area.x1; ++x) {
        target[x] += weight * (source[std::max(0, x - k)] + source[std::min(width - 1, x + k)]);
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

constexpr std::size_t kHugePage = std::size_t{2} << 20;
// Freed blocks kept for reuse: enough for a few tiles' features and the planes of the workers.
constexpr std::size_t kPoolBudget = std::size_t{160} << 20;

struct LargePool {
  std::mutex mutex;
  std::vector<std::pair<void*, std::size_t>> blocks;
  std::size_t bytes = 0;
};

LargePool& Pool() {
  // Never destroyed: buffers may be freed by static objects' destructors after this one's.
  static LargePool* pool = new LargePool();
  return *pool;
}

// Blocks from 256 KiB on are pooled, rounded to 64 KiB (whole huge pages from two huge pages on,
// where they are also placed in huge pages), so that sizes that differ a little still match.
bool Pooled(std::size_t bytes) { return bytes >= (std::size_t{256} << 10); }
bool Huge(std::size_t bytes) { return bytes >= 2 * kHugePage; }
std::size_t Rounded(std::size_t bytes) {
  const std::size_t unit = Huge(bytes) ? kHugePage : std::size_t{64} << 10;
  return (bytes + unit - 1) / unit * unit;
}

}  // namespace

void* AllocateLarge(std::size_t bytes) {
  void* pointer = nullptr;
  if (Pooled(bytes)) {
    const std::size_t rounded = Rounded(bytes);
    {
      LargePool& pool = Pool();
      std::lock_guard<std::mutex> lock(pool.mutex);
      // The most recently freed block first: it is the likeliest to be still in the caches.
      for (auto it = pool.blocks.rbegin(); it != pool.blocks.rend(); ++it) {
        if (it->second != rounded) continue;
        pointer = it->first;
        pool.bytes -= rounded;
        pool.blocks.erase(std::next(it).base());
        return pointer;
      }
    }
    if (!Huge(bytes)) {
      pointer = std::malloc(rounded);
    } else {
      pointer = std::aligned_alloc(kHugePage, rounded);
#ifdef __linux__
      if (pointer != nullptr) ::madvise(pointer, rounded, MADV_HUGEPAGE);
#endif
    }
  }
  if (pointer == nullptr && !Pooled(bytes)) pointer = std::malloc(bytes == 0 ? 1 : bytes);
  if (pointer == nullptr) throw std::bad_alloc();
  return pointer;
}

void FreeLarge(void* pointer, std::size_t bytes) {
  if (pointer == nullptr) return;
  if (Pooled(bytes)) {
    const std::size_t rounded = Rounded(bytes);
    LargePool& pool = Pool();
    std::lock_guard<std::mutex> lock(pool.mutex);
    // The oldest blocks make room, so the pool follows the sizes in current use.
    while (!pool.blocks.empty() && pool.bytes + rounded > kPoolBudget) {
      pool.bytes -= pool.blocks.front().second;
      std::free(pool.blocks.front().first);
      pool.blocks.erase(pool.blocks.begin());
    }
    if (pool.bytes + rounded <= kPoolBudget) {
      pool.blocks.emplace_back(pointer, rounded);
      pool.bytes += rounded;
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
  for (double value : w) weights.push_back(static_cast<float>(value / total));
  return weights;
}

FeatureLayout::FeatureLayout(double sampleSize, int channelCount)
    : sampleSize_(sampleSize), channelCount_(channelCount) {
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
    halo_ = std::max(halo_, GaussianRadius(s) + 1 + GaussianRadius(2.0 * s));
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

TileFeatures ComputeTileFeatures(const IImage& image, const TileRect& rect,
                                 const FeatureLayout& layout) {
  if (image.ChannelCount() != layout.ChannelCount()) {
    throw VisionException(VisionExceptionCodes::InvalidArgument,
                          "Feature bank: expected an image of " +
                              std::to_string(layout.ChannelCount()) + " channel(s), found " +
                              std::to_string(image.ChannelCount()));
  }
  TileFeatures tile;
  tile.rect = rect;
  tile.count = layout.Count();
  const std::size_t pixels = static_cast<std::size_t>(rect.width) * rect.height;
  tile.values.resize(pixels * static_cast<std::size_t>(tile.count));
  const int halo = layout.Halo();
  const int paddedWidth = rect.width + 2 * halo;
  const int paddedHeight = rect.height + 2 * halo;
  const int perChannel = layout.PerChannel();
  const auto count = static_cast<std::size_t>(tile.count);

  // Writes plane `source` (padded) as feature `feature` of every pixel of the tile.
  const auto store = [&](const Plane& source, int feature) {
    for (int y = 0; y < rect.height; ++y) {
      const float* row = source.Row(y + halo) + halo;
      float* out = tile.values.data() + static_cast<std::size_t>(y) * rect.width * count +
                   static_cast<std::size_t>(feature);
      for (int x = 0; x < rect.width; ++x) out[static_cast<std::size_t>(x) * count] = row[x];
    }
  };

  // Every (channel, scale) pair fills its own features, so the pairs run on parallel threads
  // without changing a single value.
  std::vector<Plane> inputs;
  for (int channel = 0; channel < layout.ChannelCount(); ++channel) {
    inputs.push_back(
        ReadWindow(image, channel, rect.x - halo, rect.y - halo, paddedWidth, paddedHeight));
    store(inputs.back(), channel * perChannel);
  }
  const int scaleCount = static_cast<int>(layout.Scales().size());
  const int tasks = layout.ChannelCount() * scaleCount;
  // Core-pixel writer for values computed on the fly (no padded plane needed).
  const auto put = [&](int x, int y, int feature, float value) {
    tile.values[(static_cast<std::size_t>(y) * rect.width + static_cast<std::size_t>(x)) * count +
                static_cast<std::size_t>(feature)] = value;
  };
  // The planes a worker needs, allocated once per worker: fresh memory is expensive to fault in.
  struct Workspace {
    Plane scratch, smooth, half, a, b, c, energy;
  };
  const auto run = [&](int task, Workspace& ws) {
    // Coarse scales first: their blurs are the widest, and the finer ones then fill the other
    // threads' time instead of leaving one thread alone with the largest task at the end.
    const int channel = task / scaleCount;
    const int scale = scaleCount - 1 - task % scaleCount;
    const double s = layout.Scales()[static_cast<std::size_t>(scale)];
    const Plane& input = inputs[static_cast<std::size_t>(channel)];
    const int feature = channel * perChannel + 1 + scale * FeatureLayout::kPerScale;
    const std::vector<float> coarse = GaussianWeights(2.0 * s);
    for (Plane* plane : {&ws.a, &ws.b, &ws.c, &ws.energy}) {
      if (plane->width != paddedWidth || plane->height != paddedHeight) {
        *plane = Plane(paddedWidth, paddedHeight);
      }
    }
    Blur(input, GaussianWeights(s), ws.scratch, ws.smooth);
    Blur(input, GaussianWeights(0.5 * s), ws.scratch, ws.half);
    store(ws.smooth, feature + 0);
    for (int y = 0; y < paddedHeight; ++y) {
      const float* up = ws.smooth.Row(std::max(0, y - 1));
      const float* mid = ws.smooth.Row(y);
      const float* down = ws.smooth.Row(std::min(paddedHeight - 1, y + 1));
      const float* raw = input.Row(y);
      const float* half = ws.half.Row(y);
      float* a = ws.a.Row(y);
      float* b = ws.b.Row(y);
      float* c = ws.c.Row(y);
      float* energy = ws.energy.Row(y);
      const bool coreRow = y >= halo && y < halo + rect.height;
      for (int x = 0; x < paddedWidth; ++x) {
        const int left = std::max(0, x - 1);
        const int right = std::min(paddedWidth - 1, x + 1);
        const float ix = 0.5f * (mid[right] - mid[left]);
        const float iy = 0.5f * (down[x] - up[x]);
        a[x] = ix * ix;
        b[x] = ix * iy;
        c[x] = iy * iy;
        const float detail = raw[x] - mid[x];
        energy[x] = detail * detail;
        if (!coreRow || x < halo || x >= halo + rect.width) continue;
        const float ixx = mid[right] - 2.0f * mid[x] + mid[left];
        const float iyy = down[x] - 2.0f * mid[x] + up[x];
        const float ixy = 0.25f * (down[right] - down[left] - up[right] + up[left]);
        float larger = 0.0f, smaller = 0.0f;
        Eigenvalues(ixx, ixy, iyy, larger, smaller);
        const int cx = x - halo, cy = y - halo;
        put(cx, cy, feature + 1, std::sqrt(ix * ix + iy * iy));
        put(cx, cy, feature + 2, ixx + iyy);
        put(cx, cy, feature + 3, larger);
        put(cx, cy, feature + 4, smaller);
        put(cx, cy, feature + 5, half[x] - mid[x]);
      }
    }
    // The integration-scale blurs reuse planes that are no longer needed.
    // Only the tile's own pixels are read from the integration-scale blurs.
    const Window core{halo, halo, halo + rect.width, halo + rect.height};
    Blur(ws.a, coarse, ws.scratch, ws.half, &core);
    Blur(ws.b, coarse, ws.scratch, ws.smooth, &core);
    Blur(ws.c, coarse, ws.scratch, ws.a, &core);
    for (int y = 0; y < rect.height; ++y) {
      const float* sa = ws.half.Row(y + halo) + halo;
      const float* sb = ws.smooth.Row(y + halo) + halo;
      const float* sc = ws.a.Row(y + halo) + halo;
      for (int x = 0; x < rect.width; ++x) {
        float larger = 0.0f, smaller = 0.0f;
        Eigenvalues(sa[x], sb[x], sc[x], larger, smaller);
        put(x, y, feature + 6, larger);
        put(x, y, feature + 7, smaller);
      }
    }
    Blur(ws.energy, coarse, ws.scratch, ws.b, &core);
    store(ws.b, feature + 8);
  };
  const int threads =
      std::min(tasks, std::max(1, static_cast<int>(std::thread::hardware_concurrency())));
  if (threads <= 1) {
    Workspace workspace;
    for (int task = 0; task < tasks; ++task) run(task, workspace);
    return tile;
  }
  std::atomic<int> next{0};
  std::exception_ptr failure;
  std::mutex failureMutex;
  const auto worker = [&] {
    Workspace workspace;
    for (int task = next++; task < tasks; task = next++) {
      try {
        run(task, workspace);
      } catch (...) {
        std::lock_guard<std::mutex> lock(failureMutex);
        if (!failure) failure = std::current_exception();
      }
    }
  };
  std::vector<std::thread> pool;
  for (int t = 1; t < threads; ++t) pool.emplace_back(worker);
  worker();
  for (auto& thread : pool) thread.join();
  if (failure) std::rethrow_exception(failure);
  return tile;
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
