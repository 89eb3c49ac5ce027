// Archive records of the collection templates registered by the operator library.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/CollectionBase.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/ReadOnlyCollectionBase.h"
#include "interfaces/core/Vect2.h"
#include "tests/support/ArchiveBytes.h"
#include "tests/support/ArchiveRoundTrip.h"
#include "tests/support/MessageOf.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace {

using namespace Tamrix::Vision;
using Implementation::CollectionBase;
using Implementation::ReadOnlyCollectionBase;
using Tamrix::Testing::Bytes;
using Tamrix::Testing::LoadArchived;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;
using Object = std::shared_ptr<Tamrix::Vorn::IObject>;
using GraphicList = std::vector<std::shared_ptr<IGraphicParentChild>>;

// Collections are saved through IObject, as hosts hold them, so that each record starts with its
// type id.
std::string Save(const Object& object) { return Tamrix::Testing::SaveArchive(object); }

const std::string kPrefix = "Tamrix::Vision::Implementation::";

// Byte-order flag, new polymorphic type 1 with its id, new shared object 1, then the class
// version of the collection template: 0.
Bytes Record(const std::string& id) {
  return Bytes().U8(1).U32(0x80000001).Text(kPrefix + id).U32(0x80000001).U32(0);
}

// Each record is checked against bytes built by hand (whole, or its end where items follow
// other records), then loaded and saved again to the same bytes: same type, items, sharing, nulls.
TEST(CollectionArchive, RecordLayoutsAndRoundTrips) {
  auto strings = std::make_shared<CollectionBase<std::string>>(Token{});
  strings->Add("a");
  strings->Add("");
  auto empty = std::make_shared<CollectionBase<std::shared_ptr<Vect2>>>(Token{});
  auto shared = std::make_shared<CollectionBase<std::shared_ptr<Vect2>>>(Token{});
  auto point = std::make_shared<Vect2>(Token{}, 1.5, -2.0);
  shared->Add(point);
  shared->Add(point);
  using Doubles = ReadOnlyCollectionBase<double>;
  using Graphics = ReadOnlyCollectionBase<std::shared_ptr<IGraphicParentChild>>;
  // After the template's version: those of ChangedEventShareableBase (not in read-only
  // collections) and ShareableBase, the count, then the items; doubles as one block.
  Bytes stringsRecord = Record("CollectionBase<std::string>").U32(1).U32(1).U64(2);
  Bytes doublesRecord = Record("ReadOnlyCollectionBase<double>").U32(1).U64(3);
  doublesRecord.U64(0x3FF0000000000000ull).U64(0xC000000000000000ull).U64(0x3FE0000000000000ull);
  const struct {
    Object object;
    std::string expected;
    bool whole;
  } cases[] = {
      {strings, stringsRecord.Text("a").Text("").str(), true},
      {std::make_shared<Doubles>(Token{}, std::vector<double>{1.0, -2.0, 0.5}), doublesRecord.str(),
       true},
      {empty, Record("CollectionBase<Tamrix::Vision::Vect2Ptr>").U32(1).U32(1).U64(0).str(), true},
      // The second item is the exact-type marker followed by a reference to object 2.
      {shared, Bytes().U32(0x40000000).U32(2).str(), false},
      {std::make_shared<Graphics>(Token{}, GraphicList{nullptr}), Bytes().U64(1).U32(0).str(),
       false},
  };
  for (const auto& [object, expected, whole] : cases) {
    const std::string bytes = Save(object);
    SCOPED_TRACE(bytes.substr(13, 60));
    ASSERT_GE(bytes.size(), expected.size());
    EXPECT_EQ(whole ? bytes : bytes.substr(bytes.size() - expected.size()), expected);
    EXPECT_EQ(Save(LoadArchived<Object>(bytes)), bytes);
  }
}

TEST(CollectionArchive, StoredVersionsUpToOneLoadAndNewerOnesAreRefused) {
  auto collection = std::make_shared<CollectionBase<std::string>>(Token{});
  collection->Add("x");
  std::string bytes = Save(collection);
  const std::size_t versionAt = Record("CollectionBase<std::string>").str().size() - 4;
  for (char version : {0, 1}) {
    bytes[versionAt] = version;
    auto loaded =
        std::dynamic_pointer_cast<CollectionBase<std::string>>(LoadArchived<Object>(bytes));
    ASSERT_NE(loaded, nullptr);
    EXPECT_EQ(loaded->Items(), std::vector<std::string>{"x"});
  }
  bytes[versionAt] = 2;
  EXPECT_NE(Tamrix::Testing::MessageOf<VisionException>([&] {
              LoadArchived<Object>(bytes);
            }).find("Collection<>::serialize()"),
            std::string::npos);
}

TEST(CollectionArchive, ExactTypeMarkerForAnAbstractItemIsRefused) {
  auto collection = std::make_shared<CollectionBase<std::shared_ptr<IGraphicParentChild>>>(Token{});
  collection->Add(nullptr);
  std::string bytes = Save(collection);
  // Turn the null item into a claim that an IGraphicParentChild itself follows.
  bytes.replace(bytes.size() - 4, 4, Bytes().U32(0x40000000).str());
  const std::string message =
      Tamrix::Testing::MessageOf<cereal::Exception>([&] { LoadArchived<Object>(bytes); });
  EXPECT_NE(message.find("Cannot load a polymorphic type that is not default constructable and "
                         "does not have a load_and_construct function"),
            std::string::npos)
      << message;
}

TEST(GraphicCollectionPseudoProperties, OnePerElementAfterTheParameterlessMethods) {
  using Collection = ReadOnlyCollectionBase<std::shared_ptr<IGraphicParentChild>>;
  auto graphics = std::make_shared<Collection>(Token{}, GraphicList(3));
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
  EXPECT_EQ(std::make_shared<Collection>(Token{})->GetFakeProperties().size(),
            properties.size() - 3);
}

}  // namespace
