#include "platform/helper/Segmentation.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "platform/helper/FeatureCache.h"

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

namespace {

constexpr std::uint64_t kHashStart = 0x84222325CBF29CE4ULL;

std::uint64_t Combine(std::uint64_t hash, std::uint64_t value) {
  return Mix(hash ^ Mix(value + 0x632BE59BD9B4E019ULL));
}

std::uint64_t HashBytes(std::uint64_t hash, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const unsigned char*>(data);
  std::size_t i = 0;
  for (; i + 8 <= size; i += 8) {
    std::uint64_t word = 0;
    std::memcpy(&word, bytes + i, 8);
    hash = Combine(hash, word);
  }
  std::uint64_t tail = size - i;
  for (; i < size; ++i) tail = (tail << 8) | bytes[i];
  return Combine(hash, tail);
}

// Calls visit(x) for every x in x0 .. x1 - 1 where `a` or `b` holds a nonzero byte, in ascending
// order. Labelled pixels are few in most masks, so stretches of zeros go eight bytes at a time.
template <class Visit>
void ForEachSet(const std::uint8_t* a, const std::uint8_t* b, std::size_t x0, std::size_t x1,
                const Visit& visit) {
  std::size_t x = x0;
  while (x < x1) {
    if (x + 8 <= x1) {
      std::uint64_t wordA = 0, wordB = 0;
      std::memcpy(&wordA, a + x, 8);
      std::memcpy(&wordB, b + x, 8);
      if ((wordA | wordB) == 0) {
        x += 8;
        continue;
      }
    }
    if ((a[x] | b[x]) != 0) visit(x);
    ++x;
  }
}

}  // namespace

LabelMasks RasterizeLabelMasks(const SmartCore::SmartTrainData& item, int width, int height,
                               const std::string& labelName) {
  LabelMasks masks{PixelMask(width, height), PixelMask(width, height)};
  const auto assignments = item.Assignments();
  if (!assignments) return masks;
  for (const auto& assignment : *assignments) {
    if (!assignment) continue;
    const auto label = assignment->Label();
    const auto shape = assignment->Shape();
    if (!label || !shape) continue;
    // Areas give their inside, curves a stroke; each shape visits only the pixels near its box.
    shape->RasterizeInto(label->Name() == labelName ? masks.positive : masks.negative,
                         shape->IsArea() ? 0.0 : kCurveStrokeWidth);
  }
  return masks;
}

std::uint64_t ImageFingerprint(const IImage& image) {
  const int width = image.Width();
  const int height = image.Height();
  std::uint64_t hash = Combine(kHashStart, static_cast<std::uint64_t>(width));
  hash = Combine(hash, static_cast<std::uint64_t>(height));
  hash = Combine(hash, static_cast<std::uint64_t>(image.Format()));
  const auto* grey8 = dynamic_cast<const IImage8GreyData*>(&image);
  const auto* grey16 = dynamic_cast<const IImage16GreyData*>(&image);
  const auto* colour = dynamic_cast<const IImage24PlanarColorData*>(&image);
  const PixelFormat format = image.Format();
  const auto w = static_cast<std::size_t>(width);
  for (int c = 0; c < image.ChannelCount(); ++c) {
    for (int y = 0; y < height; ++y) {
      if (grey8 != nullptr && format == PixelFormat::Grey8) {
        hash = HashBytes(hash, grey8->Row(y), w);
      } else if (grey16 != nullptr && format == PixelFormat::Grey16) {
        hash = HashBytes(hash, grey16->Row(y), w * 2);
      } else if (colour != nullptr && format == PixelFormat::PlanarColor24) {
        hash = HashBytes(hash, colour->Row(c, y), w);
      } else {
        for (int x = 0; x < width; ++x) {
          const double value = image.Value(x, y, c);
          hash = HashBytes(hash, &value, sizeof value);
        }
      }
    }
  }
  return hash;
}

