// Requests a hostile page or user could send: names that try to leave the folder, bodies that are
// not JSON or too large, other sites' Origin and Host headers. Each gets a JSON error with the
// right status, and the server keeps answering afterwards. Then the starts that are refused.
#include <signal.h>
#include <unistd.h>

#include "tests/support/MessageOf.h"
#include "tests/tools/serve/ServeTestHost.h"

namespace ServeTest {
namespace {

class RequestSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = scratch_.Path() / "images";
    fs::create_directory(folder_);
    WriteScenes(folder_, 1);
    // A secret beside the folder, and a link inside it that leads there.
    cv::imwrite((scratch_.Path() / "secret.png").string(), cv::Mat(4, 4, CV_8UC1, cv::Scalar(7)));
    fs::create_symlink(scratch_.Path() / "secret.png", folder_ / "link.png");
    host_ = std::make_unique<RunningHost>(folder_);
    client_ = host_->Client();
  }

  void ExpectError(const Answer& answer, int status, const std::string& fragment) {
    EXPECT_EQ(answer.status, status) << answer.raw;
    ASSERT_TRUE(answer.body.is_object()) << answer.raw;
    EXPECT_EQ(answer.body.value("status", 0), status);
    EXPECT_NE(answer.body.value("error", std::string()).find(fragment), std::string::npos)
        << answer.raw;
  }

  void ExpectStillServing() {
    const Answer state = Send(*client_, "GET", "/api/state");
    EXPECT_EQ(state.status, 200);
  }

  Scratch scratch_;
  fs::path folder_;
  std::unique_ptr<RunningHost> host_;
  std::unique_ptr<httplib::Client> client_;
};

struct NameCase {
  const char* query;
  int status;
  const char* fragment;
};

TEST_F(RequestSafety, NamesThatLeaveTheFolderAreRefused) {
  const NameCase cases[] = {
      {"image=..%2Fsecret.png", 400, "not a plain file name"},
      {"image=%2Fetc%2Fpasswd", 400, "not a plain file name"},
      {"image=..", 400, "starts with a dot"},
      {"image=.hidden.png", 400, "starts with a dot"},
      {"image=sub%5Cscene1.png", 400, "path separator"},
      {"image=scene1.png%00.txt", 400, "control character"},
      {"image=", 400, "empty"},
      {"image=link.png", 403, "leads outside the served folder"},
      {"image=missing.png", 404, "not in the served folder"},
      {"image=smartseg.model", 404, "not an image of the folder"},
  };
  for (const NameCase& entry : cases) {
    SCOPED_TRACE(entry.query);
    ExpectError(Send(*client_, "GET", std::string("/api/pixels?") + entry.query), entry.status,
                entry.fragment);
  }
  // The listing leaves the link out as well.
  const Answer state = Send(*client_, "GET", "/api/state");
  ASSERT_EQ(state.body["images"].size(), 1u);
  EXPECT_EQ(state.body["images"][0]["name"], "scene1.png");
  ExpectStillServing();
}

TEST_F(RequestSafety, ShapesOnForeignFilesAreRefused) {
  ASSERT_EQ(Send(*client_, "POST", "/api/labels", R"({"name":"a"})").status, 200);
  const std::string shape = Rectangle("a", 1, 1, 5, 5).dump();
  ExpectError(Send(*client_, "POST", "/api/shapes?image=..%2Fsecret.png", shape), 400,
              "not a plain file name");
  ExpectError(Send(*client_, "POST", "/api/shapes?image=link.png", shape), 403,
              "leads outside the served folder");
  ExpectStillServing();
}

struct BodyCase {
  const char* method;
  const char* path;
  const char* body;
  int status;
  const char* fragment;
};

