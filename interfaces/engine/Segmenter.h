// The engine object that segments one label.
#pragma once

#include <cstdint>
#include <memory>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/engine/ISegmenterModel.h"
#include "interfaces/engine/ISmartSegmenterAccess.h"
#include "interfaces/engine/SmartSegmenterResult.h"

namespace Tamrix::Vision::SmartCore {
class ISmartLabel;
class SmartTrainDataDatabase;
}  // namespace Tamrix::Vision::SmartCore

namespace Tamrix::Vision::SmartSegmenter {

class SmartSegmenterOperator;

// One per label: keeps the label and the model that learns it, and the access object of the
// binding that made it. Train, Retrain and Execute forward to the model. One segmenter is never
// called by two threads at once; different segmenters may run concurrently on shared inputs.
class Segmenter : public ChangedEventShareableBase {
 public:
  // Throws ArgumentException when `label` or `model` is empty.
  Segmenter(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
            std::shared_ptr<SmartCore::ISmartLabel> label, std::shared_ptr<ISegmenterModel> model,
            std::shared_ptr<ISmartSegmenterAccess> access);
  ~Segmenter() override;

  // Trains incrementally on the training items of `database`. Throws on failure, and
  // VisionException (LibraryNotLoaded) when the segmenter has no model.
  void Train(const SmartCore::SmartTrainDataDatabase& database, double sampleSize);
  // Trains from scratch. Failures as Train.
  void Retrain(const SmartCore::SmartTrainDataDatabase& database, double sampleSize);
  // Segments `image` (only inside `region` when it is not null). Throws as Train.
  std::shared_ptr<SmartSegmenterResult> Execute(const IImage& image, const IRegion* region) const;

  // The model's ContextRadius(); 0 without a model.
  int ContextRadius() const;
  // The model's ContextStep(); 1 without a model.
  int ContextStep() const;

  // The label the segmenter was made for; its Name() identifies the segmenter.
  std::shared_ptr<SmartCore::ISmartLabel> Label() const;
  // The engine model (empty only for a loaded segmenter that has not been given access yet).
  std::shared_ptr<ISegmenterModel> Model() const;

 private:
  friend class SmartSegmenterOperator;
  friend class cereal::access;
  friend struct SegmenterTestAccess;
  friend struct FakeSegmenterAccess;

  Segmenter();

  // Gives a loaded segmenter the access object of its new binding; a segmenter loaded without a
  // model asks the access object for a new one.
  void SetAccessAndParameters(std::shared_ptr<ISmartSegmenterAccess> access);
  // Brings the model's derived state up to date after loading.
  void UpdateTrainingParametersAndTrainCache();

  ISegmenterModel& RequireModel(const char* operation) const;

  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  std::shared_ptr<SmartCore::ISmartLabel> label_;
  std::shared_ptr<ISegmenterModel> model_;
  std::shared_ptr<ISmartSegmenterAccess> access_;

  RTTR_ENABLE(ChangedEventShareableBase)
};

}  // namespace Tamrix::Vision::SmartSegmenter

CEREAL_CLASS_VERSION(Tamrix::Vision::SmartSegmenter::Segmenter, 1)
