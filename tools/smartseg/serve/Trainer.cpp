#include "tools/smartseg/serve/Trainer.h"

#include <sstream>

#include "interfaces/core/ObjectArchive.h"
#include "interfaces/smartcore/ISmartSegmenter.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/SegmentationOutput.h"
#include "tools/smartseg/serve/ApiError.h"

namespace Smartseg::Serve {
namespace {

using Clock = std::chrono::steady_clock;
using Json = nlohmann::json;

// Predictions kept: the images a user switches between.
constexpr std::size_t kKeptPredictions = 4;
constexpr const char* kBatchFolder = "segmented";

double Seconds(Clock::time_point since) {
  return std::chrono::duration<double>(Clock::now() - since).count();
}

std::shared_ptr<Operator> LoadCopy(const std::string& archive) {
  std::istringstream stream(archive);
  auto model = std::dynamic_pointer_cast<Operator>(Tamrix::Vision::Archiving::LoadObject(stream));
  if (!model) throw std::runtime_error("the operator's snapshot holds no operator");
  return model;
}

std::vector<LabelResult> Segment(Operator& model, const LoadedImage& image) {
  Tamrix::Vision::SmartCore::ISmartSegmenter& segmenter = model;
  return InLabelOrder(model, *segmenter.Execute(*image.image, nullptr));
}

}  // namespace

Trainer::Trainer(Session& session, std::chrono::milliseconds debounce)
    : session_(session), debounce_(debounce) {
  // A model that arrives dirty (imported annotations, an untrained file) is trained at once.
  editPending_ = true;
  thread_ = std::thread([this] { Run(); });
}

Trainer::~Trainer() { Stop(); }

void Trainer::Stop() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stop_ = true;
  }
  wake_.notify_all();
  roundDone_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Trainer::EditMade() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    editPending_ = true;
    lastEdit_ = Clock::now();
  }
  wake_.notify_all();
}

void Trainer::Focus(const std::string& image) {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (focus_ == image && predictions_.count(image) != 0) return;
    focus_ = image;
    focusChanged_ = true;
  }
  wake_.notify_all();
}

std::shared_ptr<const Prediction> Trainer::PredictionOf(const std::string& image) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto found = predictions_.find(image);
  return found == predictions_.end() ? nullptr : found->second;
}

bool Trainer::WaitForRound(long long generation, std::chrono::milliseconds timeout) {
  std::unique_lock<std::mutex> lock(mutex_);
  return roundDone_.wait_for(lock, timeout, [&] {
    return stop_ || finishedGeneration_ >= generation;
  }) && finishedGeneration_ >= generation;
}

void Trainer::StartBatch() {
  // Asked before the lock: edits hold the session's lock while they wake the trainer, so the
  // trainer's lock is never held while the session's is taken.
  const int total = static_cast<int>(session_.ImageNames().size());
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (batch_.running || batchRequested_) {
      throw ApiError(409, "the folder is being segmented already");
    }
    batchRequested_ = true;
    batch_ = Batch{};
    batch_.running = true;
    batch_.total = total;
  }
  wake_.notify_all();
}

Json Trainer::Status() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {{"training", training_ || editPending_},
          {"trainedGeneration", trainedGeneration_},
          {"error", error_},
          {"lastRound",
           {{"seconds", lastRound_.total},
            {"copySeconds", lastRound_.copy},
            {"trainSeconds", lastRound_.train},
            {"segmentSeconds", lastRound_.segment}}},
          {"batch",
           {{"running", batch_.running},
            {"done", batch_.done},
            {"total", batch_.total},
            {"image", batch_.image},
            {"error", batch_.error},
            {"folder", kBatchFolder}}}};
}

