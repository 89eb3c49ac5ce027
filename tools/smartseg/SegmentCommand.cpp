#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <map>

#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "tools/smartseg/Commands.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/ModelFile.h"
#include "tools/smartseg/Progress.h"
#include "tools/smartseg/SegmentationOutput.h"

namespace Smartseg {
namespace {

void PrepareFolder(const std::filesystem::path& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  if (error) throw WorkError(folder, "cannot create the output folder: " + error.message());
  if (!std::filesystem::is_directory(folder, error)) {
    throw WorkError(folder, "the output path is not a folder");
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    throw WorkError(folder, "the output folder is not writable");
  }
}

// The results of one execution, reordered into the model's label order.
std::vector<LabelResult> InLabelOrder(
    const Operator& model, const Tamrix::Vision::SmartCore::SmartSegmenterResults& results) {
  std::map<std::string, std::shared_ptr<Tamrix::Vision::SmartCore::ISmartSegmenterResult>> byName;
  for (int i = 0; i < results.Count(); ++i) {
    const auto result = results.Item(i);
    if (result) byName.emplace(result->LabelName(), result);
  }
  std::vector<LabelResult> ordered;
  const auto labels = model.Labels();
  for (int i = 0; i < labels->Count(); ++i) {
    const std::string name = labels->Item(i)->Name();
    const auto found = byName.find(name);
    ordered.push_back({name, found == byName.end() ? nullptr : found->second});
  }
  return ordered;
}

}  // namespace

int RunSegment(const SegmentOptions& options) {
  ApplyThreads(options.threads);
  // Inputs are checked before anything is written: two images must not write the same files,
  // and every image must at least exist.
  std::map<std::string, std::filesystem::path> stems;
  for (const auto& image : options.images) {
    const std::string stem = image.stem().string();
    const auto [previous, fresh] = stems.emplace(stem, image);
    if (!fresh) {
      throw UsageError(image.string() + " and " + previous->second.string() +
                       " would write the same files (both are named '" + stem + "')");
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(image, error)) throw WorkError(image, "no such file");
  }
  const std::shared_ptr<Operator> model = LoadModel(options.model);
  if (model->IsDirty() || model->Labels()->Count() == 0) {
    throw WorkError(options.model, "the model has not been trained");
  }
  PrepareFolder(options.out);

  Tamrix::Vision::SmartCore::ISmartSegmenter& segmenter = *model;
  Progress progress("segmenting image", static_cast<int>(options.images.size()), options.quiet);
  int index = 0;
  for (const auto& image : options.images) {
    progress.Step(++index, image.string());
    const LoadedImage loaded = ReadImage(image);
    const auto start = std::chrono::steady_clock::now();
    std::shared_ptr<Tamrix::Vision::SmartCore::SmartSegmenterResults> results;
    try {
      results = segmenter.Execute(*loaded.image, nullptr);
    } catch (const std::exception& failure) {
      throw WorkError(image, std::string("segmentation failed: ") + failure.what());
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    SegmentationFiles files;
    files.folder = options.out;
    files.stem = image.stem().string();
    files.imageName = image.string();
    files.pixels = loaded.pixels;
    files.labels = InLabelOrder(*model, *results);
    files.probabilities = options.probabilities;
    files.seconds = seconds;
    WriteSegmentation(files);
    std::printf("%s: segmented in %.2f s; wrote %s\n", image.string().c_str(), seconds,
                (options.out / (files.stem + ".json")).string().c_str());
  }
  return kExitSuccess;
}

}  // namespace Smartseg
