// What the forest model does with images: draws training samples from items and classifies
// images tile by tile.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/core/PixelMask.h"
#include "platform/helper/FeatureBank.h"
#include "platform/helper/RandomForest.h"

namespace Tamrix::Vision::SmartCore {
class SmartTrainData;
}  // namespace Tamrix::Vision::SmartCore

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

class FeatureCache;

// Side of the square tiles in which images are processed. Peak memory grows with the tile (its
// features and the filter planes of its halo), not with the image.
constexpr int kTileSize = 512;
// Side of the tiles of a classification grid (step above 1). A grid keeps a sixteenth of a tile's
// features, so its tiles can be four times as large for the same memory; every tile is filtered
// with a halo around it, and the larger the tile the smaller the share of the halo (a 768 x 768
// image filtered 1.57 times its area in one tile, 2.26 times in four).
constexpr int kGridTileSize = 1024;
// Side of the squares into which training cuts a tile whose labelled pixels are few; each square
// is cut down further to the box of its labelled pixels before its features are computed.
constexpr int kSparseTileSize = 128;
// Columns that vectorised row filters process together (a multiple of every vector width).
constexpr int kFilterAlignment = 16;
// Width in pixels of the stroke that stands for a curve (a shape that is not an area), like a
// brush scribble.
constexpr double kCurveStrokeWidth = 3.0;
// Most samples drawn per class (label / other labels) from one training item: a few thousand teach
// forests of 8 trees of depth 6 all they can take, and every sample is kept in the model file.
constexpr std::size_t kMaxSamplesPerClass = 2048;

// The pixels of one item that teach a label: those of its shapes (positive) and those of the
// shapes of other labels (negative). A pixel under shapes of both counts for both.
struct LabelMasks {
  PixelMask positive;
  PixelMask negative;
};

// Rasterizes the item's assignments onto a width x height grid. Areas give their inside, curves a
// stroke kCurveStrokeWidth wide. Assignments without a label or a shape are skipped.
LabelMasks RasterizeLabelMasks(const SmartCore::SmartTrainData& item, int width, int height,
                               const std::string& labelName);

// A hash of the image's size, format and pixel values.
std::uint64_t ImageFingerprint(const IImage& image);
// A hash of an image fingerprint and the masks: equal content gives equal fingerprints, whatever
// the objects holding it.
std::uint64_t ItemFingerprint(std::uint64_t imageFingerprint, const LabelMasks& masks);

// At most `cap` raster indices of the set pixels of `mask`, ascending. Which ones are taken depends
// only on the seed, the fingerprint and the mask, not on the order of items.
std::vector<std::size_t> ChooseSamples(const PixelMask& mask, std::size_t cap, std::uint64_t seed,
                                       std::uint64_t fingerprint);

// The samples one item gives: features of the chosen pixels, positives first. Tiles come from
// `cache` when given.
SampleMatrix SampleItem(const IImage& image, const LabelMasks& masks, const FeatureLayout& layout,
                        std::uint64_t seed, std::uint64_t fingerprint, FeatureCache* cache);

// The forest's probability for every pixel of `image` (raster order), classified in tiles of
// tileSize x tileSize. With `inside`, pixels outside it stay 0 and tiles without any inside pixel
// are skipped. Tiles come from `cache` when given and tileSize is kTileSize.
std::vector<float> ClassifyImage(const RandomForest& forest, const IImage& image,
                                 const PixelMask* inside, const FeatureLayout& layout, int tileSize,
                                 FeatureCache* cache);

// Probability smoothing from which images are classified on a grid of every fourth pixel.
constexpr double kCoarseSmoothing = 4.0;
// The grid step SegmentImage is given for probability smoothing at `sigma`: 4 from
// kCoarseSmoothing on, else 1. A smoothing that wide spreads each probability over dozens of
// pixels and leaves nothing finer than the grid to interpolate, so classifying one pixel in 16
// changes the masks little (mean IoU 0.8360 on the benchmark mosaics, against 0.8345 for every
// second pixel) and saves all but a sixteenth of the forest walks and of the stored features.
int ClassificationStride(double sigma);

// The label's probability level (probability x 255, rounded to the nearest) of every pixel of
// `image`; a level reaches 128 exactly where the probability reaches 0.5. The forest classifies
// the grid pixels (i stride, j stride), counted from the image's corner, in kGridTileSize tiles
// (kTileSize ones for stride 1); the
// grid's probabilities are smoothed at sigma / stride (as SmoothProbabilities smooths a plane),
// and every pixel takes the bilinear interpolation of the four grid pixels around it (the last
// grid row and column for pixels beyond them). With stride 1 the levels are those of
// SmoothProbabilities (at `sigma`) of ClassifyImage (kTileSize tiles). With `inside` every pixel
// inside is classified, whatever the stride. Works in bands of tile rows, so only three bands of
// probabilities are held at a time, never a plane of the image. Throws ArgumentException for a
// stride that does not divide kTileSize.
std::vector<std::uint8_t> SegmentImage(const RandomForest& forest, const IImage& image,
                                       const PixelMask* inside, const FeatureLayout& layout,
                                       double sigma, int stride, FeatureCache* cache);

// Smooths a probability map in place with a Gaussian of scale `sigma` (no change for sigma 0),
// averaging only over the pixels of `inside` (all pixels when null), so that nothing leaks in
// from pixels that were not classified; pixels outside stay 0. Neighbouring pixels of one texture
// agree far more often than single pixels, so this removes speckle that no per-pixel classifier
// avoids.
void SmoothProbabilities(std::vector<float>& probabilities, int width, int height,
                         const PixelMask* inside, double sigma);

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
