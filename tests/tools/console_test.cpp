// What the program prints: --help of every command, --version, progress lines on stderr unless
// --quiet, and label names escaped so that they cannot act on a terminal.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>

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
  Scratch scratch;
  const RunResult version = scratch.Run("--version");
  EXPECT_EQ(version.exitCode, 0) << version.err;
  EXPECT_EQ(version.out.rfind("smartseg ", 0), 0u) << version.out;
  EXPECT_EQ(version.out.find_first_of("0123456789"), 9u) << version.out;
  EXPECT_EQ(version.err, "");
}

// `smartseg serve` becomes the program smartseg-serve beside smartseg; started on its own with
// anything but that command line, it says what it is for.
TEST(SmartsegServeProgram, StartedAloneItPointsToSmartsegServe) {
  const std::string program =
      (std::filesystem::path(SMARTSEG_PROGRAM).parent_path() / "smartseg-serve").string();
  for (const std::string arguments : {"", " /tmp", " train /tmp"}) {
    FILE* run = popen(("'" + program + "'" + arguments + " 2>&1").c_str(), "r");
    ASSERT_NE(run, nullptr);
    std::string output;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, run) != nullptr) output += buffer;
    const int status = pclose(run);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << arguments;
    EXPECT_EQ(output,
              "smartseg: error: smartseg-serve is the browser host behind 'smartseg serve'; run "
              "smartseg serve FOLDER\n")
        << arguments;
  }
}

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
  TrainedTwoTone(scratch);
  WritePng(scratch / "b.png", TwoToneImage(1));
  WriteText(scratch / "b.json", TwoToneAnnotation("b.png"));
  // With no delay every phase counts as long: each is reported when it starts and when it ends.
  const RunResult run = scratch.Run("train --model m.model b.json", {"SMARTSEG_PROGRESS_DELAY=0"});
  ASSERT_EQ(run.exitCode, 0) << run.err;
  std::size_t at = 0;
  for (const std::string line :
       {"smartseg: loading m.model, ", "smartseg: loading m.model: done in ",
        "smartseg: reading 1 annotation(s), ", "smartseg: reading annotation 1 of 1 (b.json), ",
        "smartseg: reading 1 annotation(s): done in ", "smartseg: training on 2 item(s), ",
        "smartseg: training on 2 item(s): done in ", "smartseg: saving m.model, ",
        "smartseg: saving m.model: done in "}) {
    const auto found = run.err.find(line, at);
    ASSERT_NE(found, std::string::npos) << line << " in order in\n" << run.err;
    at = found + line.size();
  }
}

// Every byte below 0x20 except the line ends, and DEL.
bool HasControlCharacters(const std::string& text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if ((byte < 0x20 && byte != '\n') || byte == 0x7f) return true;
  }
  return false;
}

TEST(SmartsegLabelNames, NamesFromAnnotationsAreShownEscaped) {
  Scratch scratch;
  WritePng(scratch / "a.png", TwoToneImage());
  // A label that clears the screen and forges a line of its own.
  WriteText(scratch / "a.json", TwoToneLabelled(R"(dark\u001b[2J\nsmartseg: all fine)", "bright"));
  const RunResult train = scratch.Run("train --model m.model --quiet a.json");
  ASSERT_EQ(train.exitCode, 0) << train.err;
  EXPECT_NE(train.out.find("(dark\\x1b[2J\\nsmartseg: all fine, bright)"), std::string::npos)
      << train.out;
  const RunResult info = scratch.Run("info m.model");
  ASSERT_EQ(info.exitCode, 0) << info.err;
  EXPECT_NE(info.out.find("1=dark\\x1b[2J\\nsmartseg: all fine, 2=bright"), std::string::npos)
      << info.out;
  const RunResult segment = scratch.Run("segment --model m.model --out o --quiet a.png");
  ASSERT_EQ(segment.exitCode, 0) << segment.err;
  for (const RunResult* run : {&train, &info, &segment}) {
    EXPECT_FALSE(HasControlCharacters(run->out + run->err)) << run->out << run->err;
  }
}

}  // namespace
}  // namespace SmartsegTest
