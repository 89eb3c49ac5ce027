// How a smartseg command fails, and the exit code that goes with each kind of failure.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace Smartseg {

constexpr int kExitSuccess = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// The command line asks for something impossible (exit code 2).
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The work could not be done: an input that cannot be read or used, an output that cannot be
// written (exit code 1). The message names the file first.
class WorkError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  WorkError(const std::filesystem::path& file, const std::string& problem)
      : std::runtime_error(file.string() + ": " + problem) {}
};

}  // namespace Smartseg
