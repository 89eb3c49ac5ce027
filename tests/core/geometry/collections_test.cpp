// The concrete collections: children by name, events, and their reflection entries.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include <rttr/type>

#include "interfaces/core/Collections.h"
#include "interfaces/core/Ellipse.h"
#include "interfaces/core/Polygon.h"
#include "tests/core/geometry/GeometryTestSupport.h"

namespace {

using namespace Tamrix::Vision;
using namespace Tamrix::Testing::GeometryTests;
using Ptr = IGraphicParentChildPtr;

Ptr Named(const std::string& name) {
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
  b->setName("c");  // a rename is seen at once: names are read when asked for
  EXPECT_EQ(children->Keys(), (std::vector<std::string>{"a", "c"}));
  EXPECT_EQ(children->Get("c"), b);
  Tamrix::Testing::CoreTests::ExpectThrowWith(
      [&] { children->Get("b"); },
      "GraphicChildren::Get: expected the name of a child, found \"b\", which no child has");
  Tamrix::Testing::CoreTests::ExpectThrowWith(
      [&] { children->Add(Named("a")); },
      "GraphicChildren::Insert: expected a child with a unique name, found "
      "\"a\", the name of the child at index 0");
  EXPECT_THROW(children->Add(nullptr), ArgumentException);
  auto replacement = Named("a");  // replacing a child by one of the same name is no clash
  children->Replace(0, replacement);
  EXPECT_EQ(children->Get("a"), replacement);
  EXPECT_EQ(children->Count(), 2);
}

TEST(GraphicChildren, RaisesEachEventPairAroundTheChange) {
  auto children = Make<GraphicChildren>();
  std::vector<std::string> log;
  Tamrix::Testing::CoreTests::RecordCollectionEvents(*children, log);
  children->Add(Named("a"));
  children->Add(Named("b"));
  children->Move(0, 1);
  children->Replace(0, Named("c"));
  children->RemoveAt(1);
  children->Clear();
  EXPECT_EQ(log, (std::vector<std::string>{
                     "inserting 0 a count=0", "inserted 0 a count=1", "inserting 1 b count=1",
                     "inserted 1 b count=2", "moving 0 1 count=2", "moved 0 1 count=2",
                     "replacing 0 b c count=2", "replaced 0 b c count=2", "removing 1 a count=2",
                     "removed 1 a count=1", "clearing count=1", "cleared count=0"}));
}

TEST(Collections, ReflectCountItemAndOnePseudoPropertyPerIndex) {
  auto values = Make<DoubleReadOnlyCollection>(std::vector<double>{1.5, -2, 3});
  const rttr::type doubles = rttr::type::get_by_name("Tamrix::Vision::DoubleReadOnlyCollection");
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
  EXPECT_EQ(stringType.get_property("Count").get_value(*strings).to_int(), 2);
  EXPECT_EQ(stringType.get_method("Item").invoke(*strings, 1).get_value<std::string>(), "y");
  Polygon polygon(Token{}, {{0, 0}, {1, 0}, {0, 1}});
  const rttr::type polygonType = rttr::type::get_by_name("Tamrix::Vision::Polygon");
  EXPECT_EQ(polygonType.get_property("Count").get_value(polygon).to_int(), 3);
  EXPECT_TRUE(polygonType.is_derived_from(rttr::type::get_by_name("Tamrix::Vision::IRegion")));
}

}  // namespace
