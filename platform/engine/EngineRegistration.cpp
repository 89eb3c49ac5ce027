// Archive and reflection registrations of the engine's types, made when the engine library loads
// so that operator archives can carry segmenters and results through their bases.
#include <rttr/registration>

#include "interfaces/engine/ISegmenterModel.h"
#include "interfaces/engine/Segmenter.h"
#include "interfaces/engine/SmartSegmenterResult.h"
#include "interfaces/smartcore/ISmartLabel.h"

CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::SmartSegmenter::Segmenter,
                               "Tamrix::Vision::SmartSegmenter::Segmenter")
CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::SmartSegmenter::SmartSegmenterResult,
                               "Tamrix::Vision::SmartSegmenter::SmartSegmenterResult")

CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ChangedEventShareableBase,
                                     Tamrix::Vision::SmartSegmenter::Segmenter)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ShareableBase,
                                     Tamrix::Vision::SmartSegmenter::SmartSegmenterResult)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::SmartCore::ISmartSegmenterResult,
                                     Tamrix::Vision::SmartSegmenter::SmartSegmenterResult)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vorn::IObject,
                                     Tamrix::Vision::SmartSegmenter::ISegmenterModel)

RTTR_REGISTRATION {
  using namespace Tamrix::Vision::SmartSegmenter;
  rttr::registration::class_<ISegmenterModel>("Tamrix::Vision::SmartSegmenter::ISegmenterModel")
      .method("Describe", &ISegmenterModel::Describe);
  rttr::registration::class_<Segmenter>("Tamrix::Vision::SmartSegmenter::Segmenter")
      .method("Label", &Segmenter::Label)
      .method("Model", &Segmenter::Model);
  rttr::registration::class_<SmartSegmenterResult>(
      "Tamrix::Vision::SmartSegmenter::SmartSegmenterResult")
      .property_readonly("LabelName", &SmartSegmenterResult::LabelName)
      .property_readonly("Width", &SmartSegmenterResult::Width)
      .property_readonly("Height", &SmartSegmenterResult::Height)
      .property_readonly("Area", &SmartSegmenterResult::Area);
}
