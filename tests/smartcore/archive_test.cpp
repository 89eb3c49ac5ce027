#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "interfaces/core/ObjectArchive.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/smartcore/TestObjects.h"
#include "tests/support/ArchiveBytes.h"
#include "tests/support/ArchiveRoundTrip.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace Tamrix::Testing::SmartCoreTests;
using Tamrix::Testing::Bytes;
using Tamrix::Vision::Point2D;
using Tamrix::Vision::Polygon;
using Tamrix::Vorn::IObject;

constexpr std::uint32_t kNewType = 0x80000001;    // first type of the archive, id string follows
constexpr std::uint32_t kExactType = 0x40000000;  // dynamic type equals the pointer's type
constexpr std::uint32_t kNew = 0x80000000;        // | object number: first occurrence

std::shared_ptr<Polygon> MakePolygon(double x0, double y0, double x1, double y1) {
  return std::make_shared<Polygon>(Token{},
                                   std::vector<Point2D>{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

std::string Save(const std::vector<std::shared_ptr<IObject>>& objects) {
  return Tamrix::Testing::SaveArchiveOfEach(objects);
}

std::shared_ptr<SmartTrainDataDatabase> LoadDatabase(const std::string& bytes) {
  return Tamrix::Testing::LoadObject<SmartTrainDataDatabase>(bytes);
}

// The head of a record saved through IObject: byte-order flag, type id, object id, then the
// versions of the class and its ChangedEventShareableBase and ShareableBase parts.
Bytes Head(const std::string& id) {
  Bytes bytes;
  bytes.U8(1).U32(kNewType).Text("Tamrix::Vision::SmartCore::" + id).U32(kNew | 1);
  bytes.U32(1).U32(1).U32(1);
  return bytes;
}

// A database whose training-data collection (exact type, object 2) holds `count` items.
Bytes CollectionHead(std::uint64_t count) {
  Bytes bytes = Head("SmartTrainDataDatabase");
  bytes.U32(kExactType).U32(kNew | 2).U32(1).U32(1).U64(count);  // versions: own, base
  return bytes;
}

// A database with one training item (object 3) without image or assignments (object 4).
Bytes OneItemDatabase(std::uint32_t itemVersion, std::uint8_t trainingByte) {
  Bytes bytes = CollectionHead(1);
  bytes.U32(kExactType).U32(kNew | 3).U32(itemVersion).U32(0).U8(trainingByte);  // no image
  bytes.U32(kExactType).U32(kNew | 4).U32(1).U32(1).U64(0);  // collection, base, no items
  return bytes;
}

TEST(SmartCoreArchive, LabelAndDatabaseRecordLayouts) {
  EXPECT_EQ(Save({MakeLabel("cat")}), Head("SmartLabel").Text("cat").str());
  auto database = std::make_shared<SmartTrainDataDatabase>(Token{});
  database->Add(std::make_shared<SmartTrainData>(Token{}, nullptr, true));
  EXPECT_EQ(Save({database}), OneItemDatabase(1, 1).str());
  auto loaded = LoadDatabase(OneItemDatabase(1, 0).str());
  ASSERT_NE(loaded, nullptr);
  ASSERT_EQ(loaded->TrainingData()->Count(), 1);
  EXPECT_FALSE(loaded->TrainingData()->Item(0)->IsTraining());
}

// Labels cat and dog, and a database of two items sharing one 10 x 5 image: the first assigns
// cat and dog, the second cat; saved together and loaded again.
struct Loaded {
  std::shared_ptr<SmartLabelCollection> labels;
  std::shared_ptr<SmartTrainDataDatabase> database;
  std::shared_ptr<SmartTrainDataDatabase> original =
      std::make_shared<SmartTrainDataDatabase>(Token{});

  Loaded() {
    auto saved = std::make_shared<SmartLabelCollection>(Token{});
    auto cat = MakeLabel("cat"), dog = MakeLabel("dog");
    saved->Add(cat);
    saved->Add(dog);
    auto image = MakeImage(10, 5);
    auto first = std::make_shared<SmartTrainData>(Token{}, image, true);
    first->AddAssignment(cat, MakePolygon(1, 1, 3, 3));
    first->AddAssignment(dog, MakePolygon(4, 0, 8, 4));
    auto second = std::make_shared<SmartTrainData>(Token{}, image, false);
    second->AddAssignment(cat, MakePolygon(0, 0, 2, 2));
    original->Add(first);
    original->Add(second);
    std::shared_ptr<IObject> a, b;
    Tamrix::Testing::LoadArchive(Save({saved, original}), a, b);
    labels = std::dynamic_pointer_cast<SmartLabelCollection>(a);
    database = std::dynamic_pointer_cast<SmartTrainDataDatabase>(b);
  }
};

TEST(SmartCoreArchive, DatabaseRoundTripKeepsItemsAssignmentsAndSharedImagesAndLabels) {
  Loaded loaded;
  ASSERT_TRUE(loaded.labels && loaded.database);
  const auto data = loaded.database->TrainingData();
  ASSERT_EQ(data->Count(), 2);
  const auto first = data->Item(0), second = data->Item(1);
  EXPECT_TRUE(first->IsTraining());
  EXPECT_FALSE(second->IsTraining());
  ASSERT_NE(first->Image(), nullptr);
  EXPECT_EQ(std::make_pair(first->Image()->Width(), first->Image()->Height()),
            std::make_pair(10, 5));
  EXPECT_EQ(first->Image(), second->Image()) << "a shared image must load as one image";
  EXPECT_NE(first->Image(), loaded.original->TrainingData()->Item(0)->Image());
  ASSERT_EQ(first->Assignments()->Count(), 2);
  ASSERT_EQ(second->Assignments()->Count(), 1);
  auto polygon = std::dynamic_pointer_cast<Polygon>(first->Assignments()->Item(1)->Shape());
  ASSERT_NE(polygon, nullptr);
  EXPECT_EQ(polygon->Vertices(), (std::vector<Point2D>{{4, 0}, {8, 0}, {8, 4}, {4, 4}}));
  EXPECT_NO_THROW(loaded.database->Verify());
  ASSERT_EQ(loaded.labels->Count(), 2);
  const std::shared_ptr<ISmartLabel> cat = loaded.labels->Item(0), dog = loaded.labels->Item(1);
  EXPECT_EQ(first->Assignments()->Item(0)->Label(), cat);
  EXPECT_EQ(second->Assignments()->Item(0)->Label(), cat);
  EXPECT_EQ(first->Assignments()->Item(1)->Label(), dog);
  EXPECT_EQ(dog->Name(), "dog");
}

TEST(SmartCoreArchive, LoadedObjectsSubscribeOnceRaiseTheirEventsAndDoNotOwnThemselves) {
  std::weak_ptr<SmartTrainDataDatabase> weakDatabase;
  std::weak_ptr<SmartTrainData> weakItem;
  std::weak_ptr<SmartLabelToShapeAssignment> weakAssignment;
  {
    Loaded loaded;
    auto database = loaded.database;
    auto item = database->TrainingData()->Item(0);
    auto assignment = item->Assignments()->Item(0);
    weakDatabase = database;
    weakItem = item;
    weakAssignment = assignment;
    EXPECT_EQ(item->Assignments()->InsertedItemEvent().SlotCount(), 1u);
    EXPECT_EQ(assignment->Shape()->ChangedEvent().SlotCount(), 1u);
    // Nothing else subscribed to the loaded label or the loaded item.
    EXPECT_EQ(loaded.labels->Item(0)->ChangedEvent().SlotCount(), 0u);
    EXPECT_EQ(item->ChangedEvent().SlotCount(), 0u);
    FlagLog itemFlags(*item), assignmentFlags(*assignment);
    item->setIsTraining(false);
    item->AddAssignment(MakeLabel("bird"), MakePolygon(0, 0, 1, 1));
    EXPECT_EQ(itemFlags.flags, (std::vector<long long>{2, 2}));
    std::dynamic_pointer_cast<Polygon>(assignment->Shape())->setVertex(0, Point2D{0.5, 0.5});
    EXPECT_EQ(assignmentFlags.flags, (std::vector<long long>{1}));
    // One label object: a rename through the collection shows in every assignment.
    loaded.labels->Item(0)->setName("kitten");
    EXPECT_EQ(database->TrainingData()->Item(1)->Assignments()->Item(0)->Label()->Name(), "kitten");
    std::vector<int> added;
    database->ItemAddedEvent().Connect([&](const auto& args) { added.push_back(args->Index()); });
    database->Add(MakeItem());
    EXPECT_EQ(added, std::vector<int>{2});
    EXPECT_THROW(database->Add(item), Tamrix::Vision::ArgumentException);
  }
  EXPECT_TRUE(weakDatabase.expired());
  EXPECT_TRUE(weakItem.expired());
  EXPECT_TRUE(weakAssignment.expired());
}

TEST(SmartCoreArchive, TruncatedAndCorruptArchivesFailWithAClearMessage) {
  const std::string full = Save({Loaded().original});
  ASSERT_NE(LoadDatabase(full), nullptr);
  for (std::size_t cut = 0; cut < full.size(); ++cut) {
    try {
      LoadDatabase(full.substr(0, cut));
      ADD_FAILURE() << "loaded from " << cut << " of " << full.size() << " bytes";
    } catch (const cereal::Exception&) {
    } catch (const Tamrix::Vision::VisionException&) {
    }
  }
  // A null item collection; an item without its assignment collection; one item twice.
  const std::string serialize = "SmartTrainDataDatabase::serialize(): ";
  Bytes noAssignments = CollectionHead(1);
  noAssignments.U32(kExactType).U32(kNew | 3).U32(1).U32(0).U8(1).U32(0);
  Bytes twice = CollectionHead(2);
  twice.U32(kExactType).U32(kNew | 3).U32(1).U32(0).U8(1);
  twice.U32(kExactType).U32(kNew | 4).U32(1).U32(1).U64(0);
  twice.U32(kExactType).U32(3);  // the first item again
  const std::vector<std::pair<std::string, std::string>> cases = {
      {OneItemDatabase(1, 2).str(), "Invalid bool value 2 in archive: expected 0 or 1"},
      {OneItemDatabase(2, 1).str(), "SmartTrainData::serialize()"},
      {Head("SmartTrainDataDatabase").U32(0).str(),
       serialize + "expected a training-data collection, found a null pointer"},
      {CollectionHead(1).U32(0).str(),
       serialize + "expected a training item at index 0, found a null pointer"},
      {noAssignments.str(),
       "SmartTrainData::serialize(): expected an assignment collection, found a null pointer"},
      {twice.str(), serialize + "the training item at index 1 occurs earlier in the database too"},
      {CollectionHead(~0ull).U32(kExactType).str(), "Failed to read"},
      {Head("SmartLabel").U64(1ull << 62).str(), "Failed to read"},
  };
  for (const auto& [bytes, message] : cases) {
    const std::string error = MessageOf([&bytes = bytes] { LoadDatabase(bytes); });
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

}  // namespace
