// Whole-file reads and all-or-nothing file writes.
#pragma once

#include <filesystem>
#include <string>

#include "tools/smartseg/FileSet.h"

namespace Smartseg {

// Replaces `path` with `bytes` as a FileSet of one file: `path` holds either its old content or
// all of the new one, never a part, keeps its mode and owner, and a symbolic link there has its
// target replaced. Throws WorkError naming `path`.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes);

// The whole content of `path`. Throws WorkError naming `path` when it is missing, a folder or
// not a regular file, or cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

}  // namespace Smartseg
