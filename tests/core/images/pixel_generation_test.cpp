#include <gtest/gtest.h>

#include <memory>
#include <type_traits>
#include <vector>

#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"

namespace {

using namespace Tamrix::Vision;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

// Uniform access to the three views, so that one set of tests covers them all.
struct Grey8Ops {
  using Image = Image8Grey;
  static void Touch(Image& image, int y) { image.MutableRow(y)[0] = 1; }
  static void Fill(Image& image) { image.Fill(3); }
};
struct Grey16Ops {
  using Image = Image16Grey;
  static void Touch(Image& image, int y) { image.MutableRow(y)[0] = 1; }
  static void Fill(Image& image) { image.Fill(300); }
};
struct ColorOps {
  using Image = Image24PlanarColor;
  static void Touch(Image& image, int y) { image.MutableRow(2, y)[0] = 1; }
  static void Fill(Image& image) { image.Fill(1, 2, 3); }
};

template <typename Ops>
class PixelGeneration : public testing::Test {
 protected:
  using Image = typename Ops::Image;

  PixelGeneration() : image_(std::make_shared<Image>(Token{}, 4, 3)) {
    image_->ChangedEvent().Connect(
        [this](const std::shared_ptr<ChangedEventArgs>& args) { flags_.push_back(args->Flags()); });
  }

  std::shared_ptr<Image> image_;
  std::vector<long long> flags_;
};

using ViewTypes = testing::Types<Grey8Ops, Grey16Ops, ColorOps>;
TYPED_TEST_SUITE(PixelGeneration, ViewTypes);

TYPED_TEST(PixelGeneration, StartsAtZeroAndReadingDoesNotCount) {
  EXPECT_EQ(this->image_->PixelGeneration(), 0u);
  this->image_->Value(1, 1);
  const auto& constImage = *this->image_;
  if constexpr (std::is_same_v<TypeParam, ColorOps>) {
    constImage.Row(0, 2);
  } else {
    constImage.Row(2);
  }
  EXPECT_EQ(this->image_->PixelGeneration(), 0u);
  EXPECT_TRUE(this->flags_.empty());
}

TYPED_TEST(PixelGeneration, EachMutableRowCountsOnceWithoutAnEvent) {
  TypeParam::Touch(*this->image_, 0);
  EXPECT_EQ(this->image_->PixelGeneration(), 1u);
  TypeParam::Touch(*this->image_, 2);
  TypeParam::Touch(*this->image_, 2);
  EXPECT_EQ(this->image_->PixelGeneration(), 3u);
  EXPECT_TRUE(this->flags_.empty());
}

TYPED_TEST(PixelGeneration, FillCountsOnceAndRaisesSfPixels) {
  TypeParam::Fill(*this->image_);
  EXPECT_EQ(this->image_->PixelGeneration(), 1u);
  EXPECT_EQ(this->flags_, std::vector<long long>{TypeParam::Image::SfPixels});
}

TYPED_TEST(PixelGeneration, MarkPixelsChangedCountsAndRaisesSfPixels) {
  this->image_->MarkPixelsChanged();
  this->image_->MarkPixelsChanged();
  EXPECT_EQ(this->image_->PixelGeneration(), 2u);
  EXPECT_EQ(this->flags_, (std::vector<long long>{1, 1}));
}

TYPED_TEST(PixelGeneration, TheEventSeesTheNewGeneration) {
  std::uint64_t seen = 0;
  auto* image = this->image_.get();
  image->ChangedEvent().Connect([&seen, image](const std::shared_ptr<ChangedEventArgs>&) {
    seen = image->PixelGeneration();
  });
  TypeParam::Touch(*image, 1);
  image->MarkPixelsChanged();
  EXPECT_EQ(seen, 2u);
}

TYPED_TEST(PixelGeneration, SuspendedEventsArriveOnceOnResume) {
  this->image_->SuspendChangedEvent();
  TypeParam::Fill(*this->image_);
  this->image_->MarkPixelsChanged();
  EXPECT_TRUE(this->flags_.empty());
  EXPECT_EQ(this->image_->PixelGeneration(), 2u);
  this->image_->ResumeAndRaiseChangedEvent();
  EXPECT_EQ(this->flags_, std::vector<long long>{TypeParam::Image::SfPixels});
}

TYPED_TEST(PixelGeneration, SubImagesCountTheirOwnWrites) {
  auto sub = this->image_->SubImage(1, 1, 2, 2);
  TypeParam::Touch(*sub, 0);
  EXPECT_EQ(sub->PixelGeneration(), 1u);
  // A write through another view is not visible in this view's count; the writer announces it.
  EXPECT_EQ(this->image_->PixelGeneration(), 0u);
}

}  // namespace
