// The operator's entry in the reflection registry.
#include <rttr/registration>

#include <algorithm>
#include <numeric>
#include <string>
#include <vector>

#include "interfaces/core/Settings.h"
#include "interfaces/engine/ISegmenterModel.h"
#include "interfaces/smartcore/ISmartLabel.h"
#include "vision/SmartSegmenter/ModelDescriptions.h"
#include "vision/SmartSegmenter/OperatorBinding.h"
#include "vision/SmartSegmenter/SmartSegmenterOperator"

namespace Tamrix::Vision::SmartSegmenter::detail {

struct OperatorReflection {
  // The registry's parameterless constructor: shared construction, then final construction.
  // Converts owning pointers in one direction, sharing ownership; an empty pointer or one that
  // holds no object of the target type converts to an empty pointer and reports failure.
  template <typename From, typename To>
  static void RegisterConversion() {
    rttr::type::register_converter_func(
        [](const std::shared_ptr<From>& source, bool& ok) -> std::shared_ptr<To> {
          std::shared_ptr<To> target = std::dynamic_pointer_cast<To>(source);
          ok = target != nullptr;
          return target;
        });
  }

  template <typename Base>
  static void RegisterConversions() {
    RegisterConversion<SmartSegmenterOperator, Base>();
    RegisterConversion<Base, SmartSegmenterOperator>();
  }

  // The diagnostics of ModelDescriptions.h read the binding through this friend of the operator.
  static std::vector<std::string> DescribeModels(const SmartSegmenterOperator& segmenterOperator) {
    std::vector<std::string> lines;
    if (!segmenterOperator.impl_) return lines;
    for (const auto& segmenter : *segmenterOperator.impl_->segmenters) {
      const auto label = segmenter->Label();
      const auto model = segmenter->Model();
      lines.push_back((label ? label->Name() : std::string("?")) + ": " +
                      (model ? model->Describe() : std::string("no model")));
    }
    return lines;
  }

  static int ContextRadius(const SmartSegmenterOperator& segmenterOperator) {
    int radius = 0;
    if (!segmenterOperator.impl_) return radius;
    for (const auto& segmenter : *segmenterOperator.impl_->segmenters) {
      radius = std::max(radius, segmenter->ContextRadius());
    }
    const int step = ContextStep(segmenterOperator);
    return (radius + step - 1) / step * step;
  }

  static int ContextStep(const SmartSegmenterOperator& segmenterOperator) {
    int step = 1;
    if (!segmenterOperator.impl_) return step;
    for (const auto& segmenter : *segmenterOperator.impl_->segmenters) {
      step = std::lcm(step, std::max(1, segmenter->ContextStep()));
    }
    return step;
  }

  static std::shared_ptr<SmartSegmenterOperator> Create() {
    auto created =
        std::make_shared<SmartSegmenterOperator>(Tamrix::Vorn::IObject::ObjectCreateAccessToken{});
    created->FinalConstruct();
    return created;
  }
};

}  // namespace Tamrix::Vision::SmartSegmenter::detail

namespace Tamrix::Vision::SmartSegmenter {

std::vector<std::string> DescribeModels(const SmartSegmenterOperator& segmenterOperator) {
  return detail::OperatorReflection::DescribeModels(segmenterOperator);
}

int ContextRadius(const SmartSegmenterOperator& segmenterOperator) {
  return detail::OperatorReflection::ContextRadius(segmenterOperator);
}

int ContextStep(const SmartSegmenterOperator& segmenterOperator) {
  return detail::OperatorReflection::ContextStep(segmenterOperator);
}

}  // namespace Tamrix::Vision::SmartSegmenter

RTTR_REGISTRATION {
  using rttr::metadata;
  using Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator;
  using Tamrix::Vorn::TypeRegistration::ClassType;
  using Tamrix::Vorn::TypeRegistration::PropertyType;

  rttr::registration::class_<SmartSegmenterOperator>(
      "Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator")(
      metadata(std::string("LibraryExport"), std::string("Tamrix.Vision.SmartSegmenter")),
      metadata(std::string("HeaderPath"),
               std::string("<vision/SmartSegmenter/SmartSegmenterOperator>")),
      metadata(std::string("ClassType"), ClassType::Concrete))
      .constructor(&Tamrix::Vision::SmartSegmenter::detail::OperatorReflection::Create)
      .method("Train", &SmartSegmenterOperator::Train)
      .method("Retrain", &SmartSegmenterOperator::Retrain)
      .property("SampleSize", &SmartSegmenterOperator::SampleSize,
                &SmartSegmenterOperator::setSampleSize)
      .property_readonly("SmartTrainDataDatabase", &SmartSegmenterOperator::SmartTrainDataDatabase)
      .property_readonly("Labels", &SmartSegmenterOperator::Labels)
      .property_readonly("IsDirty", &SmartSegmenterOperator::IsDirty)
      .property_readonly("SfIsDirty", &SmartSegmenterOperator::SfIsDirty)(
          metadata(std::string("PropertyAccessorType"), PropertyType::Static))
      .property_readonly("SfSampleSize", &SmartSegmenterOperator::SfSampleSize)(
          metadata(std::string("PropertyAccessorType"), PropertyType::Static));

  // The registry's own base-class conversions dereference an empty source, so conversions that
  // handle it are registered first; the registry keeps the first conversion of each pair.
  using Tamrix::Vision::SmartSegmenter::detail::OperatorReflection;
  OperatorReflection::RegisterConversions<Tamrix::Vision::ChangedEventShareableBase>();
  OperatorReflection::RegisterConversions<Tamrix::Vision::ShareableBase>();
  OperatorReflection::RegisterConversions<Tamrix::Vorn::IObject>();
  OperatorReflection::RegisterConversions<Tamrix::Vision::IChangedEvent>();
  OperatorReflection::RegisterConversions<Tamrix::Vision::SmartCore::ISmartSegmenter>();
  rttr::type::register_wrapper_converter_for_base_classes<
      std::shared_ptr<SmartSegmenterOperator>>();
}
