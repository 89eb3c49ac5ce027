#include "interfaces/core/ChangedEventShareableBase.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "tests/core/TestSupport.h"

namespace {

using CoreTest::Token;
using Tamrix::Vision::ChangedEventArgs;
using Tamrix::Vision::ChangedEventShareableBase;

class Counter : public ChangedEventShareableBase {
 public:
  static const long long SfValue = 1;
  static const long long SfName = 2;
  explicit Counter(const Token& token) : ChangedEventShareableBase(token) {}
  int Value() const { return value_; }
  void setValue(int value) {
    value_ = value;
    OnChanged_(SfValue);
  }
  void Rename() { OnChanged_(SfName); }

 private:
  int value_ = 0;
};

TEST(ChangedEventShareableBase, OnChangedRaisesSynchronouslyWithTheFlags) {
  auto counter = std::make_shared<Counter>(Token{});
  std::vector<std::pair<long long, int>> seen;
  counter->ChangedEvent().Connect([&](const std::shared_ptr<ChangedEventArgs>& args) {
    seen.emplace_back(args->Flags(), counter->Value());
  });
  counter->setValue(5);
  counter->Rename();
  EXPECT_EQ(seen,
            (std::vector<std::pair<long long, int>>{{Counter::SfValue, 5}, {Counter::SfName, 5}}));
}

TEST(ChangedEventShareableBase, SuspendCollectsFlagsAndTheOutermostResumeRaisesThemOnce) {
  auto counter = std::make_shared<Counter>(Token{});
  CoreTest::FlagLog log(*counter);
  counter->SuspendChangedEvent();
  counter->ResumeAndRaiseChangedEvent();  // nothing changed: nothing raised
  counter->SuspendChangedEvent();
  counter->SuspendChangedEvent();
  EXPECT_TRUE(counter->ChangedEventSuspended());
  counter->setValue(1);
  counter->Rename();
  counter->setValue(2);
  counter->ResumeAndRaiseChangedEvent();
  EXPECT_TRUE(log.flags.empty()) << "inner resume must not raise";
  EXPECT_TRUE(counter->ChangedEventSuspended());
  counter->ResumeAndRaiseChangedEvent();
  EXPECT_FALSE(counter->ChangedEventSuspended());
  counter->ResumeAndRaiseChangedEvent();  // unbalanced resume is harmless
  EXPECT_EQ(log.flags, (std::vector<long long>{Counter::SfValue | Counter::SfName}));
}

TEST(ShareableBase, SharedFromThisSharesOwnershipAndToStringNamesAType) {
  auto counter = std::make_shared<Counter>(Token{});
  std::shared_ptr<Tamrix::Vision::ShareableBase> shared = counter->shared_from_this();
  EXPECT_EQ(shared.get(), static_cast<Tamrix::Vision::ShareableBase*>(counter.get()));
  EXPECT_EQ(counter.use_count(), 2);
  // Counter is not registered, so its nearest registered type answers.
  EXPECT_FALSE(counter->ToString().empty());
}

}  // namespace
