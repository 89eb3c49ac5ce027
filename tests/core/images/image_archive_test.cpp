#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <new>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Image16Grey.h"
#include "interfaces/core/Image24PlanarColor.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"

// GCC pairs the replaced operators below with the new-expressions it inlines and flags the
// malloc/free pair they use as mismatched; they are a matched pair.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

// The largest single allocation made while tracking is on, to prove that corrupt sizes are not
// believed before the bytes behind them have arrived.
namespace {
std::atomic<bool> trackAllocations{false};
std::atomic<std::size_t> largestAllocation{0};
}  // namespace

void* operator new(std::size_t size) {
  if (trackAllocations.load()) {
    std::size_t seen = largestAllocation.load();
    while (size > seen && !largestAllocation.compare_exchange_weak(seen, size)) {
    }
  }
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }

namespace {

using namespace Tamrix::Vision;
namespace Archiving = Tamrix::Vision::Archiving;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

// Archive bytes written by hand, in either byte order, starting with cereal's byte-order flag.
class Bytes {
 public:
  explicit Bytes(bool bigEndian = false) : bigEndian_(bigEndian) { U8(bigEndian ? 0 : 1); }
  Bytes& U8(std::uint8_t v) {
    data_.push_back(static_cast<char>(v));
    return *this;
  }
  Bytes& U16(std::uint16_t v) { return Number(v, 2); }
  Bytes& U32(std::uint32_t v) { return Number(v, 4); }
  Bytes& I32(std::int32_t v) { return Number(static_cast<std::uint32_t>(v), 4); }
  Bytes& U64(std::uint64_t v) { return Number(v, 8); }
  Bytes& Text(const std::string& s) {
    U64(s.size());
    data_ += s;
    return *this;
  }
  const std::string& str() const { return data_; }

