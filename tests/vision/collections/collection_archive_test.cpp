// Archive records of the collection templates registered by the operator library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/CollectionBase.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/ReadOnlyCollectionBase.h"
#include "interfaces/core/Vect2.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace {

using namespace Tamrix::Vision;
using Implementation::CollectionBase;
using Implementation::ReadOnlyCollectionBase;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

class Reader {
 public:
  explicit Reader(std::string bytes) : bytes_(std::move(bytes)) {}
  std::uint64_t Take(int count) {
    std::uint64_t value = 0;
    for (int i = 0; i < count; ++i) {
      value |= std::uint64_t{static_cast<std::uint8_t>(bytes_.at(at_++))} << (8 * i);
    }
    return value;
  }
  std::uint32_t U32() { return static_cast<std::uint32_t>(Take(4)); }
  std::uint64_t U64() { return Take(8); }
  std::string Text() {
    const std::size_t length = static_cast<std::size_t>(U64());
    std::string text = bytes_.substr(at_, length);
    at_ += length;
    return text;
  }
  bool AtEnd() const { return at_ == bytes_.size(); }
  // Skips the byte-order flag, the type reference with its id and the object id, and returns
  // the id.
  std::string Header() {
    Take(1);
    EXPECT_EQ(U32(), 0x80000001u);
    std::string id = Text();
    EXPECT_EQ(U32(), 0x80000001u);
    return id;
  }

 private:
  std::string bytes_;
  std::size_t at_ = 0;
};

std::string Save(const std::shared_ptr<Tamrix::Vorn::IObject>& object) {
  std::ostringstream out;
  {
    cereal::PortableBinaryOutputArchive archive(out);
    archive(object);
  }
  return out.str();
}

template <typename T>
std::shared_ptr<T> Load(const std::string& bytes) {
  std::istringstream in(bytes);
  cereal::PortableBinaryInputArchive archive(in);
  std::shared_ptr<Tamrix::Vorn::IObject> object;
  archive(object);
  return std::dynamic_pointer_cast<T>(object);
}

TEST(CollectionArchive, StringItemsAreCountThenLengthAndBytes) {
  auto collection = std::make_shared<CollectionBase<std::string>>(Token{});
  collection->Add("a");
  collection->Add("");
  const std::string bytes = Save(collection);
  Reader reader(bytes);
  EXPECT_EQ(reader.Header(), "Tamrix::Vision::Implementation::CollectionBase<std::string>");
  reader.U32();                 // the instantiation's class version word
  EXPECT_EQ(reader.U32(), 1u);  // ChangedEventShareableBase
  EXPECT_EQ(reader.U32(), 1u);  // ShareableBase
  EXPECT_EQ(reader.U64(), 2u);
  EXPECT_EQ(reader.Text(), "a");
  EXPECT_EQ(reader.Text(), "");
  EXPECT_TRUE(reader.AtEnd());

  auto loaded = Load<CollectionBase<std::string>>(bytes);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Items(), (std::vector<std::string>{"a", ""}));
}

TEST(CollectionArchive, DoubleItemsAreOneBlock) {
  auto collection = std::make_shared<ReadOnlyCollectionBase<double>>(
      Token{}, std::vector<double>{1.0, -2.0, 0.5});
  const std::string bytes = Save(collection);
  Reader reader(bytes);
  EXPECT_EQ(reader.Header(), "Tamrix::Vision::Implementation::ReadOnlyCollectionBase<double>");
  reader.U32();
  EXPECT_EQ(reader.U32(), 1u);  // ShareableBase
  EXPECT_EQ(reader.U64(), 3u);
  EXPECT_EQ(reader.U64(), 0x3FF0000000000000ull);
  EXPECT_EQ(reader.U64(), 0xC000000000000000ull);
  EXPECT_EQ(reader.U64(), 0x3FE0000000000000ull);
  EXPECT_TRUE(reader.AtEnd());
  auto loaded = Load<ReadOnlyCollectionBase<double>>(bytes);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Items(), (std::vector<double>{1.0, -2.0, 0.5}));
}

TEST(CollectionArchive, EmptyCollectionHasCountZeroAndNoItems) {
  auto collection = std::make_shared<CollectionBase<std::shared_ptr<Vect2>>>(Token{});
  const std::string bytes = Save(collection);
  Reader reader(bytes);
  EXPECT_EQ(reader.Header(),
            "Tamrix::Vision::Implementation::CollectionBase<Tamrix::Vision::Vect2Ptr>");
  reader.U32();
  reader.U32();
  reader.U32();
  EXPECT_EQ(reader.U64(), 0u);
  EXPECT_TRUE(reader.AtEnd());
  auto loaded = Load<CollectionBase<std::shared_ptr<Vect2>>>(bytes);
  ASSERT_NE(loaded, nullptr);
  EXPECT_EQ(loaded->Count(), 0);
}

