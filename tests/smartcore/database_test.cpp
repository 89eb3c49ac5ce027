// The training database: item events after the change, refused edits, and Verify.
#include <gtest/gtest.h>

#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace Tamrix::Testing::SmartCoreTests;
using Items = std::vector<std::shared_ptr<SmartTrainData>>;
using Tamrix::Vision::VisionException;
using Tamrix::Vision::VisionExceptionCodes;

// Records each item event as "<item><index> <the database's items then>", naming the items a, b, c
// by their place in `named`.
struct EventLog {
  std::vector<std::string> added, removed;
  EventLog(SmartTrainDataDatabase& database, const Items& named) {
    auto name = [named](const std::shared_ptr<SmartTrainData>& item) {
      for (std::size_t i = 0; i < named.size(); ++i) {
        if (named[i] == item) return std::string(1, static_cast<char>('a' + i));
      }
      return std::string("?");
    };
    auto record = [&database, name](std::vector<std::string>& log) {
      return [&database, name, &log](const std::shared_ptr<SmartDatabaseItemsChangedEventArgs>& e) {
        std::string text = name(e->ChangedItem()) + std::to_string(e->Index()) + " ";
        for (const auto& item : database.TrainingData()->Items()) text += name(item);
        log.push_back(text);
      };
    };
    database.ItemAddedEvent().Connect(record(added));
    database.ItemRemovedEvent().Connect(record(removed));
  }
};

TEST(SmartTrainDataDatabase, ItemEventsComeAfterTheChangeAndClearRemovesFromTheEnd) {
  auto database = std::make_shared<SmartTrainDataDatabase>(Token{});
  const auto data = database->TrainingData();
  auto a = MakeItem(), b = MakeItem(), c = MakeItem();
  EventLog log(*database, {a, b, c});
  database->Add(a);
  database->Add(c);
  database->Insert(1, b);
  EXPECT_EQ(database->TrainingData(), data);  // the same collection every call
  EXPECT_EQ(log.added, (std::vector<std::string>{"a0 a", "c1 ac", "b1 abc"}));
  EXPECT_TRUE(database->Remove(b));
  database->RemoveAt(0);
  database->Add(b);  // an item can come back after it was removed
  database->Add(a);
  database->Clear();
  database->Clear();
  EXPECT_EQ(log.removed, (std::vector<std::string>{"b1 ac", "a0 c", "a2 cb", "b1 c", "c0 "}));
  EXPECT_EQ(log.added.size(), 5u);
}

TEST(SmartTrainDataDatabase, RemovedItemStaysAliveForTheSlotsAlthoughNobodyElseHoldsIt) {
  auto database = std::make_shared<SmartTrainDataDatabase>(Token{});
  database->Add(MakeItem());
  bool trainingSeen = false;
  database->ItemRemovedEvent().Connect([&](const auto& args) {
    ASSERT_NE(args->ChangedItem(), nullptr);
    trainingSeen = args->ChangedItem()->IsTraining();
  });
  database->RemoveAt(0);
  EXPECT_TRUE(trainingSeen);
}

TEST(SmartTrainDataDatabase, RefusesNullDuplicateAbsentItemsAndBadIndicesWithoutEvents) {
  auto database = std::make_shared<SmartTrainDataDatabase>(Token{});
  auto a = MakeItem();
  database->Add(a);
  EventLog log(*database, {a});
  ExpectThrowWith([&] { database->Add(nullptr); },
                  "SmartTrainDataDatabase::Insert: expected a training item, found null");
  for (int index : {0, 1}) {
    ExpectThrowWith(
        [&] { database->Insert(index, a); },
        "SmartTrainDataDatabase::Insert: the item is already in the database at index 0");
  }
  EXPECT_FALSE(database->Remove(MakeItem()));
  EXPECT_FALSE(database->Remove(nullptr));
  for (int index : {2, -1}) {
    EXPECT_THROW(database->Insert(index, MakeItem()), Tamrix::Vision::ArgumentException);
  }
  for (int index : {1, -1}) {
    EXPECT_THROW(database->RemoveAt(index), Tamrix::Vision::ArgumentException);
  }
  EXPECT_TRUE(log.added.empty() && log.removed.empty());
  EXPECT_EQ(database->TrainingData()->Items(), Items{a});
}

// An item with a 10 x 5 image, spanning [-0.5, 9.5] x [-0.5, 4.5], or none.
std::shared_ptr<SmartTrainData> AddItem(SmartTrainDataDatabase& database, bool withImage = true) {
  auto item = std::make_shared<SmartTrainData>(Token{}, withImage ? MakeImage(10, 5) : nullptr);
  database.Add(item);
  return item;
}

