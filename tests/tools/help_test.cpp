// --help of every command.
#include <gtest/gtest.h>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

struct HelpCase {
  std::vector<std::string> arguments;
  // Words the help text of that command must show.
  std::vector<std::string> mentions;
};

class SmartsegHelp : public ::testing::TestWithParam<HelpCase> {};

TEST_P(SmartsegHelp, PrintsUsageAndSucceeds) {
  Scratch scratch;
  const RunResult run = scratch.Run(GetParam().arguments);
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.out.find("Usage:"), std::string::npos) << run.out;
  for (const std::string& mention : GetParam().mentions) {
    EXPECT_NE(run.out.find(mention), std::string::npos) << mention << " in\n" << run.out;
  }
  // Help writes nothing.
  EXPECT_TRUE(scratch.Files().empty());
}

INSTANTIATE_TEST_SUITE_P(
    Commands, SmartsegHelp,
    ::testing::Values(HelpCase{{"--help"}, {"train", "segment", "info", "demo"}},
                      HelpCase{{"train", "--help"},
                               {"--model", "--sample-size", "--threads", "--retrain",
                                "--label-names", "--quiet", "ANNOTATION"}},
                      HelpCase{{"segment", "--help"},
                               {"--model", "--out", "--threads", "--probabilities", "IMAGE"}},
                      HelpCase{{"info", "--help"}, {"MODEL"}},
                      HelpCase{{"demo", "--help"}, {"--out", "--threads"}}));

}  // namespace
}  // namespace SmartsegTest
