#include "tools/smartseg/serve/ServedFolder.h"

#include <algorithm>
#include <cctype>

#include "tools/smartseg/Errors.h"
#include "tools/smartseg/FileSet.h"
#include "tools/smartseg/serve/ApiError.h"

namespace Smartseg::Serve {
namespace {

namespace fs = std::filesystem;

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

// Both paths canonical: true when `path` is `root` itself or lies below it.
bool IsInside(const fs::path& path, const fs::path& root) {
  const auto mismatch = std::mismatch(root.begin(), root.end(), path.begin(), path.end());
  return mismatch.first == root.end();
}

}  // namespace

bool IsImageFileName(const std::string& name) {
  const std::string extension = Lower(fs::path(name).extension().string());
  return extension == ".png" || extension == ".tif" || extension == ".tiff";
}

ServedFolder::ServedFolder(const fs::path& folder) {
  std::error_code error;
  if (!fs::is_directory(folder, error)) throw WorkError(folder, "no such folder");
  root_ = fs::canonical(folder, error);
  if (error) throw WorkError(folder, "cannot resolve the folder: " + error.message());
}

void ServedFolder::CheckPlainName(const std::string& name) {
  if (name.empty()) throw ApiError(400, "the file name is empty");
  if (name.size() > 255) throw ApiError(400, "the file name is longer than 255 characters");
  for (const char c : name) {
    if (c == '/' || c == '\\') {
      throw ApiError(400, "'" + name + "' is not a plain file name (it holds a path separator)");
    }
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      throw ApiError(400, "the file name holds a control character");
    }
  }
  if (name.front() == '.') {
    throw ApiError(400, "'" + name + "' is not a plain file name (it starts with a dot)");
  }
}

std::filesystem::path ServedFolder::ExistingFile(const std::string& name) const {
  CheckPlainName(name);
  const fs::path path = root_ / name;
  std::error_code error;
  if (!fs::exists(fs::symlink_status(path, error))) {
    throw ApiError(404, "'" + name + "' is not in the served folder");
  }
  const fs::path resolved = fs::canonical(path, error);
  if (error || !IsInside(resolved, root_)) {
    throw ApiError(403, "'" + name + "' leads outside the served folder");
  }
  if (!fs::is_regular_file(resolved, error)) {
    throw ApiError(404, "'" + name + "' is not a regular file");
  }
  return resolved;
}

std::filesystem::path ServedFolder::WritableFile(const std::string& name) const {
  CheckPlainName(name);
  const fs::path path = root_ / name;
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (fs::is_symlink(status)) {
    throw ApiError(403, "'" + name + "' is a symbolic link; the host does not write through links");
  }
  if (fs::exists(status) && !fs::is_regular_file(status)) {
    throw ApiError(403, "'" + name + "' exists and is not a regular file");
  }
  return path;
}

std::vector<std::string> ServedFolder::ImageNames() const {
  std::vector<std::string> names;
  std::error_code error;
  for (fs::directory_iterator entry(root_, error), end; !error && entry != end;
       entry.increment(error)) {
    const std::string name = entry->path().filename().string();
    if (!IsImageFileName(name) || IsTemporaryFileName(name)) continue;
    try {
      ExistingFile(name);
    } catch (const ApiError&) {
      continue;
    }
    names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace Smartseg::Serve
