// Views share their root's pixels: sub-images, channels and views made elsewhere address the
// same memory at the right offsets and strides.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "tests/core/TestSupport.h"

namespace {

using namespace Tamrix::Vision;
using CoreTest::Token;

template <class Image>
std::vector<double> Values(const Image& image, int channel = 0) {
  std::vector<double> values;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) values.push_back(image.Value(x, y, channel));
  }
  return values;
}

TEST(Image8Grey, NewImageIsZeroedOwnsAFullRootAndEmptySizesAreAllowed) {
  auto image = std::make_shared<Image8Grey>(Token{}, 5, 3);
  EXPECT_EQ(image->Format(), PixelFormat::Grey8);
  EXPECT_EQ(image->ChannelCount(), 1);
  EXPECT_EQ(image->Width(), 5);
  EXPECT_EQ(image->Stride(), 5);
  EXPECT_EQ(image->Root()->Width(), 5);
  EXPECT_EQ(image->Root()->Height(), 3);
  EXPECT_EQ(Values(*image), std::vector<double>(15, 0.0));
  EXPECT_EQ(std::make_shared<Image8Grey>(Token{}, 7, 0)->Width(), 7);
  auto corner = std::make_shared<Image8Grey>(Token{}, 4, 4)->SubImage(4, 4, 0, 0);
  EXPECT_EQ(corner->Width(), 0);
  EXPECT_EQ(corner->OffsetX(), 4);
}

TEST(Image8Grey, ViewsOfOneRootShareItsPixelsWithoutCopying) {
  auto root = std::make_shared<Image8Root>(Token{}, 6, 4);
  auto whole = std::make_shared<Image8Grey>(Token{}, root);
  auto other = std::make_shared<Image8Grey>(Token{}, root);
  EXPECT_EQ(whole->Row(0), root->Buffer());
  EXPECT_EQ(other->Row(2), root->Buffer() + 12);
  whole->MutableRow(2)[3] = 77;
  EXPECT_EQ(other->Value(3, 2), 77.0);
  EXPECT_EQ(root->Buffer()[2 * 6 + 3], 77);
  root->Buffer()[5] = 9;
  EXPECT_EQ(whole->Value(5, 0), 9.0);
  // The root exposes the same memory through both of its interfaces.
  IImage8PixelMemory& memory = *root;
  EXPECT_EQ(memory.Size(), 24u);
  EXPECT_EQ(memory.Data(), root->Buffer());
  EXPECT_EQ(root->Stride(), 6);
}

TEST(Image8Grey, SubImagesAddressTheirRectangleOfTheRootAndAddOffsets) {
  auto image = std::make_shared<Image8Grey>(Token{}, 6, 5);
  auto sub = image->SubImage(2, 1, 3, 2);
  EXPECT_EQ(sub->Root(), image->Root());
  EXPECT_EQ(std::vector<int>({sub->Width(), sub->Height(), sub->OffsetX(), sub->OffsetY()}),
            std::vector<int>({3, 2, 2, 1}));
  EXPECT_EQ(sub->Stride(), 6);
  // Pixel (0, 0) of the sub-image is root pixel (2, 1); rows stay a root stride apart.
  EXPECT_EQ(sub->Row(0), image->Root()->Buffer() + 1 * 6 + 2);
  EXPECT_EQ(sub->Row(1) - sub->Row(0), 6);
  sub->MutableRow(1)[2] = 200;
  EXPECT_EQ(image->Value(4, 2), 200.0);
  image->MutableRow(1)[2] = 50;
  EXPECT_EQ(sub->Value(0, 0), 50.0);

  auto inner = std::make_shared<Image8Grey>(Token{}, 10, 10);
  auto innermost = inner->SubImage(3, 2, 6, 6)->SubImage(1, 4, 2, 2);
  EXPECT_EQ(innermost->OffsetX(), 4);
  EXPECT_EQ(innermost->OffsetY(), 6);
  innermost->MutableRow(1)[1] = 11;
  EXPECT_EQ(inner->Value(5, 7), 11.0);

  auto small = std::make_shared<Image8Grey>(Token{}, 4, 3);
  small->SubImage(1, 1, 2, 2)->Fill(5);
  EXPECT_EQ(Values(*small), (std::vector<double>{0, 0, 0, 0, 0, 5, 5, 0, 0, 5, 5, 0}));
}

