#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <functional>
#include <memory>
#include <new>
#include <ostream>
#include <sstream>
#include <string>
#include <type_traits>
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
    EXPECT_EQ(loaded->Width(), 3);
    EXPECT_EQ(loaded->Height(), 2);
    EXPECT_EQ(std::vector<std::uint16_t>(loaded->Buffer(), loaded->Buffer() + loaded->Size()),
              values)
        << bigEndian;
  }
  auto loadedView = std::dynamic_pointer_cast<Image8Grey>(
      Load(Grey8Archive(3, 2, 6, {10, 20, 30, 40, 50, 60}, 1, 1, 2, 1)));
  ASSERT_NE(loadedView, nullptr);
  EXPECT_EQ(loadedView->Width(), 2);
  EXPECT_EQ(loadedView->Height(), 1);
  EXPECT_EQ(loadedView->Value(0, 0), 50.0);
  EXPECT_EQ(loadedView->Value(1, 0), 60.0);
  EXPECT_EQ(loadedView->PixelGeneration(), 0u);
  // Guards the corrupt colour cases below: the same bytes with matching planes load.
  auto color = std::dynamic_pointer_cast<Image24PlanarColor>(
      Load(ColorArchive({{2, 1}, {2, 1}, {2, 1}}, 2, 1)));
  ASSERT_NE(color, nullptr);
  EXPECT_EQ(color->Width(), 2);
  EXPECT_NE(color->PlaneRoots()[0], color->PlaneRoots()[2]);
}

// Sample images with distinct pixel values from a formula; a loaded copy is checked against the
// same formula, never against the saved object.
int Pattern8(int x, int y) { return (x * 37 + y * 11) % 256; }
int Pattern16(int x, int y) { return x * 1000 + y * 7 + 300; }

template <class View>
std::shared_ptr<View> PatternView(int rootWidth, int rootHeight, int (*pattern)(int, int)) {
  auto image = std::make_shared<View>(Token{}, rootWidth, rootHeight);
  for (int y = 0; y < rootHeight; ++y) {
    for (int x = 0; x < rootWidth; ++x) {
      image->MutableRow(y)[x] =
          static_cast<std::remove_reference_t<decltype(*image->Row(0))>>(pattern(x, y));
    }
  }
  return image;
}

// A view of `width` x `height` at (x0, y0) whose root holds `pattern` everywhere.
template <class View>
void ExpectPatternView(const std::shared_ptr<Tamrix::Vorn::IObject>& object, int x0, int y0,
                       int width, int height, int rootWidth, int rootHeight,
                       int (*pattern)(int, int)) {
  const auto image = std::dynamic_pointer_cast<View>(object);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(std::vector<int>({image->Width(), image->Height(), image->OffsetX(), image->OffsetY()}),
            std::vector<int>({width, height, x0, y0}));
  ASSERT_EQ(image->Root()->Width(), rootWidth);
  ASSERT_EQ(image->Root()->Height(), rootHeight);
  for (int y = 0; y < rootHeight; ++y) {
    for (int x = 0; x < rootWidth; ++x) {
      EXPECT_EQ(image->Root()->Buffer()[y * rootWidth + x], pattern(x, y)) << x << "," << y;
    }
  }
  if (width > 0) {
    EXPECT_EQ(image->Value(0, 0), pattern(x0, y0));
    EXPECT_EQ(image->Value(width - 1, height - 1), pattern(x0 + width - 1, y0 + height - 1));
  }
}

using ObjectPtr = std::shared_ptr<Tamrix::Vorn::IObject>;

template <class Root>
std::shared_ptr<Root> MakeRoot(int width, int height, const std::vector<int>& values) {
  auto root = std::make_shared<Root>(Token{}, width, height);
  std::copy(values.begin(), values.end(), root->Buffer());
  return root;
}

template <class Root>
void ExpectRoot(const ObjectPtr& object, int width, int height, const std::vector<int>& values) {
  const auto root = std::dynamic_pointer_cast<Root>(object);
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Width(), width);
  EXPECT_EQ(root->Height(), height);
  EXPECT_EQ(std::vector<int>(root->Buffer(), root->Buffer() + root->Size()), values);
}
struct RoundTripCase {
  const char* name;
  std::function<ObjectPtr()> make;
  std::function<void(const ObjectPtr&)> expect;
};

