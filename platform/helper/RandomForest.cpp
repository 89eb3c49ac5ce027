#include "platform/helper/RandomForest.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <stdexcept>

#include "platform/helper/Avx2.h"
#include "platform/helper/FeatureBank.h"

#ifdef TAMRIX_HELPER_AVX2
#include <immintrin.h>
#endif

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

namespace {

class Random {
 public:
  explicit Random(std::uint64_t seed) : state_(seed) {}
  std::uint64_t Next() { return Mix(state_++); }
  // Uniform in 0..n-1 (n > 0); the modulo bias is below 2^-40 for the sizes used here.
  std::size_t Below(std::size_t n) { return static_cast<std::size_t>(Next() % n); }

 private:
  std::uint64_t state_;
};

// A float's bits turned into an unsigned key that sorts as the float does (negative values
// below positive ones, -0 just below +0).
std::uint32_t OrderKey(float value) {
  std::uint32_t bits = 0;
  std::memcpy(&bits, &value, sizeof bits);
  return (bits & 0x80000000u) != 0 ? ~bits : bits | 0x80000000u;
}

// The positions 0 .. n - 1 (n > 0) of `keys` in ascending order of key, equal keys in their
// order: a radix sort, linear in n, where comparison sorting the columns of every fit took longer
// than growing its trees.
void SortedOrder(const std::vector<std::uint32_t>& keys, std::vector<std::uint32_t>& order,
                 std::vector<std::uint32_t>& scratch) {
  const std::size_t n = keys.size();
  order.resize(n);
  scratch.resize(n);
  std::iota(order.begin(), order.end(), 0u);
  for (int shift = 0; shift < 32; shift += 8) {
    std::size_t start[257] = {};
    for (std::size_t i = 0; i < n; ++i) ++start[((keys[i] >> shift) & 0xff) + 1];
    // A digit that all keys share moves nothing.
    if (start[((keys[0] >> shift) & 0xff) + 1] == n) continue;
    for (int d = 0; d < 256; ++d) start[d + 1] += start[d];
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint32_t position = order[i];
      scratch[start[(keys[position] >> shift) & 0xff]++] = position;
    }
    order.swap(scratch);
  }
}

// Candidate thresholds of one feature, ascending: the distinct quantiles of its training values
// (`column`, whose positions in ascending order are `order`) below the largest value. An edge at
// the largest value would send everything left; it can never split.
std::vector<float> QuantileEdges(const std::vector<float>& column,
                                 const std::vector<std::uint32_t>& order, int bins) {
  std::vector<float> edges;
  const std::size_t n = column.size();
  for (int k = 1; k < bins; ++k) {
    const float edge =
        column[order[static_cast<std::size_t>(k) * n / static_cast<std::size_t>(bins)]];
    if (edges.empty() || edge > edges.back()) edges.push_back(edge);
  }
  if (!edges.empty() && edges.back() >= column[order.back()]) edges.pop_back();
  return edges;
}

// Weighted Gini impurity of a node, scaled by its weight (up to a constant factor).
double Impurity(double positive, double negative) {
  const double total = positive + negative;
  return total > 0.0 ? positive * negative / total : 0.0;
}

struct Task {
  std::int32_t node;
  std::size_t begin, end;
  int depth;
};

}  // namespace

