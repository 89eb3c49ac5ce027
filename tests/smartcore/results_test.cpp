#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <type_traits>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "tests/smartcore/TestObjects.h"

namespace Tamrix::Vision::SmartCore {
// Reaches the private constructor, as the operator does.
struct SmartSegmenterResultsTestAccess {
  static std::shared_ptr<SmartSegmenterResults> Make(
      std::vector<std::shared_ptr<ISmartSegmenterResult>> results) {
    return std::shared_ptr<SmartSegmenterResults>(new SmartSegmenterResults(std::move(results)));
  }
};
}  // namespace Tamrix::Vision::SmartCore

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace SmartCoreTest;

static_assert(!std::is_constructible_v<SmartSegmenterResults,
                                       std::vector<std::shared_ptr<ISmartSegmenterResult>>>,
              "only the segmenter may create results");
static_assert(!std::is_default_constructible_v<SmartSegmenterResults>);

TEST(SmartSegmenterResults, HoldsTheResultsInTheGivenOrder) {
  std::shared_ptr<ISmartSegmenterResult> a = std::make_shared<FakeResult>(Token{}, "a");
  std::shared_ptr<ISmartSegmenterResult> b = std::make_shared<FakeResult>(Token{}, "b");
  auto results = SmartSegmenterResultsTestAccess::Make({a, b});
  ASSERT_EQ(results->Count(), 2);
  EXPECT_EQ(results->Item(0), a);
  EXPECT_EQ(results->IndexOf(b), 1);
  EXPECT_FALSE(results->Contains(std::make_shared<FakeResult>(Token{}, "a")));
  std::vector<std::string> names;
  for (const auto& result : *results) names.push_back(result->LabelName());
  EXPECT_EQ(names, (std::vector<std::string>{"a", "b"}));
  EXPECT_THROW(results->Item(2), Tamrix::Vision::ArgumentException);
  EXPECT_THROW(results->Item(-1), Tamrix::Vision::ArgumentException);
}

TEST(SmartSegmenterResults, EmptyResultsRoundTripThroughIObject) {
  std::shared_ptr<Tamrix::Vorn::IObject> saved = SmartSegmenterResultsTestAccess::Make({});
  std::stringstream stream;
  Tamrix::Vision::Archiving::SaveObject(stream, saved);
  auto loaded = std::dynamic_pointer_cast<SmartSegmenterResults>(
      Tamrix::Vision::Archiving::LoadObject(stream));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Count(), 0);
  EXPECT_THROW(loaded->Item(0), Tamrix::Vision::ArgumentException);
}

}  // namespace
