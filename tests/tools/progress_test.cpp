// Progress lines on stderr, and --quiet.
#include <gtest/gtest.h>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

class SmartsegProgress : public ::testing::Test {
 protected:
  void SetUp() override {
    WritePng(scratch_ / "a.png", TwoToneImage());
    WritePng(scratch_ / "b.png", TwoToneImage());
    WriteText(scratch_ / "a.json", TwoToneAnnotation("a.png"));
    ASSERT_EQ(scratch_.Run({"train", "--model", "m.model", "--quiet", "a.json"}).exitCode, 0);
  }
  Scratch scratch_;
  // Progress from the first moment instead of after a second.
  const std::vector<std::string> immediate_ = {"SMARTSEG_PROGRESS_DELAY=0"};
};

TEST_F(SmartsegProgress, NamesEachImageOfHowManyWithTimes) {
  const RunResult run =
      scratch_.Run({"segment", "--model", "m.model", "--out", "o", "a.png", "b.png"}, immediate_);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("smartseg: segmenting image 1 of 2 (a.png), "), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("smartseg: segmenting image 2 of 2 (b.png), "), std::string::npos)
      << run.err;
  // Only the second step has a finished one to estimate from.
  const auto second = run.err.find("image 2 of 2");
  EXPECT_NE(run.err.find("s left", second), std::string::npos) << run.err;
  EXPECT_EQ(run.err.substr(0, second).find("s left"), std::string::npos) << run.err;
}

TEST_F(SmartsegProgress, TrainingReportsReadingAndTraining) {
  const RunResult run = scratch_.Run({"train", "--model", "n.model", "a.json"}, immediate_);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_NE(run.err.find("smartseg: reading annotation 1 of 1 (a.json)"), std::string::npos)
      << run.err;
  EXPECT_NE(run.err.find("smartseg: training on 1 item(s)"), std::string::npos) << run.err;
}

TEST_F(SmartsegProgress, QuietSilencesIt) {
  const RunResult run = scratch_.Run(
      {"segment", "--model", "m.model", "--out", "o", "--quiet", "a.png", "b.png"}, immediate_);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.err, "");
}

}  // namespace
}  // namespace SmartsegTest