void Trainer::Run() {
  std::unique_lock<std::mutex> lock(mutex_);
  while (!stop_) {
    wake_.wait(lock, [&] { return stop_ || editPending_ || focusChanged_ || batchRequested_; });
    if (stop_) break;
    if (editPending_) {
      const auto due = lastEdit_ + debounce_;
      if (Clock::now() < due) {
        // Edits keep coming: wait for the pause (a new edit moves `due`).
        wake_.wait_until(lock, due, [&] { return stop_; });
        continue;
      }
    }
    editPending_ = false;
    focusChanged_ = false;
    const bool batch = batchRequested_;
    batchRequested_ = false;
    const std::string focus = focus_;
    training_ = true;
    lock.unlock();
    Round(focus, batch);
    lock.lock();
    training_ = false;
  }
}

void Trainer::Round(const std::string& focus, bool batch) {
  const auto start = Clock::now();
  std::string error;
  std::shared_ptr<const Prediction> prediction;
  Session::Snapshot snapshot;
  bool trained = false;
  RoundPhases phases;
  try {
    snapshot = session_.TakeSnapshot();
    const std::shared_ptr<Operator> model = LoadCopy(snapshot.archive);
    phases.copy = Seconds(start);
    const auto trainStart = Clock::now();
    if (snapshot.dirty) model->Train();
    phases.train = Seconds(trainStart);
    trained = !model->IsDirty();
    if (!focus.empty() && trained && snapshot.hasTrainingData) {
      const auto image = session_.Image(focus);
      const auto segmentStart = Clock::now();
      const auto results = Segment(*model, *image);
      auto made = MakePrediction(focus, snapshot.generation, image->pixels.Width(),
                                 image->pixels.Height(), results);
      made->seconds = Seconds(segmentStart);
      phases.segment = made->seconds;
      prediction = std::move(made);
    }
    if (batch) RunBatch(*model);
    if (snapshot.dirty && trained) session_.Publish(model, snapshot.generation);
  } catch (const std::exception& failure) {
    error = failure.what();
    if (batch) {
      std::lock_guard<std::mutex> lock(mutex_);
      batch_.error = error;
    }
  }
  {
    std::lock_guard<std::mutex> lock(mutex_);
    finishedGeneration_ = std::max(finishedGeneration_, snapshot.generation);
    if (trained) trainedGeneration_ = std::max(trainedGeneration_, snapshot.generation);
    error_ = error;
    if (batch) batch_.running = false;
    phases.total = Seconds(start);
    lastRound_ = phases;
    if (prediction) {
      predictions_[prediction->image] = prediction;
      while (predictions_.size() > kKeptPredictions) {
        auto drop = predictions_.begin();
        if (drop->first == focus) ++drop;
        predictions_.erase(drop);
      }
    }
  }
  roundDone_.notify_all();
}

void Trainer::RunBatch(Operator& model) {
  if (model.IsDirty() || model.Labels()->Count() == 0 ||
      model.SmartTrainDataDatabase()->TrainingData()->Count() == 0) {
    throw std::runtime_error(
        "there is no trained model to segment with; add labels and shapes first");
  }
  const auto folder = session_.Folder().Root() / kBatchFolder;
  std::error_code error;
  if (std::filesystem::is_symlink(folder, error)) {
    throw WorkError(folder, "is a symbolic link; the host does not write through links");
  }
  std::filesystem::create_directory(folder, error);
  if (error) throw WorkError(folder, "cannot create the folder: " + error.message());
  const std::vector<std::string> names = session_.ImageNames();
  for (const std::string& name : names) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (stop_) return;
      batch_.image = name;
    }
    const auto image = session_.Image(name);
    const auto start = Clock::now();
    SegmentationFiles files;
    files.labels = Segment(model, *image);
    files.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    files.folder = folder;
    files.stem = std::filesystem::path(name).stem().string();
    files.imageName = name;
    files.pixels = image->pixels;
    WriteSegmentation(files);
    std::lock_guard<std::mutex> lock(mutex_);
    ++batch_.done;
  }
}

}  // namespace Smartseg::Serve
