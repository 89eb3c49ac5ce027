// Demonstrates the engine end to end on synthetic data: binds the helper module the way the
// operator does, trains one segmenter per label, segments, saves and reloads the segmenters and
// checks that they segment as before. Exits 0 when every check passes.
//
// Usage: framework-demo [archive file]   (default: a file in the system's temporary folder)
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/Polygon.h"
#include "interfaces/engine/ISmartSegmenterAccess.h"
#include "interfaces/engine/Segmenter.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "interfaces/sys/SysLibrary.h"

namespace {

using namespace Tamrix::Vision;
using namespace Tamrix::Vision::SmartSegmenter;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;
constexpr int kSize = 256;
constexpr double kSampleSize = 5.0;
constexpr double kRequiredIoU = 0.9;

struct DemoFailure : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// The ground truth of a scene: a disc; a pixel belongs to it when its centre does.
struct Disc {
  double cx, cy, radius;
  bool Contains(int x, int y) const {
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= radius * radius;
  }
};

// A bright disc with a wavy texture on a darker background with diagonal stripes, both noisy.
std::shared_ptr<Image8Grey> SceneImage(const Disc& disc, std::uint32_t seed) {
  auto image = std::make_shared<Image8Grey>(kToken, kSize, kSize);
  std::uint32_t state = seed;
  const auto noise = [&state](int amplitude) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % static_cast<std::uint32_t>(2 * amplitude + 1)) -
           amplitude;
  };
  for (int y = 0; y < kSize; ++y) {
    std::uint8_t* row = image->MutableRow(y);
    for (int x = 0; x < kSize; ++x) {
      const double base = disc.Contains(x, y) ? 175.0 + 15.0 * std::sin(x / 3.0) * std::cos(y / 4.0)
                                              : 85.0 + 12.0 * std::sin((x + y) / 5.0);
      const int value = static_cast<int>(std::lround(base)) + noise(25);
      row[x] = static_cast<std::uint8_t>(std::clamp(value, 0, 255));
    }
  }
  return image;
}

std::shared_ptr<Polygon> MakePolygon(std::vector<Point2D> vertices) {
  return std::make_shared<Polygon>(kToken, std::move(vertices));
}

// Binds the helper module exactly as the operator does and returns a new access object.
std::shared_ptr<ISmartSegmenterAccess> BindHelper() {
  const std::wstring file = L"Tamrix.Vision.SmartSegmenterHelper.dll";
  SysLibraryHandle handle = nullptr;
  if (sysLoadLibrary(file, &handle) < 0) {
    throw DemoFailure("cannot load the engine helper: " + sysLastError());
  }
  SysProc function = nullptr;
  if (sysGetProcAddress(handle, "CreateSegmenterAccessWrapper", &function) < 0) {
    throw DemoFailure("the engine helper has no factory: " + sysLastError());
  }
  const auto factory = reinterpret_cast<CreateSegmenterAccessWrapperFunction>(function);
  std::shared_ptr<ISmartSegmenterAccess> access;
  factory(&access);
  if (!access) throw DemoFailure("the engine helper's factory returned no access object");
  return access;
}

double IoU(const PixelMask& mask, const Disc& disc, bool inside) {
  long long both = 0, either = 0;
  for (int y = 0; y < mask.Height(); ++y) {
    for (int x = 0; x < mask.Width(); ++x) {
      const bool truth = disc.Contains(x, y) == inside;
      both += mask.At(x, y) && truth;
      either += mask.At(x, y) || truth;
    }
  }
  return either == 0 ? 1.0 : static_cast<double>(both) / static_cast<double>(either);
}

void SaveSegmenters(const std::string& path, const std::vector<std::shared_ptr<Segmenter>>& list) {
  std::ofstream stream(path, std::ios::binary);
  if (!stream) throw DemoFailure("cannot create the archive file " + path);
  cereal::PortableBinaryOutputArchive archive(stream);
  Archiving::SaveCount(archive, list.size());
  for (const auto& segmenter : list) {
    archive(std::static_pointer_cast<Tamrix::Vorn::IObject>(segmenter));
  }
}

std::vector<std::shared_ptr<Segmenter>> LoadSegmenters(const std::string& path) {
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw DemoFailure("cannot open the archive file " + path);
  cereal::PortableBinaryInputArchive archive(stream);
  std::vector<std::shared_ptr<Tamrix::Vorn::IObject>> objects;
  Archiving::LoadVector(archive, objects);
  std::vector<std::shared_ptr<Segmenter>> list;
  for (const auto& object : objects) {
    auto segmenter = std::dynamic_pointer_cast<Segmenter>(object);
    if (!segmenter) throw DemoFailure("the archive holds something other than a segmenter");
    // What the operator does after loading: the model brings its derived state up to date.
    if (segmenter->Model()) segmenter->Model()->UpdateTrainingParametersAndTrainCache();
    list.push_back(std::move(segmenter));
  }
  return list;
}

