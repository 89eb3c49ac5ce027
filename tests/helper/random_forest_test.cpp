#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

#include "platform/helper/RandomForest.h"
#include "tests/helper/HelperTestSupport.h"

namespace HelperTests {
namespace {

using namespace Tamrix::Vision::SmartSegmenterHelper::detail;

// Two features in [0, 1); `rule` decides the class.
SampleMatrix Samples(int count, std::uint32_t seed, const std::function<bool(float, float)>& rule) {
  SampleMatrix samples;
  samples.featureCount = 2;
  Noise noise(seed);
  for (int i = 0; i < count; ++i) {
    const float a = noise.Uniform(), b = noise.Uniform();
    samples.values.insert(samples.values.end(), {a, b});
    samples.positive.push_back(rule(a, b) ? 1 : 0);
  }
  return samples;
}

TEST(RandomForest, LearnsAThresholdAndAnInteractionOfTwoFeatures) {
  const auto threshold =
      RandomForest::Fit(Samples(2000, 1, [](float a, float) { return a > 0.5f; }), {}, 42);
  ASSERT_FALSE(threshold.Empty());
  EXPECT_EQ(threshold.TreeCount(), 8);
  const float high[] = {0.9f, 0.3f}, low[] = {0.1f, 0.8f};
  EXPECT_GT(threshold.Predict(high), 0.95f);
  EXPECT_LT(threshold.Predict(low), 0.05f);

  const auto rule = [](float a, float b) { return (a > 0.5f) != (b > 0.5f); };
  const auto forest = RandomForest::Fit(Samples(4000, 2, rule), {}, 7);
  const SampleMatrix test = Samples(1000, 99, rule);
  int right = 0;
  for (std::size_t i = 0; i < test.Count(); ++i) {
    right += (forest.Predict(test.Row(i)) >= 0.5f) == (test.positive[i] != 0);
  }
  EXPECT_GT(right, 950);
}

TEST(RandomForest, SplitsBetweenNegativeValuesTiesAndSignedZerosWhereTheClassesChange) {
  // Feature 0 takes a few values, each many times; the class is positive between -3.4 and 1.
  // Feature 1 is noise. Every boundary lies between two neighbouring values, so the forest
  // separates them only if the values are ordered as numbers (negatives, -0 and +0 included).
  const float values[] = {-1e6f, -3.5f, -3.25f, -0.0f, 0.0f, 2.0f, 1e6f};
  SampleMatrix samples;
  samples.featureCount = 2;
  Noise noise(5);
  for (int i = 0; i < 3500; ++i) {
    const float value = values[static_cast<std::size_t>(i) % 7];
    samples.values.insert(samples.values.end(), {value, noise.Uniform() * 2.0f - 1.0f});
    samples.positive.push_back(value > -3.4f && value < 1.0f ? 1 : 0);
  }
  ForestParameters parameters;
  parameters.featuresPerSplit = 2;
  const auto forest = RandomForest::Fit(samples, parameters, 3);
  for (const float value : values) {
    const float row[] = {value, 0.25f};
    if (value > -3.4f && value < 1.0f) {
      EXPECT_GT(forest.Predict(row), 0.95f) << value;
    } else {
      EXPECT_LT(forest.Predict(row), 0.05f) << value;
    }
  }
}

TEST(RandomForest, WeighsBothClassesEquallyWhateverTheirNumbers) {
  // 100 positives on [0.4, 1) and 10000 negatives on [0, 0.6): with equal class weights the
  // overlap is a coin toss; counted by numbers it would be almost surely negative.
  SampleMatrix samples;
  samples.featureCount = 1;
  Noise noise(3);
  for (int i = 0; i < 10100; ++i) {
    samples.values.push_back(i < 100 ? 0.4f + 0.6f * noise.Uniform() : 0.6f * noise.Uniform());
    samples.positive.push_back(i < 100 ? 1 : 0);
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
  EXPECT_EQ(first.Features(), second.Features());
  EXPECT_EQ(first.Thresholds(), second.Thresholds());
  EXPECT_EQ(first.Children(), second.Children());
  EXPECT_EQ(first.Values(), second.Values());
  EXPECT_NE(first.Thresholds(), RandomForest::Fit(samples, {}, 12).Thresholds());
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

TEST(RandomForest, PredictRowsAgreesWithPredictForBlocksThatDoNotDivideEvenly) {
  // 517 rows: two full blocks of rows, then a partial one that ends in a few leftover rows.
  const auto samples = Samples(517, 9, [](float a, float b) { return a * b > 0.2f; });
  const auto forest = RandomForest::Fit(samples, {}, 5);
  // Values no training sample had: comparisons with NaN are false on every path.
  std::vector<float> rows = samples.values;
  for (std::size_t i = 0; i < rows.size(); i += 5) {
    rows[i] = i % 3 == 0   ? std::nanf("")
              : i % 3 == 1 ? std::numeric_limits<float>::infinity()
                           : -std::numeric_limits<float>::infinity();
  }
  std::vector<float> out(samples.Count(), -1.0f);
  forest.PredictRows(rows.data(), samples.Count(), out.data());
  for (std::size_t i = 0; i < samples.Count(); ++i) {
    ASSERT_EQ(out[i], forest.Predict(rows.data() + i * 2)) << "row " << i;
  }
}

TEST(RandomForest, ANodeWithTwoParentsIsReachedToItsLeavesOnEveryPath) {
  // One tree in which node 9 has two parents: node 5 (depth 3) and node 7 (depth 2). The deepest
  // path, 0 1 3 5 9 11, takes five steps; node 9's own value (0.0) is never a result.
  const RandomForest forest =
      RandomForest::FromArrays(2, {0}, {0, 0, 0, 1, -1, 1, -1, 1, -1, 1, -1, -1, -1},
                               {0.5f, 0.25f, 0.75f, 0.5f, 0, 0.25f, 0, 0.5f, 0, 0.1f, 0, 0, 0},
                               {1, 3, 7, 5, 0, 9, 0, 9, 0, 11, 0, 0, 0},
                               {0, 0, 0, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0, 0.5f, 0.25f, 0.75f});
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
  int featureCount = 2;
  std::vector<std::int32_t> roots{0, 3}, features{1, -1, -1, -1}, children{1, 0, 0, 0};
  std::vector<float> thresholds{0.5f, 0, 0, 0}, values{0.5f, 0.0f, 1.0f, 0.25f};
  RandomForest Make() const {
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

TEST(RandomForest, FromArraysRefusesCorruptArraysWithAClearMessage) {
  const float inf = std::numeric_limits<float>::infinity();
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const struct {
    std::function<void(Arrays&)> corrupt;
    const char* message;
  } cases[] = {
      {[](Arrays& a) { a.values.pop_back(); },
       "expected equal numbers of features, thresholds, children and values, found 4, 4, 4 and 3"},
      {[](Arrays& a) { a.features[0] = 2; },
       "node 0 of tree 0: expected a feature -1 (leaf) to 1, found 2"},
      {[](Arrays& a) { a.features[0] = -5; }, "expected a feature -1 (leaf) to 1, found -5"},
      {[](Arrays& a) { a.children[0] = 0; },
       "node 0 of tree 0: expected children after the node inside its tree (nodes 1 to 2), found "
       "0 and 1"},
      {[](Arrays& a) { a.children[0] = 2; }, "found 2 and 3"},
      {[](Arrays& a) { a.children[0] = 1000000; }, "found 1000000 and 1000001"},
      {[&](Arrays& a) { a.thresholds[0] = inf; }, "expected a finite threshold, found inf"},
      {[](Arrays& a) { a.values[2] = 1.5f; },
       "node 2 of tree 0: expected a leaf value in [0, 1], found 1.5"},
      {[&](Arrays& a) { a.values[3] = nan; }, "expected a leaf value in [0, 1]"},
      {[](Arrays& a) { a.roots[0] = 1; }, "tree 0: expected its first node to be 0, found 1"},
      {[](Arrays& a) {
         a.roots = {0, 0};
       },
       "tree 1: expected its first node after the previous tree's first node, found 0"},
      {[](Arrays& a) {
         a.roots = {0, 3, 9};
       },
       "tree 1: expected nodes 3 up to 3, found a tree ending at 8"},
      {[](Arrays& a) { a.roots.clear(); },
       "expected nodes exactly when there are trees, found 0 trees and 4 nodes"},
      {[](Arrays& a) { a.featureCount = 0; }, ""},
  };
  for (const auto& c : cases) {
    Arrays arrays;
    c.corrupt(arrays);
    const std::string error = MessageOf<std::runtime_error>([&] { arrays.Make(); });
    EXPECT_NE(error, "no exception") << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
  }
}

}  // namespace
}  // namespace HelperTests
