#include <memory>
#include <string>
#include <vector>

#include "OperatorTestPeer.h"
#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/Settings.h"

#ifndef TAMRIX_TEST_MODULE_DIR
#error "TAMRIX_TEST_MODULE_DIR must name the folder of the test helper modules"
#endif

namespace Tamrix::Testing {
namespace {

using Tamrix::Vision::BoundingBox;
using Tamrix::Vision::PixelMask;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

// An axis-aligned box region, enough for the operator's bookkeeping.
class BoxRegion : public Tamrix::Vision::ChangedEventShareableBase,
                  public virtual Tamrix::Vision::IRegion {
 public:
  BoxRegion(double x0, double y0, double x1, double y1)
      : ChangedEventShareableBase(Token{}), box_{x0, y0, x1, y1} {}
  BoundingBox Bounds() const override { return box_; }
  bool IsArea() const override { return true; }
  bool Contains(double x, double y) const override {
    return x >= box_.X0 && x <= box_.X1 && y >= box_.Y0 && y <= box_.Y1;
  }
  PixelMask Rasterize(int width, int height, double) const override {
    PixelMask mask(width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) mask.Set(x, y, Contains(x, y));
    }
    return mask;
  }

 private:
  BoundingBox box_;
  RTTR_ENABLE(ChangedEventShareableBase, IRegion)
};

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
    item->AddAssignment(label, std::make_shared<BoxRegion>(x, 0, x + 1, 3));
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
