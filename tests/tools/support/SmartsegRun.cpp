#include "tests/tools/support/SmartsegRun.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <opencv2/imgcodecs.hpp>

extern char** environ;

namespace SmartsegTest {

Scratch::Scratch() {
  std::string pattern = (std::filesystem::temp_directory_path() / "smartseg-test-XXXXXX").string();
  if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a scratch folder");
  path_ = pattern;
}

Scratch::~Scratch() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

RunResult Scratch::Run(const std::vector<std::string>& arguments,
                       const std::vector<std::string>& environment) const {
  const std::string outPath = (path_.parent_path() / (path_.filename().string() + ".out")).string();
  const std::string errPath = (path_.parent_path() / (path_.filename().string() + ".err")).string();
  std::vector<std::string> words = {SMARTSEG_PROGRAM};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (auto& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> variables;
  for (char** entry = environ; *entry; ++entry) variables.emplace_back(*entry);
  variables.insert(variables.end(), environment.begin(), environment.end());
  std::vector<char*> envp;
  for (auto& variable : variables) envp.push_back(variable.data());
  envp.push_back(nullptr);

  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    const int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    const int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (out < 0 || err < 0 || dup2(out, 1) < 0 || dup2(err, 2) < 0 || chdir(path_.c_str()) != 0) {
      _exit(127);
    }
    execve(argv[0], argv.data(), envp.data());
    _exit(127);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  RunResult result;
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  result.out = ReadText(outPath);
  result.err = ReadText(errPath);
  std::filesystem::remove(outPath);
  std::filesystem::remove(errPath);
  return result;
}

std::vector<std::string> Scratch::Files() const {
  std::vector<std::string> files;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(path_)) {
    if (entry.is_regular_file()) files.push_back(entry.path().lexically_relative(path_).string());
  }
  std::sort(files.begin(), files.end());
  return files;
}

cv::Mat TwoToneImage(int width, int height) {
  cv::Mat image(height, width, CV_8UC1);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      const int wobble = ((x * 7 + y * 13) % 9) - 4;
      image.at<std::uint8_t>(y, x) = static_cast<std::uint8_t>((x < width / 2 ? 40 : 210) + wobble);
    }
  }
  return image;
}

void WritePng(const std::filesystem::path& path, const cv::Mat& pixels) {
  if (!cv::imwrite(path.string(), pixels))
    throw std::runtime_error("cannot write " + path.string());
}

void WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream stream(path, std::ios::binary);
  stream << text;
  if (!stream) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadText(const std::filesystem::path& path) {
  std::ifstream stream(path, std::ios::binary);
  std::ostringstream text;
  text << stream.rdbuf();
  return text.str();
}

cv::Mat ReadPng(const std::filesystem::path& path) {
  return cv::imread(path.string(), cv::IMREAD_UNCHANGED);
}

std::string TwoToneAnnotation(const std::string& image, const std::string& extraShapes, int width,
                              int height) {
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

}  // namespace SmartsegTest