TEST(ImageGrey, FromPixelsCopiesRowsAtTheGivenStride) {
  // Two rows of three pixels, each followed by two padding bytes that must not be copied.
  std::vector<std::uint8_t> source = {1, 2, 3, 99, 99, 4, 5, 6, 99, 99};
  auto image = Image8Grey::FromPixels(3, 2, source.data(), 5);
  EXPECT_EQ(image->Stride(), 3);
  const std::vector<std::uint8_t> packed(image->Root()->Buffer(), image->Root()->Buffer() + 6);
  EXPECT_EQ(packed, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  source[0] = 42;
  EXPECT_EQ(image->Value(0, 0), 1.0);
  const std::vector<std::uint16_t> source16 = {1000, 2000, 0, 3000, 4000, 0};
  EXPECT_EQ(Values(*Image16Grey::FromPixels(2, 2, source16.data(), 3)),
            (std::vector<double>{1000, 2000, 3000, 4000}));
}

TEST(Image16Grey, HoldsSixteenBitValuesWithStrideInPixels) {
  auto image = std::make_shared<Image16Grey>(Token{}, 3, 2);
  EXPECT_EQ(image->Format(), PixelFormat::Grey16);
  EXPECT_EQ(image->Stride(), 3);
  auto root = std::make_shared<Image16Root>(Token{}, 3, 2);
  EXPECT_EQ(root->Size(), 6u);  // pixels, not bytes
  EXPECT_EQ(root->Stride(), 3);
  EXPECT_EQ(root->Data(), root->Buffer());
  image->MutableRow(1)[2] = 65535;
  image->MutableRow(0)[1] = 258;
  EXPECT_EQ(Values(*image), (std::vector<double>{0, 258, 0, 0, 0, 65535}));
  EXPECT_EQ(image->Root()->Buffer()[1 * 3 + 2], 65535);
  auto sub = image->SubImage(1, 0, 2, 2);
  EXPECT_EQ(sub->Value(1, 1), 65535.0);
  EXPECT_EQ(sub->Row(1) - sub->Row(0), 3);
}

TEST(Image24PlanarColor, ChannelsLiveInSeparatePlanesSharedBySubImagesAndChannelViews) {
  auto image = std::make_shared<Image24PlanarColor>(Token{}, 5, 4);
  EXPECT_EQ(image->Format(), PixelFormat::PlanarColor24);
  EXPECT_EQ(image->ChannelCount(), 3);
  const auto& planes = image->PlaneRoots();
  EXPECT_NE(planes[0], planes[1]);
  EXPECT_NE(planes[1], planes[2]);
  auto sub = image->SubImage(1, 2, 3, 2);
  sub->Fill(1, 2, 3);
  for (int c = 0; c < 3; ++c) {
    // Rows 2 and 3, columns 1 to 3 hold the channel's fill value.
    std::vector<double> expected(20, 0.0);
    for (int i : {11, 12, 13, 16, 17, 18}) expected[i] = c + 1;
    EXPECT_EQ(Values(*image, c), expected) << c;
    EXPECT_EQ(planes[c]->Buffer()[11], c + 1);
  }
  auto green = sub->Channel(1);
  EXPECT_EQ(green->Root(), planes[1]);
  EXPECT_EQ(std::vector<int>({green->Width(), green->OffsetX(), green->OffsetY()}),
            std::vector<int>({3, 1, 2}));
  green->MutableRow(0)[0] = 99;
  EXPECT_EQ(image->Value(1, 2, 1), 99.0);
  EXPECT_EQ(image->Value(1, 2, 0), 1.0);
}

TEST(Image24PlanarColor, ViewsPlanesMadeElsewhere) {
  Image24PlanarColor::Planes planes = {std::make_shared<Image8Root>(Token{}, 2, 2),
                                       std::make_shared<Image8Root>(Token{}, 2, 2),
                                       std::make_shared<Image8Root>(Token{}, 2, 2)};
  planes[2]->Buffer()[3] = 7;
  auto image = std::make_shared<Image24PlanarColor>(Token{}, planes);
  EXPECT_EQ(image->Width(), 2);
  EXPECT_EQ(image->Value(1, 1, 2), 7.0);
  EXPECT_EQ(image->Row(2, 1), planes[2]->Buffer() + 2);
}

}  // namespace
