#include "tools/smartseg/AtomicFile.h"

#include <array>
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
  // One allocation of the file's size, where a growing buffer would copy (and fault in fresh
  // pages) at every doubling and once more at the end; a file that grows meanwhile still reads
  // whole.
  std::string bytes;
  std::error_code sizeError;
  const std::uintmax_t size = std::filesystem::file_size(path, sizeError);
  if (!sizeError && size < bytes.max_size()) bytes.reserve(static_cast<std::size_t>(size));
  std::array<char, 1 << 16> chunk{};
  while (stream.read(chunk.data(), chunk.size()) || stream.gcount() > 0) {
    bytes.append(chunk.data(), static_cast<std::size_t>(stream.gcount()));
  }
  if (stream.bad()) throw WorkError(path, "cannot read the file");
  return bytes;
}

}  // namespace Smartseg
