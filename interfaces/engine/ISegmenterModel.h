// The learning part of a Segmenter, supplied by the engine helper module.
#pragma once

#include <memory>
#include <string>

#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/IObject.h"
#include "interfaces/core/ImageInterfaces.h"

namespace Tamrix::Vision::SmartCore {
class ISmartLabel;
class SmartTrainDataDatabase;
}  // namespace Tamrix::Vision::SmartCore

namespace Tamrix::Vision::SmartSegmenter {

class SmartSegmenterResult;

// A model that learns to tell the pixels of one label from the pixels of the others.
//
// A Segmenter owns one model and forwards its Train, Retrain and Execute calls to it. Models of
// different segmenters run concurrently on one database and one image, so a model only reads its
// inputs; one model is never called by two threads at once. Models are archived polymorphically
// through std::shared_ptr<ISegmenterModel>: the module that defines a concrete model registers its
// archive id and its relation to ISegmenterModel.
class ISegmenterModel : public virtual Tamrix::Vorn::IObject {
 public:
  // Learns from the training items of `database` (those whose IsTraining() holds): pixels inside
  // the shapes assigned to the label named `labelName` are positives, pixels inside the shapes of
  // the other labels negatives. Items learned before and unchanged since are not learned again.
  // `sampleSize` sets the scale of the neighbourhood the model looks at, in pixels.
  virtual void Train(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
                     const std::string& labelName) = 0;

  // As Train, but forgets everything learned before.
  virtual void Retrain(const SmartCore::SmartTrainDataDatabase& database, double sampleSize,
                       const std::string& labelName) = 0;

  // Segments `image`: the result carries `label`'s name, the probability of each pixel to belong
  // to the label and the mask of the pixels where it reaches 0.5. With a region only the pixels
  // whose centres lie inside it are classified; the others are 0. A model that has learned nothing
  // yet gives an all-zero result.
  virtual std::shared_ptr<SmartSegmenterResult> Execute(
      const IImage& image, const IRegion* region,
      const std::shared_ptr<SmartCore::ISmartLabel>& label) const = 0;

  // How far, in pixels, the pixels that decide one pixel's result can lie from it: Execute on a
  // crop of an image extended by this margin on every side (or to the image's edge) gives, inside
  // the crop, exactly the result of Execute on the whole image, when the extended crop's corner
  // lies at a multiple of ContextStep() in both directions. 0 for a model that looks at each
  // pixel alone or has learned nothing. A multiple of ContextStep().
  virtual int ContextRadius() const { return 0; }
  // The step of the grid, counted from the image's corner, on which the model classifies pixels
  // and interpolates the others: 1 when every pixel is classified.
  virtual int ContextStep() const { return 1; }

  // Rebuilds the state derived from the archived record after the model was loaded.
  virtual void UpdateTrainingParametersAndTrainCache() = 0;

  // One line describing what the model has learned, for reports and diagnostics.
  virtual std::string Describe() const = 0;

  RTTR_ENABLE(Tamrix::Vorn::IObject)
};

}  // namespace Tamrix::Vision::SmartSegmenter
