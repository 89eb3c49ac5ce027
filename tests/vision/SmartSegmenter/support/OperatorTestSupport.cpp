#include <memory>
#include <string>
#include <vector>

#include "OperatorTestPeer.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/RectangleAffine.h"
#include "interfaces/core/Settings.h"

#ifndef TAMRIX_TEST_MODULE_DIR
#error "TAMRIX_TEST_MODULE_DIR must name the folder of the test helper modules"
#endif

namespace Tamrix::Testing {
namespace {

using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

}  // namespace

std::string TestModuleDirectory(const std::string& module) {
  return std::string(TAMRIX_TEST_MODULE_DIR) + "/" + module;
}

void OperatorTest::UseModule(const std::string& module) {
  sysSetLibrarySearchDirectory(
      UtilityZel::detail::ZelUtils::ZelStringFromString(TestModuleDirectory(module)),
      SysSearchMode::SearchOnly);
}

std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel> OperatorTest::Label(
    const std::string& name) {
  return std::make_shared<Tamrix::Vision::SmartCore::SmartLabel>(Token{}, name);
}

std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData> OperatorTest::Item(
    const std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>>& labels,
    bool isTraining) {
  auto image = std::make_shared<Tamrix::Vision::Image8Grey>(Token{}, 16, 16);
  auto item =
      std::make_shared<Tamrix::Vision::SmartCore::SmartTrainData>(Token{}, image, isTraining);
  double x = 0;
  for (const auto& label : labels) {
    item->AddAssignment(label, std::make_shared<Tamrix::Vision::RectangleAffine>(
                                   Token{}, Tamrix::Vision::Point2D{x + 0.5, 1.5}, 1.0, 3.0));
    x += 2;
  }
  return item;
}

std::shared_ptr<std::vector<long long>> OperatorTest::RecordChanges(Operator& op) {
  auto flags = std::make_shared<std::vector<long long>>();
  op.ChangedEvent().Connect([flags](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
    flags->push_back(args->Flags());
  });
  return flags;
}

}  // namespace Tamrix::Testing
