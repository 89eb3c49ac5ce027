// Runs the built smartseg program in a scratch folder and writes small inputs for it.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>
#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

extern char** environ;

namespace SmartsegTest {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// How to run the program besides its arguments.
struct RunSettings {
  // Extra environment entries, "NAME=value".
  std::vector<std::string> environment;
  // RLIMIT_FSIZE in bytes (0: none); SIGXFSZ is ignored so that writes fail with EFBIG instead.
  rlim_t fileSizeLimit = 0;
  // RLIMIT_AS in bytes (0: none).
  rlim_t addressSpaceLimit = 0;
};

// A program started by Scratch::Start, not yet waited for.
struct Started {
  pid_t pid = -1;
  std::string outPath;
  std::string errPath;
};

inline std::string ReadText(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

inline void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream stream(path, std::ios::binary);
  stream << text;
  if (!stream) throw std::runtime_error("cannot write " + path.string());
}

inline void WritePng(const std::filesystem::path& path, const cv::Mat& pixels) {
  if (!cv::imwrite(path.string(), pixels))
    throw std::runtime_error("cannot write " + path.string());
}

inline cv::Mat ReadPng(const std::filesystem::path& path) {
  return cv::imread(path.string(), cv::IMREAD_UNCHANGED);
}

// A fresh folder under the system's temporary folder, removed with everything in it on
// destruction; the program runs with it as the working folder.
class Scratch {
 public:
  Scratch() {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "smartseg-test-XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
    path_ = pattern;
  }
  ~Scratch() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Runs smartseg with the space-separated `arguments`, plus the environment entries
  // `environment` ("NAME=value").
  RunResult Run(const std::string& arguments,
                const std::vector<std::string>& environment = {}) const {
    return RunWords(Split(arguments), RunSettings{environment, 0, 0});
  }

  // Runs smartseg with exactly these arguments (which may hold spaces or be empty).
  RunResult RunWords(const std::vector<std::string>& arguments,
                     const RunSettings& settings = {}) const {
    return Wait(Start(arguments, settings), std::chrono::seconds(300));
  }

  static std::vector<std::string> Split(const std::string& arguments) {
    std::vector<std::string> words;
    std::istringstream split(arguments);
    for (std::string word; split >> word;) words.push_back(word);
    return words;
  }

  // Starts smartseg and returns at once; every Start needs a Wait.
  Started Start(const std::vector<std::string>& arguments, const RunSettings& settings = {}) const {
    static int counter = 0;
    const std::string base = path_.string() + "." + std::to_string(++counter);
    Started started{-1, base + ".out", base + ".err"};
    std::vector<std::string> words = {SMARTSEG_PROGRAM};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) variables.emplace_back(*entry);
    variables.insert(variables.end(), settings.environment.begin(), settings.environment.end());
    std::vector<char*> argv, envp;
    for (auto& word : words) argv.push_back(word.data());
    for (auto& variable : variables) envp.push_back(variable.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
      const int out = open(started.outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(started.errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (settings.fileSizeLimit > 0) {
        signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{settings.fileSizeLimit, settings.fileSizeLimit};
        setrlimit(RLIMIT_FSIZE, &limit);
      }
      if (settings.addressSpaceLimit > 0) {
        const rlimit limit{settings.addressSpaceLimit, settings.addressSpaceLimit};
        setrlimit(RLIMIT_AS, &limit);
      }
      if (out >= 0 && err >= 0 && dup2(out, 1) >= 0 && dup2(err, 2) >= 0 &&
          chdir(path_.c_str()) == 0) {
        execve(argv[0], argv.data(), envp.data());
      }
      _exit(127);
    }
    started.pid = child;
    return started;
  }

  // Waits for a started program; kills it and fails when it takes longer than `deadline`.
  static RunResult Wait(const Started& started, std::chrono::milliseconds deadline) {
    const auto end = std::chrono::steady_clock::now() + deadline;
    int status = 0;
    for (;;) {
      const pid_t done = waitpid(started.pid, &status, WNOHANG);
      if (done == started.pid) break;
      if (done < 0 && errno != EINTR) throw std::runtime_error("waitpid failed");
      if (std::chrono::steady_clock::now() > end) {
        kill(started.pid, SIGKILL);
        waitpid(started.pid, &status, 0);
        throw std::runtime_error("smartseg did not finish in time");
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                     ReadText(started.outPath), ReadText(started.errPath)};
    std::filesystem::remove(started.outPath);
    std::filesystem::remove(started.errPath);
    return result;
  }

  // True while the started program runs (it is not reaped here).
  static bool Running(const Started& started) {
    siginfo_t info{};
    info.si_pid = 0;
    return waitid(P_PID, static_cast<id_t>(started.pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
  }

  // What the started program has written to stderr so far.
  static std::string ErrorsSoFar(const Started& started) { return ReadText(started.errPath); }

  const std::filesystem::path& Path() const { return path_; }

  // Every file below the folder, relative to it, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
      if (entry.is_regular_file() || entry.is_symlink()) {
        files.push_back(entry.path().lexically_relative(path_).string());
      }
    }
    std::sort(files.begin(), files.end());
    return files;
  }

 private:
  std::filesystem::path path_;
};

// 24 x 24 grey: columns 0..11 dark (about 40), 12..23 bright (about 210), with a little
// deterministic noise so that both classes have a spread. `variant` is added to the top-left
// pixel: pictures of different variants are different images (train adds an annotation of an
// image it already holds with the same shapes only once) that train the same.
inline cv::Mat TwoToneImage(int variant = 0) {
  cv::Mat image(24, 24, CV_8UC1);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x)
      image.at<std::uint8_t>(y, x) =
          static_cast<std::uint8_t>((x < 12 ? 40 : 210) + (x * 7 + y * 13) % 9 - 4);
  }
  image.at<std::uint8_t>(0, 0) = static_cast<std::uint8_t>(image.at<std::uint8_t>(0, 0) + variant);
  return image;
}

// A LabelMe document for `image` (24 x 24 unless given) with one rectangle on the dark half
// labelled "dark" and one polygon on the bright half labelled "bright"; `extraShapes` is spliced
// into the shape list after them (JSON objects separated by commas, no leading comma).
inline std::string TwoToneAnnotation(const std::string& image, const std::string& extraShapes = "",
                                     int width = 24, int height = 24) {
  std::ostringstream json;
  json
      << R"({"version": "5.2.1", "flags": {}, "imagePath": ")" << image
      << R"(", "imageData": null, "imageWidth": )" << width << R"(, "imageHeight": )" << height
      << R"(, "shapes": [)"
      << R"({"label": "dark", "shape_type": "rectangle", "points": [[1, 2], [9, 20]]},)"
      << R"({"label": "bright", "shape_type": "polygon", "points": [[15, 3], [22, 4], [21, 21], [16, 20]]})"
      << (extraShapes.empty() ? "" : ",") << extraShapes << "]}";
  return json.str();
}

