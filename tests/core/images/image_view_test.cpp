// Views share their root's pixels: sub-images, channels and views made elsewhere address the
// same memory at the right offsets and strides. Wrong arguments fail with an exact message.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
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

template <class Image>
std::vector<double> Values(const Image& image, int channel = 0) {
  std::vector<double> values;
  for (int y = 0; y < image.Height(); ++y) {
    for (int x = 0; x < image.Width(); ++x) values.push_back(image.Value(x, y, channel));
  }
  return values;
}

std::shared_ptr<Image8Grey> Grey8(int width, int height) {
  return std::make_shared<Image8Grey>(Token{}, width, height);
}
std::shared_ptr<Image16Grey> Grey16(int width, int height) {
  return std::make_shared<Image16Grey>(Token{}, width, height);
}
std::shared_ptr<Image24PlanarColor> Color(int width, int height) {
  return std::make_shared<Image24PlanarColor>(Token{}, width, height);
}
std::shared_ptr<Image8Root> Root8(int width, int height) {
  return std::make_shared<Image8Root>(Token{}, width, height);
}

TEST(Image8Grey, NewImageIsZeroedOwnsAFullRootAndEmptySizesAreAllowed) {
  auto image = Grey8(5, 3);
  EXPECT_EQ(image->Format(), PixelFormat::Grey8);
  EXPECT_EQ(image->ChannelCount(), 1);
  EXPECT_EQ(std::vector<long>(
                {image->Width(), image->Stride(), image->Root()->Width(), image->Root()->Height()}),
            std::vector<long>({5, 5, 5, 3}));
  EXPECT_EQ(Values(*image), std::vector<double>(15, 0.0));
  EXPECT_EQ(Grey8(7, 0)->Width(), 7);
  auto corner = Grey8(4, 4)->SubImage(4, 4, 0, 0);
  EXPECT_EQ(std::make_pair(corner->Width(), corner->OffsetX()), std::make_pair(0, 4));
}

TEST(Image8Grey, ViewsOfOneRootShareItsPixelsWithoutCopying) {
  auto root = Root8(6, 4);
  auto whole = std::make_shared<Image8Grey>(Token{}, root);
  auto other = std::make_shared<Image8Grey>(Token{}, root);
  EXPECT_EQ(whole->Row(0), root->Buffer());
  EXPECT_EQ(other->Row(2), root->Buffer() + 12);
  whole->MutableRow(2)[3] = 77;
  EXPECT_EQ(other->Value(3, 2), 77.0);
  root->Buffer()[5] = 9;
  EXPECT_EQ(whole->Value(5, 0), 9.0);
  // The root exposes the same memory through both of its interfaces.
  IImage8PixelMemory& memory = *root;
  EXPECT_EQ(memory.Size(), 24u);
  EXPECT_EQ(memory.Data(), root->Buffer());
  EXPECT_EQ(root->Stride(), 6);
}

TEST(Image8Grey, SubImagesAddressTheirRectangleOfTheRootAndAddOffsets) {
  auto image = Grey8(6, 5);
  auto sub = image->SubImage(2, 1, 3, 2);
  EXPECT_EQ(sub->Root(), image->Root());
  EXPECT_EQ(std::vector<long>(
                {sub->Width(), sub->Height(), sub->OffsetX(), sub->OffsetY(), sub->Stride()}),
            std::vector<long>({3, 2, 2, 1, 6}));
  // Pixel (0, 0) of the sub-image is root pixel (2, 1); rows stay a root stride apart.
  EXPECT_EQ(sub->Row(0), image->Root()->Buffer() + 1 * 6 + 2);
  EXPECT_EQ(sub->Row(1) - sub->Row(0), 6);
  sub->MutableRow(1)[2] = 200;
  EXPECT_EQ(image->Value(4, 2), 200.0);
  image->MutableRow(1)[2] = 50;
  EXPECT_EQ(sub->Value(0, 0), 50.0);
  auto inner = Grey8(10, 10);
  auto innermost = inner->SubImage(3, 2, 6, 6)->SubImage(1, 4, 2, 2);
  EXPECT_EQ(std::make_pair(innermost->OffsetX(), innermost->OffsetY()), std::make_pair(4, 6));
  innermost->MutableRow(1)[1] = 11;
  EXPECT_EQ(inner->Value(5, 7), 11.0);
  auto small = Grey8(4, 3);
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
  auto image = Grey16(3, 2);
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
  auto image = Color(5, 4);
  EXPECT_EQ(image->Format(), PixelFormat::PlanarColor24);
  EXPECT_EQ(image->ChannelCount(), 3);
  const auto& planes = image->PlaneRoots();
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
  // Planes made elsewhere are viewed, not copied.
  Image24PlanarColor::Planes own = {Root8(2, 2), Root8(2, 2), Root8(2, 2)};
  own[2]->Buffer()[3] = 7;
  auto viewing = std::make_shared<Image24PlanarColor>(Token{}, own);
  EXPECT_EQ(viewing->Value(1, 1, 2), 7.0);
  EXPECT_EQ(viewing->Row(2, 1), own[2]->Buffer() + 2);
}

