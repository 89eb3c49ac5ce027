// Whole-file reads and all-or-nothing file writes.
#pragma once

#include <filesystem>
#include <string>

namespace Smartseg {

// Writes `bytes` to a new temporary file in the folder of `path` and renames it over `path`, so
// `path` holds either its old content or all of the new one, never a part. The temporary file is
// removed on every failure, and also when the process is stopped by SIGINT or SIGTERM while it
// is being written. Throws WorkError naming `path`.
void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes);

// The whole content of `path`. Throws WorkError naming `path` when it is missing, not a regular
// file or cannot be read.
std::string ReadWholeFile(const std::filesystem::path& path);

// True for the names WriteFileAtomically gives its temporary files.
bool IsTemporaryFileName(const std::string& fileName);

}  // namespace Smartseg
