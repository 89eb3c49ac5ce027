// The interface of a learning segmentation operator.
#pragma once

#include <memory>

#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/IChangedEvent.h"
#include "interfaces/core/ImageInterfaces.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartSegmenterResults.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"

namespace Tamrix::Vision::SmartCore {

// A segmenter that learns from its training-data database which pixels belong to which label.
// IsDirty() is true while the trained state does not match the training data.
class ISmartSegmenter : public virtual Tamrix::Vision::IChangedEvent {
 public:
  // Brings the trained state up to date with the training data.
  virtual void Train() = 0;
  virtual std::shared_ptr<Tamrix::Vision::SmartCore::SmartTrainDataDatabase>
  SmartTrainDataDatabase() const = 0;
  // Trains from scratch on all of the training data.
  virtual void Retrain() = 0;
  virtual std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabelCollection> Labels() const = 0;
  virtual bool IsDirty() const = 0;
  virtual double SampleSize() const = 0;
  virtual void setSampleSize(double sampleSize) = 0;
  // Segments `image`, restricted to `region` when it is not null.
  virtual std::shared_ptr<Tamrix::Vision::SmartCore::SmartSegmenterResults> Execute(
      const Tamrix::Vision::IImage& image, const Tamrix::Vision::IRegion* region) = 0;

  RTTR_ENABLE(Tamrix::Vision::IChangedEvent)
};

}  // namespace Tamrix::Vision::SmartCore