const std::uint8_t kPixels[4] = {1, 2, 3, 4};

TEST(Image, WrongArgumentsThrowArgumentExceptionWithTheExactMessage) {
  const std::vector<std::pair<std::function<void()>, const char*>> cases = {
      {[] { Grey8(-1, 3); }, "Image8Grey: width must be >= 0, found -1"},
      {[] { Grey16(2, -7); }, "Image16Grey: height must be >= 0, found -7"},
      {[] { Grey8(65536, 65536); },
       "Image8Grey: size 65536 x 65536 has 4294967296 pixels, more than the limit of 2147483648"},
      {[] { Root8(32768, 65537); },
       "Image8Root: size 32768 x 65537 has 2147516416 pixels, more than the limit of 2147483648"},
      {[] { Color(INT_MAX, INT_MAX); },
       "Image24PlanarColor: size 2147483647 x 2147483647 has 4611686014132420609 pixels, more "
       "than the limit of 2147483648"},
      {[] { Grey8(4, 4)->SubImage(3, 0, 2, 2); },
       "Image8Grey::SubImage: rectangle at (3, 0) of size 2 x 2 must lie inside the 4 x 4 image"},
      {[] { Grey8(4, 4)->SubImage(0, -1, 1, 1); },
       "Image8Grey::SubImage: rectangle at (0, -1) of size 1 x 1 must lie inside the 4 x 4 image"},
      {[] { Grey8(4, 4)->SubImage(1, 1, -1, 1); },
       "Image8Grey::SubImage: rectangle at (1, 1) of size -1 x 1 must lie inside the 4 x 4 image"},
      {[] { Grey8(4, 4)->SubImage(1, 0, INT_MAX, 1); },
       "Image8Grey::SubImage: rectangle at (1, 0) of size 2147483647 x 1 must lie inside the 4 x "
       "4 image"},
      {[] { Grey8(8, 8)->SubImage(4, 4, 4, 4)->SubImage(1, 1, 4, 1); },
       "Image8Grey::SubImage: rectangle at (1, 1) of size 4 x 1 must lie inside the 4 x 4 image"},
      {[] { Grey8(4, 3)->Value(4, 0); },
       "Image8Grey::Value: pixel (4, 0) is outside the 4 x 3 image"},
      {[] { Grey16(4, 3)->Value(0, -1); },
       "Image16Grey::Value: pixel (0, -1) is outside the 4 x 3 image"},
      {[] { Grey8(4, 3)->Value(0, 0, 1); }, "Image8Grey::Value: channel 1 is outside [0, 1)"},
      {[] { Color(2, 2)->Value(1, 1, 3); },
       "Image24PlanarColor::Value: channel 3 is outside [0, 3)"},
      {[] { Grey8(4, 3)->Row(3); }, "Image8Grey::Row: row 3 is outside [0, 3)"},
      {[] { Grey8(4, 4)->SubImage(0, 0, 4, 2)->MutableRow(2); },
       "Image8Grey::MutableRow: row 2 is outside [0, 2)"},
      {[] { Color(2, 2)->Row(-1, 0); }, "Image24PlanarColor::Row: channel -1 is outside [0, 3)"},
      {[] { Color(2, 2)->Channel(3); }, "Image24PlanarColor::Channel: channel 3 is outside [0, 3)"},
      {[] { Image8Grey::FromPixels(3, 1, kPixels, 2); },
       "Image8Grey::FromPixels: stride must be >= the width 3, found 2"},
      {[] { Image16Grey::FromPixels(1, 1, nullptr, 1); },
       "Image16Grey::FromPixels: pixels must not be null for a 1 x 1 image"},
      {[] { std::make_shared<Image8Grey>(Token{}, std::shared_ptr<Image8Root>()); },
       "Image8Grey: root must not be null"},
      {[] {
         std::make_shared<Image16Grey>(Token{}, std::make_shared<Image16Root>(Token{}, 3, 3), 1, 1,
                                       3, 1);
       },
       "Image16Grey: rectangle at (1, 1) of size 3 x 1 must lie inside the 3 x 3 image"},
      {[] {
         std::make_shared<Image24PlanarColor>(
             Token{}, Image24PlanarColor::Planes{Root8(2, 2), nullptr, Root8(2, 2)});
       },
       "Image24PlanarColor: the green plane is null"},
      {[] {
         std::make_shared<Image24PlanarColor>(
             Token{}, Image24PlanarColor::Planes{Root8(2, 2), Root8(2, 2), Root8(3, 2)});
       },
       "Image24PlanarColor: the blue plane (3 x 2, stride 3) must match the red plane (2 x 2, "
       "stride 2)"},
  };
  for (const auto& [action, message] : cases) {
    Tamrix::Testing::CoreTests::ExpectVisionError(action, VisionExceptionCodes::InvalidArgument,
                                                  message);
    EXPECT_THROW(action(), ArgumentException) << message;
  }
}

}  // namespace
