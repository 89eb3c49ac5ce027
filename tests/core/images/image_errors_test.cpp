// Wrong arguments to the image types fail with ArgumentException and an exact message.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "tests/core/TestSupport.h"

namespace {

using namespace Tamrix::Vision;
using CoreTest::Token;

std::shared_ptr<Image8Grey> Grey8(int width, int height) {
  return std::make_shared<Image8Grey>(Token{}, width, height);
}

std::shared_ptr<Image24PlanarColor> Color(int width, int height) {
  return std::make_shared<Image24PlanarColor>(Token{}, width, height);
}

const std::uint8_t kPixels[4] = {1, 2, 3, 4};

TEST(Image, WrongArgumentsThrowArgumentExceptionWithTheExactMessage) {
  const std::vector<std::pair<std::function<void()>, const char*>> cases = {
      {[] { Grey8(-1, 3); }, "Image8Grey: width must be >= 0, found -1"},
      {[] { std::make_shared<Image16Grey>(Token{}, 2, -7); },
       "Image16Grey: height must be >= 0, found -7"},
      {[] { Grey8(65536, 65536); },
       "Image8Grey: size 65536 x 65536 has 4294967296 pixels, more than the limit "
       "of 2147483648"},
      {[] { std::make_shared<Image8Root>(Token{}, 32768, 65537); },
       "Image8Root: size 32768 x 65537 has 2147516416 pixels, more than the limit "
       "of 2147483648"},
      {[] { Color(INT_MAX, INT_MAX); },
       "Image24PlanarColor: size 2147483647 x 2147483647 has 4611686014132420609 "
       "pixels, more than the limit of 2147483648"},
      {[] { Grey8(4, 4)->SubImage(3, 0, 2, 2); },
       "Image8Grey::SubImage: rectangle at (3, 0) of size 2 x 2 must lie inside the "
       "4 x 4 image"},
      {[] { Grey8(4, 4)->SubImage(0, -1, 1, 1); },
       "Image8Grey::SubImage: rectangle at (0, -1) of size 1 x 1 must lie inside the "
       "4 x 4 image"},
      {[] { Grey8(4, 4)->SubImage(1, 1, -1, 1); },
       "Image8Grey::SubImage: rectangle at (1, 1) of size -1 x 1 must lie inside the "
       "4 x 4 image"},
      {[] { Grey8(4, 4)->SubImage(1, 0, INT_MAX, 1); },
       "Image8Grey::SubImage: rectangle at (1, 0) of size 2147483647 x 1 must lie "
       "inside the 4 x 4 image"},
      {[] { Grey8(8, 8)->SubImage(4, 4, 4, 4)->SubImage(1, 1, 4, 1); },
       "Image8Grey::SubImage: rectangle at (1, 1) of size 4 x 1 must lie inside the "
       "4 x 4 image"},
      {[] { Grey8(4, 3)->Value(4, 0); },
       "Image8Grey::Value: pixel (4, 0) is outside the 4 x 3 image"},
      {[] { std::make_shared<Image16Grey>(Token{}, 4, 3)->Value(0, -1); },
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
       "Image16Grey: rectangle at (1, 1) of size 3 x 1 must lie inside the 3 x 3 "
       "image"},
      {[] {
         std::make_shared<Image24PlanarColor>(
             Token{},
             Image24PlanarColor::Planes{std::make_shared<Image8Root>(Token{}, 2, 2), nullptr,
                                        std::make_shared<Image8Root>(Token{}, 2, 2)});
       },
       "Image24PlanarColor: the green plane is null"},
      {[] {
         std::make_shared<Image24PlanarColor>(
             Token{}, Image24PlanarColor::Planes{std::make_shared<Image8Root>(Token{}, 2, 2),
                                                 std::make_shared<Image8Root>(Token{}, 2, 2),
                                                 std::make_shared<Image8Root>(Token{}, 3, 2)});
       },
       "Image24PlanarColor: the blue plane (3 x 2, stride 3) must match the red plane "
       "(2 x 2, stride 2)"},
  };
  for (const auto& [action, message] : cases) {
    CoreTest::ExpectVisionError(action, VisionExceptionCodes::InvalidArgument, message);
    EXPECT_THROW(action(), ArgumentException) << message;
  }
}

}  // namespace
