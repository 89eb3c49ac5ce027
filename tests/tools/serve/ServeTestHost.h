// A browser host running in the test's process on a free loopback port, over a scratch folder
// holding demo scenes, with an HTTP client that talks to it.
#pragma once

#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>
#include <opencv2/imgcodecs.hpp>

#include "tests/tools/support/PictureMat.h"
#include "tests/tools/support/SmartsegRun.h"
#include "tools/smartseg/DemoScenes.h"
#include "tools/smartseg/serve/BrowserHost.h"

namespace ServeTest {

using Json = nlohmann::json;
namespace fs = std::filesystem;

using SmartsegTest::ReadText;
using SmartsegTest::Scratch;

// Writes the first `count` demo scenes as PNG images into `folder`.
inline void WriteScenes(const fs::path& folder, int count) {
  const auto scenes = Smartseg::MakeDemoScenes();
  for (int i = 0; i < count; ++i) {
    if (!cv::imwrite((folder / (scenes[i].name + ".png")).string(),
                     SmartsegTest::ToMat(scenes[i].image))) {
      throw std::runtime_error("cannot write a demo scene");
    }
  }
}

// Waits until `done` answers true, at most `seconds`; answers whether it did.
inline bool WaitFor(const std::function<bool()>& done, double seconds) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  while (std::chrono::steady_clock::now() < deadline) {
    if (done()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return done();
}

class RunningHost {
 public:
  explicit RunningHost(const fs::path& folder, Smartseg::Serve::HostOptions options = Quick()) {
    options.port = 0;
    host_ = std::make_unique<Smartseg::Serve::BrowserHost>(folder, options, log_);
    port_ = host_->Bind();
    thread_ = std::thread([this] { host_->Serve(); });
  }
  ~RunningHost() {
    host_->Stop();
    thread_.join();
  }
  RunningHost(const RunningHost&) = delete;
  RunningHost& operator=(const RunningHost&) = delete;

  static Smartseg::Serve::HostOptions Quick() {
    Smartseg::Serve::HostOptions options;
    options.debounce = std::chrono::milliseconds(20);
    options.saveWait = std::chrono::milliseconds(60000);
    return options;
  }

  int Port() const { return port_; }
  std::string Log() const { return log_.str(); }

  // A new client of the host (each holds its own connection).
  std::unique_ptr<httplib::Client> Client() const {
    auto client = std::make_unique<httplib::Client>("127.0.0.1", port_);
    client->set_read_timeout(std::chrono::seconds(60));
    return client;
  }

 private:
  std::ostringstream log_;
  std::unique_ptr<Smartseg::Serve::BrowserHost> host_;
  int port_ = 0;
  std::thread thread_;
};

struct Answer {
  int status = 0;
  Json body;
  std::string raw;
};

inline Answer Send(httplib::Client& client, const std::string& method, const std::string& path,
                   const std::string& body = "", const httplib::Headers& headers = {}) {
  const auto call = [&]() {
    if (method == "POST") return client.Post(path.c_str(), headers, body, "application/json");
    if (method == "PUT") return client.Put(path.c_str(), headers, body, "application/json");
    if (method == "DELETE") return client.Delete(path.c_str(), headers, body, "application/json");
    return client.Get(path.c_str(), headers);
  };
  const httplib::Result result = call();
  if (!result) throw std::runtime_error(method + " " + path + ": no answer");
  Answer answer{result->status, Json(), result->body};
  answer.body = Json::parse(result->body, nullptr, false);
  return answer;
}

// Adds labels, each of which must be accepted.
inline void AddLabels(httplib::Client& client, const std::vector<std::string>& names) {
  for (const std::string& name : names) {
    const Answer answer = Send(client, "POST", "/api/labels", Json{{"name", name}}.dump());
    EXPECT_EQ(answer.status, 200) << answer.raw;
  }
}

// Adds a shape to `image`, which must be accepted; answers its id.
inline long long AddShape(httplib::Client& client, const std::string& image, const Json& shape) {
  const Answer answer = Send(client, "POST", "/api/shapes?image=" + image, shape.dump());
  EXPECT_EQ(answer.status, 200) << answer.raw;
  return answer.body.is_object() ? answer.body.value("id", -1LL) : -1;
}

inline Json Rectangle(const std::string& label, double x0, double y0, double x1, double y1) {
  return {{"label", label}, {"type", "rectangle"}, {"points", {{x0, y0}, {x1, y1}}}};
}

}  // namespace ServeTest
