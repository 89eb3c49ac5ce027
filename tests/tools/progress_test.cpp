// Progress lines on stderr, and --quiet.
#include <gtest/gtest.h>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

TEST(SmartsegProgress, NamesEachStepOfHowManyWithTimesUnlessQuiet) {
  Scratch scratch;
  WriteTwoTone(scratch);
  WritePng(scratch / "b.png", TwoToneImage());
  // Progress from the first moment instead of after a second.
  const std::vector<std::string> immediate = {"SMARTSEG_PROGRESS_DELAY=0"};
  const RunResult train = scratch.Run("train --model m.model a.json", immediate);
  ASSERT_EQ(train.exitCode, 0) << train.err;
  EXPECT_NE(train.err.find("smartseg: reading annotation 1 of 1 (a.json)"), std::string::npos)
      << train.err;
  EXPECT_NE(train.err.find("smartseg: training on 1 item(s)"), std::string::npos) << train.err;

  const RunResult run = scratch.Run("segment --model m.model --out o a.png b.png", immediate);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("smartseg: segmenting image 1 of 2 (a.png), "), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("smartseg: segmenting image 2 of 2 (b.png), "), std::string::npos)
      << run.err;
  // Only the second step has a finished one to estimate from.
  const auto second = run.err.find("image 2 of 2");
  EXPECT_NE(run.err.find("s left", second), std::string::npos) << run.err;
  EXPECT_EQ(run.err.substr(0, second).find("s left"), std::string::npos) << run.err;

  const RunResult quiet =
      scratch.Run("segment --model m.model --out q --quiet a.png b.png", immediate);
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_EQ(quiet.err, "");
}

TEST(SmartsegProgress, EveryLongPhaseOfTrainingIsReportedWhileItRuns) {
  Scratch scratch;
  WriteTwoTone(scratch);
  WritePng(scratch / "b.png", TwoToneImage());
  WriteText(scratch / "b.json", TwoToneAnnotation("b.png"));
  ASSERT_EQ(scratch.Run("train --model m.model --quiet a.json").exitCode, 0);
  // With no delay every phase counts as long: each is reported when it starts and when it ends.
  const RunResult run = scratch.Run("train --model m.model b.json", {"SMARTSEG_PROGRESS_DELAY=0"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::size_t at = 0;
  for (const std::string line :
       {"smartseg: loading m.model, ", "smartseg: loading m.model: done in ",
        "smartseg: reading annotation 1 of 1 (b.json), ", "smartseg: training on 2 item(s), ",
        "smartseg: training on 2 item(s): done in ", "smartseg: saving m.model, ",
        "smartseg: saving m.model: done in "}) {
    const auto found = run.err.find(line, at);
    ASSERT_NE(found, std::string::npos) << line << " in order in\n" << run.err;
    at = found + line.size();
  }
}

}  // namespace
}  // namespace SmartsegTest
