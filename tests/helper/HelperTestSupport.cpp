#include "tests/helper/HelperTestSupport.h"

#include <algorithm>
#include <cmath>
#include <sstream>
#include <stdexcept>

#include "interfaces/core/ObjectArchive.h"
#include "interfaces/sys/SysLibrary.h"

namespace HelperTests {

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

CreateSegmenterAccessWrapperFunction HelperFactory() {
  static const CreateSegmenterAccessWrapperFunction factory = [] {
    SysLibraryHandle handle = nullptr;
    if (sysLoadLibrary(L"Tamrix.Vision.SmartSegmenterHelper.dll", &handle) < 0) {
      throw std::runtime_error(sysLastError());
    }
    SysProc function = nullptr;
    if (sysGetProcAddress(handle, "CreateSegmenterAccessWrapper", &function) < 0) {
      throw std::runtime_error(sysLastError());
    }
    return reinterpret_cast<CreateSegmenterAccessWrapperFunction>(function);
  }();
  return factory;
}

std::shared_ptr<ISmartSegmenterAccess> NewAccess() {
  std::shared_ptr<ISmartSegmenterAccess> access;
  if (HelperFactory()(&access) != 0 || !access) {
    throw std::runtime_error("the helper's factory gave no access object");
  }
  return access;
}

int Noise::Next(int amplitude) {
  state_ = state_ * 1664525u + 1013904223u;
  return static_cast<int>((state_ >> 8) % static_cast<std::uint32_t>(2 * amplitude + 1)) -
         amplitude;
}

PixelMask Disc::Truth(int width, int height) const {
  PixelMask mask(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) mask.Set(x, y, Contains(x, y));
  }
  return mask;
}

std::shared_ptr<Image8Grey> DiscImage(int size, const Disc& disc, int inside, int outside,
                                      int amplitude, std::uint32_t seed) {
  auto image = std::make_shared<Image8Grey>(kToken, size, size);
  Noise noise(seed);
  for (int y = 0; y < size; ++y) {
    std::uint8_t* row = image->MutableRow(y);
    for (int x = 0; x < size; ++x) {
      const int value = (disc.Contains(x, y) ? inside : outside) + noise.Next(amplitude);
      row[x] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    }
  }
  return image;
}

std::shared_ptr<Image8Grey> TexturedScene(int width, int height, const Disc& disc,
                                          std::uint32_t seed) {
  auto image = std::make_shared<Image8Grey>(kToken, width, height);
  Noise noise(seed);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = image->MutableRow(y);
    for (int x = 0; x < width; ++x) {
      const double stripes = 45.0 * std::sin(2.0 * 3.14159265358979 * x / 6.0);
      const int value = disc.Contains(x, y)
                            ? static_cast<int>(std::lround(128.0 + stripes)) + noise.Next(12)
                            : 128 + noise.Next(25);
      row[x] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    }
  }
  return image;
}

std::shared_ptr<Polygon> Square(double x0, double y0, double x1, double y1) {
  return std::make_shared<Polygon>(kToken,
                                   std::vector<Point2D>{{x0, y0}, {x1, y0}, {x1, y1}, {x0, y1}});
}

std::shared_ptr<SmartCore::SmartTrainData> DiscItem(
    const std::shared_ptr<IImage>& image, const Disc& disc,
    const std::shared_ptr<SmartCore::SmartLabel>& discLabel,
    const std::shared_ptr<SmartCore::SmartLabel>& backgroundLabel) {
  auto item = std::make_shared<SmartCore::SmartTrainData>(kToken, image, true);
  const double half = disc.radius * 0.5;
  item->AddAssignment(discLabel,
                      Square(disc.cx - half, disc.cy - half, disc.cx + half, disc.cy + half));
  if (backgroundLabel) {
    const double size = image->Width();
    item->AddAssignment(backgroundLabel, Square(2, 2, size * 0.2, size * 0.2));
    item->AddAssignment(backgroundLabel, Square(size * 0.8, size * 0.75, size - 2, size - 2));
  }
  return item;
}

double IntersectionOverUnion(const PixelMask& a, const PixelMask& b) {
  long long both = 0, either = 0;
  for (std::size_t i = 0; i < a.Data().size(); ++i) {
    both += a.Data()[i] && b.Data()[i];
    either += a.Data()[i] || b.Data()[i];
  }
  return either == 0 ? 1.0 : static_cast<double>(both) / static_cast<double>(either);
}

std::string SaveBytes(const std::shared_ptr<Tamrix::Vorn::IObject>& object) {
  std::ostringstream stream;
  Archiving::SaveObject(stream, object);
  return stream.str();
}

std::shared_ptr<Tamrix::Vorn::IObject> LoadBytes(const std::string& bytes) {
  std::istringstream stream(bytes);
  return Archiving::LoadObject(stream);
}

}  // namespace HelperTests
