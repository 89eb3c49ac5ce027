// The factory object that the engine helper module hands out.
#pragma once

#include <memory>

namespace Tamrix::Vision::SmartCore {
class ISmartLabel;
}  // namespace Tamrix::Vision::SmartCore

namespace Tamrix::Vision::SmartSegmenter {

class ISegmenterModel;
class Segmenter;

// Creates the engine objects of one host binding. The helper module's factory
// CreateSegmenterAccessWrapper fills a new access object on each call. Thread-safe.
class ISmartSegmenterAccess {
 public:
  virtual ~ISmartSegmenterAccess();

  // A new Segmenter for `label`, with a new untrained model, holding this access object.
  // Failures are reported as std::runtime_error or a type derived from it.
  virtual std::shared_ptr<Segmenter> CreateSegmenter(
      std::shared_ptr<SmartCore::ISmartLabel> label) = 0;

  // A new untrained model for the segmenter of `label`; used also for loaded segmenters whose
  // archive carried no model.
  virtual std::shared_ptr<ISegmenterModel> CreateModel(
      const std::shared_ptr<SmartCore::ISmartLabel>& label) = 0;
};

}  // namespace Tamrix::Vision::SmartSegmenter

// The helper module's entry point, resolved by name at run time.
using CreateSegmenterAccessWrapperFunction =
    int (*)(std::shared_ptr<Tamrix::Vision::SmartSegmenter::ISmartSegmenterAccess>* access);
