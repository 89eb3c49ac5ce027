#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "interfaces/smartcore/SmartLabelCollection.h"
#include "tests/smartcore/TestObjects.h"

namespace {

using namespace Tamrix::Vision::SmartCore;
using namespace SmartCoreTest;

TEST(SmartLabel, RenameRaisesSfNameAfterTheNewNameIsStored) {
  auto label = MakeLabel("cat");
  std::vector<std::string> namesSeen;
  std::vector<long long> flags;
  label->ChangedEvent().Connect([&](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
    flags.push_back(args->Flags());
    namesSeen.push_back(label->Name());
  });
  label->setName("dog");
  EXPECT_EQ(flags, std::vector<long long>{SmartLabel::SfName});
  EXPECT_EQ(namesSeen, std::vector<std::string>{"dog"});
  EXPECT_EQ(SmartLabel::SfName, 1);
}

TEST(SmartLabel, SettingTheCurrentNameRaisesNothing) {
  auto label = MakeLabel("cat");
  FlagRecorder recorder(*label);
  label->setName("cat");
  EXPECT_TRUE(recorder.flags.empty());
}

TEST(SmartLabelCollection, RemovedItemEventComesAfterTheLabelLeft) {
  auto labels = std::make_shared<SmartLabelCollection>(Token{});
  auto a = MakeLabel("a");
  auto b = MakeLabel("b");
  labels->Add(a);
  labels->Add(b);
  int calls = 0;
  labels->RemovedItemEvent().Connect([&](int index, const std::shared_ptr<SmartLabel>& label) {
    ++calls;
    EXPECT_EQ(index, 0);
    EXPECT_EQ(label, a);
    EXPECT_FALSE(labels->Contains(a));
    EXPECT_EQ(labels->Count(), 1);
  });
  EXPECT_TRUE(labels->Remove(a));
  EXPECT_EQ(calls, 1);
  EXPECT_FALSE(labels->Remove(a));
  EXPECT_EQ(calls, 1);
}

}  // namespace