RandomForest RandomForest::Fit(const SampleMatrix& samples, const ForestParameters& parameters,
                               std::uint64_t seed) {
  RandomForest forest;
  forest.featureCount_ = samples.featureCount;
  const std::size_t n = samples.Count();
  const int featureCount = samples.featureCount;
  if (n == 0 || featureCount <= 0 || parameters.trees <= 0) return forest;

  const int tried = parameters.featuresPerSplit > 0
                        ? std::min(parameters.featuresPerSplit, featureCount)
                        : std::max(1, static_cast<int>(std::lround(std::sqrt(featureCount))));
  const int bins = std::clamp(parameters.bins, 2, 256);

  // Binned copy, feature-major: bin(x) = number of edges below x, so x <= edge[b] <=> bin <= b.
  // Features are binned on the engine's workers (the labels of an operator fit side by side, and
  // the last of them would otherwise sort its columns alone); each depends on its own column only.
  std::vector<std::vector<float>> edges(static_cast<std::size_t>(featureCount));
  std::vector<std::uint8_t> binned(static_cast<std::size_t>(featureCount) * n);
  RunTasks(featureCount, [&](int f, int) {
    std::vector<float> column(n);
    std::vector<std::uint32_t> keys(n), order, scratch;
    for (std::size_t i = 0; i < n; ++i) {
      column[i] = samples.Row(i)[f];
      keys[i] = OrderKey(column[i]);
    }
    SortedOrder(keys, order, scratch);
    auto& e = edges[static_cast<std::size_t>(f)];
    e = QuantileEdges(column, order, bins);
    // In ascending order each value's bin, the number of edges below it, only grows.
    std::uint8_t* out = binned.data() + static_cast<std::size_t>(f) * n;
    std::size_t bin = 0;
    for (const std::uint32_t i : order) {
      while (bin < e.size() && e[bin] < column[i]) ++bin;
      out[i] = static_cast<std::uint8_t>(bin);
    }
  });

  std::size_t positives = 0;
  for (auto p : samples.positive) positives += p != 0;
  const std::size_t negatives = n - positives;
  const double positiveWeight = positives > 0 ? 0.5 / static_cast<double>(positives) : 0.0;
  const double negativeWeight = negatives > 0 ? 0.5 / static_cast<double>(negatives) : 0.0;

  std::vector<std::uint32_t> drawn(n);
  std::vector<std::uint32_t> indices;
  std::vector<int> order(static_cast<std::size_t>(featureCount));
  std::vector<double> histPositive(256), histNegative(256);
  for (int t = 0; t < parameters.trees; ++t) {
    const std::uint64_t treeSeed = Mix(seed ^ Mix(static_cast<std::uint64_t>(t) + 1));
    Random random(treeSeed);
    std::fill(drawn.begin(), drawn.end(), 0u);
    for (std::size_t i = 0; i < n; ++i) ++drawn[random.Below(n)];
    indices.clear();
    for (std::size_t i = 0; i < n; ++i) {
      if (drawn[i] > 0) indices.push_back(static_cast<std::uint32_t>(i));
    }
    const auto weightOf = [&](std::uint32_t i) {
      return drawn[i] * (samples.positive[i] ? positiveWeight : negativeWeight);
    };

    const auto root = static_cast<std::int32_t>(forest.feature_.size());
    forest.root_.push_back(root);
    const auto addNode = [&forest] {
      forest.feature_.push_back(-1);
      forest.threshold_.push_back(0.0f);
      forest.child_.push_back(0);
      forest.value_.push_back(0.0f);
    };
    addNode();
    std::vector<Task> stack{Task{root, 0, indices.size(), 0}};
    while (!stack.empty()) {
      const Task task = stack.back();
      stack.pop_back();
      double positive = 0.0, negative = 0.0;
      for (std::size_t k = task.begin; k < task.end; ++k) {
        const std::uint32_t i = indices[k];
        (samples.positive[i] ? positive : negative) += weightOf(i);
      }
      const auto node = static_cast<std::size_t>(task.node);
      forest.value_[node] = static_cast<float>(positive / (positive + negative));
      if (task.depth >= parameters.maxDepth || positive == 0.0 || negative == 0.0 ||
          task.end - task.begin < 2) {
        continue;
      }

      Random nodeRandom(Mix(treeSeed ^ (static_cast<std::uint64_t>(task.node) << 20)));
      std::iota(order.begin(), order.end(), 0);
      double bestScore = Impurity(positive, negative);
      int bestFeature = -1;
      int bestBin = 0;
      for (int c = 0; c < tried; ++c) {
        const std::size_t pick = static_cast<std::size_t>(c) +
                                 nodeRandom.Below(static_cast<std::size_t>(featureCount - c));
        std::swap(order[static_cast<std::size_t>(c)], order[pick]);
        const int f = order[static_cast<std::size_t>(c)];
        const int binCount = static_cast<int>(edges[static_cast<std::size_t>(f)].size()) + 1;
        if (binCount < 2) continue;
        // The histograms are all zero here: each scan clears the bins its samples touched.
        const std::uint8_t* binsOfFeature = binned.data() + static_cast<std::size_t>(f) * n;
        for (std::size_t k = task.begin; k < task.end; ++k) {
          const std::uint32_t i = indices[k];
          (samples.positive[i] ? histPositive : histNegative)[binsOfFeature[i]] += weightOf(i);
        }
        double leftPositive = 0.0, leftNegative = 0.0;
        for (int b = 0; b + 1 < binCount; ++b) {
          leftPositive += histPositive[static_cast<std::size_t>(b)];
          leftNegative += histNegative[static_cast<std::size_t>(b)];
          const double rightPositive = positive - leftPositive;
          const double rightNegative = negative - leftNegative;
          if (leftPositive + leftNegative <= 0.0 || rightPositive + rightNegative <= 1e-300) {
            continue;
          }
          const double score =
              Impurity(leftPositive, leftNegative) + Impurity(rightPositive, rightNegative);
          if (score < bestScore) {
            bestScore = score;
            bestFeature = f;
            bestBin = b;
          }
        }
        for (std::size_t k = task.begin; k < task.end; ++k) {
          histPositive[binsOfFeature[indices[k]]] = 0.0;
          histNegative[binsOfFeature[indices[k]]] = 0.0;
        }
      }
      if (bestFeature < 0) continue;

      const std::uint8_t* binsOfFeature = binned.data() + static_cast<std::size_t>(bestFeature) * n;
      const auto middle =
          std::stable_partition(indices.begin() + static_cast<std::ptrdiff_t>(task.begin),
                                indices.begin() + static_cast<std::ptrdiff_t>(task.end),
                                [&](std::uint32_t i) { return binsOfFeature[i] <= bestBin; });
      const auto split = static_cast<std::size_t>(middle - indices.begin());
      if (split == task.begin || split == task.end) continue;
      // The threshold goes halfway between the node's samples on either side, not onto the
      // bin edge, which is a sample value of one class.
      float leftMost = -std::numeric_limits<float>::infinity();
      float rightLeast = std::numeric_limits<float>::infinity();
      for (std::size_t k = task.begin; k < split; ++k) {
        leftMost = std::max(leftMost, samples.Row(indices[k])[bestFeature]);
      }
      for (std::size_t k = split; k < task.end; ++k) {
        rightLeast = std::min(rightLeast, samples.Row(indices[k])[bestFeature]);
      }
      float threshold = leftMost + 0.5f * (rightLeast - leftMost);
      if (!(threshold >= leftMost && threshold < rightLeast)) threshold = leftMost;
      const auto left = static_cast<std::int32_t>(forest.feature_.size());
      addNode();
      addNode();
      forest.feature_[node] = bestFeature;
      forest.threshold_[node] = threshold;
      forest.child_[node] = left;
      stack.push_back(Task{left + 1, split, task.end, task.depth + 1});
      stack.push_back(Task{left, task.begin, split, task.depth + 1});
    }
  }
  forest.Pack();
  return forest;
}