TEST_F(RequestSafety, BadBodiesGetJsonErrors) {
  ASSERT_EQ(Send(*client_, "POST", "/api/labels", R"({"name":"stripes"})").status, 200);
  const BodyCase cases[] = {
      {"POST", "/api/labels", "{not json", 400, "not valid JSON"},
      {"POST", "/api/labels", "", 400, "not valid JSON"},
      {"POST", "/api/labels", "[1,2]", 400, "expected a JSON object"},
      {"POST", "/api/labels", R"({"name":""})", 400, "non-empty string"},
      {"POST", "/api/labels", R"({"name":"x","colour":"red"})", 400, "#12abef"},
      {"POST", "/api/labels", R"({"name":"stripes"})", 409, "already a label"},
      {"PUT", "/api/labels?name=none", R"({"name":"y"})", 404, "no label named 'none'"},
      {"POST", "/api/shapes?image=scene1.png", R"({"label":"stripes","type":"polygon"})", 400,
       "\"points\""},
      {"POST", "/api/shapes?image=scene1.png",
       R"({"label":"stripes","type":"star","points":[[1,1],[2,2]]})", 400, "unknown shape type"},
      {"POST", "/api/shapes?image=scene1.png",
       R"({"label":"stripes","type":"polygon","points":[[1,1],[2,2]]})", 400,
       "needs 3 to 10000 points, found 2"},
      {"POST", "/api/shapes?image=scene1.png",
       R"({"label":"stripes","type":"rectangle","points":[[1,1],[400,2]]})", 400,
       "lies outside the 320 x 256 image"},
      {"POST", "/api/shapes?image=scene1.png",
       R"({"label":"stripes","type":"rectangle","points":[[1,1],[1,9]]})", 400, "encloses no area"},
      {"POST", "/api/shapes?image=scene1.png",
       R"({"label":"stripes","type":"linestrip","points":[[1,1],["a",2]]})", 400,
       "not an [x, y] pair"},
      {"POST", "/api/shapes?image=scene1.png",
       R"({"label":"ghost","type":"rectangle","points":[[1,1],[5,5]]})", 400,
       "no label named 'ghost'"},
      {"DELETE", "/api/shapes?image=scene1.png&id=99", "", 404, "no shape 99"},
      {"DELETE", "/api/shapes?image=scene1.png&id=-3", "", 400, "\"id\""},
      {"DELETE", "/api/shapes?image=scene1.png", "", 400, "\"id\""},
      {"GET", "/api/pixels?image=scene1.png&max=abc", "", 400, "\"max\""},
      {"GET", "/api/pixels?image=scene1.png&low=5&high=5", "", 400, "\"high\""},
      {"GET", "/api/prediction/view?image=scene1.png&view=labels", "", 404, "no prediction"},
      {"GET", "/api/nothing", "", 404, "no such resource"},
  };
  for (const BodyCase& entry : cases) {
    SCOPED_TRACE(std::string(entry.method) + " " + entry.path + " " + entry.body);
    ExpectError(Send(*client_, entry.method, entry.path, entry.body), entry.status, entry.fragment);
  }
  // None of the refused shapes reached the model.
  EXPECT_EQ(Send(*client_, "GET", "/api/shapes?image=scene1.png").body["shapes"].size(), 0u);
  ExpectStillServing();
}

TEST_F(RequestSafety, OversizedBodiesAreRefusedUnread) {
  const std::string huge = "{\"name\":\"" + std::string(5 * 1024 * 1024, 'a') + "\"}";
  httplib::Result result = client_->Post("/api/labels", huge, "application/json");
  // The server may close the connection before the client has sent everything; when an answer
  // arrives it must be the JSON refusal.
  if (result) {
    EXPECT_EQ(result->status, 413);
    const Json body = Json::parse(result->body, nullptr, false);
    EXPECT_EQ(body.value("error", std::string()), "the request body is too large");
  }
  auto fresh = host_->Client();
  EXPECT_EQ(Send(*fresh, "GET", "/api/state").body["labels"].size(), 0u);
}

struct HeaderCase {
  const char* name;
  httplib::Headers headers;
  bool accepted;
};

TEST_F(RequestSafety, OnlyItsOwnHostAndOriginAreServed) {
  const std::string port = std::to_string(host_->Port());
  const HeaderCase cases[] = {
      {"own host", {}, true},
      {"localhost", {{"Host", "localhost:" + port}}, true},
      {"own origin", {{"Origin", "http://127.0.0.1:" + port}}, true},
      {"other site", {{"Origin", "http://evil.example"}}, false},
      {"other port", {{"Origin", "http://127.0.0.1:1"}}, false},
      {"https origin", {{"Origin", "https://127.0.0.1:" + port}}, false},
      {"null origin", {{"Origin", "null"}}, false},
      {"rebound name", {{"Host", "evil.example:" + port}}, false},
      {"host without port", {{"Host", "127.0.0.1"}}, false},
  };
  for (const HeaderCase& entry : cases) {
    SCOPED_TRACE(entry.name);
    for (const char* method : {"GET", "POST"}) {
      const std::string path = std::string(method) == "GET" ? "/api/state" : "/api/labels";
      const Answer answer = Send(*client_, method, path,
                                 std::string(R"({"name":"x-)") + entry.name + "\"}", entry.headers);
      if (entry.accepted) {
        EXPECT_EQ(answer.status, 200) << answer.raw;
      } else {
        EXPECT_EQ(answer.status, 403) << answer.raw;
        EXPECT_NE(answer.body.value("error", std::string()).find("refused"), std::string::npos);
      }
    }
  }
  // Refused label additions left no trace.
  const Answer state = Send(*client_, "GET", "/api/state");
  EXPECT_EQ(state.body["labels"].size(), 3u) << state.raw;
}

