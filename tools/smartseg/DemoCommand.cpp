#include <cstdio>
#include <numeric>

#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Commands.h"
#include "tools/smartseg/DemoScenes.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/LabelMe.h"
#include "tools/smartseg/ModelFile.h"

namespace Smartseg {
namespace {

void MakeFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw WorkError(folder, "cannot create the folder: " + error.message());
}

// The scene's image, LabelMe annotation and ground truth, written where the demo expects them.
std::filesystem::path WriteScene(const DemoScene& scene, const std::filesystem::path& data,
                                 const std::filesystem::path& truth) {
  const auto imagePath = data / (scene.name + ".png");
  WriteFileAtomically(imagePath, EncodePng(scene.image, imagePath));
  const auto truthPath = truth / (scene.name + "_truth.png");
  WriteFileAtomically(truthPath, EncodePng(scene.truth, truthPath));
  auto annotationPath = data / (scene.name + ".json");
  const auto document = MakeLabelMeDocument(scene.name + ".png", scene.image.Width(),
                                            scene.image.Height(), scene.annotations);
  WriteFileAtomically(annotationPath, document.dump(2) + "\n");
  return annotationPath;
}

}  // namespace

int RunDemo(const DemoOptions& options) {
  const auto data = options.out / "data";
  const auto truth = options.out / "truth";
  const auto segmented = options.out / "segmented";
  const auto modelPath = options.out / "demo.model";
  MakeFolder(data);
  MakeFolder(truth);

  const std::vector<DemoScene> scenes = MakeDemoScenes();
  TrainOptions train;
  train.model = modelPath;
  train.threads = options.threads;
  train.quiet = options.quiet;
  train.retrain = true;
  std::vector<std::filesystem::path> images;
  for (const DemoScene& scene : scenes) {
    const auto annotation = WriteScene(scene, data, truth);
    if (scene.forTraining) train.annotations.push_back(annotation.string());
    images.push_back(data / (scene.name + ".png"));
  }
  std::printf("Demo data written to %s (%zu scenes, ground truth in %s)\n", data.string().c_str(),
              scenes.size(), truth.string().c_str());

  // A fresh model each time, so that running the demo twice gives the same result.
  std::error_code ignored;
  std::filesystem::remove(modelPath, ignored);
  RunTrain(train);

  SegmentOptions segment;
  segment.model = modelPath;
  segment.out = segmented;
  segment.threads = options.threads;
  segment.quiet = options.quiet;
  segment.images = images;
  RunSegment(segment);

  const auto& names = DemoLabelNames();
  std::vector<double> all;
  std::printf("\nIoU against the ground truth (labels: ");
  for (std::size_t k = 0; k < names.size(); ++k)
    std::printf("%s%s", k ? ", " : "", names[k].c_str());
  std::printf(")\n");
  for (const DemoScene& scene : scenes) {
    const auto labelsPath = segmented / (scene.name + "_labels.png");
    const LoadedImage predicted = ReadImage(labelsPath);
    const auto iou = LabelIoU(predicted.pixels, scene.truth, static_cast<int>(names.size()));
    std::printf("  %s%s:", scene.name.c_str(), scene.forTraining ? "" : " (not trained on)");
    for (const double value : iou) std::printf(" %.3f", value);
    std::printf("\n");
    all.insert(all.end(), iou.begin(), iou.end());
  }
  const double mean =
      std::accumulate(all.begin(), all.end(), 0.0) / static_cast<double>(all.size());
  std::printf("Mean IoU: %.3f\n", mean);
  std::printf("Model:    %s\n", modelPath.string().c_str());
  std::printf("Overlay:  %s\n",
              (segmented / (scenes.back().name + "_overlay.png")).string().c_str());
  std::printf("Results:  %s\n", segmented.string().c_str());
  return kExitSuccess;
}

}  // namespace Smartseg