std::uint64_t ItemFingerprint(std::uint64_t imageFingerprint, const LabelMasks& masks) {
  std::uint64_t hash = Combine(imageFingerprint, 1);
  hash = HashBytes(hash, masks.positive.Data().data(), masks.positive.Data().size());
  hash = Combine(hash, 2);
  return HashBytes(hash, masks.negative.Data().data(), masks.negative.Data().size());
}

std::vector<std::size_t> ChooseSamples(const PixelMask& mask, std::size_t cap, std::uint64_t seed,
                                       std::uint64_t fingerprint) {
  std::vector<std::size_t> chosen;
  if (cap == 0) return chosen;
  // The pixels with the smallest keys win: a seeded, order-free choice. One pass over the mask
  // keeps the cap smallest keys seen so far in a max-heap, so a densely labelled mask costs one
  // key per pixel and no list of all its pixels.
  const std::uint64_t base = Mix(seed ^ Mix(fingerprint));
  const auto& bits = mask.Data();
  std::vector<std::pair<std::uint64_t, std::size_t>> heap;
  ForEachSet(bits.data(), bits.data(), 0, bits.size(), [&](std::size_t i) {
    const std::uint64_t key = Mix(base + i);
    if (heap.size() < cap) {
      heap.emplace_back(key, i);
      if (heap.size() == cap) std::make_heap(heap.begin(), heap.end());
    } else if (key < heap.front().first) {
      std::pop_heap(heap.begin(), heap.end());
      heap.back() = {key, i};
      std::push_heap(heap.begin(), heap.end());
    }
  });
  chosen.reserve(heap.size());
  for (const auto& entry : heap) chosen.push_back(entry.second);
  std::sort(chosen.begin(), chosen.end());
  return chosen;
}

