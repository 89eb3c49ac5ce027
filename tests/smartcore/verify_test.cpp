#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <memory>
#include <string>

#include "interfaces/core/Exceptions.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace SmartCoreTest;
using Tamrix::Vision::VisionException;
using Tamrix::Vision::VisionExceptionCodes;

// Images in these cases are 10 x 5 pixels: they span [-0.5, 9.5] x [-0.5, 4.5].
std::shared_ptr<SmartTrainData> AddItem(SmartTrainDataDatabase& database, bool withImage = true) {
  auto item = std::make_shared<SmartTrainData>(Token{}, withImage ? MakeImage(10, 5) : nullptr);
  database.Add(item);
  return item;
}

struct VerifyCase {
  const char* name;
  std::function<void(SmartTrainDataDatabase&)> build;
  const char* message;  // empty: the database passes
};

class SmartTrainDataDatabaseVerify : public ::testing::TestWithParam<VerifyCase> {};

TEST_P(SmartTrainDataDatabaseVerify, ReportsTheFirstFaultWithItsPosition) {
  const auto& param = GetParam();
  auto database = std::make_shared<SmartTrainDataDatabase>(Token{});
  param.build(*database);
  if (std::string(param.message).empty()) {
    EXPECT_NO_THROW(database->Verify());
    return;
  }
  try {
    database->Verify();
    FAIL() << "no exception";
  } catch (const VisionException& e) {
    EXPECT_EQ(e.Code(), VisionExceptionCodes::InvalidData);
    EXPECT_EQ(std::string(e.what()), param.message);
  }
}

const double kNaN = std::numeric_limits<double>::quiet_NaN();

INSTANTIATE_TEST_SUITE_P(
    Cases, SmartTrainDataDatabaseVerify,
    ::testing::Values(
        VerifyCase{"EmptyDatabase", [](SmartTrainDataDatabase&) {}, ""},
        VerifyCase{"ItemsWithoutAssignments",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d);
                     AddItem(d);
                   },
                   ""},
        VerifyCase{"ShapeInside",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(MakeLabel("a"), MakeShape(0, 0, 9, 4));
                   },
                   ""},
        VerifyCase{"ShapePartlyOutside",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(MakeLabel("a"), MakeShape(-20, -20, 0, 0));
                   },
                   ""},
        VerifyCase{"ShapeTouchingTheLeftEdge",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(MakeLabel("a"), MakeShape(-3, 0, -0.5, 2));
                   },
                   ""},
        VerifyCase{"ShapeTouchingTheBottomRightCorner",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(MakeLabel("a"), MakeShape(9.5, 4.5, 12, 12));
                   },
                   ""},
        VerifyCase{"SecondItemWithoutImage",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d);
                     AddItem(d, false);
                   },
                   "SmartTrainDataDatabase::Verify(): training item 1 has no image"},
        VerifyCase{"AssignmentWithoutLabel",
                   [](SmartTrainDataDatabase& d) {
                     auto item = AddItem(d);
                     item->AddAssignment(MakeLabel("a"), MakeShape());
                     item->AddAssignment(nullptr, MakeShape());
                   },
                   "SmartTrainDataDatabase::Verify(): assignment 1 of training item 0 has no "
                   "label"},
        VerifyCase{"AssignmentWithoutShape",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d);
                     AddItem(d)->AddAssignment(MakeLabel("a"), nullptr);
                   },
                   "SmartTrainDataDatabase::Verify(): assignment 0 of training item 1 has no "
                   "shape"},
        VerifyCase{"NullAssignment",
                   [](SmartTrainDataDatabase& d) { AddItem(d)->Assignments()->Add(nullptr); },
                   "SmartTrainDataDatabase::Verify(): assignment 0 of training item 0 is null"},
        VerifyCase{"ShapeLeftOfTheImage",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(MakeLabel("a"), MakeShape(-5, 0, -0.75, 2));
                   },
                   "SmartTrainDataDatabase::Verify(): assignment 0 of training item 0 has a "
                   "shape wholly outside its image: bounds [-5, -0.75] x [0, 2], image "
                   "[-0.5, 9.5] x [-0.5, 4.5]"},
        VerifyCase{"ShapeRightOfTheImage",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(MakeLabel("a"), MakeShape(9.75, 0, 11, 2));
                   },
                   "SmartTrainDataDatabase::Verify(): assignment 0 of training item 0 has a "
                   "shape wholly outside its image: bounds [9.75, 11] x [0, 2], image "
                   "[-0.5, 9.5] x [-0.5, 4.5]"},
        VerifyCase{"ShapeAboveTheImage",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(MakeLabel("a"), MakeShape(0, -3, 2, -1));
                   },
                   "SmartTrainDataDatabase::Verify(): assignment 0 of training item 0 has a "
                   "shape wholly outside its image: bounds [0, 2] x [-3, -1], image "
                   "[-0.5, 9.5] x [-0.5, 4.5]"},
        VerifyCase{"ShapeBelowTheImageInTheSecondAssignment",
                   [](SmartTrainDataDatabase& d) {
                     auto item = AddItem(d);
                     item->AddAssignment(MakeLabel("a"), MakeShape());
                     item->AddAssignment(MakeLabel("a"), MakeShape(0, 4.625, 2, 6));
                   },
                   "SmartTrainDataDatabase::Verify(): assignment 1 of training item 0 has a "
                   "shape wholly outside its image: bounds [0, 2] x [4.625, 6], image "
                   "[-0.5, 9.5] x [-0.5, 4.5]"},
        VerifyCase{"EmptyShape",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(MakeLabel("a"), MakeShape(0, 0, -1, -1));
                   },
                   "SmartTrainDataDatabase::Verify(): assignment 0 of training item 0 has a "
                   "shape with empty bounds"},
        VerifyCase{"ShapeWithNaNBounds",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(MakeLabel("a"), MakeShape(0, 0, kNaN, 1));
                   },
                   "SmartTrainDataDatabase::Verify(): assignment 0 of training item 0 has a "
                   "shape whose bounds are not finite"},
        VerifyCase{"FirstFaultWins",
                   [](SmartTrainDataDatabase& d) {
                     AddItem(d)->AddAssignment(nullptr, nullptr);
                     AddItem(d, false);
                   },
                   "SmartTrainDataDatabase::Verify(): assignment 0 of training item 0 has no "
                   "label"}),
    [](const ::testing::TestParamInfo<VerifyCase>& param) { return param.param.name; });

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
  try {
    database->Verify();
    FAIL() << "no exception";
  } catch (const VisionException& e) {
    EXPECT_EQ(std::string(e.what()), "one item at most");
  }
  EXPECT_EQ(verifier->calls, 2);
  AddItem(*database, false);
  EXPECT_THROW(database->Verify(), VisionException);
  EXPECT_EQ(verifier->calls, 2) << "the verifier must not run on a database that failed already";
}

}  // namespace
