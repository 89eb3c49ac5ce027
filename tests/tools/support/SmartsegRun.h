// Runs the built smartseg program in a scratch folder and writes small inputs for it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include <opencv2/core.hpp>

namespace SmartsegTest {

struct RunResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

// A fresh folder under the system's temporary folder, removed with everything in it on
// destruction; the program runs with it as the working folder.
class Scratch {
 public:
  Scratch();
  ~Scratch();
  Scratch(const Scratch&) = delete;
  Scratch& operator=(const Scratch&) = delete;

  const std::filesystem::path& Path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

  // Runs smartseg with `arguments`, plus the environment entries `environment` ("NAME=value").
  RunResult Run(const std::vector<std::string>& arguments,
                const std::vector<std::string>& environment = {}) const;

  // Every file below the folder, relative to it, sorted.
  std::vector<std::string> Files() const;

 private:
  std::filesystem::path path_;
};

// 24 x 24 grey: columns 0..11 dark (about 40), 12..23 bright (about 210), with a little
// deterministic noise so that both classes have a spread.
cv::Mat TwoToneImage(int width = 24, int height = 24);

void WritePng(const std::filesystem::path& path, const cv::Mat& pixels);
void WriteText(const std::filesystem::path& path, const std::string& text);
std::string ReadText(const std::filesystem::path& path);
cv::Mat ReadPng(const std::filesystem::path& path);

// A LabelMe document for `image` (24 x 24 unless given) with one rectangle on the dark half
// labelled "dark" and one polygon on the bright half labelled "bright"; `extraShapes` is spliced
// into the shape list after them (JSON objects separated by commas, no leading comma).
std::string TwoToneAnnotation(const std::string& image, const std::string& extraShapes = "",
                              int width = 24, int height = 24);

}  // namespace SmartsegTest
