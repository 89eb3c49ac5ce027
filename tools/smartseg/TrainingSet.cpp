#include "tools/smartseg/TrainingSet.h"

#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/LabelMask.h"
#include "tools/smartseg/LabelMe.h"

namespace Smartseg {
namespace {

using Tamrix::Vision::SmartCore::SmartLabel;
using Tamrix::Vision::SmartCore::SmartTrainData;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

}  // namespace

TrainingSet::TrainingSet(
    const Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& segmenterOperator) {
  const auto labels = segmenterOperator.Labels();
  for (int i = 0; i < labels->Count(); ++i) knownLabels_.push_back(labels->Item(i));
}

std::shared_ptr<SmartLabel> TrainingSet::LabelNamed(const std::string& name) {
  for (const auto& label : knownLabels_) {
    if (label && label->Name() == name) return label;
  }
  auto label = std::make_shared<SmartLabel>(kToken, name);
  knownLabels_.push_back(label);
  newLabels_.push_back(label);
  return label;
}

void TrainingSet::AddLabelMe(const std::filesystem::path& file) {
  const LabelMeAnnotation annotation = ReadLabelMe(file);
  const LoadedImage loaded = ReadImage(annotation.imagePath);
  CheckAgainstImage(annotation, loaded.image->Width(), loaded.image->Height());
  auto item = std::make_shared<SmartTrainData>(kToken, loaded.image, true);
  for (const LabelMeShape& shape : annotation.shapes) {
    const auto label = LabelNamed(shape.label);
    for (auto& frameworkShape : ToFrameworkShapes(shape))
      item->AddAssignment(label, frameworkShape);
  }
  items_.push_back(std::move(item));
}

void TrainingSet::AddMask(const std::filesystem::path& image, const std::filesystem::path& mask,
                          const std::vector<std::string>& labelNames) {
  const LoadedImage loaded = ReadImage(image);
  const cv::Mat values = ReadLabelMask(mask, loaded.image->Width(), loaded.image->Height());
  const auto regions = MaskToShapes(values);
  // Every value is checked before any label is made, so a bad mask adds no label.
  for (const MaskLabelShapes& region : regions) {
    if (!labelNames.empty() && region.value > static_cast<int>(labelNames.size())) {
      throw WorkError(mask, "holds the value " + std::to_string(region.value) + ", but only " +
                                std::to_string(labelNames.size()) + " label names were given");
    }
  }
  auto item = std::make_shared<SmartTrainData>(kToken, loaded.image, true);
  for (const MaskLabelShapes& region : regions) {
    const std::string name =
        labelNames.empty() ? "label" + std::to_string(region.value) : labelNames[region.value - 1];
    const auto label = LabelNamed(name);
    for (const auto& shape : region.shapes) item->AddAssignment(label, shape);
  }
  items_.push_back(std::move(item));
}

void TrainingSet::MoveInto(
    Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& segmenterOperator) {
  const auto labels = segmenterOperator.Labels();
  for (const auto& label : newLabels_) labels->Add(label);
  const auto database = segmenterOperator.SmartTrainDataDatabase();
  for (const auto& item : items_) database->Add(item);
  newLabels_.clear();
  items_.clear();
}

}  // namespace Smartseg