TEST(CollectionArchive, SharedItemIsWrittenOnceAndLoadsShared) {
  auto collection = std::make_shared<CollectionBase<std::shared_ptr<Vect2>>>(Token{});
  auto point = std::make_shared<Vect2>(Token{}, 1.5, -2.0);
  collection->Add(point);
  collection->Add(point);
  const std::string bytes = Save(collection);
  // The second item is the exact-type marker followed by a reference to object 2.
  Reader tail(bytes.substr(bytes.size() - 8));
  EXPECT_EQ(tail.U32(), 0x40000000u);
  EXPECT_EQ(tail.U32(), 2u);
  auto loaded = Load<CollectionBase<std::shared_ptr<Vect2>>>(bytes);
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(loaded->Count(), 2);
  EXPECT_EQ(loaded->Item(0), loaded->Item(1));
  EXPECT_EQ(loaded->Item(0)->X(), 1.5);
}

TEST(CollectionArchive, NullGraphicItemIsTheWordZero) {
  auto collection = std::make_shared<ReadOnlyCollectionBase<std::shared_ptr<IGraphicParentChild>>>(
      Token{}, std::vector<std::shared_ptr<IGraphicParentChild>>{nullptr});
  const std::string bytes = Save(collection);
  Reader tail(bytes.substr(bytes.size() - 12));
  EXPECT_EQ(tail.U64(), 1u);
  EXPECT_EQ(tail.U32(), 0u);
  auto loaded = Load<ReadOnlyCollectionBase<std::shared_ptr<IGraphicParentChild>>>(bytes);
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(loaded->Count(), 1);
  EXPECT_EQ(loaded->Item(0), nullptr);
}

TEST(CollectionArchive, StoredVersionsUpToOneLoadAndNewerOnesAreRefused) {
  auto collection = std::make_shared<CollectionBase<std::string>>(Token{});
  collection->Add("x");
  std::string bytes = Save(collection);
  const std::size_t versionAt =
      1 + 4 + 8 +
      std::string("Tamrix::Vision::Implementation::CollectionBase<std::string>").size() + 4;
  for (char version : {0, 1}) {
    bytes[versionAt] = version;
    auto loaded = Load<CollectionBase<std::string>>(bytes);
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Items(), std::vector<std::string>{"x"});
  }
  bytes[versionAt] = 2;
  try {
    Load<CollectionBase<std::string>>(bytes);
    FAIL() << "no exception";
  } catch (const VisionException& e) {
    EXPECT_NE(std::string(e.what()).find("Collection<>::serialize()"), std::string::npos);
  }
}

TEST(CollectionArchive, ExactTypeMarkerForAnAbstractItemIsRefused) {
  auto collection = std::make_shared<CollectionBase<std::shared_ptr<IGraphicParentChild>>>(Token{});
  collection->Add(nullptr);
  std::string bytes = Save(collection);
  // Turn the null item into a claim that an IGraphicParentChild itself follows.
  bytes.replace(bytes.size() - 4, 4, std::string("\x00\x00\x00\x40", 4));
  try {
    Load<CollectionBase<std::shared_ptr<IGraphicParentChild>>>(bytes);
    FAIL() << "no exception";
  } catch (const cereal::Exception& e) {
    EXPECT_NE(std::string(e.what()).find("Cannot load a polymorphic type that is not default "
                                         "constructable and does not have a load_and_construct "
                                         "function"),
              std::string::npos)
        << e.what();
  }
}

}  // namespace

namespace {

using Tamrix::Vision::Implementation::ReadOnlyCollectionBase;

TEST(GraphicCollectionPseudoProperties, OnePerElementAfterTheParameterlessMethods) {
  using Graphics = ReadOnlyCollectionBase<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>;
  auto graphics = std::make_shared<Graphics>(
      Tamrix::Vorn::IObject::ObjectCreateAccessToken{},
      std::vector<std::shared_ptr<Tamrix::Vision::IGraphicParentChild>>(3));
  const auto properties = graphics->GetFakeProperties();
  ASSERT_GE(properties.size(), 4u);
  std::vector<std::string> named;
  for (std::size_t i = 0; i + 3 < properties.size(); ++i) named.push_back(properties[i]->Name());
  EXPECT_NE(std::find(named.begin(), named.end(), "Count"), named.end());
  for (int i = 0; i < 3; ++i) {
    const auto& property = properties[properties.size() - 3 + static_cast<std::size_t>(i)];
    EXPECT_EQ(property->Name(), "");
    EXPECT_TRUE(property->IsReadOnly());
    EXPECT_EQ(property->Getter()->Name(), "Item");
    ASSERT_TRUE(property->Argument().is_type<int>());
    EXPECT_EQ(property->Argument().get_value<int>(), i);
  }
  auto empty = std::make_shared<Graphics>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{});
  EXPECT_EQ(empty->GetFakeProperties().size(), properties.size() - 3);
}

}  // namespace