 private:
  Bytes& Number(std::uint64_t v, int size) {
    for (int i = 0; i < size; ++i) {
      const int shift = 8 * (bigEndian_ ? size - 1 - i : i);
      U8(static_cast<std::uint8_t>(v >> shift));
    }
    return *this;
  }
  bool bigEndian_;
  std::string data_;
};

constexpr std::uint32_t kNew = 0x80000000;

// The body of an 8-bit root after its version words: size, count, pixels.
void Root8Body(Bytes& b, std::int32_t width, std::int32_t height, std::uint64_t count,
               const std::vector<std::uint8_t>& pixels) {
  b.I32(width).I32(height).U64(count);
  for (auto p : pixels) b.U8(p);
}

// An Image8Grey saved through IObject: its type and object, the base parts, then its root as a
// polymorphic IImage8RootBuffer pointer (type 2, object 2) and the rectangle.
std::string Grey8Archive(std::int32_t rootWidth, std::int32_t rootHeight, std::uint64_t count,
                         const std::vector<std::uint8_t>& pixels, std::int32_t x, std::int32_t y,
                         std::int32_t width, std::int32_t height, bool nullRoot = false) {
  Bytes b;
  b.U32(kNew | 1).Text("Tamrix::Vision::Image8Grey").U32(kNew | 1);
  b.U32(1).U32(1).U32(1);  // Image8Grey, ChangedEventShareableBase, ShareableBase versions
  if (nullRoot) {
    b.U32(0);
  } else {
    b.U32(kNew | 2).Text("Tamrix::Vision::Image8Root").U32(kNew | 2);
    b.U32(1);  // Image8Root version; ShareableBase's was written above
    Root8Body(b, rootWidth, rootHeight, count, pixels);
  }
  b.I32(x).I32(y).I32(width).I32(height);
  return b.str();
}

// An Image16Root saved through IObject.
std::string Root16Archive(bool bigEndian, std::int32_t width, std::int32_t height,
                          std::uint64_t count, const std::vector<std::uint16_t>& pixels,
                          std::uint32_t version = 1) {
  Bytes b(bigEndian);
  b.U32(kNew | 1).Text("Tamrix::Vision::Image16Root").U32(kNew | 1);
  b.U32(version).U32(1);  // Image16Root, ShareableBase
  b.I32(width).I32(height).U64(count);
  for (auto p : pixels) b.U16(p);
  return b.str();
}

// An Image24PlanarColor saved through IObject with three planes of the given sizes, all zero.
std::string ColorArchive(const std::vector<std::pair<int, int>>& planeSizes, std::int32_t width,
                         std::int32_t height) {
  Bytes b;
  b.U32(kNew | 1).Text("Tamrix::Vision::Image24PlanarColor").U32(kNew | 1);
  b.U32(1).U32(1).U32(1);
  for (std::size_t i = 0; i < planeSizes.size(); ++i) {
    if (i == 0) {
      b.U32(kNew | 2).Text("Tamrix::Vision::Image8Root");
    } else {
      b.U32(2);  // the type introduced by the first plane
    }
    b.U32(kNew | static_cast<std::uint32_t>(2 + i));
    if (i == 0) b.U32(1);
    const auto [w, h] = planeSizes[i];
    Root8Body(b, w, h, static_cast<std::uint64_t>(w * h),
              std::vector<std::uint8_t>(static_cast<std::size_t>(w * h)));
  }
  b.I32(0).I32(0).I32(width).I32(height);
  return b.str();
}

std::shared_ptr<Tamrix::Vorn::IObject> Load(const std::string& bytes) {
  std::istringstream in(bytes);
  return Archiving::LoadObject(in);
}

std::string Save(const std::shared_ptr<Tamrix::Vorn::IObject>& object) {
  std::ostringstream out;
  Archiving::SaveObject(out, object);
  return out.str();
}

TEST(ImageArchive, Image16RootRecordLayout) {
  auto root = std::make_shared<Image16Root>(Token{}, 2, 1);
  root->Buffer()[0] = 0x0102;
  root->Buffer()[1] = 0xFFFE;
  EXPECT_EQ(Save(root), Root16Archive(false, 2, 1, 2, {0x0102, 0xFFFE}));
}

TEST(ImageArchive, Image8GreyRecordHoldsItsRootAndRectangle) {
  const std::vector<std::uint8_t> pixels = {1, 2, 3, 4, 5, 6};
  auto view = Image8Grey::FromPixels(3, 2, pixels.data(), 3)->SubImage(1, 0, 2, 2);
  EXPECT_EQ(Save(view), Grey8Archive(3, 2, 6, pixels, 1, 0, 2, 2));
}

TEST(ImageArchive, BigEndianImage16RootLoadsTheSameValues) {
  const std::vector<std::uint16_t> values = {0x0102, 0xABCD, 7, 65535, 256, 0};
  for (bool bigEndian : {false, true}) {
    auto root =
        std::dynamic_pointer_cast<Image16Root>(Load(Root16Archive(bigEndian, 3, 2, 6, values)));
    ASSERT_NE(root, nullptr) << bigEndian;
    EXPECT_EQ(root->Width(), 3);
    EXPECT_EQ(root->Height(), 2);
    EXPECT_EQ(std::vector<std::uint16_t>(root->Buffer(), root->Buffer() + root->Size()), values)
        << bigEndian;
  }
}

TEST(ImageArchive, HandWrittenGreyViewLoadsAsAView) {
  auto view = std::dynamic_pointer_cast<Image8Grey>(
      Load(Grey8Archive(3, 2, 6, {10, 20, 30, 40, 50, 60}, 1, 1, 2, 1)));
  ASSERT_NE(view, nullptr);
  EXPECT_EQ(view->Width(), 2);
  EXPECT_EQ(view->Height(), 1);
  EXPECT_EQ(view->Value(0, 0), 50.0);
  EXPECT_EQ(view->Value(1, 0), 60.0);
  EXPECT_EQ(view->PixelGeneration(), 0u);
}

// Sample images with distinct pixel values from a formula; Expect checks a loaded copy against
// the same formula, never against the saved object.
int Pattern8(int x, int y) { return (x * 37 + y * 11) % 256; }
int Pattern16(int x, int y) { return x * 1000 + y * 7 + 300; }

struct Grey8Case {
  using Type = Image8Grey;
  static std::shared_ptr<Type> Make() {
    auto image = std::make_shared<Image8Grey>(Token{}, 7, 5);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 7; ++x)
        image->MutableRow(y)[x] = static_cast<std::uint8_t>(Pattern8(x, y));
    }
    return image->SubImage(2, 1, 4, 3);
  }
  static void Expect(const Type& image) {
    EXPECT_EQ(image.Width(), 4);
    EXPECT_EQ(image.Height(), 3);
    EXPECT_EQ(image.OffsetX(), 2);
    EXPECT_EQ(image.OffsetY(), 1);
    ASSERT_EQ(image.Root()->Width(), 7);
    ASSERT_EQ(image.Root()->Height(), 5);
    for (int y = 0; y < 5; ++y) {
      for (int x = 0; x < 7; ++x) EXPECT_EQ(image.Root()->Buffer()[y * 7 + x], Pattern8(x, y));
    }
    EXPECT_EQ(image.Value(0, 0), Pattern8(2, 1));
  }
};