SampleMatrix SampleItem(const IImage& image, const LabelMasks& masks, const FeatureLayout& layout,
                        std::uint64_t seed, std::uint64_t fingerprint, FeatureCache* cache) {
  const std::vector<std::size_t> positives =
      ChooseSamples(masks.positive, kMaxSamplesPerClass, seed, fingerprint);
  const std::vector<std::size_t> negatives =
      ChooseSamples(masks.negative, kMaxSamplesPerClass, seed + 1, fingerprint);
  SampleMatrix samples;
  samples.featureCount = layout.Count();
  const std::size_t total = positives.size() + negatives.size();
  samples.values.resize(total * static_cast<std::size_t>(samples.featureCount));
  samples.positive.assign(positives.size(), 1);
  samples.positive.resize(total, 0);
  if (total == 0) return samples;
  const int width = image.Width();
  const auto count = static_cast<std::size_t>(samples.featureCount);
  // Tile by tile, so that only one tile's features are held (or shared through the cache). Where
  // few of a tile's pixels are labelled, only theirs are computed: they are the same for every
  // label (one label's positives are the others' negatives), so the segmenters of all labels
  // share them through the cache. Their filters then run around the labelled pixels only: each
  // kSparseTileSize square of the tile is cut down to the box of its labelled pixels, so sparse
  // annotations cost about their own extent plus the filters' reach, not whole tiles.
  const auto& positiveBits = masks.positive.Data();
  const auto& negativeBits = masks.negative.Data();
  const auto w = static_cast<std::size_t>(width);
  // Calls visit(x) for each labelled x in x0 .. x1 - 1 of row y.
  const auto forLabelled = [&](int y, int x0, int x1, const auto& visit) {
    const std::size_t row = static_cast<std::size_t>(y) * w;
    ForEachSet(positiveBits.data() + row, negativeBits.data() + row, static_cast<std::size_t>(x0),
               static_cast<std::size_t>(x1), [&](std::size_t x) { visit(static_cast<int>(x)); });
  };
  // Labelled pixels per kSparseTileSize square of the image (the squares of every tile).
  const int squareColumns = (width + kSparseTileSize - 1) / kSparseTileSize;
  const int squareRows = (image.Height() + kSparseTileSize - 1) / kSparseTileSize;
  const auto squareOf = [&](int x, int y) {
    return static_cast<std::size_t>(y / kSparseTileSize) * static_cast<std::size_t>(squareColumns) +
           static_cast<std::size_t>(x / kSparseTileSize);
  };
  std::vector<long long> labelledIn(static_cast<std::size_t>(squareColumns) * squareRows, 0);
  for (int y = 0; y < image.Height(); ++y) {
    forLabelled(y, 0, width, [&](int x) { ++labelledIn[squareOf(x, y)]; });
  }
  // The chosen samples of each square: their raster index and their row of `samples`.
  std::vector<std::vector<std::pair<std::size_t, std::size_t>>> chosenIn(labelledIn.size());
  {
    std::size_t row = 0;
    for (const std::vector<std::size_t>* chosen : {&positives, &negatives}) {
      for (std::size_t index : *chosen) {
        const int x = static_cast<int>(index % w);
        const int y = static_cast<int>(index / w);
        chosenIn[squareOf(x, y)].emplace_back(index, row++);
      }
    }
  }
  // The labelled pixels of `rect` (a square) as raster indices within the box they span, which
  // `rect` becomes.
  const auto labelledPixels = [&](TileRect& rect) {
    int x0 = rect.x + rect.width, y0 = rect.y + rect.height, x1 = rect.x - 1, y1 = rect.y - 1;
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
      forLabelled(y, rect.x, rect.x + rect.width, [&](int x) {
        x0 = std::min(x0, x), x1 = std::max(x1, x), y0 = std::min(y0, y), y1 = std::max(y1, y);
      });
    }
    // The box's columns start and end where the tile's do modulo kFilterAlignment (or at its
    // right end): the row filters then treat every pixel with the same vector lanes as over the
    // whole tile, which keeps the features bit for bit what the whole tile gives them.
    const int right = rect.x + rect.width;
    x0 = rect.x + (x0 - rect.x) / kFilterAlignment * kFilterAlignment;
    x1 = std::min(right,
                  rect.x + (x1 - rect.x) / kFilterAlignment * kFilterAlignment + kFilterAlignment) -
         1;
    rect = TileRect{x0, y0, x1 - x0 + 1, y1 - y0 + 1};
    std::vector<std::uint32_t> pixels;
    for (int y = rect.y; y < rect.y + rect.height; ++y) {
      forLabelled(y, rect.x, rect.x + rect.width, [&](int x) {
        pixels.push_back(static_cast<std::uint32_t>((y - rect.y) * rect.width + (x - rect.x)));
      });
    }
    return pixels;
  };
  // The squares of `rect` (a tile), by their index.
  const auto squaresOf = [&](const TileRect& rect) {
    std::vector<std::size_t> squares;
    for (int y = rect.y; y < rect.y + rect.height; y += kSparseTileSize) {
      for (int x = rect.x; x < rect.x + rect.width; x += kSparseTileSize) {
        squares.push_back(squareOf(x, y));
      }
    }
    return squares;
  };
  // Copies the features of the chosen pixels of `squares` from the features `get` gives (asked
  // for only when some chosen pixel lies there).
  const auto take = [&](const std::vector<std::size_t>& squares, const auto& get) {
    std::shared_ptr<const TileFeatures> tile;
    for (std::size_t square : squares) {
      for (const auto& [index, row] : chosenIn[square]) {
        if (!tile) tile = get();
        const float* features =
            tile->Pixel(static_cast<int>(index % w), static_cast<int>(index / w));
        std::copy(features, features + count,
                  samples.values.begin() + static_cast<std::ptrdiff_t>(row * count));
      }
    }
  };
  for (const TileRect& rect : TileGrid(width, image.Height(), kTileSize)) {
    const std::vector<std::size_t> squares = squaresOf(rect);
    long long labelledCount = 0;
    for (std::size_t square : squares) labelledCount += labelledIn[square];
    if (labelledCount == 0) continue;
    if (labelledCount > static_cast<long long>(rect.width) * rect.height / 4) {
      take(squares, [&] {
        return cache != nullptr
                   ? cache->Get(image, rect, layout)
                   : std::make_shared<const TileFeatures>(ComputeTileFeatures(image, rect, layout));
      });
      continue;
    }
    // The tile's squares with chosen samples are computed side by side: each is small, so one
    // at a time would leave most workers waiting. Their features are few, so holding all of a
    // tile's at once costs little.
    struct Square {
      std::size_t index;
      TileRect box;
      std::vector<std::uint32_t> pixels;
      std::shared_ptr<const TileFeatures> features;
    };
    std::vector<Square> parts;
    for (TileRect part : TileGrid(rect.width, rect.height, kSparseTileSize)) {
      part.x += rect.x;
      part.y += rect.y;
      const std::size_t square = squareOf(part.x, part.y);
      if (labelledIn[square] == 0 || chosenIn[square].empty()) continue;
      std::vector<std::uint32_t> pixels = labelledPixels(part);
      parts.push_back(Square{square, part, std::move(pixels), nullptr});
    }
    RunTasks(static_cast<int>(parts.size()), [&](int task, int) {
      Square& part = parts[static_cast<std::size_t>(task)];
      part.features = cache != nullptr
                          ? cache->GetPixels(image, part.box, layout, std::move(part.pixels))
                          : std::make_shared<const TileFeatures>(ComputePixelFeatures(
                                image, part.box, layout, std::move(part.pixels)));
    });
    for (const Square& part : parts) take({part.index}, [&] { return part.features; });
  }
  return samples;
}