void RandomForest::Pack() {
  const std::size_t count = feature_.size();
  nodes_.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    nodes_[i] = feature_[i] < 0 ? Node{0, std::numeric_limits<float>::infinity(),
                                       static_cast<std::int32_t>(i), value_[i]}
                                : Node{feature_[i], threshold_[i], child_[i], value_[i]};
  }
  // Children follow their parents, so one pass in node order knows each parent's depth first. An
  // archived node may have more than one parent: it takes the deepest, so that no path is cut.
  std::vector<std::int32_t> nodeDepth(count, 0);
  depth_.assign(root_.size(), 0);
  for (std::size_t t = 0; t < root_.size(); ++t) {
    const auto begin = static_cast<std::size_t>(root_[t]);
    const std::size_t end = t + 1 < root_.size() ? static_cast<std::size_t>(root_[t + 1]) : count;
    for (std::size_t i = begin; i < end; ++i) {
      if (feature_[i] < 0) {
        depth_[t] = std::max(depth_[t], nodeDepth[i]);
        continue;
      }
      const auto left = static_cast<std::size_t>(child_[i]);
      for (const std::size_t child : {left, left + 1}) {
        nodeDepth[child] = std::max(nodeDepth[child], nodeDepth[i] + 1);
      }
    }
  }
}

float RandomForest::Predict(const float* row) const {
  float sum = 0.0f;
  const Node* nodes = nodes_.data();
  for (std::size_t t = 0; t < root_.size(); ++t) {
    const Node* node = nodes + root_[t];
    for (std::int32_t d = 0; d < depth_[t]; ++d) {
      node = nodes + node->child + (row[node->feature] > node->threshold ? 1 : 0);
    }
    sum += node->value;
  }
  return root_.empty() ? 0.0f : sum / static_cast<float>(root_.size());
}