struct Grey16Case {
  using Type = Image16Grey;
  static std::shared_ptr<Type> Make() {
    auto image = std::make_shared<Image16Grey>(Token{}, 6, 4);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 6; ++x) {
        image->MutableRow(y)[x] = static_cast<std::uint16_t>(Pattern16(x, y));
      }
    }
    return image->SubImage(1, 2, 5, 2);
  }
  static void Expect(const Type& image) {
    EXPECT_EQ(image.Width(), 5);
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(image.OffsetX(), 1);
    EXPECT_EQ(image.OffsetY(), 2);
    ASSERT_EQ(image.Root()->Width(), 6);
    ASSERT_EQ(image.Root()->Height(), 4);
    for (int y = 0; y < 4; ++y) {
      for (int x = 0; x < 6; ++x) EXPECT_EQ(image.Root()->Buffer()[y * 6 + x], Pattern16(x, y));
    }
    EXPECT_EQ(image.Value(4, 1), Pattern16(5, 3));
  }
};

struct ColorCase {
  using Type = Image24PlanarColor;
  static std::shared_ptr<Type> Make() {
    auto image = std::make_shared<Image24PlanarColor>(Token{}, 5, 3);
    for (int c = 0; c < 3; ++c) {
      for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) {
          image->MutableRow(c, y)[x] = static_cast<std::uint8_t>(Pattern8(x + 10 * c, y));
        }
      }
    }
    return image->SubImage(1, 1, 3, 2);
  }
  static void Expect(const Type& image) {
    EXPECT_EQ(image.Width(), 3);
    EXPECT_EQ(image.Height(), 2);
    EXPECT_EQ(image.OffsetX(), 1);
    EXPECT_EQ(image.OffsetY(), 1);
    for (int c = 0; c < 3; ++c) {
      const auto& plane = image.PlaneRoots()[c];
      ASSERT_EQ(plane->Width(), 5);
      ASSERT_EQ(plane->Height(), 3);
      for (int y = 0; y < 3; ++y) {
        for (int x = 0; x < 5; ++x) EXPECT_EQ(plane->Buffer()[y * 5 + x], Pattern8(x + 10 * c, y));
      }
    }
    EXPECT_NE(image.PlaneRoots()[0], image.PlaneRoots()[1]);
    EXPECT_EQ(image.Value(2, 1, 2), Pattern8(3 + 20, 2));
  }
};

struct Root8Case {
  using Type = Image8Root;
  static std::shared_ptr<Type> Make() {
    auto root = std::make_shared<Image8Root>(Token{}, 3, 3);
    for (int i = 0; i < 9; ++i) root->Buffer()[i] = static_cast<std::uint8_t>(250 + i % 6);
    return root;
  }
  static void Expect(const Type& root) {
    EXPECT_EQ(root.Width(), 3);
    EXPECT_EQ(root.Height(), 3);
    EXPECT_EQ(std::vector<std::uint8_t>(root.Buffer(), root.Buffer() + root.Size()),
              (std::vector<std::uint8_t>{250, 251, 252, 253, 254, 255, 250, 251, 252}));
  }
};

struct Root16Case {
  using Type = Image16Root;
  static std::shared_ptr<Type> Make() {
    auto root = std::make_shared<Image16Root>(Token{}, 4, 1);
    root->Buffer()[0] = 1;
    root->Buffer()[1] = 256;
    root->Buffer()[2] = 0x8001;
    root->Buffer()[3] = 65535;
    return root;
  }
  static void Expect(const Type& root) {
    EXPECT_EQ(root.Width(), 4);
    EXPECT_EQ(root.Height(), 1);
    EXPECT_EQ(std::vector<std::uint16_t>(root.Buffer(), root.Buffer() + root.Size()),
              (std::vector<std::uint16_t>{1, 256, 0x8001, 65535}));
  }
};