namespace {

bool AnyInside(const PixelMask& inside, const TileRect& rect) {
  for (int y = rect.y; y < rect.y + rect.height; ++y) {
    for (int x = rect.x; x < rect.x + rect.width; ++x) {
      if (inside.At(x, y)) return true;
    }
  }
  return false;
}

// Classifies the grid pixels (every `step`-th pixel of every `step`-th row, counted from the
// image's corner) of the tiles of one row of the tile grid, those with rect.y == first and `rows`
// high, into `out`: a row of the grid's columns per grid row. With `inside` (step 1), pixels
// outside it are left alone. tileSize and first are multiples of step.
void ClassifyTileRow(const RandomForest& forest, const IImage& image, const PixelMask* inside,
                     const FeatureLayout& layout, int tileSize, int step, FeatureCache* cache,
                     int first, int rows, float* out) {
  const int width = image.Width();
  const auto columns = static_cast<std::size_t>((width + step - 1) / step);
  for (int x0 = 0; x0 < width; x0 += tileSize) {
    const TileRect rect{x0, first, std::min(tileSize, width - x0), rows};
    if (inside != nullptr && !AnyInside(*inside, rect)) continue;
    const std::shared_ptr<const TileFeatures> tile =
        cache != nullptr && (tileSize == kTileSize || tileSize == kGridTileSize)
            ? cache->Get(image, rect, layout, step)
            : std::make_shared<const TileFeatures>(ComputeTileFeatures(image, rect, layout, step));
    for (int j = 0; j < tile->Rows(); ++j) {
      const int y = rect.y + j * step;
      float* row = out + static_cast<std::size_t>(j) * columns + rect.x / step;
      if (inside == nullptr) {
        forest.PredictRows(tile->Pixel(rect.x, y), static_cast<std::size_t>(tile->Columns()), row);
        continue;
      }
      for (int x = rect.x; x < rect.x + rect.width; ++x) {
        if (inside->At(x, y)) row[x - rect.x] = forest.Predict(tile->Pixel(x, y));
      }
    }
  }
}

// std::lround of a level in 0 .. 255 (halves away from zero), without a library call per pixel:
// the fraction of a non-negative float below 2^23 is exact, so this is lround's very result.
std::uint8_t RoundedLevel(float level) {
  const auto whole = static_cast<int>(level);
  return static_cast<std::uint8_t>(whole + (level - static_cast<float>(whole) >= 0.5f ? 1 : 0));
}

// What the Gaussian of scale `sigma` gives a plane of ones away from its edges: every pixel
// weighs 1, so each blurred weight is the same sum of the same terms, wherever the pixel lies.
float UniformBlurWeight(double sigma) {
  const int side = 2 * GaussianRadius(sigma) + 1;
  const std::vector<float> ones(static_cast<std::size_t>(side) * side, 1.0f);
  std::vector<float> blurredOnes(ones.size());
  GaussianBlur(ones.data(), blurredOnes.data(), side, side, sigma);
  return blurredOnes[blurredOnes.size() / 2];
}

}  // namespace

