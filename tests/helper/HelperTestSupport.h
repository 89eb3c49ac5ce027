// Shared pieces of the helper module's tests: loading the module, synthetic scenes, comparisons.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/core/PixelMask.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/engine/ISmartSegmenterAccess.h"
#include "interfaces/engine/Segmenter.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "interfaces/sys/SysLibrary.h"
#include "tests/support/MessageOf.h"

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

inline const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

// The factory of the real helper module, loaded once through the system-support library.
inline CreateSegmenterAccessWrapperFunction HelperFactory() {
  static const CreateSegmenterAccessWrapperFunction factory = [] {
    SysLibraryHandle handle = nullptr;
    SysProc function = nullptr;
    if (sysLoadLibrary(L"Tamrix.Vision.SmartSegmenterHelper.dll", &handle) < 0 ||
        sysGetProcAddress(handle, "CreateSegmenterAccessWrapper", &function) < 0) {
      throw std::runtime_error(sysLastError());
    }
    return reinterpret_cast<CreateSegmenterAccessWrapperFunction>(function);
  }();
  return factory;
}

inline std::shared_ptr<ISmartSegmenterAccess> NewAccess() {
  std::shared_ptr<ISmartSegmenterAccess> access;
  if (HelperFactory()(&access) != 0 || !access) throw std::runtime_error("no access object");
  return access;
}

// Deterministic noise from a linear congruential generator.
class Noise {
 public:
  explicit Noise(std::uint32_t seed) : state_(seed) {}
  // In [-amplitude, amplitude].
  int Next(int amplitude) {
    return static_cast<int>(Step() % static_cast<std::uint32_t>(2 * amplitude + 1)) - amplitude;
  }
  // In [0, 1).
  float Uniform() { return static_cast<float>(Step()) / 16777216.0f; }

 private:
  std::uint32_t Step() { return (state_ = state_ * 1664525u + 1013904223u) >> 8; }
  std::uint32_t state_;
};

// A grey image whose pixel (x, y) is value(x, y), clamped to 0..255; rows first.
inline std::shared_ptr<Image8Grey> Grey8(int width, int height,
                                         const std::function<int(int, int)>& value) {
  auto image = std::make_shared<Image8Grey>(kToken, width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x)
      image->MutableRow(y)[x] = static_cast<std::uint8_t>(std::clamp(value(x, y), 0, 255));
  }
  return image;
}

// Uniform noise over 0..255.
inline std::shared_ptr<Image8Grey> NoiseImage(int width, int height, std::uint32_t seed) {
  Noise noise(seed);
  return Grey8(width, height, [&](int, int) { return static_cast<int>(noise.Uniform() * 256); });
}

// A disc of radius `radius` centred on (cx, cy): the ground truth of the synthetic scenes. A pixel
// belongs to it when its centre does.
struct Disc {
  double cx, cy, radius;
  bool Contains(int x, int y) const {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
  }
  PixelMask Truth(int width, int height) const {
    PixelMask mask(width, height);
    for (int y = 0; y < height; ++y) {
      for (int x = 0; x < width; ++x) mask.Set(x, y, Contains(x, y));
    }
    return mask;
  }
};

// A noisy bright disc (`inside` +- `amplitude`) on a darker noisy background.
inline std::shared_ptr<Image8Grey> DiscImage(int size, const Disc& disc, int inside, int outside,
                                             int amplitude, std::uint32_t seed) {
  Noise noise(seed);
  return Grey8(size, size, [&](int x, int y) {
    return (disc.Contains(x, y) ? inside : outside) + noise.Next(amplitude);
  });
}

// A disc of vertical stripes on a background of fine noise, both of mean 128: only texture tells
// them apart.
inline std::shared_ptr<Image8Grey> TexturedScene(int width, int height, const Disc& disc,
                                                 std::uint32_t seed) {
  Noise noise(seed);
  return Grey8(width, height, [&](int x, int y) {
    const double stripes = 45.0 * std::sin(2.0 * 3.14159265358979 * x / 6.0);
    return disc.Contains(x, y) ? static_cast<int>(std::lround(128.0 + stripes)) + noise.Next(12)
                               : 128 + noise.Next(25);
  });
}

inline std::shared_ptr<Polygon> Square(double x0, double y0, double x1, double y1) {
  return std::make_shared<Polygon>(kToken,
                                   std::vector<Point2D>{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

// A training item of `image` with a square inside the disc assigned to `disc` and two squares of
// background assigned to `background` (when given).
inline std::shared_ptr<SmartCore::SmartTrainData> DiscItem(
    const std::shared_ptr<IImage>& image, const Disc& disc,
    const std::shared_ptr<SmartCore::SmartLabel>& discLabel,
    const std::shared_ptr<SmartCore::SmartLabel>& backgroundLabel) {
  auto item = std::make_shared<SmartCore::SmartTrainData>(kToken, image, true);
  const double half = disc.radius * 0.5, size = image->Width();
  item->AddAssignment(discLabel,
                      Square(disc.cx - half, disc.cy - half, disc.cx + half, disc.cy + half));
  if (backgroundLabel) {
    item->AddAssignment(backgroundLabel, Square(2, 2, size * 0.2, size * 0.2));
    item->AddAssignment(backgroundLabel, Square(size * 0.8, size * 0.75, size - 2, size - 2));
  }
  return item;
}

inline double IntersectionOverUnion(const PixelMask& a, const PixelMask& b) {
  long long both = 0, either = 0;
  for (std::size_t i = 0; i < a.Data().size(); ++i) {
    both += a.Data()[i] && b.Data()[i];
    either += a.Data()[i] || b.Data()[i];
  }
  return either == 0 ? 1.0 : static_cast<double>(both) / static_cast<double>(either);
}

// The bytes of `object` saved alone through std::shared_ptr<IObject>, and back.
inline std::string SaveBytes(const std::shared_ptr<Tamrix::Vorn::IObject>& object) {
  std::ostringstream stream;
  Archiving::SaveObject(stream, object);
  return stream.str();
}
inline std::shared_ptr<Tamrix::Vorn::IObject> LoadBytes(const std::string& bytes) {
  std::istringstream stream(bytes);
  return Archiving::LoadObject(stream);
}

using Tamrix::Testing::MessageOf;

}  // namespace HelperTests