// The annotation of a.png with its halves labelled `dark` and `bright` (JSON string contents).
inline std::string TwoToneLabelled(const std::string& dark, const std::string& bright) {
  std::string json = TwoToneAnnotation("a.png");
  // Bright first: its shape comes second, so the search for "dark" still finds the first shape.
  for (const auto& [from, to] : {std::pair{std::string("bright"), bright}, {"dark", dark}}) {
    const std::string key = R"("label": ")";
    json.replace(json.find(key + from + "\"") + key.size(), from.size(), to);
  }
  return json;
}

// The two-tone picture as a.png with its annotation as a.json.
inline void WriteTwoTone(const Scratch& scratch) {
  WritePng(scratch / "a.png", TwoToneImage());
  WriteText(scratch / "a.json", TwoToneAnnotation("a.png"));
}

// The two-tone files and m.model trained on them.
inline void TrainedTwoTone(const Scratch& scratch) {
  WriteTwoTone(scratch);
  const RunResult train = scratch.Run("train --model m.model --quiet a.json");
  ASSERT_EQ(train.exitCode, 0) << train.err;
}

// a.png, b.png and c.png with an annotation each (pictures that differ, so that each is a new
// item), and a mask for a.png holding 1 on the dark half and 2 on the bright half.
inline void ThreePictures(const Scratch& scratch) {
  int variant = 0;
  for (const std::string name : {"a", "b", "c"}) {
    WritePng(scratch / (name + ".png"), TwoToneImage(variant++));
    WriteText(scratch / (name + ".json"), TwoToneAnnotation(name + ".png"));
  }
  cv::Mat mask(24, 24, CV_8UC1, cv::Scalar(0));
  mask(cv::Rect(1, 2, 8, 18)).setTo(1);
  mask(cv::Rect(15, 3, 6, 17)).setTo(2);
  WritePng(scratch / "mask.png", mask);
}

// Every file below the folder with its bytes, and every folder, to show that a run changed
// nothing.
inline std::map<std::string, std::string> Snapshot(const Scratch& scratch) {
  std::map<std::string, std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(scratch.Path())) {
    const std::string name = entry.path().lexically_relative(scratch.Path()).string();
    files[name] = entry.is_directory() ? "(folder)" : ReadText(entry.path());
  }
  return files;
}

}  // namespace SmartsegTest
