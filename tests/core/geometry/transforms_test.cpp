// Transforms and the coordinate space tree.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>

#include "interfaces/core/CoordinateSpaceTree.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Transforms.h"
#include "tests/core/geometry/GeometryTestSupport.h"

namespace {

using namespace Tamrix::Vision;
using GeometryTest::FlagLog;
using GeometryTest::Token;

constexpr double kPi = 3.14159265358979323846;

TEST(Transform2DLinear, MapsThroughMatrixThenOffset) {
  Transform2DLinear transform(Token{}, 2, 1, -1, 3, 10, 20);
  const Point2D p = transform.Map(1, 2);
  EXPECT_DOUBLE_EQ(p.X, 2 * 1 + 1 * 2 + 10);
  EXPECT_DOUBLE_EQ(p.Y, -1 * 1 + 3 * 2 + 20);
  EXPECT_EQ(Transform2DLinear(Token{}).Map(4, 5), (Point2D{4, 5}));
}

TEST(Transform2DRigid, QuarterTurnSendsXAxisToYAxis) {
  Transform2DRigid transform(Token{}, kPi / 2, 1, 1);
  const Point2D p = transform.Map(2, 0);
  EXPECT_NEAR(p.X, 1, 1e-12);
  EXPECT_NEAR(p.Y, 3, 1e-12);
}

TEST(Transform2DLinear, SettersRaiseTheirFlagsAndRefuseNonFiniteValues) {
  auto transform = std::make_shared<Transform2DLinear>(Token{});
  FlagLog log(*transform);
  transform->setMatrix(1, 2, 3, 4);
  transform->setMatrix(1, 2, 3, 4);
  transform->setOffset(5, 6);
  EXPECT_EQ(log.flags,
            (std::vector<long long>{Transform2DLinear::SfMatrix, Transform2DLinear::SfOffset}));
  EXPECT_THROW(transform->setOffset(std::numeric_limits<double>::quiet_NaN(), 0),
               ArgumentException);
  EXPECT_EQ(transform->OffsetX(), 5);
}

TEST(Transform2DRigid, SettersRaiseTheirFlags) {
  auto transform = std::make_shared<Transform2DRigid>(Token{});
  FlagLog log(*transform);
  transform->setAngle(0.5);
  transform->setOffset(1, 2);
  EXPECT_EQ(log.flags,
            (std::vector<long long>{Transform2DRigid::SfAngle, Transform2DRigid::SfOffset}));
  EXPECT_THROW(transform->setAngle(std::numeric_limits<double>::infinity()), ArgumentException);
}

std::shared_ptr<CoordinateSpaceTree> CameraTree() {
  auto tree = std::make_shared<CoordinateSpaceTree>(Token{});
  tree->AddSpace("stage", CoordinateSpaceTree::RootSpaceName_,
                 std::make_shared<Transform2DRigid>(Token{}, 0, 100, 0));
  tree->AddSpace("camera", "stage",
                 std::make_shared<Transform2DLinear>(Token{}, 2, 0, 0, 2, 0, 10));
  return tree;
}

TEST(CoordinateSpaceTree, MapToRootAppliesTheChainFromChildToRoot) {
  auto tree = CameraTree();
  // camera (1, 1) -> stage (2, 12) -> root (102, 12).
  EXPECT_EQ(tree->MapToRoot("camera", 1, 1), (Point2D{102, 12}));
  EXPECT_EQ(tree->MapToRoot("stage", 1, 1), (Point2D{101, 1}));
  EXPECT_EQ(tree->MapToRoot(CoordinateSpaceTree::RootSpaceName_, 1, 1), (Point2D{1, 1}));
  EXPECT_EQ(tree->SpaceNames(), (std::vector<std::string>{"stage", "camera"}));
  EXPECT_EQ(tree->ParentName("camera"), "stage");
  EXPECT_TRUE(tree->ContainsSpace(CoordinateSpaceTree::RootSpaceName_));
}

TEST(CoordinateSpaceTree, EditsRaiseSfSpacesAndBadEditsAreRefused) {
  auto tree = CameraTree();
  FlagLog log(*tree);
  auto identity = std::make_shared<Transform2DLinear>(Token{});
  tree->AddSpace("lens", "camera", identity);
  tree->RemoveSpace("lens");
  EXPECT_EQ(log.flags,
            (std::vector<long long>{CoordinateSpaceTree::SfSpaces, CoordinateSpaceTree::SfSpaces}));

  struct Case {
    std::function<void()> edit;
    std::string message;
  };
  const std::vector<Case> cases = {
      {[&] { tree->AddSpace("stage", "root", identity); },
       "CoordinateSpaceTree::AddSpace: a space named \"stage\" already exists"},
      {[&] { tree->AddSpace("root", "root", identity); },
       "CoordinateSpaceTree::AddSpace: a space named \"root\" already exists"},
      {[&] { tree->AddSpace("", "root", identity); },
       "CoordinateSpaceTree::AddSpace: expected a non-empty space name"},
      {[&] { tree->AddSpace("x", "nowhere", identity); },
       "CoordinateSpaceTree::AddSpace: expected an existing parent space, found \"nowhere\""},
      {[&] { tree->AddSpace("x", "root", nullptr); },
       "CoordinateSpaceTree::AddSpace: expected a transform for space \"x\", found null"},
      {[&] { tree->RemoveSpace("stage"); },
       "CoordinateSpaceTree::RemoveSpace: space \"stage\" still has the child space \"camera\""},
      {[&] { tree->RemoveSpace("root"); },
       "CoordinateSpaceTree::RemoveSpace: expected the name of a space, found \"root\", which is "
       "the root"},
      {[&] { tree->MapToRoot("nowhere", 0, 0); },
       "CoordinateSpaceTree::MapToRoot: expected the name of a space, found \"nowhere\", which is "
       "not in the tree"},
  };
  for (const auto& c : cases) {
    try {
      c.edit();
      ADD_FAILURE() << "expected ArgumentException: " << c.message;
    } catch (const ArgumentException& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
  EXPECT_EQ(log.flags.size(), 2u);
  EXPECT_EQ(tree->Count(), 2);
}

}  // namespace
