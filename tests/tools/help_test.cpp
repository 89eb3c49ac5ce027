// --help of every command.
#include <gtest/gtest.h>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

TEST(SmartsegHelp, EveryCommandPrintsUsageWithItsOptionsWritesNothingAndSucceeds) {
  // Each command line, then the words its help text must show.
  const std::vector<std::vector<std::string>> cases = {
      {"--help", "train", "segment", "info", "demo"},
      {"train --help", "--model", "--sample-size", "--threads", "--retrain", "--label-names",
       "--quiet", "--max-pixels", "--no-wait", "ANNOTATION"},
      {"segment --help", "--model", "--out", "--threads", "--probabilities", "--max-pixels",
       "IMAGE"},
      {"info --help", "MODEL"},
      {"demo --help", "--out", "--threads"}};
  for (const auto& words : cases) {
    Scratch scratch;
    const RunResult run = scratch.Run(words[0]);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Usage:"), std::string::npos) << run.out;
    for (std::size_t i = 1; i < words.size(); ++i) {
      EXPECT_NE(run.out.find(words[i]), std::string::npos) << words[i] << " in\n" << run.out;
    }
    EXPECT_TRUE(scratch.Files().empty());
  }
}

}  // namespace
}  // namespace SmartsegTest