// Compact descriptions of databases for Verify: items, each with or without an image, holding
// assignments with or without label and shape (of the given bounds), or null assignments.
struct A {
  bool label = true, shape = true;
  Tamrix::Vision::BoundingBox bounds = {1, 1, 3, 2};
  bool null = false;
};
struct I {
  std::vector<A> assignments;
  bool image = true;
};
A Shape(double x0, double y0, double x1, double y1) { return {true, true, {x0, y0, x1, y1}}; }

TEST(SmartTrainDataDatabase, VerifyReportsTheFirstFaultWithItsPosition) {
  const std::string prefix = "SmartTrainDataDatabase::Verify(): ";
  const std::string item0 = prefix + "assignment 0 of training item 0 ";
  const std::string outside = item0 + "has a shape wholly outside its image: bounds ";
  const std::string image = ", image [-0.5, 9.5] x [-0.5, 4.5]";
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const A fine, noLabel{false}, noShape{true, false}, neither{false, false},
      null{true, true, {1, 1, 3, 2}, true};
  const std::vector<std::pair<std::vector<I>, std::string>> cases = {
      {{}, ""},
      {{I{}, I{}}, ""},
      {{I{{Shape(0, 0, 9, 4)}}}, ""},
      {{I{{Shape(-20, -20, 0, 0)}}}, ""},    // partly outside
      {{I{{Shape(-3, 0, -0.5, 2)}}}, ""},    // touching the left edge
      {{I{{Shape(9.5, 4.5, 12, 12)}}}, ""},  // touching the bottom right corner
      {{I{}, I{{}, false}}, prefix + "training item 1 has no image"},
      {{I{{fine, noLabel}}}, prefix + "assignment 1 of training item 0 has no label"},
      {{I{}, I{{noShape}}}, prefix + "assignment 0 of training item 1 has no shape"},
      {{I{{null}}}, item0 + "is null"},
      {{I{{Shape(-5, 0, -0.75, 2)}}}, outside + "[-5, -0.75] x [0, 2]" + image},
      {{I{{Shape(9.75, 0, 11, 2)}}}, outside + "[9.75, 11] x [0, 2]" + image},
      {{I{{Shape(0, -3, 2, -1)}}}, outside + "[0, 2] x [-3, -1]" + image},
      {{I{{fine, Shape(0, 4.625, 2, 6)}}},
       prefix +
           "assignment 1 of training item 0 has a shape wholly outside its image: bounds "
           "[0, 2] x [4.625, 6]" +
           image},
      {{I{{Shape(0, 0, -1, -1)}}}, item0 + "has a shape with empty bounds"},
      {{I{{Shape(0, 0, nan, 1)}}}, item0 + "has a shape whose bounds are not finite"},
      {{I{{neither}}, I{{}, false}}, item0 + "has no label"},
  };
  for (const auto& [items, message] : cases) {
    SCOPED_TRACE(message);
    auto database = std::make_shared<SmartTrainDataDatabase>(Token{});
    for (const auto& entry : items) {
      auto item = AddItem(*database, entry.image);
      for (const auto& a : entry.assignments) {
        const auto& b = a.bounds;
        if (a.null) item->Assignments()->Add(nullptr);
        if (!a.null) {
          item->AddAssignment(a.label ? MakeLabel("a") : nullptr,
                              a.shape ? MakeShape(b.X0, b.Y0, b.X1, b.Y1) : nullptr);
        }
      }
    }
    if (message.empty()) {
      EXPECT_NO_THROW(database->Verify());
    } else {
      ExpectVisionError([&] { database->Verify(); }, VisionExceptionCodes::InvalidData, message);
    }
  }
}

class CountingVerifier : public Tamrix::Vision::ShareableBase,
                         public virtual ISmartTrainDatabaseVerifier {
 public:
  explicit CountingVerifier(const Token& token) : ShareableBase(token) {}
  void Verify(const SmartTrainDataDatabase& database) const override {
    ++calls;
    if (database.TrainingData()->Count() > 1) {
      throw VisionException(VisionExceptionCodes::InvalidData, "one item at most");
    }
  }
  mutable int calls = 0;
  RTTR_ENABLE(ShareableBase, ISmartTrainDatabaseVerifier)
};

TEST(SmartTrainDataDatabase, VerifierRunsAfterTheOwnChecksPass) {
  auto database = std::make_shared<SmartTrainDataDatabase>(Token{});
  auto verifier = std::make_shared<CountingVerifier>(Token{});
  database->setVerifier(verifier);
  EXPECT_EQ(database->Verifier(), verifier);
  AddItem(*database);
  EXPECT_NO_THROW(database->Verify());
  EXPECT_EQ(verifier->calls, 1);
  AddItem(*database);
  ExpectVisionError([&] { database->Verify(); }, VisionExceptionCodes::InvalidData,
                    "one item at most");
  EXPECT_EQ(verifier->calls, 2);
  AddItem(*database, false);
  EXPECT_THROW(database->Verify(), VisionException);
  EXPECT_EQ(verifier->calls, 2) << "the verifier must not run on a database that failed already";
}

}  // namespace