std::vector<float> ClassifyImage(const RandomForest& forest, const IImage& image,
                                 const PixelMask* inside, const FeatureLayout& layout, int tileSize,
                                 FeatureCache* cache) {
  const int width = image.Width();
  const int height = image.Height();
  std::vector<float> probabilities(static_cast<std::size_t>(width) * height, 0.0f);
  if (forest.Empty()) return probabilities;
  for (int first = 0; first < height; first += tileSize) {
    ClassifyTileRow(forest, image, inside, layout, tileSize, 1, cache, first,
                    std::min(tileSize, height - first),
                    probabilities.data() + static_cast<std::size_t>(first) * width);
  }
  return probabilities;
}

int ClassificationStride(double sigma) { return sigma >= kCoarseSmoothing ? 4 : 1; }

std::vector<std::uint8_t> SegmentImage(const RandomForest& forest, const IImage& image,
                                       const PixelMask* inside, const FeatureLayout& layout,
                                       double sigma, int stride, FeatureCache* cache) {
  const int width = image.Width();
  const int height = image.Height();
  std::vector<std::uint8_t> levels(static_cast<std::size_t>(width) * height, 0);
  if (forest.Empty() || width == 0 || height == 0) return levels;
  if (stride < 1 || kTileSize % stride != 0) {
    throw ArgumentException("Segmentation: expected a stride that divides the tile size " +
                            std::to_string(kTileSize) + ", found " + std::to_string(stride));
  }
  const int step = inside != nullptr ? 1 : stride;
  const int tileSize = step > 1 ? kGridTileSize : kTileSize;
  // The grid: pixel (i step, j step) is grid pixel (i, j).
  const int columns = (width + step - 1) / step;
  const int gridHeight = (height + step - 1) / step;
  const auto rowFloats = static_cast<std::size_t>(columns);
  const bool smooth = sigma > 0.0;
  const double gridSigma = sigma / step;
  const int radius = smooth ? GaussianRadius(gridSigma) : 0;
  const float uniform = smooth && inside == nullptr ? UniformBlurWeight(gridSigma) : 1.0f;
  // Bands of tile rows; a band's smoothing reads `radius` grid rows of each neighbour band (and
  // its interpolation one more), so band k is finished once band k + 1 is classified, and three
  // bands of floats are all that is held.
  const int band = tileSize / step;
  const int bands = (gridHeight + band - 1) / band;
  const auto bandFloats = static_cast<std::size_t>(band) * rowFloats;
  std::vector<FloatBuffer> raw(3), weight(inside != nullptr ? 3 : 0);
  FloatBuffer window, windowWeight, blurred, blurredWeight, grid;
  FloatBuffer acrossAbove(static_cast<std::size_t>(width)), acrossBelow(acrossAbove.size());
  const auto rowsOf = [&](int k) { return std::min(band, gridHeight - k * band); };

  const auto classify = [&](int k) {
    FloatBuffer& out = raw[static_cast<std::size_t>(k % 3)];
    out.assign(bandFloats, 0.0f);
    ClassifyTileRow(forest, image, inside, layout, tileSize, step, cache, k * tileSize,
                    std::min(tileSize, height - k * tileSize), out.data());
    if (inside == nullptr) return;
    // Only pixels inside count: the probabilities are weighed by the region, which the same
    // smoothing then normalises away.
    FloatBuffer& w = weight[static_cast<std::size_t>(k % 3)];
    w.assign(bandFloats, 0.0f);
    const auto& bits = inside->Data();
    const std::size_t offset = static_cast<std::size_t>(k) * bandFloats;
    const std::size_t count = static_cast<std::size_t>(rowsOf(k)) * rowFloats;
    for (std::size_t i = 0; i < count; ++i) {
      w[i] = bits[offset + i] != 0 ? 1.0f : 0.0f;
      out[i] *= w[i];
    }
  };
  // Copies grid rows first .. first + rows - 1 of the classified bands into `target`.
  const auto gather = [&](std::vector<FloatBuffer>& from, int first, int rows,
                          FloatBuffer& target) {
    target.resize(static_cast<std::size_t>(rows) * rowFloats);
    for (int y = first; y < first + rows; ++y) {
      const FloatBuffer& source = from[static_cast<std::size_t>((y / band) % 3)];
      std::copy_n(source.data() + static_cast<std::size_t>(y % band) * rowFloats, rowFloats,
                  target.data() + static_cast<std::size_t>(y - first) * rowFloats);
    }
  };
  // Where each pixel column lies between grid columns: the left one and the weight of the right.
  std::vector<int> left(static_cast<std::size_t>(width));
  std::vector<float> towardsRight(static_cast<std::size_t>(width));
  for (int x = 0; x < width; ++x) {
    left[static_cast<std::size_t>(x)] = x / step;
    towardsRight[static_cast<std::size_t>(x)] =
        x / step + 1 < columns ? static_cast<float>(x % step) / static_cast<float>(step) : 0.0f;
  }
  const auto interpolate = [&](const float* row, std::size_t x) {
    const float t = towardsRight[x];
    const float a = row[left[x]];
    return t == 0.0f ? a : a + (row[left[x] + 1] - a) * t;
  };
  const auto finish = [&](int k) {
    const int first = k * band;
    const int rows = rowsOf(k);
    // Pixel rows below the band's last grid row interpolate towards the next band's first.
    const int smoothed = rows + (step > 1 && first + rows < gridHeight ? 1 : 0);
    // The rows the smoothing reads, cut at the grid's edges, where it mirrors as on the whole
    // plane; elsewhere it reads real neighbours, so every value is the whole plane's.
    const int low = std::max(0, first - radius);
    const int high = std::min(gridHeight, first + smoothed + radius);
    gather(raw, low, high - low, window);
    const float* p = window.data() + static_cast<std::size_t>(first - low) * rowFloats;
    const float* w = nullptr;
    if (smooth) {
      blurred.resize(static_cast<std::size_t>(smoothed) * rowFloats);
      GaussianBlurRows(window.data(), blurred.data(), columns, high - low, first - low, smoothed,
                       gridSigma);
      p = blurred.data();
    }
    if (inside != nullptr) {
      gather(weight, low, high - low, windowWeight);
      w = windowWeight.data() + static_cast<std::size_t>(first - low) * rowFloats;
      if (smooth) {
        blurredWeight.resize(static_cast<std::size_t>(smoothed) * rowFloats);
        GaussianBlurRows(windowWeight.data(), blurredWeight.data(), columns, high - low,
                         first - low, smoothed, gridSigma);
        w = blurredWeight.data();
      }
    }
    const std::size_t offset = static_cast<std::size_t>(first) * rowFloats;
    const std::size_t count = static_cast<std::size_t>(smoothed) * rowFloats;
    grid.resize(count);
    const auto& insideBits = inside != nullptr ? inside->Data() : levels;
    for (std::size_t i = 0; i < count; ++i) {
      float value = p[i];
      if (inside != nullptr) {
        value = insideBits[offset + i] != 0 && w[i] > 0.0f ? std::clamp(value / w[i], 0.0f, 1.0f)
                                                           : 0.0f;
      } else if (smooth) {
        value = uniform > 0.0f ? std::clamp(value / uniform, 0.0f, 1.0f) : 0.0f;
      }
      grid[i] = value;
    }
    // Each grid row is interpolated across once, into a pixel row that serves the `step` pixel
    // rows below it and the `step` above; the pixel rows then only blend two of those.
    const int pixelFirst = first * step;
    const int pixelEnd = std::min(height, (first + rows) * step);
    int aboveRow = -1, belowRow = -1;
    const auto across = [&](int j, FloatBuffer& into) {
      const float* row = grid.data() + static_cast<std::size_t>(j) * rowFloats;
      for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
        into[x] = interpolate(row, x);
      }
    };
    for (int y = pixelFirst; y < pixelEnd; ++y) {
      const int j = y / step - first;
      const float t =
          j + 1 < smoothed ? static_cast<float>(y % step) / static_cast<float>(step) : 0.0f;
      if (aboveRow != j) {
        if (belowRow == j) {
          std::swap(acrossAbove, acrossBelow);
          std::swap(aboveRow, belowRow);
        } else {
          across(j, acrossAbove);
          aboveRow = j;
        }
      }
      if (t != 0.0f && belowRow != j + 1) {
        across(j + 1, acrossBelow);
        belowRow = j + 1;
      }
      const float* above = acrossAbove.data();
      const float* below = acrossBelow.data();
      std::uint8_t* out = levels.data() + static_cast<std::size_t>(y) * width;
      if (t == 0.0f) {
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
          out[x] = RoundedLevel(above[x] * 255.0f);
        }
      } else {
        for (std::size_t x = 0; x < static_cast<std::size_t>(width); ++x) {
          const float value = above[x] + (below[x] - above[x]) * t;
          out[x] = RoundedLevel(value * 255.0f);
        }
      }
    }
  };

  for (int k = 0; k < bands; ++k) {
    classify(k);
    if (k > 0) finish(k - 1);
  }
  finish(bands - 1);
  return levels;
}

