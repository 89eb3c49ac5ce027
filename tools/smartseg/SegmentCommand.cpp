#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <future>
#include <map>
#include <system_error>
#include <vector>

#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Commands.h"
#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/FileSet.h"
#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/ModelFile.h"
#include "tools/smartseg/Progress.h"
#include "tools/smartseg/SegmentationOutput.h"

namespace Smartseg {
namespace {

// The folders a run created for its outputs, outermost first, removed again (as long as they are
// empty) when the run fails, so that a refused image leaves nothing behind.
class CreatedFolders {
 public:
  void Add(std::filesystem::path folder) { folders_.push_back(std::move(folder)); }
  void Keep() { folders_.clear(); }
  ~CreatedFolders() {
    std::error_code ignored;
    for (auto it = folders_.rbegin(); it != folders_.rend(); ++it) {
      // Removes only an empty folder; anything a user or another run put there stays.
      if (std::filesystem::is_empty(*it, ignored)) std::filesystem::remove(*it, ignored);
    }
  }

 private:
  std::vector<std::filesystem::path> folders_;
};

void PrepareFolder(const std::filesystem::path& folder, bool quiet, CreatedFolders& created) {
  std::error_code error;
  std::vector<std::filesystem::path> missing;
  for (std::filesystem::path at = folder; !at.empty() && !std::filesystem::exists(at, error);
       at = at.parent_path()) {
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) created.Add(*it);
  std::filesystem::create_directories(folder, error);
  if (error) throw WorkError(folder, "cannot create the output folder: " + error.message());
  if (!std::filesystem::is_directory(folder, error)) {
    throw WorkError(folder, "the output path is not a folder");
  }
  if (access(folder.c_str(), W_OK | X_OK) != 0) {
    throw WorkError(folder, "the output folder is not writable");
  }
  const int removed = RemoveStaleTemporaries(folder);
  if (removed > 0 && !quiet) {
    Warn(folder.string() + ": removed " + std::to_string(removed) +
         " temporary file(s) left by an interrupted smartseg run");
  }
}

// The same file however it is named, for files that exist; otherwise the same normalised path.
std::string Identity(const std::filesystem::path& path) {
  std::error_code error;
  const auto canonical = std::filesystem::weakly_canonical(path, error);
  return (error ? std::filesystem::absolute(path, error) : canonical).lexically_normal().string();
}

// True when `path` is missing or holds a summary an earlier segment run wrote, which a new run may
// replace; a LabelMe annotation beside its image has the same name and must not be.
bool ReplaceableSummary(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::exists(path, error)) return true;
  try {
    const nlohmann::json json = nlohmann::json::parse(ReadWholeFile(path));
    return json.is_object() && json.contains("labels") && json.contains("seconds") &&
           !json.contains("shapes");
  } catch (const std::exception&) {
    return false;
  }
}

// Refuses a run in which one output would be written twice, or would replace an input (an image
// or the model), before anything is written.
void CheckOutputPlan(const SegmentOptions& options, const Operator& model) {
  std::map<std::string, std::filesystem::path> inputs;
  for (const auto& image : options.images) inputs.emplace(Identity(image), image);
  inputs.emplace(Identity(options.model), options.model);
  std::map<std::string, std::pair<std::filesystem::path, std::filesystem::path>> planned;
  SegmentationFiles files;
  files.folder = options.out;
  files.probabilities = options.probabilities;
  const auto labels = model.Labels();
  for (int i = 0; i < labels->Count(); ++i) files.labels.push_back({labels->Item(i)->Name(), {}});
  for (const auto& image : options.images) {
    files.stem = image.stem().string();
    for (const auto& output : SegmentationFileNames(files)) {
      if (output.filename().string().size() > 255) {
        throw UsageError(output.string() + ": the file name would be longer than 255 bytes; " +
                         "shorten the label name or the image name");
      }
      const std::string identity = Identity(output);
      const auto input = inputs.find(identity);
      if (input != inputs.end()) {
        throw UsageError(output.string() + ", an output of " + image.string() +
                         ", would replace the input " + input->second.string() +
                         "; choose another --out folder");
      }
      const auto [previous, fresh] = planned.emplace(identity, std::make_pair(output, image));
      if (!fresh) {
        throw UsageError(output.string() + " would be written twice, for " +
                         previous->second.second.string() + " and for " + image.string() +
                         "; segment them into different --out folders");
      }
    }
    const auto summary = options.out / (files.stem + ".json");
    if (!ReplaceableSummary(summary)) {
      throw UsageError(summary.string() +
                       " exists and is not a smartseg summary (an annotation?); "
                       "choose another --out folder so that it is not replaced");
    }
  }
}

// Images up to this many pixels are read while the one before is segmented: holding a second
// such image costs little, and its decoding then overlaps the segmentation.
constexpr double kReadAheadPixels = 16.0 * 1024 * 1024;

// Reads `path` when asked for, or, `inBackground`, on a thread of its own so that decoding
// overlaps other work (and when asked for where no thread can start).
std::future<LoadedImage> ReadAhead(const std::filesystem::path& path, bool inBackground = true) {
  const auto read = [path] { return ReadImage(path); };
  if (!inBackground) return std::async(std::launch::deferred, read);
  try {
    return std::async(std::launch::async, read);
  } catch (const std::system_error&) {
    return std::async(std::launch::deferred, read);
  }
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
    const auto status = std::filesystem::status(image, error);
    if (!std::filesystem::exists(status)) throw WorkError(image, "no such file");
    if (std::filesystem::is_directory(status)) {
      throw WorkError(image, "is a folder, not an image file (name the images in it)");
    }
  }
  if (options.images.empty()) return kExitSuccess;
  // The first image is decoded while the model loads.
  std::future<LoadedImage> nextImage = ReadAhead(options.images.front());
  const std::shared_ptr<Operator> model = LoadModel(options.model);
  if (model->IsDirty() || model->Labels()->Count() == 0) {
    throw WorkError(options.model, "the model has not been trained");
  }
  CheckOutputPlan(options, *model);
  CreatedFolders created;
  PrepareFolder(options.out, options.quiet, created);

  Tamrix::Vision::SmartCore::ISmartSegmenter& segmenter = *model;
  Progress progress("segmenting image", static_cast<int>(options.images.size()), options.quiet);
  int index = 0;
  for (const auto& image : options.images) {
    progress.Step(++index, image.string());
    const LoadedImage loaded = nextImage.get();
    if (static_cast<std::size_t>(index) < options.images.size()) {
      const auto& following = options.images[static_cast<std::size_t>(index)];
      nextImage = ReadAhead(
          following,
          static_cast<double>(loaded.pixels.Width()) * loaded.pixels.Height() <= kReadAheadPixels);
    }
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
    created.Keep();
    std::printf("%s: segmented in %.2f s; wrote %s\n", PrintableText(image.string()).c_str(),
                seconds, PrintableText((options.out / (files.stem + ".json")).string()).c_str());
  }
  return kExitSuccess;
}

}  // namespace Smartseg
