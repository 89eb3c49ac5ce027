// `smartseg serve` as a process: refused command lines, the warning for an address other machines
// reach, and the end on SIGTERM.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include "tests/tools/serve/ServeTestHost.h"

namespace ServeTest {
namespace {

// A running `smartseg serve` whose stdout and stderr are collected.
class ServeProcess {
 public:
  explicit ServeProcess(const std::vector<std::string>& arguments) {
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) throw std::runtime_error("cannot make pipes");
    pid_ = fork();
    if (pid_ == 0) {
      dup2(outPipe[1], 1);
      dup2(errPipe[1], 2);
      close(outPipe[0]);
      close(errPipe[0]);
      std::vector<char*> argv = {const_cast<char*>(SMARTSEG_PROGRAM), const_cast<char*>("serve")};
      for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
      argv.push_back(nullptr);
      execv(SMARTSEG_PROGRAM, argv.data());
      _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    out_ = outPipe[0];
    err_ = errPipe[0];
    fcntl(out_, F_SETFL, O_NONBLOCK);
    fcntl(err_, F_SETFL, O_NONBLOCK);
  }
  ~ServeProcess() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    close(out_);
    close(err_);
  }

  // Reads what is there; answers whether `text` has appeared on stdout within `seconds`.
  bool WaitForOutput(const std::string& text, double seconds) {
    return WaitFor(
        [&] {
          Drain();
          return out.find(text) != std::string::npos;
        },
        seconds);
  }

  // Sends `signal` (none when 0) and waits for the exit; answers the exit code, -1 on a timeout.
  int Finish(int signal, double seconds) {
    if (signal) kill(pid_, signal);
    int status = 0;
    const bool ended = WaitFor(
        [&] {
          Drain();
          return waitpid(pid_, &status, WNOHANG) == pid_;
        },
        seconds);
    if (!ended) return -1;
    exited_ = true;
    Drain();
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  }

  std::string out, err;

 private:
  void Drain() {
    char buffer[4096];
    for (ssize_t n; (n = read(out_, buffer, sizeof(buffer))) > 0;) out.append(buffer, n);
    for (ssize_t n; (n = read(err_, buffer, sizeof(buffer))) > 0;) err.append(buffer, n);
  }

  pid_t pid_ = -1;
  int out_ = -1, err_ = -1;
  bool exited_ = false;
};

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
    ServeProcess process(entry.arguments);
    EXPECT_EQ(process.Finish(0, 60.0), entry.exitCode);
    EXPECT_NE(process.err.find(entry.message), std::string::npos) << process.err;
  }
}

TEST(ServeProcess, WarnsAboutOtherAddressesAndEndsOnSigterm) {
  Scratch scratch;
  WriteScenes(scratch.Path(), 1);
  ServeProcess process({"--host", "0.0.0.0", "--port", "0", scratch.Path().string()});
  ASSERT_TRUE(process.WaitForOutput("Serving ", 60.0)) << process.out << process.err;
  EXPECT_NE(process.out.find("at http://0.0.0.0:"), std::string::npos) << process.out;
  EXPECT_NE(process.err.find("warning: listening on 0.0.0.0 makes the images and the model"),
            std::string::npos)
      << process.err;
  // The program's signal cleanup ends it by the signal, after rolling back any save under way.
  EXPECT_EQ(process.Finish(SIGTERM, 60.0), 128 + SIGTERM) << process.err;
  // Nothing was edited, so nothing was written.
  EXPECT_FALSE(fs::exists(scratch.Path() / "smartseg.model"));
}

}  // namespace
}  // namespace ServeTest
