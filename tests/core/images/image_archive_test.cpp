// Archive records of the images: layouts in both byte orders, round trips, roots staying shared,
// and corrupt archives refused without trusting their sizes.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"
#include "tests/core/TestSupport.h"
#include "tests/support/ArchiveBytes.h"
#include "tests/support/ArchiveRoundTrip.h"
#include "tests/support/LargestAllocation.h"

namespace {

using namespace Tamrix::Vision;
using Tamrix::Testing::CoreTests::Token;
using ObjectPtr = std::shared_ptr<Tamrix::Vorn::IObject>;

using Tamrix::Testing::Bytes;

// Archive bytes written by hand, in either byte order, starting with cereal's byte-order flag.
Bytes Archive(bool bigEndian = false) {
  Bytes bytes(bigEndian);
  bytes.U8(bigEndian ? 0 : 1);
  return bytes;
}

constexpr std::uint32_t kNew = 0x80000000;

// The body of an 8-bit root after its version words: size, count, pixels.
void Root8Body(Bytes& b, int width, int height, std::uint64_t count,
               const std::vector<std::uint8_t>& pixels) {
  b.U32(width).U32(height).U64(count);
  for (auto p : pixels) b.U8(p);
}

// An Image8Grey saved through IObject: its type and object, the base parts, then its root as a
// polymorphic IImage8RootBuffer pointer (type 2, object 2) and the rectangle.
std::string Grey8Archive(int rootWidth, int rootHeight, std::uint64_t count,
                         const std::vector<std::uint8_t>& pixels, int x, int y, int width,
                         int height, bool nullRoot = false) {
  Bytes b = Archive();
  b.U32(kNew | 1).Text("Tamrix::Vision::Image8Grey").U32(kNew | 1);
  b.U32(1).U32(1).U32(1);  // Image8Grey, ChangedEventShareableBase, ShareableBase versions
  if (nullRoot) {
    b.U32(0);
  } else {
    b.U32(kNew | 2).Text("Tamrix::Vision::Image8Root").U32(kNew | 2);
    b.U32(1);  // Image8Root version; ShareableBase's was written above
    Root8Body(b, rootWidth, rootHeight, count, pixels);
  }
  return b.U32(x).U32(y).U32(width).U32(height).str();
}

// An Image16Root saved through IObject.
std::string Root16Archive(bool bigEndian, int width, int height, std::uint64_t count,
                          const std::vector<std::uint16_t>& pixels, std::uint32_t version = 1) {
  Bytes b = Archive(bigEndian);
  b.U32(kNew | 1).Text("Tamrix::Vision::Image16Root").U32(kNew | 1);
  b.U32(version).U32(1).U32(width).U32(height).U64(count);  // versions: Image16Root, ShareableBase
  for (auto p : pixels) b.U16(p);
  return b.str();
}

// An Image24PlanarColor saved through IObject with three planes of the given sizes, all zero.
std::string ColorArchive(const std::vector<std::pair<int, int>>& planeSizes, int width,
                         int height) {
  Bytes b = Archive();
  b.U32(kNew | 1).Text("Tamrix::Vision::Image24PlanarColor").U32(kNew | 1).U32(1).U32(1).U32(1);
  for (std::uint32_t i = 0; i < planeSizes.size(); ++i) {
    if (i == 0) b.U32(kNew | 2).Text("Tamrix::Vision::Image8Root");
    if (i > 0) b.U32(2);  // the type introduced by the first plane
    b.U32(kNew | (2 + i));
    if (i == 0) b.U32(1);
    const auto [w, h] = planeSizes[i];
    Root8Body(b, w, h, static_cast<std::uint64_t>(w * h),
              std::vector<std::uint8_t>(static_cast<std::size_t>(w * h)));
  }
  return b.U32(0).U32(0).U32(width).U32(height).str();
}

ObjectPtr Load(const std::string& bytes) { return Tamrix::Testing::LoadObject(bytes); }
std::string Save(const ObjectPtr& object) { return Tamrix::Testing::SaveObject(object); }

TEST(ImageArchive, RecordLayoutsInBothByteOrders) {
  auto root = std::make_shared<Image16Root>(Token{}, 2, 1);
  root->Buffer()[0] = 0x0102;
  root->Buffer()[1] = 0xFFFE;
  EXPECT_EQ(Save(root), Root16Archive(false, 2, 1, 2, {0x0102, 0xFFFE}));
  const std::vector<std::uint8_t> pixels = {1, 2, 3, 4, 5, 6};
  auto view = Image8Grey::FromPixels(3, 2, pixels.data(), 3)->SubImage(1, 0, 2, 2);
  EXPECT_EQ(Save(view), Grey8Archive(3, 2, 6, pixels, 1, 0, 2, 2));

  const std::vector<std::uint16_t> values = {0x0102, 0xABCD, 7, 65535, 256, 0};
  for (bool bigEndian : {false, true}) {
    auto loaded =
        std::dynamic_pointer_cast<Image16Root>(Load(Root16Archive(bigEndian, 3, 2, 6, values)));
    ASSERT_NE(loaded, nullptr) << bigEndian;
    EXPECT_EQ(std::make_pair(loaded->Width(), loaded->Height()), std::make_pair(3, 2));
    EXPECT_EQ(std::vector<std::uint16_t>(loaded->Buffer(), loaded->Buffer() + 6), values);
  }
  auto loadedView = std::dynamic_pointer_cast<Image8Grey>(
      Load(Grey8Archive(3, 2, 6, {10, 20, 30, 40, 50, 60}, 1, 1, 2, 1)));
  ASSERT_NE(loadedView, nullptr);
  EXPECT_EQ(std::make_pair(loadedView->Width(), loadedView->Height()), std::make_pair(2, 1));
  EXPECT_EQ(std::make_pair(loadedView->Value(0, 0), loadedView->Value(1, 0)),
            std::make_pair(50.0, 60.0));
  EXPECT_EQ(loadedView->PixelGeneration(), 0u);
  // Guards the corrupt colour cases below: the same bytes with matching planes load.
  auto color = std::dynamic_pointer_cast<Image24PlanarColor>(
      Load(ColorArchive({{2, 1}, {2, 1}, {2, 1}}, 2, 1)));
  ASSERT_NE(color, nullptr);
  EXPECT_EQ(color->Width(), 2);
  EXPECT_NE(color->PlaneRoots()[0], color->PlaneRoots()[2]);
}

// Size and pixels of a root; every root of an object, plane by plane.
template <class Root>
std::vector<int> Dump(const Root& root) {
  std::vector<int> values = {root.Width(), root.Height()};
  values.insert(values.end(), root.Buffer(), root.Buffer() + root.Width() * root.Height());
  return values;
}
std::vector<std::vector<int>> Roots(const ObjectPtr& object) {
  if (auto grey = std::dynamic_pointer_cast<Image8Grey>(object)) return {Dump(*grey->Root())};
  if (auto grey = std::dynamic_pointer_cast<Image16Grey>(object)) return {Dump(*grey->Root())};
  if (auto root = std::dynamic_pointer_cast<Image8Root>(object)) return {Dump(*root)};
  if (auto root = std::dynamic_pointer_cast<Image16Root>(object)) return {Dump(*root)};
  const auto& planes = std::dynamic_pointer_cast<Image24PlanarColor>(object)->PlaneRoots();
  return {Dump(*planes[0]), Dump(*planes[1]), Dump(*planes[2])};
}

// Distinct values in every pixel, wider than 8 bits where the root holds 16.
template <class Root>
void FillPattern(Root& root, int salt) {
  for (int i = 0; i < root.Width() * root.Height(); ++i) {
    root.Buffer()[i] = static_cast<std::remove_pointer_t<decltype(root.Buffer())>>(i * 4099 + salt);
  }
}

// Another object, of the same type, with the same roots, the same pixels seen through the view
// and the same record when saved again.
void ExpectSameImage(const ObjectPtr& original, const ObjectPtr& loaded) {
  ASSERT_NE(loaded, nullptr);
  EXPECT_NE(loaded, original);
  EXPECT_EQ(loaded->get_type(), original->get_type());
  EXPECT_EQ(Roots(loaded), Roots(original));
  EXPECT_EQ(Save(loaded), Save(original));
  const auto a = std::dynamic_pointer_cast<IImage>(original);
  const auto b = std::dynamic_pointer_cast<IImage>(loaded);
  if (!a) return;
  ASSERT_EQ(std::make_pair(b->Width(), b->Height()), std::make_pair(a->Width(), a->Height()));
  for (int c = 0; c < a->ChannelCount(); ++c) {
    for (int y = 0; y < a->Height(); ++y) {
      for (int x = 0; x < a->Width(); ++x) EXPECT_EQ(b->Value(x, y, c), a->Value(x, y, c));
    }
  }
}

TEST(ImageArchive, ImagesAndRootsSurviveThroughIObjectAndViewsThroughIImage) {
  auto grey8 = std::make_shared<Image8Grey>(Token{}, 7, 5);
  auto grey16 = std::make_shared<Image16Grey>(Token{}, 6, 4);
  auto color = std::make_shared<Image24PlanarColor>(Token{}, 5, 3);
  auto root8 = std::make_shared<Image8Root>(Token{}, 3, 3);
  auto root16 = std::make_shared<Image16Root>(Token{}, 4, 1);
  FillPattern(*grey8->Root(), 5);
  FillPattern(*grey16->Root(), 300);
  for (int c = 0; c < 3; ++c) FillPattern(*color->PlaneRoots()[c], 10 * c);
  FillPattern(*root8, 250);
  FillPattern(*root16, 1);
  const std::vector<ObjectPtr> objects = {grey8->SubImage(2, 1, 4, 3),
                                          grey16->SubImage(1, 2, 5, 2),
                                          std::make_shared<Image8Grey>(Token{}, 0, 0),
                                          color->SubImage(1, 1, 3, 2),
                                          root8,
                                          root16};
  for (const auto& object : objects) {
    SCOPED_TRACE(object->ToString());
    ExpectSameImage(object, Load(Save(object)));
    std::shared_ptr<IImage> image = std::dynamic_pointer_cast<IImage>(object);
    if (!image) continue;  // a root is no IImage
    const auto loaded =
        Tamrix::Testing::LoadArchived<std::shared_ptr<IImage>>(Tamrix::Testing::SaveArchive(image));
    ExpectSameImage(object, std::dynamic_pointer_cast<Tamrix::Vorn::IObject>(loaded));
  }
}

TEST(ImageArchive, ViewsOfOneRootStillShareItAfterLoading) {
  auto grey = std::make_shared<Image8Grey>(Token{}, 6, 4);
  auto color = std::make_shared<Image24PlanarColor>(Token{}, 3, 3);
  std::string bytes;
  {
    std::shared_ptr<IImage> a = grey, b = grey->SubImage(1, 1, 2, 2), c = color;
    ObjectPtr d = color->Channel(1);
    bytes = Tamrix::Testing::SaveArchive(a, b, c, d);
  }
  std::shared_ptr<IImage> a, b, c;
  ObjectPtr d;
  Tamrix::Testing::LoadArchive(bytes, a, b, c, d);
  auto loadedGrey = std::dynamic_pointer_cast<Image8Grey>(a);
  auto loadedSub = std::dynamic_pointer_cast<Image8Grey>(b);
  auto loadedColor = std::dynamic_pointer_cast<Image24PlanarColor>(c);
  auto loadedGreen = std::dynamic_pointer_cast<Image8Grey>(d);
  ASSERT_TRUE(loadedGrey && loadedSub && loadedColor && loadedGreen);
  EXPECT_EQ(loadedGrey->Root(), loadedSub->Root());
  EXPECT_NE(loadedGrey->Root(), grey->Root());
  loadedSub->MutableRow(1)[0] = 42;
  EXPECT_EQ(loadedGrey->Value(1, 2), 42.0);
  EXPECT_EQ(loadedGreen->Root(), loadedColor->PlaneRoots()[1]);
  loadedGreen->MutableRow(2)[2] = 9;
  EXPECT_EQ(loadedColor->Value(2, 2, 1), 9.0);
  EXPECT_EQ(loadedColor->Value(2, 2, 0), 0.0);
}

// Reads a corrupt archive, which must fail with a message starting with `message` and without a
// single allocation the bytes present could not justify.
template <class E>
void ExpectCorrupt(const std::string& bytes, const std::string& message) {
  Tamrix::Testing::StartWatchingAllocations();
  const std::string what = Tamrix::Testing::CoreTests::MessageOf<E>([&] { Load(bytes); });
  const std::size_t largest = Tamrix::Testing::StopWatchingAllocations();
  EXPECT_EQ(what.substr(0, message.size()), message) << what;
  EXPECT_LT(largest, std::size_t{1} << 20);
}

TEST(ImageArchive, CorruptArchivesFailWithAClearMessageAndNoLargeAllocation) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Root16Archive(false, 40000, 40000, 1600000000, {1, 2, 3}), "Failed to read "},
      {Root16Archive(true, 40000, 40000, 1600000000, {1, 2, 3}), "Failed to read "},
      {Grey8Archive(46000, 46000, 2116000000, {1}, 0, 0, 1, 1), "Failed to read "},
      {Root16Archive(false, 2, 2, 5, {1, 2, 3, 4, 5}),
       "Image16Root: pixel count 5 does not match the size 2 x 2 (4 pixels)"},
      {Root16Archive(false, 2, 2, 1ull << 62, {1}),
       "Image16Root: pixel count 4611686018427387904 does not match the size 2 x 2 (4 pixels)"},
      {Grey8Archive(3, 2, 5, {1, 2, 3, 4, 5}, 0, 0, 1, 1),
       "Image8Root: pixel count 5 does not match the size 3 x 2 (6 pixels)"},
      {Root16Archive(false, -2, 2, 0, {}), "Image16Root: width must be >= 0, found -2"},
      {Root16Archive(false, 65536, 65536, 1ull << 32, {}),
       "Image16Root: size 65536 x 65536 has 4294967296 pixels, more than the limit of 2147483648"},
      {Grey8Archive(3, 2, 6, {0, 0, 0, 0, 0, 0}, 2, 0, 2, 1),
       "Image8Grey: rectangle at (2, 0) of size 2 x 1 must lie inside the 3 x 2 image"},
      {Grey8Archive(3, 2, 6, {0, 0, 0, 0, 0, 0}, 0, 0, 1, -1),
       "Image8Grey: rectangle at (0, 0) of size 1 x -1 must lie inside the 3 x 2 image"},
      {Grey8Archive(0, 0, 0, {}, 0, 0, 0, 0, true),
       "Image8Grey: the root is missing (null pointer)"},
      {ColorArchive({{2, 1}, {2, 1}, {1, 1}}, 1, 1),
       "Image24PlanarColor: the blue plane (1 x 1, stride 1) must match the red plane (2 x 1, "
       "stride 2)"},
      {ColorArchive({{2, 1}, {2, 1}, {2, 1}}, 2, 2),
       "Image24PlanarColor: rectangle at (0, 0) of size 2 x 2 must lie inside the 2 x 1 image"},
  };
  for (const auto& [bytes, message] : cases) {
    SCOPED_TRACE(message);
    ExpectCorrupt<cereal::Exception>(bytes, message);
  }
  ExpectCorrupt<VisionException>(Root16Archive(false, 1, 1, 1, {1}, 2),
                                 "Image16Root::serialize(): stored class version 2 is newer");
  const std::string full = Grey8Archive(3, 2, 6, {1, 2, 3, 4, 5, 6}, 0, 0, 3, 2);
  for (std::size_t cut = 1; cut < full.size(); ++cut) {
    SCOPED_TRACE(cut);
    ExpectCorrupt<cereal::Exception>(full.substr(0, cut), "Failed to read ");
  }
}

}  // namespace
