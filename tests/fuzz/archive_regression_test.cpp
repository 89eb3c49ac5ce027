// Replays every archive input that once made the fuzzer find a bug, and the seed archives, through
// the fuzzer's own harness. Under the sanitizer builds this is where such a bug would show again.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "fuzz/ArchiveInput.h"

namespace {

std::vector<std::filesystem::path> Inputs() {
  std::vector<std::filesystem::path> files;
  for (const auto& entry : std::filesystem::directory_iterator(TAMRIX_FUZZ_REGRESSIONS)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

std::string Read(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(ArchiveRegressions, EveryRecordedInputLoadsOrFailsCleanly) {
  Tamrix::Fuzzing::PrepareArchiveInputs(TAMRIX_MODULE_DIR);
  const auto files = Inputs();
  ASSERT_FALSE(files.empty()) << "no inputs in " << TAMRIX_FUZZ_REGRESSIONS;
  for (const auto& file : files) {
    SCOPED_TRACE(file.filename().string());
    const std::string bytes = Read(file);
    EXPECT_NO_THROW(Tamrix::Fuzzing::RunArchiveInput(
        reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()));
  }
}

}  // namespace
