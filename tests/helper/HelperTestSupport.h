// Shared pieces of the helper module's tests: loading the module, synthetic scenes, comparisons.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/PixelMask.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/engine/ISmartSegmenterAccess.h"
#include "interfaces/engine/Segmenter.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"

namespace Tamrix::Vision::SmartSegmenter {

// Reaches the private parts of Segmenter that the operator uses after loading.
struct SegmenterTestAccess {
  static void SetAccessAndParameters(Segmenter& segmenter,
                                     std::shared_ptr<ISmartSegmenterAccess> access) {
    segmenter.SetAccessAndParameters(std::move(access));
  }
  static void UpdateTrainingParametersAndTrainCache(Segmenter& segmenter) {
    segmenter.UpdateTrainingParametersAndTrainCache();
  }
};

}  // namespace Tamrix::Vision::SmartSegmenter

namespace HelperTests {

using namespace Tamrix::Vision;
using namespace Tamrix::Vision::SmartSegmenter;

extern const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

// The factory of the real helper module, loaded once through the system-support library.
CreateSegmenterAccessWrapperFunction HelperFactory();
std::shared_ptr<ISmartSegmenterAccess> NewAccess();

// Deterministic noise in [-amplitude, amplitude].
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  int Next(int amplitude);

 private:
  std::uint32_t state_;
};

// A disc of radius `radius` centred on (cx, cy): the ground truth of the synthetic scenes. A pixel
// belongs to it when its centre does.
struct Disc {
  double cx, cy, radius;
  bool Contains(int x, int y) const {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
  }
  PixelMask Truth(int width, int height) const;
};

// A noisy bright disc (`inside` +- `amplitude`) on a darker noisy background.
std::shared_ptr<Image8Grey> DiscImage(int size, const Disc& disc, int inside, int outside,
                                      int amplitude, std::uint32_t seed);

// A disc of vertical stripes on a background of fine noise, both of mean 128: only texture tells
// them apart.
std::shared_ptr<Image8Grey> TexturedScene(int width, int height, const Disc& disc,
                                          std::uint32_t seed);

std::shared_ptr<Polygon> Square(double x0, double y0, double x1, double y1);

// A training item of `image` with a square inside the disc assigned to `disc` and two squares of
// background assigned to `background` (when given).
std::shared_ptr<SmartCore::SmartTrainData> DiscItem(
    const std::shared_ptr<IImage>& image, const Disc& disc,
    const std::shared_ptr<SmartCore::SmartLabel>& discLabel,
    const std::shared_ptr<SmartCore::SmartLabel>& backgroundLabel);

double IntersectionOverUnion(const PixelMask& a, const PixelMask& b);

// The bytes of `object` saved alone through std::shared_ptr<IObject>.
std::string SaveBytes(const std::shared_ptr<Tamrix::Vorn::IObject>& object);
std::shared_ptr<Tamrix::Vorn::IObject> LoadBytes(const std::string& bytes);

}  // namespace HelperTests
