// Test access to the operator's private state and a fixture that binds a chosen helper module.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "EngineRecording.h"
#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/sys/SysLibrary.h"
#include "vision/SmartSegmenter/OperatorBinding.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace Tamrix::Vision::SmartSegmenter {

struct SmartSegmenterOperatorTestPeer {
  using Operator = SmartSegmenterOperator;
  using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

  // The same two steps as the reflection constructor.
  static std::shared_ptr<Operator> Create() {
    auto op = std::make_shared<Operator>(Token{});
    op->FinalConstruct();
    return op;
  }
  static std::shared_ptr<Operator> ConstructOnly() { return std::make_shared<Operator>(Token{}); }
  static void FinalConstruct(Operator& op) { op.FinalConstruct(); }

  static bool IsBound(const Operator& op) { return op.impl_ != nullptr; }
  static std::shared_ptr<void> Binding(Operator& op) { return op.EnsureOstrelLibrary(); }

  static std::vector<std::string> SegmenterLabels(Operator& op) {
    std::vector<std::string> names;
    if (!op.impl_) return names;
    for (const auto& segmenter : *op.impl_->segmenters) names.push_back(segmenter->Label()->Name());
    return names;
  }
  static std::vector<std::shared_ptr<Segmenter>> Segmenters(Operator& op) {
    return op.impl_ ? *op.impl_->segmenters : std::vector<std::shared_ptr<Segmenter>>{};
  }
  // -1 when the item is not registered.
  static int ConnectionCount(Operator& op, const std::shared_ptr<SmartCore::SmartTrainData>& item) {
    if (!op.impl_) return -1;
    auto found = op.impl_->itemConnections->find(item);
    return found == op.impl_->itemConnections->end() ? -1 : static_cast<int>(found->second->size());
  }
  static std::size_t RegisteredItems(Operator& op) {
    return op.impl_ ? op.impl_->itemConnections->size() : 0;
  }
  static bool TrainingRequired(const Operator& op) { return op.trainingRequired_; }
  static bool FullTrainRequired(const Operator& op) { return op.fullTrainRequired_; }
  static void SetFlags(Operator& op, bool training, bool full) {
    op.trainingRequired_ = training;
    op.fullTrainRequired_ = full;
  }
  static void SetFullTrainRequired(Operator& op, bool v) { op.setFullTrainRequired(v); }
  static void SetTrainingRequired(Operator& op, bool v) { op.setTrainingRequred(v); }
};

}  // namespace Tamrix::Vision::SmartSegmenter

namespace Tamrix::Testing {

using Peer = Tamrix::Vision::SmartSegmenter::SmartSegmenterOperatorTestPeer;
using Operator = Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;

// Folder of the test helper modules, set by the build.
std::string TestModuleDirectory(const std::string& module);

// Points the module lookup at one test helper module and resets the engine recording; restores
// the defaults afterwards.
class OperatorTest : public ::testing::Test {
 protected:
  void SetUp() override { UseModule("recording"); }
  void TearDown() override {
    sysSetLibrarySearchDirectory(L"");
    Tamrix::Vision::VisionToolMultiThreading::Reset();
    EngineRecording::Instance().Reset();
  }
  void UseModule(const std::string& module);
  void Sequential() { Tamrix::Vision::VisionToolMultiThreading::setEnable(false); }

  static std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel> Label(const std::string& name);
  // A 16x16 grey image with one rectangle per label name.
  static std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData> Item(
      const std::vector<std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>>& labels,
      bool isTraining = true);
  // Records the flags of every changed event of `op`.
  static std::shared_ptr<std::vector<long long>> RecordChanges(Operator& op);

  EngineRecording& recording = EngineRecording::Instance();
};

}  // namespace Tamrix::Testing