namespace {

#ifdef TAMRIX_HELPER_AVX2
// One tree for the rows of a block, sixteen at a time in two vectors of eight, with gathers: each
// step loads every lane's node and feature value, compares and moves on, exactly as the scalar
// walk does (a comparison with NaN is false in both), and adds the leaf value to each row's sum in
// the same order, so the sums are bit-identical. Returns the number of rows done (a multiple of
// sixteen); the caller walks the rest.
__attribute__((target("avx2"))) std::size_t WalkTreeAvx2(const std::int32_t* nodes,
                                                         std::int32_t root, std::int32_t depth,
                                                         const float* block, std::size_t width,
                                                         std::size_t size, float* sums) {
  constexpr std::size_t kLanes = 16;
  const __m256i lane = _mm256_mullo_epi32(_mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7),
                                          _mm256_set1_epi32(static_cast<int>(width)));
  const __m256i secondHalf = _mm256_add_epi32(lane, _mm256_set1_epi32(8 * static_cast<int>(width)));
  const __m256i one = _mm256_set1_epi32(1);
  const __m256i two = _mm256_set1_epi32(2);
  const __m256i three = _mm256_set1_epi32(3);
  std::size_t r = 0;
  for (; r + kLanes <= size; r += kLanes) {
    const float* rowsAt = block + r * width;
    // Node indices times four: the int32 offset of each lane's node.
    __m256i a = _mm256_set1_epi32(root * 4);
    __m256i b = a;
    for (std::int32_t d = 0; d < depth; ++d) {
      const __m256i featureA = _mm256_i32gather_epi32(nodes, a, 4);
      const __m256i featureB = _mm256_i32gather_epi32(nodes, b, 4);
      const __m256 thresholdA =
          _mm256_i32gather_ps(reinterpret_cast<const float*>(nodes), _mm256_add_epi32(a, one), 4);
      const __m256 thresholdB =
          _mm256_i32gather_ps(reinterpret_cast<const float*>(nodes), _mm256_add_epi32(b, one), 4);
      const __m256i childA = _mm256_i32gather_epi32(nodes, _mm256_add_epi32(a, two), 4);
      const __m256i childB = _mm256_i32gather_epi32(nodes, _mm256_add_epi32(b, two), 4);
      const __m256 valueA = _mm256_i32gather_ps(rowsAt, _mm256_add_epi32(lane, featureA), 4);
      const __m256 valueB = _mm256_i32gather_ps(rowsAt, _mm256_add_epi32(secondHalf, featureB), 4);
      // All ones (-1) where the value lies above the threshold: the right child, child + 1.
      const __m256i rightA = _mm256_castps_si256(_mm256_cmp_ps(valueA, thresholdA, _CMP_GT_OQ));
      const __m256i rightB = _mm256_castps_si256(_mm256_cmp_ps(valueB, thresholdB, _CMP_GT_OQ));
      a = _mm256_slli_epi32(_mm256_sub_epi32(childA, rightA), 2);
      b = _mm256_slli_epi32(_mm256_sub_epi32(childB, rightB), 2);
    }
    const __m256 leafA =
        _mm256_i32gather_ps(reinterpret_cast<const float*>(nodes), _mm256_add_epi32(a, three), 4);
    const __m256 leafB =
        _mm256_i32gather_ps(reinterpret_cast<const float*>(nodes), _mm256_add_epi32(b, three), 4);
    _mm256_storeu_ps(sums + r, _mm256_add_ps(_mm256_loadu_ps(sums + r), leafA));
    _mm256_storeu_ps(sums + r + 8, _mm256_add_ps(_mm256_loadu_ps(sums + r + 8), leafB));
  }
  return r;
}
#endif

}  // namespace

void RandomForest::PredictRows(const float* rows, std::size_t count, float* out) const {
  // Tree by tree over a block of rows keeps one tree in cache while the rows stream past, and
  // several rows descend together so that their memory accesses overlap. Each row still sums its
  // trees in order, so the result equals Predict().
  constexpr std::size_t kBlock = 256;
  constexpr std::size_t kLanes = 8;
  const auto width = static_cast<std::size_t>(featureCount_);
  const Node* nodes = nodes_.data();
#ifdef TAMRIX_HELPER_AVX2
  // The gathers read nodes as four int32 each and index with 32-bit offsets.
  static_assert(sizeof(Node) == 4 * sizeof(std::int32_t), "nodes are read as four int32");
  const bool avx2 =
      HaveAvx2() && nodes_.size() < (std::size_t{1} << 28) && width < (std::size_t{1} << 20);
#endif
  float sums[kBlock];
  for (std::size_t first = 0; first < count; first += kBlock) {
    const std::size_t size = std::min(kBlock, count - first);
    const float* block = rows + first * width;
    std::fill(sums, sums + size, 0.0f);
    for (std::size_t t = 0; t < root_.size(); ++t) {
      const std::int32_t root = root_[t];
      const std::int32_t depth = depth_[t];
      std::size_t r = 0;
#ifdef TAMRIX_HELPER_AVX2
      if (avx2) {
        r = WalkTreeAvx2(reinterpret_cast<const std::int32_t*>(nodes), root, depth, block, width,
                         size, sums);
      }
#endif
      for (; r + kLanes <= size; r += kLanes) {
        std::int32_t at[kLanes];
        for (std::size_t l = 0; l < kLanes; ++l) at[l] = root;
        for (std::int32_t d = 0; d < depth; ++d) {
          for (std::size_t l = 0; l < kLanes; ++l) {
            const Node& node = nodes[at[l]];
            const float value = block[(r + l) * width + static_cast<std::size_t>(node.feature)];
            at[l] = node.child + (value > node.threshold ? 1 : 0);
          }
        }
        for (std::size_t l = 0; l < kLanes; ++l) sums[r + l] += nodes[at[l]].value;
      }
      for (; r < size; ++r) {
        const float* row = block + r * width;
        const Node* node = nodes + root;
        for (std::int32_t d = 0; d < depth; ++d) {
          node = nodes + node->child + (row[node->feature] > node->threshold ? 1 : 0);
        }
        sums[r] += node->value;
      }
    }
    for (std::size_t r = 0; r < size; ++r) {
      out[first + r] = root_.empty() ? 0.0f : sums[r] / static_cast<float>(root_.size());
    }
  }
}

