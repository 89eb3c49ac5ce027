// The browser host: an HTTP server for one folder, its session and its trainer.
#pragma once

#include <chrono>
#include <cstddef>
#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

namespace Smartseg::Serve {

struct HostOptions {
  std::string host = "127.0.0.1";
  // 0 picks a free port.
  int port = 8600;
  // Larger request bodies are refused with status 413.
  std::size_t maxBodyBytes = 4 * 1024 * 1024;
  // How long edits must pause before a training round starts.
  std::chrono::milliseconds debounce{120};
  // How long a save waits for the model to catch up with the edits before it saves it untrained.
  std::chrono::milliseconds saveWait{120000};
};

// The model file the host keeps in its folder.
constexpr const char* kModelFileName = "smartseg.model";

// True for names and addresses of this machine's loopback interface.
bool IsLoopbackHost(const std::string& host);

class BrowserHost {
 public:
  // Opens the folder and its model (see Session); nothing listens yet. Throws WorkError for a
  // folder that does not exist and a model file that cannot be loaded.
  BrowserHost(const std::filesystem::path& folder, const HostOptions& options, std::ostream& log);
  ~BrowserHost();
  BrowserHost(const BrowserHost&) = delete;
  BrowserHost& operator=(const BrowserHost&) = delete;

  // Binds the address; answers the port. Throws WorkError when it cannot be bound.
  int Bind();
  // Answers requests until Stop(); Bind() first.
  void Serve();
  // Stops serving and the trainer; safe from any thread, more than once.
  void Stop();

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace Smartseg::Serve
