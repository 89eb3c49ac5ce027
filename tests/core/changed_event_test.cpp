#include "interfaces/core/ChangedEventShareableBase.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using Tamrix::Vision::ChangedEventArgs;
using Tamrix::Vision::ChangedEventShareableBase;
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

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
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair(Counter::SfValue, 5));
  EXPECT_EQ(seen[1], std::make_pair(Counter::SfName, 5));
}

TEST(ChangedEventShareableBase, SuspendCollectsFlagsAndResumeRaisesThemOnce) {
  auto counter = std::make_shared<Counter>(Token{});
  std::vector<long long> flags;
  counter->ChangedEvent().Connect(
      [&](const std::shared_ptr<ChangedEventArgs>& args) { flags.push_back(args->Flags()); });
  counter->SuspendChangedEvent();
  counter->SuspendChangedEvent();
  EXPECT_TRUE(counter->ChangedEventSuspended());
  counter->setValue(1);
  counter->Rename();
  counter->setValue(2);
  counter->ResumeAndRaiseChangedEvent();
  EXPECT_TRUE(flags.empty()) << "inner resume must not raise";
  EXPECT_TRUE(counter->ChangedEventSuspended());
  counter->ResumeAndRaiseChangedEvent();
  EXPECT_FALSE(counter->ChangedEventSuspended());
  EXPECT_EQ(flags, (std::vector<long long>{Counter::SfValue | Counter::SfName}));
}

TEST(ChangedEventShareableBase, ResumeWithoutChangesRaisesNothing) {
  auto counter = std::make_shared<Counter>(Token{});
  int raised = 0;
  counter->ChangedEvent().Connect([&](const std::shared_ptr<ChangedEventArgs>&) { ++raised; });
  counter->SuspendChangedEvent();
  counter->ResumeAndRaiseChangedEvent();
  counter->ResumeAndRaiseChangedEvent();  // unbalanced resume is harmless
  EXPECT_EQ(raised, 0);
}

TEST(ShareableBase, SharedFromThisSharesOwnership) {
  auto counter = std::make_shared<Counter>(Token{});
  std::shared_ptr<Tamrix::Vision::ShareableBase> shared = counter->shared_from_this();
  EXPECT_EQ(shared.get(), static_cast<Tamrix::Vision::ShareableBase*>(counter.get()));
  EXPECT_EQ(counter.use_count(), 2);
}

TEST(ShareableBase, ToStringNamesTheReflectedType) {
  auto counter = std::make_shared<Counter>(Token{});
  // Counter is not registered, so its nearest registered type answers.
  EXPECT_FALSE(counter->ToString().empty());
}

}  // namespace
