#include <gtest/gtest.h>

#include <memory>
#include <sstream>
#include <type_traits>
#include <vector>

#include "interfaces/core/ObjectArchive.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "tests/smartcore/TestObjects.h"
#include "tests/support/ArchiveRoundTrip.h"

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
using namespace Tamrix::Testing::SmartCoreTests;
using Access = SmartSegmenterResultsTestAccess;

static_assert(!std::is_constructible_v<SmartSegmenterResults,
                                       std::vector<std::shared_ptr<ISmartSegmenterResult>>>,
              "only the segmenter may create results");
static_assert(!std::is_default_constructible_v<SmartSegmenterResults>);

// A result with just a label name; the pixel data is empty.
class FakeResult : public Tamrix::Vision::ShareableBase, public virtual ISmartSegmenterResult {
 public:
  FakeResult(const Token& token, std::string label)
      : ShareableBase(token), label_(std::move(label)) {}
  std::string LabelName() const override { return label_; }
  int Width() const override { return 0; }
  int Height() const override { return 0; }
  const Tamrix::Vision::PixelMask& Mask() const override { return mask_; }
  const std::vector<float>& Probabilities() const override { return probabilities_; }
  long long Area() const override { return 0; }
  Tamrix::Vision::BoundingBox Bounds() const override { return {}; }

 private:
  std::string label_;
  Tamrix::Vision::PixelMask mask_;
  std::vector<float> probabilities_;
  RTTR_ENABLE(ShareableBase, ISmartSegmenterResult)
};

TEST(SmartSegmenterResults, HoldsTheResultsInTheGivenOrder) {
  std::shared_ptr<ISmartSegmenterResult> a = std::make_shared<FakeResult>(Token{}, "a");
  std::shared_ptr<ISmartSegmenterResult> b = std::make_shared<FakeResult>(Token{}, "b");
  auto results = Access::Make({a, b});
  EXPECT_EQ(std::vector<std::shared_ptr<ISmartSegmenterResult>>(results->begin(), results->end()),
            (std::vector<std::shared_ptr<ISmartSegmenterResult>>{a, b}));
  // Lookups and bad indices are the read-only collection's, tested with it.
}

TEST(SmartSegmenterResults, EmptyResultsRoundTripThroughIObject) {
  auto loaded = Tamrix::Testing::LoadObject<SmartSegmenterResults>(
      Tamrix::Testing::SaveObject(Access::Make({})));
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Count(), 0);
}

}  // namespace