namespace {

// Blurs a width x height plane in place, band by band: each band is blurred from the plane as it
// still is and written back only once the next band, the last to read its rows, is done. Memory
// is two bands, not a second plane; each value is the one a whole-plane blur gives.
void BlurInPlace(float* plane, int width, int height, double sigma) {
  const int band = std::max(GaussianRadius(sigma), 64);
  const std::size_t rowFloats = static_cast<std::size_t>(width);
  FloatBuffer done(static_cast<std::size_t>(band) * rowFloats);
  FloatBuffer next(done.size());
  int doneFirst = -1, doneRows = 0;
  for (int first = 0; first < height; first += band) {
    const int rows = std::min(band, height - first);
    GaussianBlurRows(plane, next.data(), width, height, first, rows, sigma);
    if (doneFirst >= 0) {
      std::copy_n(done.data(), static_cast<std::size_t>(doneRows) * rowFloats,
                  plane + static_cast<std::size_t>(doneFirst) * rowFloats);
    }
    std::swap(done, next);
    doneFirst = first;
    doneRows = rows;
  }
  if (doneFirst >= 0) {
    std::copy_n(done.data(), static_cast<std::size_t>(doneRows) * rowFloats,
                plane + static_cast<std::size_t>(doneFirst) * rowFloats);
  }
}

}  // namespace

void SmoothProbabilities(std::vector<float>& probabilities, int width, int height,
                         const PixelMask* inside, double sigma) {
  if (!(sigma > 0.0) || probabilities.empty()) return;
  if (inside == nullptr) {
    const float weight = UniformBlurWeight(sigma);
    BlurInPlace(probabilities.data(), width, height, sigma);
    for (float& p : probabilities) p = weight > 0.0f ? std::clamp(p / weight, 0.0f, 1.0f) : 0.0f;
    return;
  }
  FloatBuffer weight(probabilities.size());
  const auto& bits = inside->Data();
  for (std::size_t i = 0; i < weight.size(); ++i) {
    weight[i] = bits[i] != 0 ? 1.0f : 0.0f;
    probabilities[i] *= weight[i];
  }
  BlurInPlace(probabilities.data(), width, height, sigma);
  BlurInPlace(weight.data(), width, height, sigma);
  for (std::size_t i = 0; i < probabilities.size(); ++i) {
    probabilities[i] = bits[i] != 0 && weight[i] > 0.0f
                           ? std::clamp(probabilities[i] / weight[i], 0.0f, 1.0f)
                           : 0.0f;
  }
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
