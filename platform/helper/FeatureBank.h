// The multi-scale filter bank whose responses the helper's forests learn from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <utility>
#include <vector>

#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/core/TaskPool.h"

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

// Allocates large buffers: a tile's features and filter planes are megabytes each, and faulting
// fresh memory in costs about as much as computing it. Freed large blocks are therefore kept (up
// to a fixed budget) and handed out again for a request of the same rounded size. Thread-safe.
void* AllocateLarge(std::size_t bytes);
// `bytes` must be the size `pointer` was allocated with.
void FreeLarge(void* pointer, std::size_t bytes);
// Bytes held by freed blocks kept for reuse; for diagnostics and tests.
std::size_t PooledLargeBytes();

// Elements are default-initialised: every user overwrites each value before reading it, and
// zeroing tens of megabytes first would cost as much as filling them.
template <class T>
struct LargeBufferAllocator {
  using value_type = T;
  LargeBufferAllocator() = default;
  template <class U>
  LargeBufferAllocator(const LargeBufferAllocator<U>&) {}
  T* allocate(std::size_t n) { return static_cast<T*>(AllocateLarge(n * sizeof(T))); }
  void deallocate(T* pointer, std::size_t n) { FreeLarge(pointer, n * sizeof(T)); }
  template <class U>
  void construct(U* pointer) {
    ::new (static_cast<void*>(pointer)) U;
  }
  template <class U, class... Args>
  void construct(U* pointer, Args&&... args) {
    ::new (static_cast<void*>(pointer)) U(std::forward<Args>(args)...);
  }
  template <class U>
  bool operator==(const LargeBufferAllocator<U>&) const {
    return true;
  }
  template <class U>
  bool operator!=(const LargeBufferAllocator<U>&) const {
    return false;
  }
};

using FloatBuffer = std::vector<float, LargeBufferAllocator<float>>;

// Largest sample size honoured; larger ones are treated as this one.
constexpr double kMaxSampleSize = 32.0;

// Which filters run at which scales for one sample size and channel count.
//
// The sample size is the largest Gaussian scale (sigma, in pixels) of the bank. The scales are
// sampleSize, sampleSize / 2, sampleSize / 4, ... down to the last one of at least 1 pixel (a
// sample size below 1 gives that one scale). Sample size 0 gives no scale: the pixel's own value
// is the only feature. Every scale s also uses the integration scale k s (see the banks below).
//
// Banks: bank 3 (the current one) and bank 2 integrate the structure tensor and local energy at
// 3 s, bank 1 (models written before bank 2) at 2 s; bank 3 adds the two orientation features.
// Below, k s is that scale and J = G_ks * (grad grad^T of G_s * I).
//
// Features per channel, in this order: the pixel's value; then for each scale s, ascending:
//   0 smoothed value            G_s * I
//   1 gradient magnitude        |grad(G_s * I)| (central differences)
//   2 Laplacian of Gaussian     Ixx + Iyy of G_s * I (second differences)
//   3, 4 Hessian eigenvalues    larger, smaller of [[Ixx, Ixy], [Ixy, Iyy]] of G_s * I
//   5 difference of Gaussians   G_s/2 * I - G_s * I
//   6, 7 structure tensor       larger, smaller eigenvalue of J
//   8 local energy              G_ks * (I - G_s * I)^2
//   9, 10 orientation (bank 3)  (Jxx - Jyy) / (Jxx + Jyy + 1), 2 Jxy / (Jxx + Jyy + 1): the
//                               dominant direction of the texture, weighted by how strongly it
//                               dominates; everything else is the same in every direction, so
//                               without these stripes at 0 and at 90 degrees look alike.
// Channels follow one another (colour images: red, green, blue). Every Gaussian is computed once
// and its derivatives taken by small stencils; the blurs and the (channel, scale) blocks run on
// the workers of RunTasks, and the values do not depend on how many there are. Images are mirrored
// at their borders (reflection about the edge pixel), so a pixel's features do not depend on how
// the image is cut into tiles.
class FeatureLayout {
 public:
  static constexpr int kCurrentBank = 3;

  // Throws ArgumentException for a sample size that is negative or not a number, a channel count
  // outside 1..3 or a bank outside 1..kCurrentBank.
  FeatureLayout(double sampleSize, int channelCount, int bank = kCurrentBank);

  // Features per scale of banks 1 and 2; bank 3 adds kOrientationFeatures.
  static constexpr int kPerScale = 9;
  static constexpr int kOrientationFeatures = 2;

