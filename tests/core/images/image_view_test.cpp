#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"

namespace {

using namespace Tamrix::Vision;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

TEST(Image8Grey, NewImageIsZeroedAndOwnsAFullRoot) {
  auto image = std::make_shared<Image8Grey>(Token{}, 5, 3);
  EXPECT_EQ(image->Width(), 5);
  EXPECT_EQ(image->Height(), 3);
  EXPECT_EQ(image->Format(), PixelFormat::Grey8);
  EXPECT_EQ(image->ChannelCount(), 1);
  EXPECT_EQ(image->Stride(), 5);
  ASSERT_NE(image->Root(), nullptr);
  EXPECT_EQ(image->Root()->Width(), 5);
  EXPECT_EQ(image->Root()->Height(), 3);
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 5; ++x) EXPECT_EQ(image->Value(x, y), 0.0) << x << "," << y;
  }
}

TEST(Image8Grey, EmptyImagesAreAllowed) {
  auto empty = std::make_shared<Image8Grey>(Token{}, 0, 0);
  EXPECT_EQ(empty->Width(), 0);
  EXPECT_EQ(empty->Height(), 0);
  auto noRows = std::make_shared<Image8Grey>(Token{}, 7, 0);
  EXPECT_EQ(noRows->Width(), 7);
  auto image = std::make_shared<Image8Grey>(Token{}, 4, 4);
  auto corner = image->SubImage(4, 4, 0, 0);
  EXPECT_EQ(corner->Width(), 0);
  EXPECT_EQ(corner->OffsetX(), 4);
}

TEST(Image8Grey, ViewsShareTheRootWithoutCopying) {
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
}

TEST(Image8Grey, SubImageAddressesItsRectangleOfTheRoot) {
  auto image = std::make_shared<Image8Grey>(Token{}, 6, 5);
  auto sub = image->SubImage(2, 1, 3, 2);
  EXPECT_EQ(sub->Root(), image->Root());
  EXPECT_EQ(sub->Width(), 3);
  EXPECT_EQ(sub->Height(), 2);
  EXPECT_EQ(sub->OffsetX(), 2);
  EXPECT_EQ(sub->OffsetY(), 1);
  EXPECT_EQ(sub->Stride(), 6);
  // Pixel (0, 0) of the sub-image is root pixel (2, 1); rows stay a root stride apart.
  EXPECT_EQ(sub->Row(0), image->Root()->Buffer() + 1 * 6 + 2);
  EXPECT_EQ(sub->Row(1) - sub->Row(0), 6);

  sub->MutableRow(1)[2] = 200;
  EXPECT_EQ(image->Value(4, 2), 200.0);
  image->MutableRow(1)[2] = 50;
  EXPECT_EQ(sub->Value(0, 0), 50.0);
}

TEST(Image8Grey, SubImageOfASubImageAddsTheOffsets) {
  auto image = std::make_shared<Image8Grey>(Token{}, 10, 10);
  auto inner = image->SubImage(3, 2, 6, 6)->SubImage(1, 4, 2, 2);
  EXPECT_EQ(inner->OffsetX(), 4);
  EXPECT_EQ(inner->OffsetY(), 6);
  inner->MutableRow(1)[1] = 11;
  EXPECT_EQ(image->Value(5, 7), 11.0);
}

TEST(Image8Grey, FillChangesOnlyTheViewedRectangle) {
  auto image = std::make_shared<Image8Grey>(Token{}, 4, 3);
  image->SubImage(1, 1, 2, 2)->Fill(5);
  const std::vector<int> expected = {0, 0, 0, 0,  //
                                     0, 5, 5, 0,  //
                                     0, 5, 5, 0};
  for (int y = 0; y < 3; ++y) {
    for (int x = 0; x < 4; ++x) EXPECT_EQ(image->Value(x, y), expected[y * 4 + x]) << x << "," << y;
  }
}

TEST(Image8Grey, FromPixelsCopiesRowsAtTheGivenStride) {
  // Two rows of three pixels, each followed by two padding bytes that must not be copied.
  std::vector<std::uint8_t> source = {1, 2, 3, 99, 99, 4, 5, 6, 99, 99};
  auto image = Image8Grey::FromPixels(3, 2, source.data(), 5);
  EXPECT_EQ(image->Width(), 3);
  EXPECT_EQ(image->Stride(), 3);
  const std::vector<std::uint8_t> packed(image->Root()->Buffer(), image->Root()->Buffer() + 6);
  EXPECT_EQ(packed, (std::vector<std::uint8_t>{1, 2, 3, 4, 5, 6}));
  source[0] = 42;
  EXPECT_EQ(image->Value(0, 0), 1.0);
}