struct EmptyGreyCase {
  using Type = Image8Grey;
  static std::shared_ptr<Type> Make() { return std::make_shared<Image8Grey>(Token{}, 0, 0); }
  static void Expect(const Type& image) {
    EXPECT_EQ(image.Width(), 0);
    EXPECT_EQ(image.Height(), 0);
    EXPECT_EQ(image.Root()->Width(), 0);
  }
};

template <typename Case>
class ImageRoundTrip : public testing::Test {};
using AllCases =
    testing::Types<Grey8Case, Grey16Case, ColorCase, Root8Case, Root16Case, EmptyGreyCase>;
TYPED_TEST_SUITE(ImageRoundTrip, AllCases);

TYPED_TEST(ImageRoundTrip, ThroughIObject) {
  auto original = TypeParam::Make();
  auto loaded = std::dynamic_pointer_cast<typename TypeParam::Type>(Load(Save(original)));
  ASSERT_NE(loaded, nullptr);
  EXPECT_NE(loaded.get(), original.get());
  TypeParam::Expect(*loaded);
}

template <typename Case>
class ImageRoundTripAsIImage : public testing::Test {};
using ViewCases = testing::Types<Grey8Case, Grey16Case, ColorCase, EmptyGreyCase>;
TYPED_TEST_SUITE(ImageRoundTripAsIImage, ViewCases);

TYPED_TEST(ImageRoundTripAsIImage, ThroughIImage) {
  std::shared_ptr<IImage> original = TypeParam::Make();
  std::stringstream stream;
  {
    cereal::PortableBinaryOutputArchive archive(stream);
    archive(original);
  }
  std::shared_ptr<IImage> loaded;
  {
    cereal::PortableBinaryInputArchive archive(stream);
    archive(loaded);
  }
  auto typed = std::dynamic_pointer_cast<typename TypeParam::Type>(loaded);
  ASSERT_NE(typed, nullptr);
  TypeParam::Expect(*typed);
}

