#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/Exceptions.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace SmartCoreTest;
using Args = std::shared_ptr<SmartDatabaseItemsChangedEventArgs>;

std::shared_ptr<SmartTrainDataDatabase> MakeDatabase() {
  return std::make_shared<SmartTrainDataDatabase>(Token{});
}

std::shared_ptr<SmartTrainData> MakeItem() {
  return std::make_shared<SmartTrainData>(Token{}, MakeImage());
}

std::vector<std::shared_ptr<SmartTrainData>> ItemsOf(const SmartTrainDataDatabase& database) {
  return database.TrainingData()->Items();
}

// What a slot saw: the event's item and index, and the database at that moment.
struct Seen {
  std::shared_ptr<SmartTrainData> item;
  int index;
  std::vector<std::shared_ptr<SmartTrainData>> itemsThen;
};

struct EventLog {
  std::vector<Seen> added, removed;
  explicit EventLog(SmartTrainDataDatabase& database) {
    database.ItemAddedEvent().Connect([this, &database](const Args& args) {
      added.push_back({args->ChangedItem(), args->Index(), ItemsOf(database)});
    });
    database.ItemRemovedEvent().Connect([this, &database](const Args& args) {
      removed.push_back({args->ChangedItem(), args->Index(), ItemsOf(database)});
    });
  }
};

TEST(SmartTrainDataDatabase, TrainingDataIsTheSameCollectionEveryCall) {
  auto database = MakeDatabase();
  auto data = database->TrainingData();
  ASSERT_NE(data, nullptr);
  database->Add(MakeItem());
  EXPECT_EQ(database->TrainingData(), data);
  EXPECT_EQ(data->Count(), 1);
}

TEST(SmartTrainDataDatabase, ItemAddedEventComesAfterTheItemIsIn) {
  auto database = MakeDatabase();
  EventLog log(*database);
  auto a = MakeItem();
  auto b = MakeItem();
  auto c = MakeItem();
  database->Add(a);
  database->Add(c);
  database->Insert(1, b);
  ASSERT_EQ(log.added.size(), 3u);
  EXPECT_EQ(log.added[0].item, a);
  EXPECT_EQ(log.added[0].index, 0);
  EXPECT_EQ(log.added[0].itemsThen, (std::vector<std::shared_ptr<SmartTrainData>>{a}));
  EXPECT_EQ(log.added[1].index, 1);
  EXPECT_EQ(log.added[2].item, b);
  EXPECT_EQ(log.added[2].index, 1);
  EXPECT_EQ(log.added[2].itemsThen, (std::vector<std::shared_ptr<SmartTrainData>>{a, b, c}));
  EXPECT_TRUE(log.removed.empty());
}

TEST(SmartTrainDataDatabase, ItemRemovedEventComesAfterTheItemLeft) {
  auto database = MakeDatabase();
  auto a = MakeItem();
  auto b = MakeItem();
  auto c = MakeItem();
  database->Add(a);
  database->Add(b);
  database->Add(c);
  EventLog log(*database);
  EXPECT_TRUE(database->Remove(b));
  database->RemoveAt(0);
  ASSERT_EQ(log.removed.size(), 2u);
  EXPECT_EQ(log.removed[0].item, b);
  EXPECT_EQ(log.removed[0].index, 1);
  EXPECT_EQ(log.removed[0].itemsThen, (std::vector<std::shared_ptr<SmartTrainData>>{a, c}));
  EXPECT_EQ(log.removed[1].item, a);
  EXPECT_EQ(log.removed[1].index, 0);
  EXPECT_EQ(log.removed[1].itemsThen, (std::vector<std::shared_ptr<SmartTrainData>>{c}));
}

TEST(SmartTrainDataDatabase, RemovedItemStaysAliveForTheSlotsAlthoughNobodyElseHoldsIt) {
  auto database = MakeDatabase();
  database->Add(MakeItem());
  bool trainingSeen = false;
  database->ItemRemovedEvent().Connect([&](const Args& args) {
    ASSERT_NE(args->ChangedItem(), nullptr);
    trainingSeen = args->ChangedItem()->IsTraining();
  });
  database->RemoveAt(0);
  EXPECT_TRUE(trainingSeen);
}

TEST(SmartTrainDataDatabase, RemovingAnAbsentItemReturnsFalseAndRaisesNothing) {
  auto database = MakeDatabase();
  database->Add(MakeItem());
  EventLog log(*database);
  EXPECT_FALSE(database->Remove(MakeItem()));
  EXPECT_FALSE(database->Remove(nullptr));
  EXPECT_TRUE(log.removed.empty());
  EXPECT_EQ(database->TrainingData()->Count(), 1);
}

TEST(SmartTrainDataDatabase, ClearRemovesFromTheEndOneEventEach) {
  auto database = MakeDatabase();
  auto a = MakeItem();
  auto b = MakeItem();
  auto c = MakeItem();
  database->Add(a);
  database->Add(b);
  database->Add(c);
  EventLog log(*database);
  database->Clear();
  ASSERT_EQ(log.removed.size(), 3u);
  EXPECT_EQ(log.removed[0].item, c);
  EXPECT_EQ(log.removed[0].index, 2);
  EXPECT_EQ(log.removed[0].itemsThen, (std::vector<std::shared_ptr<SmartTrainData>>{a, b}));
  EXPECT_EQ(log.removed[1].item, b);
  EXPECT_EQ(log.removed[1].index, 1);
  EXPECT_EQ(log.removed[2].item, a);
  EXPECT_EQ(log.removed[2].index, 0);
  EXPECT_TRUE(log.removed[2].itemsThen.empty());
  database->Clear();
  EXPECT_EQ(log.removed.size(), 3u);
}

void ExpectArgumentError(const std::function<void()>& action, const std::string& message) {
  try {
    action();
    ADD_FAILURE() << "no exception, expected: " << message;
  } catch (const Tamrix::Vision::ArgumentException& e) {
    EXPECT_EQ(std::string(e.what()), message);
  }
}

TEST(SmartTrainDataDatabase, RefusesNullAndDuplicateItemsAndBadIndices) {
  auto database = MakeDatabase();
  auto a = MakeItem();
  database->Add(a);
  EventLog log(*database);
  ExpectArgumentError([&] { database->Add(nullptr); },
                      "SmartTrainDataDatabase::Insert: expected a training item, found null");
  ExpectArgumentError(
      [&] { database->Add(a); },
      "SmartTrainDataDatabase::Insert: the item is already in the database at index 0");
  ExpectArgumentError([&] { database->Insert(0, a); },
                      "SmartTrainDataDatabase::Insert: the item is already in the database at "
                      "index 0");
  EXPECT_THROW(database->Insert(2, MakeItem()), Tamrix::Vision::ArgumentException);
  EXPECT_THROW(database->Insert(-1, MakeItem()), Tamrix::Vision::ArgumentException);
  EXPECT_THROW(database->RemoveAt(1), Tamrix::Vision::ArgumentException);
  EXPECT_THROW(database->RemoveAt(-1), Tamrix::Vision::ArgumentException);
  EXPECT_TRUE(log.added.empty());
  EXPECT_TRUE(log.removed.empty());
  EXPECT_EQ(ItemsOf(*database), (std::vector<std::shared_ptr<SmartTrainData>>{a}));
}

TEST(SmartTrainDataDatabase, AnItemCanComeBackAfterItWasRemoved) {
  auto database = MakeDatabase();
  auto a = MakeItem();
  database->Add(a);
  database->Remove(a);
  database->Add(a);
  EXPECT_EQ(database->TrainingData()->IndexOf(a), 0);
}

}  // namespace
