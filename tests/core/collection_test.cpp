#include "interfaces/core/CollectionBase.h"
#include "interfaces/core/ReadOnlyCollectionBase.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tests/core/TestSupport.h"

namespace {

using Tamrix::Testing::CoreTests::Token;
using Tamrix::Vision::Implementation::CollectionBase;
using Tamrix::Vision::Implementation::ReadOnlyCollectionBase;

struct Item {
  std::string name;
  std::string Name() const { return name; }
};
using ItemPtr = std::shared_ptr<Item>;
ItemPtr MakeItem(const std::string& name) { return std::make_shared<Item>(Item{name}); }

TEST(CollectionBase, EachChangeRaisesItsEventsBeforeAndAfter) {
  auto c = std::make_shared<CollectionBase<ItemPtr>>(Token{});
  std::vector<std::string> log;
  Tamrix::Testing::CoreTests::RecordCollectionEvents(*c, log);
  c->Add(MakeItem("a"));
  c->Insert(0, MakeItem("b"));
  c->Move(0, 1);
  c->Replace(0, MakeItem("x"));
  c->RemoveAt(1);
  c->Clear();
  EXPECT_EQ(log, (std::vector<std::string>{
                     "inserting 0 a count=0", "inserted 0 a count=1", "inserting 0 b count=1",
                     "inserted 0 b count=2", "moving 0 1 count=2", "moved 0 1 count=2",
                     "replacing 0 a x count=2", "replaced 0 a x count=2", "removing 1 b count=2",
                     "removed 1 b count=1", "clearing count=1", "cleared count=0"}));
}

TEST(CollectionBase, RemovedItemEventComesAfterTheRemovalWithTheItemStillAlive) {
  auto c = std::make_shared<CollectionBase<ItemPtr>>(Token{});
  c->Add(MakeItem("only"));
  bool containedInSlot = true;
  std::string nameInSlot;
  c->RemovedItemEvent().Connect([&](int, const ItemPtr& item) {
    containedInSlot = c->Contains(item);
    nameInSlot = item->name;  // the collection held the last reference
  });
  c->RemoveAt(0);
  EXPECT_FALSE(containedInSlot);
  EXPECT_EQ(nameInSlot, "only");
  // An exception from an -ing slot cancels the change.
  c->InsertingItemEvent().Connect([](int, const ItemPtr&) { throw std::runtime_error("vetoed"); });
  EXPECT_THROW(c->Add(MakeItem("a")), std::runtime_error);
  EXPECT_EQ(c->Count(), 0);
}

TEST(CollectionBase, IndexOfFindsTheSameObjectNotAnEqualOne) {
  auto c = std::make_shared<CollectionBase<ItemPtr>>(Token{});
  auto first = MakeItem("same"), second = MakeItem("same");
  c->Add(first);
  c->Add(second);
  EXPECT_EQ(c->IndexOf(second), 1);
  EXPECT_EQ(c->IndexOf(MakeItem("same")), -1);
  EXPECT_FALSE(c->Contains(MakeItem("same")));
  EXPECT_TRUE(c->Remove(second));
  EXPECT_FALSE(c->Remove(second));
  EXPECT_EQ(c->Count(), 1);
}

TEST(CollectionBase, BadIndicesThrowArgumentExceptionNamingIndexAndRangeWithoutChange) {
  auto c = std::make_shared<CollectionBase<ItemPtr>>(Token{});
  c->Add(MakeItem("a"));
  c->Add(MakeItem("b"));
  std::vector<std::string> log;
  Tamrix::Testing::CoreTests::RecordCollectionEvents(*c, log);
  const std::vector<std::pair<std::function<void()>, const char*>> cases = {
      {[&] { c->Item(2); }, "CollectionBase::Item: index 2 is outside [0, 2)"},
      {[&] { c->Item(-1); }, "CollectionBase::Item: index -1 is outside [0, 2)"},
      {[&] { c->Insert(3, MakeItem("x")); }, "CollectionBase::Insert: index 3 is outside [0, 2]"},
      {[&] { c->RemoveAt(2); }, "CollectionBase::RemoveAt: index 2 is outside [0, 2)"},
      {[&] { c->Move(0, 5); }, "CollectionBase::Move: index 5 is outside [0, 2)"},
      {[&] { c->Replace(7, MakeItem("x")); }, "CollectionBase::Replace: index 7 is outside [0, 2)"},
  };
  for (const auto& [call, message] : cases)
    Tamrix::Testing::CoreTests::ExpectThrowWith(call, message);
  EXPECT_EQ(c->Count(), 2);
  EXPECT_TRUE(log.empty());
}

TEST(ReadOnlyCollectionBase, ReadsInOrderAndFindsObjectsByIdentityAndValuesByValue) {
  auto a = MakeItem("a"), b = MakeItem("b");
  auto c = std::make_shared<ReadOnlyCollectionBase<ItemPtr>>(Token{}, std::vector<ItemPtr>{a, b});
  std::vector<ItemPtr> items(c->begin(), c->end());
  EXPECT_EQ(items, (std::vector<ItemPtr>{a, b}));
  EXPECT_EQ(c->IndexOf(b), 1);
  EXPECT_EQ(c->IndexOf(MakeItem("b")), -1);
  EXPECT_EQ(c->Item(0), a);
  Tamrix::Testing::CoreTests::ExpectThrowWith(
      [&] { c->Item(2); }, "ReadOnlyCollectionBase::Item: index 2 is outside [0, 2)");
  ReadOnlyCollectionBase<double> values(Token{}, std::vector<double>{1.5, 2.5});
  EXPECT_EQ(values.IndexOf(2.5), 1);
  EXPECT_TRUE(values.Contains(1.5));
  EXPECT_FALSE(values.Contains(3.0));
}

}  // namespace