TEST_F(RequestSafety, ThePageComesWithAStrictContentPolicy) {
  const auto result = client_->Get("/");
  ASSERT_TRUE(result);
  EXPECT_EQ(result->status, 200);
  EXPECT_NE(result->body.find("<script src=\"/app.js\""), std::string::npos);
  EXPECT_NE(result->get_header_value("Content-Security-Policy").find("default-src 'none'"),
            std::string::npos);
  const auto script = client_->Get("/app.js");
  ASSERT_TRUE(script);
  EXPECT_EQ(script->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
}

TEST(BrowserHostStart, RefusesAFolderThatIsMissingAndAModelThatIsDamaged) {
  Scratch scratch;
  std::ostringstream log;
  EXPECT_THROW(Smartseg::Serve::BrowserHost(scratch.Path() / "none", {}, log), std::exception);
  std::ofstream(scratch.Path() / "smartseg.model") << "not a model";
  const std::string damaged = Tamrix::Testing::MessageOf(
      [&] { Smartseg::Serve::BrowserHost host(scratch.Path(), {}, log); });
  EXPECT_NE(damaged.find("not a smartseg model"), std::string::npos) << damaged;
  // The damaged file is left as it was.
  EXPECT_EQ(ReadText(scratch.Path() / "smartseg.model"), "not a model");
}

TEST(BrowserHostStart, RefusesAFolderAnotherHostServes) {
  Scratch scratch;
  WriteScenes(scratch.Path(), 1);
  RunningHost first(scratch.Path());
  std::ostringstream log;
  const std::string second = Tamrix::Testing::MessageOf(
      [&] { Smartseg::Serve::BrowserHost host(scratch.Path(), {}, log); });
  EXPECT_NE(second.find("another smartseg run (a browser host, or a training)"), std::string::npos)
      << second;
  // The first host goes on.
  auto client = first.Client();
  EXPECT_EQ(Send(*client, "GET", "/api/state").status, 200);
}

// `smartseg serve` as a process: refused command lines, the warning for an address other
// machines reach, and the end on SIGTERM.
struct RefusedCase {
  const char* name;
  std::vector<std::string> arguments;
  int exitCode;
  const char* message;
};

TEST(ServeProcess, RefusedCommandLinesSayWhy) {
  Scratch scratch;
  const std::string folder = scratch.Path().string();
  const RefusedCase cases[] = {
      {"port out of range", {"--port", "70000", folder}, 2, "--port: expected a port from 0 to"},
      {"no folder", {"--port", "0"}, 2, "FOLDER is required"},
      {"missing folder", {"--port", "0", folder + "/none"}, 1, "no such folder"},
  };
  for (const RefusedCase& entry : cases) {
    SCOPED_TRACE(entry.name);
    std::vector<std::string> arguments = {"serve"};
    arguments.insert(arguments.end(), entry.arguments.begin(), entry.arguments.end());
    const auto run = scratch.RunWords(arguments);
    EXPECT_EQ(run.exitCode, entry.exitCode);
    EXPECT_NE(run.err.find(entry.message), std::string::npos) << run.err;
  }
}

TEST(ServeProcess, WarnsAboutOtherAddressesAndEndsOnSigterm) {
  Scratch scratch;
  WriteScenes(scratch.Path(), 1);
  const auto process = scratch.Start({"serve", "--host", "0.0.0.0", "--port", "0", "."});
  const bool serving = WaitFor(
      [&] { return ReadText(process.outPath).find("Serving ") != std::string::npos; }, 60.0);
  kill(process.pid, SIGTERM);
  // The program's signal cleanup ends it by the signal, after rolling back any save under way.
  const auto run = Scratch::Wait(process, std::chrono::seconds(60));
  ASSERT_TRUE(serving) << run.err;
  EXPECT_EQ(run.exitCode, 128 + SIGTERM) << run.err;
  EXPECT_NE(run.out.find("at http://0.0.0.0:"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("warning: listening on 0.0.0.0 makes the images and the model"),
            std::string::npos)
      << run.err;
  // Nothing was edited, so nothing was written.
  EXPECT_FALSE(fs::exists(scratch.Path() / "smartseg.model"));
}

}  // namespace
}  // namespace ServeTest
