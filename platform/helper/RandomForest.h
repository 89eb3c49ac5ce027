// A binary random forest over float features, stored as flat arrays so that it archives as a few
// contiguous blocks and predicts without pointer chasing.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Tamrix::Vision::SmartSegmenterHelper::detail {

// Few shallow trees: from sparse strokes they generalise better than deep ones, and every pixel of
// every executed image walks each of them.
struct ForestParameters {
  int trees = 8;
  int maxDepth = 6;
  // Features tried per split; 0 means round(sqrt(feature count)).
  int featuresPerSplit = 0;
  // Candidate splits per feature: between quantiles of the training values (at most 256).
  int bins = 256;
};

// Training samples: `count` rows of `featureCount` floats (row-major), each positive or not.
// Positives and negatives weigh equally in total, whatever their numbers.
struct SampleMatrix {
  int featureCount = 0;
  std::vector<float> values;
  std::vector<std::uint8_t> positive;

  std::size_t Count() const { return positive.size(); }
  const float* Row(std::size_t i) const { return values.data() + i * featureCount; }
};

// Node arrays of all trees. Node i is a leaf when feature[i] < 0, and then value[i] is the
// probability of the positive class; otherwise a row goes to child[i] when
// row[feature[i]] <= threshold[i], else to child[i] + 1. Tree t starts at node root[t] and its
// nodes end where the next tree's begin; children always follow their parent.
class RandomForest {
 public:
  // Grows the forest. The result depends only on the samples, the parameters and the seed.
  static RandomForest Fit(const SampleMatrix& samples, const ForestParameters& parameters,
                          std::uint64_t seed);

  bool Empty() const { return root_.empty(); }
  int FeatureCount() const { return featureCount_; }
  int TreeCount() const { return static_cast<int>(root_.size()); }
  std::size_t NodeCount() const { return feature_.size(); }

  // Mean leaf value over the trees for one row of FeatureCount() features.
  float Predict(const float* row) const;
  // Predict() for `count` consecutive rows.
  void PredictRows(const float* rows, std::size_t count, float* out) const;

  // The flat arrays, for archives.
  const std::vector<std::int32_t>& Roots() const { return root_; }
  const std::vector<std::int32_t>& Features() const { return feature_; }
  const std::vector<float>& Thresholds() const { return threshold_; }
  const std::vector<std::int32_t>& Children() const { return child_; }
  const std::vector<float>& Values() const { return value_; }

  // A forest from archived arrays. Throws std::runtime_error naming the first inconsistency:
  // array sizes that disagree, a tree that does not start where the previous ends, a feature
  // outside 0..featureCount-1, a child not after its parent or outside its tree, a threshold that
  // is not finite, a leaf value outside [0, 1].
  static RandomForest FromArrays(int featureCount, std::vector<std::int32_t> roots,
                                 std::vector<std::int32_t> features, std::vector<float> thresholds,
                                 std::vector<std::int32_t> children, std::vector<float> values);

 private:
  // The node arrays interleaved, so that a step down a tree touches one cache line. Leaves are
  // stored as nodes that lead to themselves (feature 0, threshold +infinity), so every row of a
  // block takes exactly the tree's depth in steps, in lock step and without branches.
  struct Node {
    std::int32_t feature;
    float threshold;
    std::int32_t child;
    float value;
  };
  void Pack();

  int featureCount_ = 0;
  std::vector<std::int32_t> root_;
  std::vector<std::int32_t> feature_;
  std::vector<float> threshold_;
  std::vector<std::int32_t> child_;
  std::vector<float> value_;
  std::vector<Node> nodes_;
  // Steps from the root to the deepest leaf, per tree.
  std::vector<std::int32_t> depth_;
};

// splitmix64: the helper's one source of pseudo-random numbers, the same on every platform.
inline std::uint64_t Mix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ULL;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ULL;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBULL;
  return x ^ (x >> 31);
}

}  // namespace Tamrix::Vision::SmartSegmenterHelper::detail
