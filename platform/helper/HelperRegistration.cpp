// Archive and reflection registrations of the helper's models. They take effect when the module is
// loaded, which the operator does before it reads any segmenter from an archive.
#include <rttr/registration>

#include "platform/helper/ForestModel.h"

CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::SmartSegmenterHelper::ForestModel,
                               "Tamrix::Vision::SmartSegmenterHelper::ForestModel")
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::SmartSegmenter::ISegmenterModel,
                                     Tamrix::Vision::SmartSegmenterHelper::ForestModel)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ShareableBase,
                                     Tamrix::Vision::SmartSegmenterHelper::ForestModel)

RTTR_REGISTRATION {
  using Tamrix::Vision::SmartSegmenterHelper::ForestModel;
  rttr::registration::class_<ForestModel>("Tamrix::Vision::SmartSegmenterHelper::ForestModel")
      .method("Describe", &ForestModel::Describe)
      .property_readonly("Trained", &ForestModel::Trained)
      .property_readonly("Seed", &ForestModel::Seed);
}
