// Pixel generations count writes to the pixels; Fill and MarkPixelsChanged also raise SfPixels.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "tests/core/TestSupport.h"

namespace {

using namespace Tamrix::Vision;
using Tamrix::Testing::CoreTests::Token;

// Uniform access to the three views, so that one set of tests covers them all.
struct Grey8Ops {
  using Image = Image8Grey;
  static constexpr const char* kName = "Image8Grey";
  static void Touch(Image& image, int y) { image.MutableRow(y)[0] = 1; }
  static void Read(const Image& image, int y) { image.Row(y); }
  static void Fill(Image& image) { image.Fill(3); }
};
struct Grey16Ops {
  using Image = Image16Grey;
  static constexpr const char* kName = "Image16Grey";
  static void Touch(Image& image, int y) { image.MutableRow(y)[0] = 1; }
  static void Read(const Image& image, int y) { image.Row(y); }
  static void Fill(Image& image) { image.Fill(300); }
};
struct ColorOps {
  using Image = Image24PlanarColor;
  static constexpr const char* kName = "Image24PlanarColor";
  static void Touch(Image& image, int y) { image.MutableRow(2, y)[0] = 1; }
  static void Read(const Image& image, int y) { image.Row(0, y); }
  static void Fill(Image& image) { image.Fill(1, 2, 3); }
};

template <typename Ops>
class PixelGeneration : public testing::Test {
 protected:
  std::shared_ptr<typename Ops::Image> image_ =
      std::make_shared<typename Ops::Image>(Token{}, 4, 3);
  Tamrix::Testing::CoreTests::FlagLog log_{*image_};
};

// Names each typed case after its image type instead of a bare index.
struct ImageTypeName {
  template <typename Ops>
  static std::string GetName(int) {
    return Ops::kName;
  }
};

using ViewTypes = testing::Types<Grey8Ops, Grey16Ops, ColorOps>;
TYPED_TEST_SUITE(PixelGeneration, ViewTypes, ImageTypeName);

TYPED_TEST(PixelGeneration, ReadsDoNotCountAndEachMutableRowCountsOnceWithoutAnEvent) {
  auto& image = *this->image_;
  image.Value(1, 1);
  TypeParam::Read(image, 2);
  EXPECT_EQ(image.PixelGeneration(), 0u);
  TypeParam::Touch(image, 0);
  EXPECT_EQ(image.PixelGeneration(), 1u);
  TypeParam::Touch(image, 2);
  TypeParam::Touch(image, 2);
  EXPECT_EQ(image.PixelGeneration(), 3u);
  EXPECT_TRUE(this->log_.flags.empty());
  // A write through another view is not visible in this view's count; the writer announces it.
  auto sub = image.SubImage(1, 1, 2, 2);
  TypeParam::Touch(*sub, 0);
  EXPECT_EQ(sub->PixelGeneration(), 1u);
  EXPECT_EQ(image.PixelGeneration(), 3u);
}

TYPED_TEST(PixelGeneration, FillAndMarkPixelsChangedCountAndRaiseSfPixelsSeeingTheNewCount) {
  auto& image = *this->image_;
  std::vector<std::uint64_t> seen;
  image.ChangedEvent().Connect(
      [&](const std::shared_ptr<ChangedEventArgs>&) { seen.push_back(image.PixelGeneration()); });
  TypeParam::Fill(image);
  image.MarkPixelsChanged();
  image.MarkPixelsChanged();
  EXPECT_EQ(image.PixelGeneration(), 3u);
  EXPECT_EQ(TypeParam::Image::SfPixels, 1);
  EXPECT_EQ(this->log_.flags, (std::vector<long long>{1, 1, 1}));
  EXPECT_EQ(seen, (std::vector<std::uint64_t>{1, 2, 3}));
}

TYPED_TEST(PixelGeneration, SuspendedEventsArriveOnceOnResume) {
  this->image_->SuspendChangedEvent();
  TypeParam::Fill(*this->image_);
  this->image_->MarkPixelsChanged();
  EXPECT_TRUE(this->log_.flags.empty());
  EXPECT_EQ(this->image_->PixelGeneration(), 2u);
  this->image_->ResumeAndRaiseChangedEvent();
  EXPECT_EQ(this->log_.flags, std::vector<long long>{TypeParam::Image::SfPixels});
}

}  // namespace
