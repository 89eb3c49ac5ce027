// Test-local stand-ins and helpers for the training-data tests.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "tests/core/TestSupport.h"

namespace Tamrix::Testing::SmartCoreTests {

using Tamrix::Testing::CoreTests::ExpectThrowWith;
using Tamrix::Testing::CoreTests::ExpectVisionError;
using Tamrix::Testing::CoreTests::FlagLog;
using Tamrix::Testing::CoreTests::MessageOf;
using Tamrix::Testing::CoreTests::Token;

// A shape with fixed bounds; Edit() raises its changed event like a vertex edit would.
class FakeShape : public Tamrix::Vision::ChangedEventShareableBase,
                  public virtual Tamrix::Vision::IShape {
 public:
  FakeShape(const Token& token, Tamrix::Vision::BoundingBox bounds)
      : ChangedEventShareableBase(token), bounds_(bounds) {}

  Tamrix::Vision::BoundingBox Bounds() const override { return bounds_; }
  void RasterizeInto(Tamrix::Vision::PixelMask&, double) const override {}
  bool IsArea() const override { return true; }
  void Edit() { OnChanged_(8); }

 private:
  Tamrix::Vision::BoundingBox bounds_;
  RTTR_ENABLE(ChangedEventShareableBase, IShape)
};

inline std::shared_ptr<FakeShape> MakeShape(double x0 = 1, double y0 = 1, double x1 = 3,
                                            double y1 = 2) {
  return std::make_shared<FakeShape>(Token{}, Tamrix::Vision::BoundingBox{x0, y0, x1, y1});
}

inline std::shared_ptr<Tamrix::Vision::Image8Grey> MakeImage(int width = 10, int height = 5) {
  return std::make_shared<Tamrix::Vision::Image8Grey>(Token{}, width, height);
}

inline std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel> MakeLabel(const std::string& name) {
  return std::make_shared<Tamrix::Vision::SmartCore::SmartLabel>(Token{}, name);
}

inline std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData> MakeItem(bool isTraining = true) {
  return std::make_shared<Tamrix::Vision::SmartCore::SmartTrainData>(Token{}, MakeImage(),
                                                                     isTraining);
}

}  // namespace Tamrix::Testing::SmartCoreTests
