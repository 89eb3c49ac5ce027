#include "tools/smartseg/AnnotationFolders.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "tools/smartseg/Errors.h"

namespace Smartseg {
namespace {

bool IsJsonName(const std::filesystem::path& path) {
  std::string extension = path.extension().string();
  std::transform(extension.begin(), extension.end(), extension.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return extension == ".json";
}

std::vector<std::string> JsonFilesIn(const std::filesystem::path& folder) {
  std::vector<std::string> files;
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    std::error_code ignored;
    if (IsJsonName(entries->path()) && entries->is_regular_file(ignored)) {
      files.push_back(entries->path().string());
    }
  }
  if (error) throw WorkError(folder, "cannot list the folder: " + error.message());
  if (files.empty()) throw WorkError(folder, "the folder holds no .json annotation file");
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

std::vector<std::string> ExpandAnnotationFolders(const std::vector<std::string>& arguments) {
  std::vector<std::string> expanded;
  for (const std::string& argument : arguments) {
    std::error_code error;
    if (!argument.empty() && std::filesystem::is_directory(argument, error)) {
      for (std::string& file : JsonFilesIn(argument)) expanded.push_back(std::move(file));
    } else {
      expanded.push_back(argument);
    }
  }
  return expanded;
}

}  // namespace Smartseg