struct Scene {
  const char* name;
  Disc disc;
  std::shared_ptr<Image8Grey> image;
};

int Run(int argc, char** argv) {
  const std::string archivePath =
      argc > 1 ? argv[1]
               : (std::filesystem::temp_directory_path() / "tamrix_framework_demo.bin").string();

  const Scene training{"training image", {128, 120, 60}, nullptr};
  const Scene test{"test image", {120, 136, 52}, nullptr};
  std::vector<Scene> scenes = {training, test};
  scenes[0].image = SceneImage(scenes[0].disc, 17);
  scenes[1].image = SceneImage(scenes[1].disc, 4242);

  auto discLabel = std::make_shared<SmartCore::SmartLabel>(kToken, "disc");
  auto backgroundLabel = std::make_shared<SmartCore::SmartLabel>(kToken, "background");
  auto database = std::make_shared<SmartCore::SmartTrainDataDatabase>(kToken);
  auto item = std::make_shared<SmartCore::SmartTrainData>(kToken, scenes[0].image, true);
  item->AddAssignment(discLabel, MakePolygon({{105, 95}, {150, 100}, {155, 140}, {110, 145}}));
  item->AddAssignment(backgroundLabel, MakePolygon({{10, 10}, {60, 12}, {40, 50}, {12, 45}}));
  item->AddAssignment(backgroundLabel,
                      MakePolygon({{200, 190}, {245, 200}, {240, 245}, {195, 240}}));
  database->Add(item);
  database->Verify();

  auto access = BindHelper();
  std::vector<std::shared_ptr<Segmenter>> segmenters = {access->CreateSegmenter(discLabel),
                                                        access->CreateSegmenter(backgroundLabel)};
  for (const auto& segmenter : segmenters) segmenter->Train(*database, kSampleSize);

  std::vector<std::vector<std::shared_ptr<SmartSegmenterResult>>> before(segmenters.size());
  for (std::size_t s = 0; s < segmenters.size(); ++s) {
    for (const auto& scene : scenes)
      before[s].push_back(segmenters[s]->Execute(*scene.image, nullptr));
  }

  SaveSegmenters(archivePath, segmenters);
  const auto archiveBytes = std::filesystem::file_size(archivePath);
  const auto loaded = LoadSegmenters(archivePath);
  if (loaded.size() != segmenters.size()) throw DemoFailure("the archive lost segmenters");

  bool ok = true;
  std::printf("Segmenters saved to %s (%llu bytes) and loaded back.\n\n", archivePath.c_str(),
              static_cast<unsigned long long>(archiveBytes));
  for (std::size_t s = 0; s < loaded.size(); ++s) {
    const std::string name = loaded[s]->Label()->Name();
    const bool inside = name == "disc";
    std::printf("Label '%s': %s\n", name.c_str(), segmenters[s]->Model()->Describe().c_str());
    for (std::size_t i = 0; i < scenes.size(); ++i) {
      const auto after = loaded[s]->Execute(*scenes[i].image, nullptr);
      const auto& first = *before[s][i];
      const double iou = IoU(first.Mask(), scenes[i].disc, inside);
      const bool same = after->Mask().Data() == first.Mask().Data() &&
                        after->Probabilities() == first.Probabilities() &&
                        after->LabelName() == first.LabelName();
      std::printf("  %-14s area %6lld px  IoU %.4f  after round trip: %s\n", scenes[i].name,
                  first.Area(), iou, same ? "identical" : "DIFFERENT");
      if (iou < kRequiredIoU) {
        std::fprintf(stderr, "FAILED: IoU of '%s' on the %s is %.4f, expected at least %.2f\n",
                     name.c_str(), scenes[i].name, iou, kRequiredIoU);
        ok = false;
      }
      if (!same) {
        std::fprintf(stderr, "FAILED: '%s' segments the %s differently after loading\n",
                     name.c_str(), scenes[i].name);
        ok = false;
      }
    }
  }
  std::printf("\n%s\n", ok ? "All checks passed." : "Some checks FAILED.");
  return ok ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
  try {
    return Run(argc, argv);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "framework-demo failed: %s\n", error.what());
    return 2;
  }
}
