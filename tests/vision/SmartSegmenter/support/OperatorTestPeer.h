// Test access to the operator's private state and a fixture that binds a chosen helper module.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "EngineRecording.h"
#include "interfaces/core/Image8Grey.h"
#include "interfaces/core/RectangleAffine.h"
#include "interfaces/core/Settings.h"
#include "interfaces/smartcore/SmartLabel.h"
#include "interfaces/smartcore/SmartTrainData.h"
#include "interfaces/sys/SysLibrary.h"
#include "vision/SmartSegmenter/OperatorBinding.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace Tamrix::Vision::SmartSegmenter {

struct SmartSegmenterOperatorTestPeer {
  using Operator = SmartSegmenterOperator;

  // The same two steps as the reflection constructor.
  static std::shared_ptr<Operator> Create() {
    auto op = ConstructOnly();
    op->FinalConstruct();
    return op;
  }
  static std::shared_ptr<Operator> ConstructOnly() {
    return std::make_shared<Operator>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{});
  }
  static void FinalConstruct(Operator& op) { op.FinalConstruct(); }

  static bool IsBound(const Operator& op) { return op.impl_ != nullptr; }
  static std::shared_ptr<void> Binding(Operator& op) { return op.EnsureOstrelLibrary(); }
  static std::vector<std::shared_ptr<Segmenter>> Segmenters(Operator& op) {
    return op.impl_ ? *op.impl_->segmenters : std::vector<std::shared_ptr<Segmenter>>{};
  }
  static std::vector<std::string> SegmenterLabels(Operator& op) {
    std::vector<std::string> names;
    for (const auto& segmenter : Segmenters(op)) names.push_back(segmenter->Label()->Name());
    return names;
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
using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;
using LabelPtr = std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel>;

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
  static void UseModule(const std::string& module) {
    sysSetLibrarySearchDirectory(UtilityZel::detail::ZelUtils::ZelStringFromString(
                                     std::string(TAMRIX_TEST_MODULE_DIR) + "/" + module),
                                 SysSearchMode::SearchOnly);
  }
  static void Sequential() { Tamrix::Vision::VisionToolMultiThreading::setEnable(false); }

  static LabelPtr Label(const std::string& name) {
    return std::make_shared<Tamrix::Vision::SmartCore::SmartLabel>(Token{}, name);
  }
  // A 16x16 grey image with one rectangle per label name.
  static std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainData> Item(
      const std::vector<LabelPtr>& labels, bool isTraining = true) {
    auto item = std::make_shared<Tamrix::Vision::SmartCore::SmartTrainData>(
        Token{}, std::make_shared<Tamrix::Vision::Image8Grey>(Token{}, 16, 16), isTraining);
    double x = 0.5;
    for (const auto& label : labels) {
      item->AddAssignment(label, std::make_shared<Tamrix::Vision::RectangleAffine>(
                                     Token{}, Tamrix::Vision::Point2D{x, 1.5}, 1.0, 3.0));
      x += 2;
    }
    return item;
  }
  // Records the flags of every changed event of `op`.
  static std::shared_ptr<std::vector<long long>> RecordChanges(Operator& op) {
    auto flags = std::make_shared<std::vector<long long>>();
    op.ChangedEvent().Connect(
        [flags](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
          flags->push_back(args->Flags());
        });
    return flags;
  }

  EngineRecording& recording = EngineRecording::Instance();
};

// The two flags written "T" (training required) and "F" (full training required).
inline std::string FlagState(const Operator& op) {
  return std::string(Peer::TrainingRequired(op) ? "T" : "") +
         (Peer::FullTrainRequired(op) ? "F" : "");
}
inline void SetFlagState(Operator& op, const std::string& state) {
  Peer::SetFlags(op, state.find('T') != std::string::npos, state.find('F') != std::string::npos);
}

}  // namespace Tamrix::Testing
