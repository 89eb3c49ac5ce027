// Archive and reflection registrations of the helper's models. They take effect when the module is
// loaded, which the operator does before it reads any segmenter from an archive.
#include <rttr/registration>

#include "platform/helper/IntensityModel.h"

CEREAL_REGISTER_TYPE_WITH_NAME(Tamrix::Vision::SmartSegmenterHelper::IntensityModel,
                               "Tamrix::Vision::SmartSegmenterHelper::IntensityModel")
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::SmartSegmenter::ISegmenterModel,
                                     Tamrix::Vision::SmartSegmenterHelper::IntensityModel)
CEREAL_REGISTER_POLYMORPHIC_RELATION(Tamrix::Vision::ShareableBase,
                                     Tamrix::Vision::SmartSegmenterHelper::IntensityModel)

RTTR_REGISTRATION {
  using Tamrix::Vision::SmartSegmenterHelper::IntensityModel;
  rttr::registration::class_<IntensityModel>("Tamrix::Vision::SmartSegmenterHelper::IntensityModel")
      .method("Describe", &IntensityModel::Describe)
      .property_readonly("Trained", &IntensityModel::Trained);
}
