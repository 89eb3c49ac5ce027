// The folder the browser host serves: its images, and the one road from a name in a request to a
// file, which never leads outside the folder.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace Smartseg::Serve {

class ServedFolder {
 public:
  // Throws WorkError naming `folder` when it does not exist or is not a folder.
  explicit ServedFolder(const std::filesystem::path& folder);

  // The folder's canonical path.
  const std::filesystem::path& Root() const { return root_; }

  // The names of the PNG and TIFF files directly in the folder, sorted; entries that resolve to
  // somewhere outside the folder (symbolic links) are left out.
  std::vector<std::string> ImageNames() const;

  // The path of the regular file `name` directly in the folder. Throws ApiError: 400 for anything
  // but a plain file name (empty, absolute, with a separator, "." or "..", a leading dot, control
  // characters), 403 when it resolves outside the folder, 404 when there is no such file.
  std::filesystem::path ExistingFile(const std::string& name) const;

  // The path at which the file `name` may be written (created or replaced) in the folder. Throws
  // ApiError as ExistingFile does, and 403 for a name that is a symbolic link or not a regular
  // file.
  std::filesystem::path WritableFile(const std::string& name) const;

  // Throws ApiError(400) unless `name` is a plain file name (see ExistingFile).
  static void CheckPlainName(const std::string& name);

 private:
  std::filesystem::path root_;
};

// True for the file extensions the host lists as images (.png, .tif, .tiff, any case).
bool IsImageFileName(const std::string& name);

}  // namespace Smartseg::Serve
