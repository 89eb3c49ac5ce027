#include "tools/smartseg/AtomicFile.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

#include "tools/smartseg/Errors.h"

namespace Smartseg {

void WriteFileAtomically(const std::filesystem::path& path, const std::string& bytes) {
  FileSet file;
  file.Stage(path, bytes);
  file.Commit();
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  std::error_code error;
  const auto status = std::filesystem::status(path, error);
  if (!std::filesystem::exists(status)) throw WorkError(path, "no such file");
  if (std::filesystem::is_directory(status)) throw WorkError(path, "is a folder, not a file");
  if (!std::filesystem::is_regular_file(status)) throw WorkError(path, "not a regular file");
  std::ifstream stream(path, std::ios::binary);
  if (!stream) throw WorkError(path, std::string("cannot open the file: ") + std::strerror(errno));
  std::ostringstream content;
  content << stream.rdbuf();
  if (stream.bad()) throw WorkError(path, "cannot read the file");
  return content.str();
}

}  // namespace Smartseg
