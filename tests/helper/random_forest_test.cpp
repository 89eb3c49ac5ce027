#include <gtest/gtest.h>

#include <limits>
#include <stdexcept>

#include "platform/helper/RandomForest.h"

namespace {

using namespace Tamrix::Vision::SmartSegmenterHelper::detail;

// Uniform in [0, 1) from the helper-independent LCG of the tests.
class Uniform {
 public:
  explicit Uniform(std::uint32_t seed) : state_(seed) {}
  float Next() {
    state_ = state_ * 1664525u + 1013904223u;
    return static_cast<float>(state_ >> 8) / 16777216.0f;
  }

 private:
  std::uint32_t state_;
};

// Two features in [0, 1); `rule` decides the class.
template <class Rule>
SampleMatrix Samples(int count, std::uint32_t seed, Rule rule) {
  SampleMatrix samples;
  samples.featureCount = 2;
  Uniform uniform(seed);
  for (int i = 0; i < count; ++i) {
    const float a = uniform.Next(), b = uniform.Next();
    samples.values.push_back(a);
    samples.values.push_back(b);
    samples.positive.push_back(rule(a, b) ? 1 : 0);
  }
  return samples;
}

TEST(RandomForest, LearnsAThresholdOnOneFeature) {
  const auto forest =
      RandomForest::Fit(Samples(2000, 1, [](float a, float) { return a > 0.5f; }), {}, 42);
  ASSERT_FALSE(forest.Empty());
  EXPECT_EQ(forest.TreeCount(), 8);
  const float high[] = {0.9f, 0.3f}, low[] = {0.1f, 0.8f};
  EXPECT_GT(forest.Predict(high), 0.95f);
  EXPECT_LT(forest.Predict(low), 0.05f);
}

TEST(RandomForest, LearnsAnInteractionOfTwoFeatures) {
  const auto rule = [](float a, float b) { return (a > 0.5f) != (b > 0.5f); };
  const auto forest = RandomForest::Fit(Samples(4000, 2, rule), {}, 7);
  const SampleMatrix test = Samples(1000, 99, rule);
  int right = 0;
  for (std::size_t i = 0; i < test.Count(); ++i) {
    right += (forest.Predict(test.Row(i)) >= 0.5f) == (test.positive[i] != 0);
  }
  EXPECT_GT(right, 950);
}

TEST(RandomForest, WeighsBothClassesEquallyWhateverTheirNumbers) {
  // 100 positives on [0.4, 1) and 10000 negatives on [0, 0.6): with equal class weights the
  // overlap is a coin toss; counted by numbers it would be almost surely negative.
  SampleMatrix samples;
  samples.featureCount = 1;
  Uniform uniform(3);
  for (int i = 0; i < 100; ++i) {
    samples.values.push_back(0.4f + 0.6f * uniform.Next());
    samples.positive.push_back(1);
  }
  for (int i = 0; i < 10000; ++i) {
    samples.values.push_back(0.6f * uniform.Next());
    samples.positive.push_back(0);
  }
  const auto forest = RandomForest::Fit(samples, {}, 5);
  const float overlap[] = {0.5f}, positive[] = {0.8f}, negative[] = {0.2f};
  EXPECT_GT(forest.Predict(overlap), 0.25f);
  EXPECT_LT(forest.Predict(overlap), 0.75f);
  EXPECT_GT(forest.Predict(positive), 0.9f);
  EXPECT_LT(forest.Predict(negative), 0.1f);
}

TEST(RandomForest, SameSeedSameForestOtherSeedOtherForest) {
  const auto samples = Samples(1500, 4, [](float a, float b) { return a + b > 1.0f; });
  const auto first = RandomForest::Fit(samples, {}, 11);
  const auto second = RandomForest::Fit(samples, {}, 11);
  const auto other = RandomForest::Fit(samples, {}, 12);
  EXPECT_EQ(first.Features(), second.Features());
  EXPECT_EQ(first.Thresholds(), second.Thresholds());
  EXPECT_EQ(first.Children(), second.Children());
  EXPECT_EQ(first.Values(), second.Values());
  EXPECT_NE(first.Thresholds(), other.Thresholds());
}

TEST(RandomForest, RespectsTheDepthLimit) {
  ForestParameters parameters;
  parameters.trees = 3;
  parameters.maxDepth = 1;
  const auto forest = RandomForest::Fit(
      Samples(500, 5, [](float a, float b) { return a * b > 0.2f; }), parameters, 1);
  // Depth 1: a root and its two leaves per tree.
  EXPECT_EQ(forest.NodeCount(), 9u);
  EXPECT_EQ(forest.Roots(), (std::vector<std::int32_t>{0, 3, 6}));
}

TEST(RandomForest, NoSamplesGiveAnEmptyForestPredictingZero) {
  SampleMatrix none;
  none.featureCount = 3;
  const auto forest = RandomForest::Fit(none, {}, 1);
  EXPECT_TRUE(forest.Empty());
  const float row[] = {1, 2, 3};
  EXPECT_EQ(forest.Predict(row), 0.0f);
}

TEST(RandomForest, PredictRowsAgreesWithPredict) {
  const auto samples = Samples(800, 6, [](float a, float) { return a > 0.3f; });
  const auto forest = RandomForest::Fit(samples, {}, 2);
  std::vector<float> out(samples.Count());
  forest.PredictRows(samples.values.data(), samples.Count(), out.data());
  for (std::size_t i = 0; i < samples.Count(); ++i)
    EXPECT_EQ(out[i], forest.Predict(samples.Row(i)));
}

TEST(RandomForest, PredictRowsAgreesWithPredictForBlocksThatDoNotDivideEvenly) {
  // 517 rows: two full blocks of rows, then a partial one that ends in a few leftover rows.
  const auto samples = Samples(517, 9, [](float a, float b) { return a * b > 0.2f; });
  const auto forest = RandomForest::Fit(samples, {}, 5);
  std::vector<float> out(samples.Count(), -1.0f);
  forest.PredictRows(samples.values.data(), samples.Count(), out.data());
  for (std::size_t i = 0; i < samples.Count(); ++i) {
    ASSERT_EQ(out[i], forest.Predict(samples.Row(i))) << "row " << i;
  }
}

// One tree in which node 9 has two parents: node 5 (depth 3) and node 7 (depth 2). The deepest
// path, 0 1 3 5 9 11, takes five steps; node 9's own value (0.0) is never a result.
struct SharedChildTree {
  std::vector<std::int32_t> roots{0};
  std::vector<std::int32_t> features{0, 0, 0, 1, -1, 1, -1, 1, -1, 1, -1, -1, -1};
  std::vector<float> thresholds{0.5f, 0.25f, 0.75f, 0.5f, 0, 0.25f, 0, 0.5f, 0, 0.1f, 0, 0, 0};
  std::vector<std::int32_t> children{1, 3, 7, 5, 0, 9, 0, 9, 0, 11, 0, 0, 0};
  std::vector<float> values{0, 0, 0, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0.25f, 0.75f};
};

TEST(RandomForest, ANodeWithTwoParentsIsReachedToItsLeavesOnEveryPath) {
  const SharedChildTree a;
  const RandomForest forest =
      RandomForest::FromArrays(2, a.roots, a.features, a.thresholds, a.children, a.values);
  // Rows, each with the leaf it must end in, followed by hand along the arrays above.
  const float rows[] = {0.1f, 0.05f,  // 0 1 3 5 9 11: five steps
                        0.1f, 0.2f,   // 0 1 3 5 9 12
                        0.6f, 0.05f,  // 0 2 7 9 11: four steps
                        0.6f, 0.3f,   // 0 2 7 9 12
                        0.1f, 0.3f,   // 0 1 3 5 6
                        0.9f, 0.0f};  // 0 2 8
  const float expected[] = {0.25f, 0.75f, 0.25f, 0.75f, 0.5f, 0.5f};
  float out[6] = {};
  forest.PredictRows(rows, 6, out);
  for (int r = 0; r < 6; ++r) {
    EXPECT_EQ(forest.Predict(rows + 2 * r), expected[r]) << "row " << r;
    EXPECT_EQ(out[r], expected[r]) << "row " << r;
  }
}

// A valid two-tree forest over 2 features: tree 0 splits on feature 1 at 0.5; tree 1 is a leaf.
struct Arrays {
  std::vector<std::int32_t> roots{0, 3};
  std::vector<std::int32_t> features{1, -1, -1, -1};
  std::vector<float> thresholds{0.5f, 0, 0, 0};
  std::vector<std::int32_t> children{1, 0, 0, 0};
  std::vector<float> values{0.5f, 0.0f, 1.0f, 0.25f};
  RandomForest Make(int featureCount = 2) const {
    return RandomForest::FromArrays(featureCount, roots, features, thresholds, children, values);
  }
};

TEST(RandomForest, FromArraysBuildsTheDescribedTrees) {
  const RandomForest forest = Arrays().Make();
  const float low[] = {9.0f, 0.5f}, high[] = {-9.0f, 0.75f};
  // Tree 0 gives 0 or 1, tree 1 always 0.25.
  EXPECT_FLOAT_EQ(forest.Predict(low), 0.125f);
  EXPECT_FLOAT_EQ(forest.Predict(high), 0.625f);
}

struct BadArrays {
  const char* name;
  void (*corrupt)(Arrays&);
  const char* message;
};

class RandomForestCorruptArrays : public ::testing::TestWithParam<BadArrays> {};

TEST_P(RandomForestCorruptArrays, AreRefusedWithAClearMessage) {
  Arrays arrays;
  GetParam().corrupt(arrays);
  try {
    arrays.Make();
    FAIL() << "expected std::runtime_error";
  } catch (const std::runtime_error& error) {
    EXPECT_NE(std::string(error.what()).find(GetParam().message), std::string::npos)
        << error.what();
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RandomForestCorruptArrays,
    ::testing::Values(
        BadArrays{"SizesDisagree", [](Arrays& a) { a.values.pop_back(); },
                  "expected equal numbers of features, thresholds, children and values, found 4, "
                  "4, 4 and 3"},
        BadArrays{"FeatureOutOfRange", [](Arrays& a) { a.features[0] = 2; },
                  "node 0 of tree 0: expected a feature -1 (leaf) to 1, found 2"},
        BadArrays{"NegativeFeature", [](Arrays& a) { a.features[0] = -5; },
                  "expected a feature -1 (leaf) to 1, found -5"},
        BadArrays{"ChildBeforeParent", [](Arrays& a) { a.children[0] = 0; },
                  "node 0 of tree 0: expected children after the node inside its tree (nodes 1 "
                  "to 2), found 0 and 1"},
        BadArrays{"ChildInNextTree", [](Arrays& a) { a.children[0] = 2; }, "found 2 and 3"},
        BadArrays{"ChildBeyondTheEnd", [](Arrays& a) { a.children[0] = 1000000; },
                  "found 1000000 and 1000001"},
        BadArrays{"ThresholdNotFinite",
                  [](Arrays& a) { a.thresholds[0] = std::numeric_limits<float>::infinity(); },
                  "expected a finite threshold, found inf"},
        BadArrays{"LeafValueAboveOne", [](Arrays& a) { a.values[2] = 1.5f; },
                  "node 2 of tree 0: expected a leaf value in [0, 1], found 1.5"},
        BadArrays{"LeafValueNotANumber",
                  [](Arrays& a) { a.values[3] = std::numeric_limits<float>::quiet_NaN(); },
                  "expected a leaf value in [0, 1]"},
        BadArrays{"FirstTreeNotAtZero", [](Arrays& a) { a.roots[0] = 1; },
                  "tree 0: expected its first node to be 0, found 1"},
        BadArrays{"TreesOutOfOrder",
                  [](Arrays& a) {
                    a.roots = {0, 0};
                  },
                  "tree 1: expected its first node after the previous tree's first node, found 0"},
        BadArrays{"TreeBeyondTheNodes",
                  [](Arrays& a) {
                    a.roots = {0, 3, 9};
                  },
                  "tree 1: expected nodes 3 up to 3, found a tree ending at 8"},
        BadArrays{"NodesWithoutTrees", [](Arrays& a) { a.roots.clear(); },
                  "expected nodes exactly when there are trees, found 0 trees and 4 nodes"}),
    [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(RandomForest, FromArraysRefusesAForestWithoutFeatures) {
  EXPECT_THROW(Arrays().Make(0), std::runtime_error);
}

}  // namespace