std::vector<RoundTripCase> RoundTripCases() {
  return {
      {"grey 8 view", [] { return PatternView<Image8Grey>(7, 5, Pattern8)->SubImage(2, 1, 4, 3); },
       [](const ObjectPtr& o) { ExpectPatternView<Image8Grey>(o, 2, 1, 4, 3, 7, 5, Pattern8); }},
      {"grey 16 view",
       [] { return PatternView<Image16Grey>(6, 4, Pattern16)->SubImage(1, 2, 5, 2); },
       [](const ObjectPtr& o) { ExpectPatternView<Image16Grey>(o, 1, 2, 5, 2, 6, 4, Pattern16); }},
      {"empty grey view", [] { return std::make_shared<Image8Grey>(Token{}, 0, 0); },
       [](const ObjectPtr& o) { ExpectPatternView<Image8Grey>(o, 0, 0, 0, 0, 0, 0, Pattern8); }},
      {"colour view",
       [] {
         auto image = std::make_shared<Image24PlanarColor>(Token{}, 5, 3);
         for (int c = 0; c < 3; ++c) {
           for (int y = 0; y < 3; ++y) {
             for (int x = 0; x < 5; ++x) {
               image->MutableRow(c, y)[x] = static_cast<std::uint8_t>(Pattern8(x + 10 * c, y));
             }
           }
         }
         return image->SubImage(1, 1, 3, 2);
       },
       [](const ObjectPtr& o) {
         const auto image = std::dynamic_pointer_cast<Image24PlanarColor>(o);
         ASSERT_NE(image, nullptr);
         EXPECT_EQ(std::vector<int>(
                       {image->Width(), image->Height(), image->OffsetX(), image->OffsetY()}),
                   std::vector<int>({3, 2, 1, 1}));
         for (int c = 0; c < 3; ++c) {
           const auto& plane = image->PlaneRoots()[c];
           ASSERT_EQ(plane->Width(), 5);
           ASSERT_EQ(plane->Height(), 3);
           for (int i = 0; i < 15; ++i)
             EXPECT_EQ(plane->Buffer()[i], Pattern8(i % 5 + 10 * c, i / 5));
         }
         EXPECT_NE(image->PlaneRoots()[0], image->PlaneRoots()[1]);
         EXPECT_EQ(image->Value(2, 1, 2), Pattern8(3 + 20, 2));
       }},
      {"8-bit root",
       [] {
         return MakeRoot<Image8Root>(3, 3, {250, 251, 252, 253, 254, 255, 250, 251, 252});
       },
       [](const ObjectPtr& o) {
         ExpectRoot<Image8Root>(o, 3, 3, {250, 251, 252, 253, 254, 255, 250, 251, 252});
       }},
      {"16-bit root",
       [] {
         return MakeRoot<Image16Root>(4, 1, {1, 256, 0x8001, 65535});
       },
       [](const ObjectPtr& o) {
         ExpectRoot<Image16Root>(o, 4, 1, {1, 256, 0x8001, 65535});
       }},
  };
}

TEST(ImageArchive, ImagesAndRootsSurviveThroughIObjectAndViewsThroughIImage) {
  for (const auto& c : RoundTripCases()) {
    SCOPED_TRACE(c.name);
    const auto original = c.make();
    const auto loaded = Load(Save(original));
    EXPECT_NE(loaded.get(), original.get());
    c.expect(loaded);
    std::shared_ptr<IImage> image = std::dynamic_pointer_cast<IImage>(original);
    if (!image) continue;  // a root is no IImage
    std::stringstream stream;
    cereal::PortableBinaryOutputArchive{stream}(image);
    std::shared_ptr<IImage> loadedImage;
    cereal::PortableBinaryInputArchive{stream}(loadedImage);
    c.expect(std::dynamic_pointer_cast<Tamrix::Vorn::IObject>(loadedImage));
  }
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

// Reads a corrupt archive, which must fail with a message starting with `message` and without a
// single allocation the bytes present could not justify.
template <class E>
void ExpectCorrupt(const std::string& bytes, const std::string& message) {
  std::string what = "no exception";
  largestAllocation = 0;
  trackAllocations = true;
  try {
    Load(bytes);
  } catch (const E& e) {
    what = e.what();
  }
  trackAllocations = false;
  EXPECT_EQ(what.substr(0, message.size()), message) << what;
  EXPECT_LT(largestAllocation.load(), std::size_t{1} << 20);
}

TEST(ImageArchive, CorruptArchivesFailWithAClearMessageAndNoLargeAllocation) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {Root16Archive(false, 40000, 40000, 1600000000, {1, 2, 3}), "Failed to read "},
      {Root16Archive(true, 40000, 40000, 1600000000, {1, 2, 3}), "Failed to read "},
      {Grey8Archive(46000, 46000, 2116000000, {1}, 0, 0, 1, 1), "Failed to read "},
      {Root16Archive(false, 2, 2, 5, {1, 2, 3, 4, 5}),
       "Image16Root: pixel count 5 does not match the size 2 x 2 (4 pixels)"},
      {Root16Archive(false, 2, 2, 1ull << 62, {1}),
       "Image16Root: pixel count 4611686018427387904 does not match the size 2 x 2 "
       "(4 pixels)"},
      {Grey8Archive(3, 2, 5, {1, 2, 3, 4, 5}, 0, 0, 1, 1),
       "Image8Root: pixel count 5 does not match the size 3 x 2 (6 pixels)"},
      {Root16Archive(false, -2, 2, 0, {}), "Image16Root: width must be >= 0, found -2"},
      {Root16Archive(false, 65536, 65536, 1ull << 32, {}),
       "Image16Root: size 65536 x 65536 has 4294967296 pixels, more than the limit "
       "of 2147483648"},
      {Grey8Archive(3, 2, 6, {0, 0, 0, 0, 0, 0}, 2, 0, 2, 1),
       "Image8Grey: rectangle at (2, 0) of size 2 x 1 must lie inside the 3 x 2 "
       "image"},
      {Grey8Archive(3, 2, 6, {0, 0, 0, 0, 0, 0}, 0, 0, 1, -1),
       "Image8Grey: rectangle at (0, 0) of size 1 x -1 must lie inside the 3 x 2 "
       "image"},
      {Grey8Archive(0, 0, 0, {}, 0, 0, 0, 0, true),
       "Image8Grey: the root is missing (null pointer)"},
      {ColorArchive({{2, 1}, {2, 1}, {1, 1}}, 1, 1),
       "Image24PlanarColor: the blue plane (1 x 1, stride 1) must match the red "
       "plane (2 x 1, stride 2)"},
      {ColorArchive({{2, 1}, {2, 1}, {2, 1}}, 2, 2),
       "Image24PlanarColor: rectangle at (0, 0) of size 2 x 2 must lie inside the "
       "2 x 1 image"},
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