RandomForest RandomForest::FromArrays(int featureCount, std::vector<std::int32_t> roots,
                                      std::vector<std::int32_t> features,
                                      std::vector<float> thresholds,
                                      std::vector<std::int32_t> children,
                                      std::vector<float> values) {
  const auto fail = [](const std::string& what) {
    throw std::runtime_error("Random forest: " + what);
  };
  const std::size_t nodes = features.size();
  if (thresholds.size() != nodes || children.size() != nodes || values.size() != nodes) {
    fail("expected equal numbers of features, thresholds, children and values, found " +
         std::to_string(nodes) + ", " + std::to_string(thresholds.size()) + ", " +
         std::to_string(children.size()) + " and " + std::to_string(values.size()));
  }
  if (roots.empty() != (nodes == 0)) {
    fail("expected nodes exactly when there are trees, found " + std::to_string(roots.size()) +
         " trees and " + std::to_string(nodes) + " nodes");
  }
  if (featureCount < 1) fail("expected at least 1 feature, found " + std::to_string(featureCount));
  for (std::size_t t = 0; t < roots.size(); ++t) {
    const auto begin = static_cast<long long>(roots[t]);
    const long long expected = t == 0 ? 0 : static_cast<long long>(roots[t - 1]) + 1;
    if (t == 0 ? begin != 0 : begin < expected) {
      fail("tree " + std::to_string(t) + ": expected its first node " +
           (t == 0 ? std::string("to be 0") : "after the previous tree's first node") + ", found " +
           std::to_string(begin));
    }
  }
  for (std::size_t t = 0; t < roots.size(); ++t) {
    const auto begin = static_cast<long long>(roots[t]);
    const long long end =
        t + 1 < roots.size() ? static_cast<long long>(roots[t + 1]) : static_cast<long long>(nodes);
    if (end > static_cast<long long>(nodes) || end <= begin) {
      fail("tree " + std::to_string(t) + ": expected nodes " + std::to_string(begin) + " up to " +
           std::to_string(nodes - 1) + ", found a tree ending at " + std::to_string(end - 1));
    }
    for (long long i = begin; i < end; ++i) {
      const auto k = static_cast<std::size_t>(i);
      const std::string where = "node " + std::to_string(i) + " of tree " + std::to_string(t);
      if (features[k] < -1 || features[k] >= featureCount) {
        fail(where + ": expected a feature -1 (leaf) to " + std::to_string(featureCount - 1) +
             ", found " + std::to_string(features[k]));
      }
      if (features[k] < 0) {
        if (!(values[k] >= 0.0f && values[k] <= 1.0f)) {
          fail(where + ": expected a leaf value in [0, 1], found " + std::to_string(values[k]));
        }
        continue;
      }
      if (!std::isfinite(thresholds[k])) {
        fail(where + ": expected a finite threshold, found " + std::to_string(thresholds[k]));
      }
      const auto child = static_cast<long long>(children[k]);
      if (child <= i || child + 1 >= end) {
        fail(where + ": expected children after the node inside its tree (nodes " +
             std::to_string(i + 1) + " to " + std::to_string(end - 1) + "), found " +
             std::to_string(child) + " and " + std::to_string(child + 1));
      }
    }
  }
  RandomForest forest;
  forest.featureCount_ = featureCount;
  forest.root_ = std::move(roots);
  forest.feature_ = std::move(features);
  forest.threshold_ = std::move(thresholds);
  forest.child_ = std::move(children);
  forest.value_ = std::move(values);
  forest.Pack();
  return forest;
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