TEST(ImageArchive, ViewsOfOneRootStillShareItAfterLoading) {
  auto grey = std::make_shared<Image8Grey>(Token{}, 6, 4);
  auto greySub = grey->SubImage(1, 1, 2, 2);
  auto color = std::make_shared<Image24PlanarColor>(Token{}, 3, 3);
  auto green = color->Channel(1);
  std::stringstream stream;
  {
    cereal::PortableBinaryOutputArchive archive(stream);
    std::shared_ptr<IImage> a = grey, b = greySub, c = color;
    std::shared_ptr<Tamrix::Vorn::IObject> d = green;
    archive(a, b, c, d);
  }
  std::shared_ptr<IImage> a, b, c;
  std::shared_ptr<Tamrix::Vorn::IObject> d;
  {
    cereal::PortableBinaryInputArchive archive(stream);
    archive(a, b, c, d);
  }
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

TEST(ImageArchive, TruncatedArchivesFailWithReadErrors) {
  const std::string full = Grey8Archive(3, 2, 6, {1, 2, 3, 4, 5, 6}, 0, 0, 3, 2);
  for (std::size_t cut = 1; cut < full.size(); ++cut) {
    try {
      Load(full.substr(0, cut));
      ADD_FAILURE() << "loaded from " << cut << " of " << full.size() << " bytes";
    } catch (const cereal::Exception& e) {
      EXPECT_EQ(std::string(e.what()).rfind("Failed to read ", 0), 0u) << cut << ": " << e.what();
    }
  }
}

struct CorruptCase {
  const char* name;
  std::string bytes;
  std::string message;  // the start of what()
  bool versionError;    // VisionException rather than cereal::Exception
};

void PrintTo(const CorruptCase& c, std::ostream* os) { *os << c.name; }

class CorruptImageArchive : public testing::TestWithParam<CorruptCase> {};

TEST_P(CorruptImageArchive, FailsWithAClearMessageAndNoLargeAllocation) {
  const CorruptCase& c = GetParam();
  std::string message;
  bool visionException = false;
  largestAllocation = 0;
  trackAllocations = true;
  try {
    Load(c.bytes);
  } catch (const VisionException& e) {
    visionException = true;
    message = e.what();
  } catch (const cereal::Exception& e) {
    message = e.what();
  }
  trackAllocations = false;
  EXPECT_EQ(visionException, c.versionError);
  EXPECT_EQ(message.substr(0, c.message.size()), c.message) << message;
  EXPECT_LT(largestAllocation.load(), std::size_t{1} << 20);
}

INSTANTIATE_TEST_SUITE_P(
    Image, CorruptImageArchive,
    testing::Values(
        CorruptCase{"PixelCountLargerThanTheStream",
                    Root16Archive(false, 40000, 40000, 1600000000, {1, 2, 3}), "Failed to read ",
                    false},
        CorruptCase{"BigEndianPixelCountLargerThanTheStream",
                    Root16Archive(true, 40000, 40000, 1600000000, {1, 2, 3}), "Failed to read ",
                    false},
        CorruptCase{"GreyRootPixelsMissing",
                    Grey8Archive(46000, 46000, 2116000000, {1}, 0, 0, 1, 1), "Failed to read ",
                    false},
        CorruptCase{"CountDisagreesWithTheSize", Root16Archive(false, 2, 2, 5, {1, 2, 3, 4, 5}),
                    "Image16Root: pixel count 5 does not match the size 2 x 2 (4 pixels)", false},
        CorruptCase{"HugeCountForASmallSize", Root16Archive(false, 2, 2, 1ull << 62, {1}),
                    "Image16Root: pixel count 4611686018427387904 does not match the size 2 x 2 "
                    "(4 pixels)",
                    false},
        CorruptCase{"GreyRootCountShort", Grey8Archive(3, 2, 5, {1, 2, 3, 4, 5}, 0, 0, 1, 1),
                    "Image8Root: pixel count 5 does not match the size 3 x 2 (6 pixels)", false},
        CorruptCase{"NegativeWidth", Root16Archive(false, -2, 2, 0, {}),
                    "Image16Root: width must be >= 0, found -2", false},
        CorruptCase{"SizeOverTheLimit", Root16Archive(false, 65536, 65536, 1ull << 32, {}),
                    "Image16Root: size 65536 x 65536 has 4294967296 pixels, more than the limit "
                    "of 2147483648",
                    false},
        CorruptCase{"ViewOutsideItsRoot", Grey8Archive(3, 2, 6, {0, 0, 0, 0, 0, 0}, 2, 0, 2, 1),
                    "Image8Grey: rectangle at (2, 0) of size 2 x 1 must lie inside the 3 x 2 "
                    "image",
                    false},
        CorruptCase{"ViewWithNegativeSize", Grey8Archive(3, 2, 6, {0, 0, 0, 0, 0, 0}, 0, 0, 1, -1),
                    "Image8Grey: rectangle at (0, 0) of size 1 x -1 must lie inside the 3 x 2 "
                    "image",
                    false},
        CorruptCase{"ViewWithoutRoot", Grey8Archive(0, 0, 0, {}, 0, 0, 0, 0, true),
                    "Image8Grey: the root is missing (null pointer)", false},
        CorruptCase{"PlanesOfDifferentSizes", ColorArchive({{2, 1}, {2, 1}, {1, 1}}, 1, 1),
                    "Image24PlanarColor: the blue plane (1 x 1, stride 1) must match the red "
                    "plane (2 x 1, stride 2)",
                    false},
        CorruptCase{"ColourViewOutsideItsPlanes", ColorArchive({{2, 1}, {2, 1}, {2, 1}}, 2, 2),
                    "Image24PlanarColor: rectangle at (0, 0) of size 2 x 2 must lie inside the "
                    "2 x 1 image",
                    false},
        CorruptCase{"NewerRootVersion", Root16Archive(false, 1, 1, 1, {1}, 2),
                    "Image16Root::serialize(): stored class version 2 is newer", true}),
    [](const testing::TestParamInfo<CorruptCase>& test) { return std::string(test.param.name); });

TEST(ImageArchive, HandWrittenColourArchiveIsValidWhenPlanesAgree) {
  // Guards the corrupt colour cases above: the same bytes with matching planes load.
  auto image = std::dynamic_pointer_cast<Image24PlanarColor>(
      Load(ColorArchive({{2, 1}, {2, 1}, {2, 1}}, 2, 1)));
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->Width(), 2);
  EXPECT_NE(image->PlaneRoots()[0], image->PlaneRoots()[2]);
}

}  // namespace