TEST(Image16Grey, HoldsSixteenBitValuesWithStrideInPixels) {
  auto image = std::make_shared<Image16Grey>(Token{}, 3, 2);
  EXPECT_EQ(image->Format(), PixelFormat::Grey16);
  EXPECT_EQ(image->Stride(), 3);
  image->MutableRow(1)[2] = 65535;
  image->MutableRow(0)[1] = 258;
  EXPECT_EQ(image->Value(2, 1), 65535.0);
  EXPECT_EQ(image->Value(1, 0), 258.0);
  EXPECT_EQ(image->Root()->Buffer()[1 * 3 + 2], 65535);

  auto sub = image->SubImage(1, 0, 2, 2);
  EXPECT_EQ(sub->Value(1, 1), 65535.0);
  EXPECT_EQ(sub->Row(1) - sub->Row(0), 3);
}

TEST(Image16Grey, FromPixelsCopiesSixteenBitRows) {
  const std::vector<std::uint16_t> source = {1000, 2000, 0, 3000, 4000, 0};
  auto image = Image16Grey::FromPixels(2, 2, source.data(), 3);
  EXPECT_EQ(image->Value(0, 0), 1000.0);
  EXPECT_EQ(image->Value(1, 0), 2000.0);
  EXPECT_EQ(image->Value(0, 1), 3000.0);
  EXPECT_EQ(image->Value(1, 1), 4000.0);
}

TEST(Image24PlanarColor, ChannelsLiveInSeparatePlanes) {
  auto image = std::make_shared<Image24PlanarColor>(Token{}, 4, 2);
  EXPECT_EQ(image->Format(), PixelFormat::PlanarColor24);
  EXPECT_EQ(image->ChannelCount(), 3);
  image->MutableRow(0, 1)[2] = 10;
  image->MutableRow(1, 1)[2] = 20;
  image->MutableRow(2, 1)[2] = 30;
  EXPECT_EQ(image->Value(2, 1, 0), 10.0);
  EXPECT_EQ(image->Value(2, 1, 1), 20.0);
  EXPECT_EQ(image->Value(2, 1, 2), 30.0);
  const auto& planes = image->PlaneRoots();
  EXPECT_EQ(planes[0]->Buffer()[6], 10);
  EXPECT_EQ(planes[1]->Buffer()[6], 20);
  EXPECT_EQ(planes[2]->Buffer()[6], 30);
  EXPECT_NE(planes[0], planes[1]);
  EXPECT_NE(planes[1], planes[2]);
}

TEST(Image24PlanarColor, SubImageAndChannelViewsShareThePlanes) {
  auto image = std::make_shared<Image24PlanarColor>(Token{}, 5, 4);
  auto sub = image->SubImage(1, 2, 3, 2);
  sub->Fill(1, 2, 3);
  EXPECT_EQ(image->Value(1, 2, 0), 1.0);
  EXPECT_EQ(image->Value(3, 3, 2), 3.0);
  EXPECT_EQ(image->Value(0, 2, 1), 0.0);
  EXPECT_EQ(image->Value(4, 3, 1), 0.0);

  auto green = sub->Channel(1);
  EXPECT_EQ(green->Root(), image->PlaneRoots()[1]);
  EXPECT_EQ(green->Width(), 3);
  EXPECT_EQ(green->OffsetX(), 1);
  EXPECT_EQ(green->OffsetY(), 2);
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

TEST(Image8Root, ExposesItsMemoryThroughBothInterfaces) {
  auto root = std::make_shared<Image8Root>(Token{}, 3, 2);
  IImage8PixelMemory& memory = *root;
  IImage8RootBuffer& buffer = *root;
  EXPECT_EQ(memory.Size(), 6u);
  EXPECT_EQ(memory.Data(), buffer.Buffer());
  EXPECT_EQ(buffer.Stride(), 3);
}

TEST(Image16Root, SizeCountsPixelsNotBytes) {
  auto root = std::make_shared<Image16Root>(Token{}, 3, 2);
  EXPECT_EQ(root->Size(), 6u);
  EXPECT_EQ(root->Stride(), 3);
  EXPECT_EQ(root->Data(), root->Buffer());
}

}  // namespace
