// Runs the built smartseg program in a scratch folder and writes small inputs for it.
#pragma once

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

extern char** environ;

namespace SmartsegTest {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
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
    const std::string outPath = path_.string() + ".out", errPath = path_.string() + ".err";
    std::vector<std::string> words = {SMARTSEG_PROGRAM};
    std::istringstream split(arguments);
    for (std::string word; split >> word;) words.push_back(word);
    std::vector<std::string> variables;
    for (char** entry = environ; *entry; ++entry) variables.emplace_back(*entry);
    variables.insert(variables.end(), environment.begin(), environment.end());
    std::vector<char*> argv, envp;
    for (auto& word : words) argv.push_back(word.data());
    for (auto& variable : variables) envp.push_back(variable.data());
    argv.push_back(nullptr);
    envp.push_back(nullptr);
    const pid_t child = fork();
    if (child < 0) throw std::runtime_error("fork failed");
    if (child == 0) {
      const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
      if (out >= 0 && err >= 0 && dup2(out, 1) >= 0 && dup2(err, 2) >= 0 &&
          chdir(path_.c_str()) == 0) {
        execve(argv[0], argv.data(), envp.data());
      }
      _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0) {
    }
    RunResult result{WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status),
                     ReadText(outPath), ReadText(errPath)};
    std::filesystem::remove(outPath);
    std::filesystem::remove(errPath);
    return result;
  }

  // Every file below the folder, relative to it, sorted.
  std::vector<std::string> Files() const {
    std::vector<std::string> files;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
      if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(path_).string());
    }
    std::sort(files.begin(), files.end());
    return files;
  }

 private:
  std::filesystem::path path_;
};

// 24 x 24 grey: columns 0..11 dark (about 40), 12..23 bright (about 210), with a little
// deterministic noise so that both classes have a spread.
inline cv::Mat TwoToneImage() {
  cv::Mat image(24, 24, CV_8UC1);
  for (int y = 0; y < 24; ++y) {
    for (int x = 0; x < 24; ++x)
      image.at<std::uint8_t>(y, x) =
          static_cast<std::uint8_t>((x < 12 ? 40 : 210) + (x * 7 + y * 13) % 9 - 4);
  }
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

// The two-tone picture as a.png with its annotation as a.json.
inline void WriteTwoTone(const Scratch& scratch) {
  WritePng(scratch / "a.png", TwoToneImage());
  WriteText(scratch / "a.json", TwoToneAnnotation("a.png"));
}

}  // namespace SmartsegTest
