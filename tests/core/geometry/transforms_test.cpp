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
using namespace Tamrix::Testing::GeometryTests;

TEST(Transform2D, MapsThroughMatrixThenOffsetOrRotationThenOffset) {
  EXPECT_EQ(Transform2DLinear(Token{}, 2, 1, -1, 3, 10, 20).Map(1, 2),
            (Point2D{2 * 1 + 1 * 2 + 10, -1 * 1 + 3 * 2 + 20}));
  EXPECT_EQ(Transform2DLinear(Token{}).Map(4, 5), (Point2D{4, 5}));
  const Point2D p = Transform2DRigid(Token{}, kPi / 2, 1, 1).Map(2, 0);
  EXPECT_NEAR(p.X, 1, 1e-12);
  EXPECT_NEAR(p.Y, 3, 1e-12);
}

TEST(Transform2D, SettersRaiseTheirFlagsOnChangeAndRefuseNonFiniteValues) {
  auto linear = Make<Transform2DLinear>();
  FlagLog linearLog(*linear);
  linear->setMatrix(1, 2, 3, 4);
  linear->setMatrix(1, 2, 3, 4);
  linear->setOffset(5, 6);
  EXPECT_EQ(linearLog.flags,
            (std::vector<long long>{Transform2DLinear::SfMatrix, Transform2DLinear::SfOffset}));
  EXPECT_THROW(linear->setOffset(std::numeric_limits<double>::quiet_NaN(), 0), ArgumentException);
  EXPECT_EQ(linear->OffsetX(), 5);

  auto rigid = Make<Transform2DRigid>();
  FlagLog rigidLog(*rigid);
  rigid->setAngle(0.5);
  rigid->setOffset(1, 2);
  EXPECT_EQ(rigidLog.flags,
            (std::vector<long long>{Transform2DRigid::SfAngle, Transform2DRigid::SfOffset}));
  EXPECT_THROW(rigid->setAngle(std::numeric_limits<double>::infinity()), ArgumentException);
}

std::shared_ptr<CoordinateSpaceTree> CameraTree() {
  auto tree = Make<CoordinateSpaceTree>();
  tree->AddSpace("stage", CoordinateSpaceTree::RootSpaceName_, Make<Transform2DRigid>(0, 100, 0));
  tree->AddSpace("camera", "stage", Make<Transform2DLinear>(2, 0, 0, 2, 0, 10));
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

TEST(CoordinateSpaceTree, EditsRaiseSfSpacesAndBadEditsAreRefusedWithoutChange) {
  auto tree = CameraTree();
  FlagLog log(*tree);
  auto identity = Make<Transform2DLinear>();
  tree->AddSpace("lens", "camera", identity);
  tree->RemoveSpace("lens");
  EXPECT_EQ(log.flags,
            (std::vector<long long>{CoordinateSpaceTree::SfSpaces, CoordinateSpaceTree::SfSpaces}));
  const std::vector<std::pair<std::function<void()>, std::string>> cases = {
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
  for (const auto& [edit, message] : cases)
    Tamrix::Testing::CoreTests::ExpectThrowWith(edit, message);
  EXPECT_EQ(log.flags.size(), 2u);
  EXPECT_EQ(tree->Count(), 2);
}

}  // namespace
