// The browser host's background worker: the only thread that runs the engine.
//
// After an edit it waits until the edits pause (the debounce), copies the session's operator
// through the archive, trains the copy (incrementally unless the operator requires a full
// retraining), segments the image the user looks at with it, and hands the copy back to the
// session when nothing was edited meanwhile. Edits therefore never wait for training, and a
// training round that edits overtook still shows its prediction while the next round runs.
// It also runs the "segment the folder" batch, one image after the other.
//
// Thread-safety: every public member may be called from any thread.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <nlohmann/json.hpp>

#include "tools/smartseg/serve/Prediction.h"
#include "tools/smartseg/serve/Session.h"

namespace Smartseg::Serve {

class Trainer {
 public:
  Trainer(Session& session, std::chrono::milliseconds debounce);
  ~Trainer();
  Trainer(const Trainer&) = delete;
  Trainer& operator=(const Trainer&) = delete;

  // Ends the worker after the step it is in.
  void Stop();

  // An edit was made: train once the edits pause.
  void EditMade();
  // The user looks at `image`: segment it with the latest model unless that was done already.
  void Focus(const std::string& image);
  // The latest segmentation of `image`, or null.
  std::shared_ptr<const Prediction> PredictionOf(const std::string& image) const;

  // Waits until a training round has finished for a generation of at least `generation` (trained
  // or failed), at most `timeout`; answers whether it has.
  bool WaitForRound(long long generation, std::chrono::milliseconds timeout);

  // Starts segmenting every image of the folder into FOLDER/segmented. Throws ApiError(409) while
  // a batch runs.
  void StartBatch();

  // {"training", "trainedGeneration", "error", "lastRound": {"seconds", "copySeconds",
  // "trainSeconds", "segmentSeconds"}, "batch": {"running", "done", "total", "image", "error",
  // "folder"}}.
  nlohmann::json Status() const;

 private:
  void Run();
  void Round(const std::string& focus, bool batch);
  void RunBatch(Operator& model);

  Session& session_;
  const std::chrono::milliseconds debounce_;

  mutable std::mutex mutex_;
  std::condition_variable wake_;
  std::condition_variable roundDone_;
  bool stop_ = false;
  bool editPending_ = false;
  bool batchRequested_ = false;
  bool training_ = false;
  std::chrono::steady_clock::time_point lastEdit_;
  std::string focus_;
  bool focusChanged_ = false;
  long long finishedGeneration_ = -1;
  long long trainedGeneration_ = -1;
  std::string error_;
  // Where the time of the last round went: copying the operator, training, segmenting.
  struct RoundPhases {
    double total = 0.0;
    double copy = 0.0;
    double train = 0.0;
    double segment = 0.0;
  } lastRound_;
  std::map<std::string, std::shared_ptr<const Prediction>> predictions_;
  struct Batch {
    bool running = false;
    int done = 0;
    int total = 0;
    std::string image;
    std::string error;
  } batch_;

  std::thread thread_;
};

}  // namespace Smartseg::Serve
