// The concrete collections: children by name, events, and their reflection entries.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <rttr/type>

#include "interfaces/core/Collections.h"
#include "interfaces/core/Ellipse.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Polygon.h"
#include "tests/core/geometry/GeometryTestSupport.h"

namespace {

using namespace Tamrix::Vision;
using namespace GeometryTest;

std::shared_ptr<IGraphicParentChild> Named(const std::string& name) {
  auto shape = Make<Ellipse>();
  shape->setName(name);
  return shape;
}

TEST(GraphicChildren, ChildrenAreFoundByTheirCurrentNameAndNamesStayUnique) {
  auto children = Make<GraphicChildren>();
  auto a = Named("a"), b = Named("b");
  children->Add(a);
  children->Add(b);
  EXPECT_EQ(children->Get("b"), b);
  EXPECT_TRUE(children->ContainsKey("a"));
  EXPECT_FALSE(children->ContainsKey("c"));
  EXPECT_EQ(children->Keys(), (std::vector<std::string>{"a", "b"}));
  // A rename is seen at once: names are read when asked for.
  b->setName("c");
  EXPECT_EQ(children->Get("c"), b);
  CoreTest::ExpectThrowWith(
      [&] { children->Get("b"); },
      "GraphicChildren::Get: expected the name of a child, found \"b\", which no child has");
  CoreTest::ExpectThrowWith([&] { children->Add(Named("a")); },
                            "GraphicChildren::Insert: expected a child with a unique name, found "
                            "\"a\", the name of the child at index 0");
  EXPECT_THROW(children->Add(nullptr), ArgumentException);
  // Replacing a child by one of the same name is no clash.
  auto replacement = Named("a");
  children->Replace(0, replacement);
  EXPECT_EQ(children->Get("a"), replacement);
  EXPECT_EQ(children->Count(), 2);
}

TEST(GraphicChildren, RaisesEachEventPairAroundTheChange) {
  auto children = Make<GraphicChildren>();
  std::vector<std::string> log;
  auto record = [&](const std::string& what) {
    log.push_back(what + std::to_string(children->Count()));
  };
  using Ptr = IGraphicParentChildPtr;
  children->InsertingItemEvent().Connect([&](int, const Ptr&) { record("inserting"); });
  children->InsertedItemEvent().Connect([&](int, const Ptr&) { record("inserted"); });
  children->RemovingItemEvent().Connect([&](int, const Ptr&) { record("removing"); });
  children->RemovedItemEvent().Connect([&](int i, const Ptr& item) {
    record("removed " + item->Name() + " at " + std::to_string(i) + " count ");
  });
  children->MovedItemEvent().Connect([&](int from, int to) {
    record("moved " + std::to_string(from) + "->" + std::to_string(to) + " count ");
  });
  children->ClearingEvent().Connect([&] { record("clearing"); });
  children->ClearedEvent().Connect([&] { record("cleared"); });
  children->Add(Named("a"));
  children->Add(Named("b"));
  children->Move(0, 1);
  children->RemoveAt(1);
  children->Clear();
  EXPECT_EQ(log, (std::vector<std::string>{"inserting0", "inserted1", "inserting1", "inserted2",
                                           "moved 0->1 count 2", "removing2",
                                           "removed a at 1 count 1", "clearing1", "cleared0"}));
}

TEST(Collections, ReflectCountItemAndOnePseudoPropertyPerIndex) {
  auto values = Make<DoubleReadOnlyCollection>(std::vector<double>{1.5, -2, 3});
  const rttr::type doubles = rttr::type::get_by_name("Tamrix::Vision::DoubleReadOnlyCollection");
  ASSERT_TRUE(doubles.is_valid());
  EXPECT_EQ(doubles.get_property("Count").get_value(*values).to_int(), 3);
  EXPECT_DOUBLE_EQ(doubles.get_method("Item").invoke(*values, 1).get_value<double>(), -2.0);
  // After the named pseudo-properties of parameterless methods (ToString) come the unnamed ones of
  // the items, in order.
  std::vector<double> items;
  for (const auto& fake : values->GetFakeProperties()) {
    if (fake->Name().empty()) items.push_back(fake->GetValue(*values).get_value<double>());
  }
  EXPECT_EQ(items, (std::vector<double>{1.5, -2, 3}));

  auto strings = Make<StringCollection>();
  strings->Add("x");
  strings->Add("y");
  const rttr::type stringType = rttr::type::get_by_name("Tamrix::Vision::StringCollection");
  ASSERT_TRUE(stringType.is_valid());
  EXPECT_EQ(stringType.get_property("Count").get_value(*strings).to_int(), 2);
  EXPECT_EQ(stringType.get_method("Item").invoke(*strings, 1).get_value<std::string>(), "y");

  Polygon polygon(Token{}, {{0, 0}, {1, 0}, {0, 1}});
  const rttr::type polygonType = rttr::type::get_by_name("Tamrix::Vision::Polygon");
  ASSERT_TRUE(polygonType.is_valid());
  EXPECT_EQ(polygonType.get_property("Count").get_value(polygon).to_int(), 3);
  EXPECT_TRUE(polygonType.is_derived_from(rttr::type::get_by_name("Tamrix::Vision::IRegion")));
}

}  // namespace