  int Bank() const { return bank_; }
  // The integration scale of scale `s`.
  double IntegrationScale(double s) const { return (bank_ == 1 ? 2.0 : 3.0) * s; }

  double SampleSize() const { return sampleSize_; }
  int ChannelCount() const { return channelCount_; }
  const std::vector<double>& Scales() const { return scales_; }
  int PerScale() const { return kPerScale + (bank_ >= 3 ? kOrientationFeatures : 0); }
  int PerChannel() const { return 1 + PerScale() * static_cast<int>(scales_.size()); }
  int Count() const { return channelCount_ * PerChannel(); }
  // How far, in pixels, a feature looks from its pixel: GaussianRadius(s) + 1 +
  // GaussianRadius(IntegrationScale(s)) for the largest scale s.
  int Halo() const { return halo_; }

  bool operator==(const FeatureLayout& other) const {
    return sampleSize_ == other.sampleSize_ && channelCount_ == other.channelCount_ &&
           bank_ == other.bank_;
  }

 private:
  double sampleSize_;
  int channelCount_;
  int bank_;
  std::vector<double> scales_;
  int halo_ = 0;
};

// Radius of the sampled Gaussian kernel of scale `sigma`: ceil(3 sigma), at least 1.
int GaussianRadius(double sigma);
// The normalised weights w[0..radius] of a symmetric Gaussian kernel (w[k] weighs offsets +-k).
std::vector<float> GaussianWeights(double sigma);

// The separable Gaussian of scale `sigma` (the weights of GaussianWeights) of a width x height
// plane, mirrored at its edges (reflection about the edge pixel). `source` and `target` must not
// overlap. The helper's one blur, for features and probability maps alike: SIMD-vectorised with
// the instruction set chosen at run time, and a pixel's value depends only on its neighbourhood,
// not on where the plane starts or how wide it is.
void GaussianBlur(const float* source, float* target, int width, int height, double sigma);
// Rows first .. first + rows - 1 of GaussianBlur of the plane, into `target` (rows x width), with
// exactly the values the whole blur gives them. `target` must not overlap those rows' sources.
void GaussianBlurRows(const float* source, float* target, int width, int height, int first,
                      int rows, double sigma);

// Worker threads the helper may use: VisionToolMultiThreading::Workers().
int EngineThreadCount();
// The framework's RunTasks on up to EngineThreadCount() workers. Callers that size per-worker
// state first, and must not see the framework setting change in between, name the count
// themselves with the framework's RunTasks(count, workers, body).
void RunTasks(int count, const std::function<void(int task, int worker)>& body);
using Tamrix::Vision::RunTasks;

// A rectangle of pixels of an image.
struct TileRect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const TileRect& o) const {
    return x == o.x && y == o.y && width == o.width && height == o.height;
  }
};

// The features of some pixels of one rectangle, pixel-major (`count` values per pixel): either
// those on a grid of `step` pixels, at rect.x + i step, rect.y + j step (every pixel for step 1),
// row by row; or, when `sparse`, the pixels listed in `pixels` (raster indices within the
// rectangle, ascending), in that order.
struct TileFeatures {
  TileRect rect;
  int step = 1;
  bool sparse = false;
  std::vector<std::uint32_t> pixels;
  int count = 0;
  FloatBuffer values;

  int Columns() const { return (rect.width + step - 1) / step; }
  int Rows() const { return (rect.height + step - 1) / step; }
  // The features of image pixel (x, y): a grid pixel of the tile, or one of the listed pixels
  // (null for any other pixel of a sparse tile).
  const float* Pixel(int x, int y) const;
  std::size_t Bytes() const {
    return values.size() * sizeof(float) + pixels.size() * sizeof(std::uint32_t);
  }
};

// Computes the features of the pixels of `rect` (which lies inside `image`) on a grid of `step`
// pixels (at least 1). A grid pixel's features are those of step 1, bit for bit: the filters run
// over the whole tile, only the per-pixel arithmetic and the storage shrink with the grid. Only
// reads `image`. Throws VisionException when the image's channel count differs from the layout's.
TileFeatures ComputeTileFeatures(const IImage& image, const TileRect& rect,
                                 const FeatureLayout& layout, int step = 1);
// The same for the listed pixels of `rect` only (raster indices within it; repeats and indices
// past its end are dropped), with exactly the values every pixel gets.
TileFeatures ComputePixelFeatures(const IImage& image, const TileRect& rect,
                                  const FeatureLayout& layout, std::vector<std::uint32_t> pixels);

// The rectangles, at most tileSize x tileSize, that cover a width x height image row by row.
std::vector<TileRect> TileGrid(int width, int height, int tileSize);

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
