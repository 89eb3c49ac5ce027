// The model file keeps its identity (mode, symbolic link) and is never updated by two runs at
// once: a second run waits for the first, or fails at once with --no-wait.
#include <gtest/gtest.h>

#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include "tests/tools/support/SmartsegRun.h"

namespace SmartsegTest {
namespace {

using namespace std::chrono_literals;

// a.png and b.png with annotations, and m.model trained on a.json.
void TrainedOnA(const Scratch& scratch) {
  TrainedTwoTone(scratch);
  WritePng(scratch / "b.png", TwoToneImage(1));
  WriteText(scratch / "b.json", TwoToneAnnotation("b.png"));
}

int ItemCount(const Scratch& scratch, const std::string& model) {
  const RunResult info = scratch.Run("info " + model);
  const auto at = info.out.find("Training items: ");
  if (info.exitCode != 0 || at == std::string::npos) return -1;
  return std::stoi(info.out.substr(at + 16));
}

mode_t ModeOf(const std::filesystem::path& path) {
  struct stat status {};
  if (stat(path.c_str(), &status) != 0) return 0;
  return status.st_mode & 07777;
}

TEST(SmartsegModelFile, ExtendingAModelKeepsItsMode) {
  for (const mode_t mode : {mode_t{0600}, mode_t{0640}, mode_t{0664}}) {
    Scratch scratch;
    TrainedOnA(scratch);
    ASSERT_EQ(chmod((scratch / "m.model").c_str(), mode), 0);
    const RunResult run = scratch.Run("train --model m.model --quiet b.json");
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(ModeOf(scratch / "m.model"), mode);
    EXPECT_EQ(ItemCount(scratch, "m.model"), 2);
  }
}

TEST(SmartsegModelFile, AModelPathThatIsASymbolicLinkStaysOneAndItsTargetIsUpdated) {
  Scratch scratch;
  TrainedOnA(scratch);
  std::filesystem::create_directory(scratch / "store");
  std::filesystem::rename(scratch / "m.model", scratch / "store/real.model");
  std::filesystem::create_symlink("store/real.model", scratch / "m.model");
  const RunResult run = scratch.Run("train --model m.model --quiet b.json");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(std::filesystem::is_symlink(std::filesystem::symlink_status(scratch / "m.model")));
  EXPECT_EQ(std::filesystem::read_symlink(scratch / "m.model"), "store/real.model");
  EXPECT_EQ(ItemCount(scratch, "store/real.model"), 2);
  // Nothing left beside the link or the target.
  EXPECT_EQ(scratch.Files(), (std::vector<std::string>{"a.json", "a.png", "b.json", "b.png",
                                                       "m.model", "store/real.model"}));
}

// Holds the lock smartseg takes for m.model, as another smartseg run would.
class HeldLock {
 public:
  explicit HeldLock(const Scratch& scratch) {
    descriptor_ =
        open((scratch / ".m.model.smartseg-lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (descriptor_ < 0 || flock(descriptor_, LOCK_EX | LOCK_NB) != 0) {
      throw std::runtime_error("cannot take the lock");
    }
  }
  ~HeldLock() { Release(); }
  void Release() {
    if (descriptor_ >= 0) close(descriptor_);
    descriptor_ = -1;
  }

 private:
  int descriptor_ = -1;
};

TEST(SmartsegModelFile, ASecondRunWaitsForTheFirstToFinish) {
  Scratch scratch;
  TrainedOnA(scratch);
  HeldLock lock(scratch);
  const Started run = scratch.Start({"train", "--model", "m.model", "b.json"});
  const auto deadline = std::chrono::steady_clock::now() + 60s;
  while (Scratch::ErrorsSoFar(run).find("waiting") == std::string::npos && Scratch::Running(run) &&
         std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(10ms);
  }
  EXPECT_EQ(Scratch::ErrorsSoFar(run),
            "smartseg: warning: m.model: another smartseg run is training this model; waiting "
            "for it\n");
  std::this_thread::sleep_for(200ms);
  EXPECT_TRUE(Scratch::Running(run));
  lock.Release();
  const RunResult result = Scratch::Wait(run, 120s);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(ItemCount(scratch, "m.model"), 2);
  EXPECT_FALSE(std::filesystem::exists(scratch / ".m.model.smartseg-lock"));
}

TEST(SmartsegModelFile, NoWaitFailsAtOnceWhileAnotherRunTrains) {
  Scratch scratch;
  TrainedOnA(scratch);
  const std::string before = ReadText(scratch / "m.model");
  HeldLock lock(scratch);
  const RunResult run = scratch.Run("train --model m.model --no-wait b.json");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err,
            "smartseg: error: m.model: another smartseg run is training this model; try again "
            "when it has finished, or leave out --no-wait to wait for it\n");
  EXPECT_EQ(ReadText(scratch / "m.model"), before);
}

TEST(SmartsegModelFile, TwoRunsExtendingOneModelAtOnceKeepBothAdditions) {
  Scratch scratch;
  TrainedOnA(scratch);
  WritePng(scratch / "c.png", TwoToneImage(2));
  WriteText(scratch / "c.json", TwoToneAnnotation("c.png"));
  const Started first = scratch.Start({"train", "--model", "m.model", "--quiet", "b.json"});
  const Started second = scratch.Start({"train", "--model", "m.model", "--quiet", "c.json"});
  const RunResult one = Scratch::Wait(first, 120s);
  const RunResult two = Scratch::Wait(second, 120s);
  EXPECT_EQ(one.exitCode, 0) << one.err;
  EXPECT_EQ(two.exitCode, 0) << two.err;
  EXPECT_EQ(ItemCount(scratch, "m.model"), 3);
}

// A small file system of its own, so that a write runs out of space for real.
class SmallDisk {
 public:
  SmallDisk(const std::filesystem::path& folder, std::size_t bytes) : folder_(folder) {
    std::filesystem::create_directory(folder);
    const std::string options = "size=" + std::to_string(bytes);
    mounted_ = mount("tmpfs", folder.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallDisk() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }

 private:
  std::filesystem::path folder_;
  bool mounted_ = false;
};

TEST(SmartsegModelFile, AModelOnAFullDiskStaysAsItWasAndStillLoads) {
  Scratch scratch;
  TrainedOnA(scratch);
  const std::size_t size = std::filesystem::file_size(scratch / "m.model");
  // Room for the model and half of it again: the model trained on two items needs more.
  SmallDisk disk(scratch / "disk", size * 3 / 2 + 4096);
  if (!disk.Mounted()) GTEST_SKIP() << "mounting a small tmpfs needs CAP_SYS_ADMIN";
  std::filesystem::copy_file(scratch / "m.model", scratch / "disk/m.model");
  const std::string before = ReadText(scratch / "disk/m.model");
  const RunResult run = scratch.Run("train --model disk/m.model --quiet b.json");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_EQ(run.err, "smartseg: error: disk/m.model: cannot write: No space left on device\n");
  EXPECT_EQ(ReadText(scratch / "disk/m.model"), before);
  std::vector<std::string> left;
  for (const auto& entry : std::filesystem::directory_iterator(scratch / "disk")) {
    left.push_back(entry.path().filename().string());
  }
  EXPECT_EQ(left, std::vector<std::string>{"m.model"});
  EXPECT_EQ(ItemCount(scratch, "disk/m.model"), 1);
}

}  // namespace
}  // namespace SmartsegTest
