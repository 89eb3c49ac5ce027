#include "tools/smartseg/TrainingSet.h"

#include <algorithm>
#include <exception>
#include <future>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tools/smartseg/DisplayText.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/LabelMask.h"
#include "tools/smartseg/LabelMe.h"
#include "tools/smartseg/LabelMeGeometry.h"
#include "tools/smartseg/Progress.h"

namespace Smartseg {
namespace {

using Tamrix::Vision::IShape;
using Tamrix::Vision::PixelMask;
using Tamrix::Vision::SmartCore::SmartLabel;
using Tamrix::Vision::SmartCore::SmartTrainData;
using Shapes = std::vector<std::shared_ptr<IShape>>;
using ShapesByLabel = std::vector<std::pair<std::string, Shapes>>;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;

std::string Quoted(const std::string& text) { return "'" + DisplayText(text, 40) + "'"; }

bool Overlap(const PixelMask& a, const PixelMask& b) {
  for (std::size_t i = 0; i < a.Data().size(); ++i) {
    if (a.Data()[i] && b.Data()[i]) return true;
  }
  return false;
}

void Subtract(PixelMask& from, const PixelMask& removed) {
  for (std::size_t i = 0; i < from.Data().size(); ++i) {
    if (removed.Data()[i]) from.Data()[i] = 0;
  }
}

// Pixel blocks that hold exactly the pixels of `pixels`.
Shapes BlocksOf(const PixelMask& pixels) {
  Shapes blocks;
  for (auto& region : MaskToShapes(pixels.Data().data(), pixels.Width(), pixels.Height())) {
    for (auto& block : region.shapes) blocks.push_back(std::move(block));
  }
  return blocks;
}

// One label's shapes in one annotation, with the pixels they cover.
struct LabelShapes {
  std::string name;
  Shapes shapes;
  PixelMask pixels;
};

// The shapes of each label of `annotation` on a width x height image, with the pixels they
// cover, and the pixels of its "__ignore__" shapes. A shape that covers no pixel is reported to
// `warn` and skipped.
struct DrawnShapes {
  std::vector<LabelShapes> labels;
  PixelMask ignored;
  bool anyIgnored = false;
};

DrawnShapes DrawShapes(const LabelMeAnnotation& annotation, const std::filesystem::path& file,
                       int width, int height, const WarningSink& warn) {
  const std::string imageSize = std::to_string(width) + " x " + std::to_string(height);
  DrawnShapes drawn;
  drawn.ignored = PixelMask(width, height);
  PixelMask scratch(width, height);
  for (const LabelMeShape& shape : annotation.shapes) {
    Shapes shapes = ToFrameworkShapes(shape, width, height);
    const bool ignore = shape.label == kIgnoreLabel;
    auto entry = std::find_if(drawn.labels.begin(), drawn.labels.end(),
                              [&](const LabelShapes& known) { return known.name == shape.label; });
    if (!ignore && entry == drawn.labels.end()) {
      drawn.labels.push_back({shape.label, {}, PixelMask(width, height)});
      entry = drawn.labels.end() - 1;
    }
    PixelMask& target = ignore ? drawn.ignored : entry->pixels;
    long long covered = 0;
    for (const auto& part : shapes) covered += AddCoveredPixels(target, *part, scratch);
    if (covered == 0) {
      warn(file.string() + ": " + DescribeShape(shape) + " covers no pixel of the " + imageSize +
           " image; skipped");
      continue;
    }
    drawn.anyIgnored = drawn.anyIgnored || ignore;
    if (!ignore) {
      for (auto& part : shapes) entry->shapes.push_back(std::move(part));
    }
  }
  return drawn;
}

}  // namespace

void PrintWarning(const std::string& line) { Warn(line); }

TrainingSet::TrainingSet(
    const Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& segmenterOperator,
    WarningSink warn)
    : warn_(std::move(warn)) {
  const auto labels = segmenterOperator.Labels();
  for (int i = 0; i < labels->Count(); ++i) {
    knownLabels_.push_back(labels->Item(i));
    if (labels->Item(i)) modelLabelNames_.insert(labels->Item(i)->Name());
  }
  const auto items = segmenterOperator.SmartTrainDataDatabase()->TrainingData();
  for (int i = 0; i < items->Count(); ++i) {
    if (items->Item(i)) modelItems_.push_back(items->Item(i));
  }
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
  const std::string skipped = SkippedShapesWarning(annotation);
  if (!skipped.empty()) warn_(skipped);
  // Ignored pixels must be neither positive nor negative for any label, so a label whose shapes
  // reach under them is given, instead of its shapes, the blocks of its remaining pixels. The
  // labels' pixels are settled and counted as soon as the shapes are drawn; the model's
  // bookkeeping changes only once the image has been read too.
  struct SettledLabel {
    LabelShapes* label = nullptr;
    long long pixels = 0;
  };
  std::vector<SettledLabel> settled;
  std::vector<std::string> settleWarnings;
  const auto settle = [&](DrawnShapes& drawn) {
    for (LabelShapes& label : drawn.labels) {
      settled.push_back(SettledLabel{&label, 0});
      if (label.shapes.empty()) continue;
      if (drawn.anyIgnored && Overlap(label.pixels, drawn.ignored)) {
        Subtract(label.pixels, drawn.ignored);
        label.shapes = BlocksOf(label.pixels);
        if (label.shapes.empty()) {
          settleWarnings.push_back(file.string() + ": every pixel of label " + Quoted(label.name) +
                                   " lies under " + kIgnoreLabel +
                                   "; the label gets nothing from this file");
          continue;
        }
      }
      settled.back().pixels = label.pixels.Count();
    }
  };
  LoadedImage loaded;
  DrawnShapes drawn;
  const int recordedWidth = annotation.imageWidth.value_or(0);
  const int recordedHeight = annotation.imageHeight.value_or(0);
  if (recordedWidth > 0 && recordedHeight > 0) {
    // The image is decoded on a thread of its own while the shapes are drawn on the size the
    // annotation records (an image of another size is refused once read). Warnings and errors
    // come in the order of a read before the drawing: the image's first.
    std::vector<std::string> imageWarnings, shapeWarnings;
    const auto read = [&annotation, &imageWarnings] {
      return ReadLabelMeImage(
          annotation, [&imageWarnings](const std::string& line) { imageWarnings.push_back(line); });
    };
    std::future<LoadedImage> reading;
    try {
      reading = std::async(std::launch::async, read);
    } catch (const std::system_error&) {
      reading = std::async(std::launch::deferred, read);
    }
    std::exception_ptr drawingFailure;
    try {
      drawn =
          DrawShapes(annotation, file, recordedWidth, recordedHeight,
                     [&shapeWarnings](const std::string& line) { shapeWarnings.push_back(line); });
      settle(drawn);
    } catch (...) {
      drawingFailure = std::current_exception();
    }
    loaded = reading.get();
    for (const std::string& line : imageWarnings) warn_(line);
    if (drawingFailure) std::rethrow_exception(drawingFailure);
    for (const std::string& line : shapeWarnings) warn_(line);
  } else {
    loaded = ReadLabelMeImage(annotation, warn_);
    drawn = DrawShapes(annotation, file, loaded.image->Width(), loaded.image->Height(), warn_);
    settle(drawn);
  }
  for (const std::string& line : settleWarnings) warn_(line);

  ItemContent content{loaded.image, {}};
  ShapesByLabel shapesByLabel;
  for (const SettledLabel& entry : settled) {
    LabelShapes& label = *entry.label;
    LabelUse& use = labelUses_.try_emplace(label.name, LabelUse{0, file}).first->second;
    if (label.shapes.empty()) continue;
    use.pixels += entry.pixels;
    content.pixelsByLabel.emplace(label.name, std::move(label.pixels));
    shapesByLabel.emplace_back(label.name, std::move(label.shapes));
  }
  if (shapesByLabel.empty()) {
    warn_(file.string() + ": no labelled shape covers a pixel of the image; the file adds nothing");
    return;
  }
  AddItem(file, content, shapesByLabel);
}

void TrainingSet::AddMask(const std::filesystem::path& image, const std::filesystem::path& mask,
                          const std::vector<std::string>& labelNames) {
  const LoadedImage loaded = ReadImage(image);
  AddMask(loaded, ReadLabelMask(mask, loaded.image->Width(), loaded.image->Height()), labelNames,
          mask);
}

void TrainingSet::AddMask(const LoadedImage& loaded, const Picture& values,
                          const std::vector<std::string>& labelNames,
                          const std::filesystem::path& mask) {
  const int width = loaded.image->Width();
  const int height = loaded.image->Height();
  const auto regions = MaskToShapes(values);
  // Every value is checked before any label is made, so a bad mask adds no label.
  for (const MaskLabelShapes& region : regions) {
    if (!labelNames.empty() && region.value > static_cast<int>(labelNames.size())) {
      throw WorkError(mask, "holds the value " + std::to_string(region.value) + ", but only " +
                                std::to_string(labelNames.size()) + " label names were given");
    }
  }
  ItemContent content{loaded.image, {}};
  ShapesByLabel shapesByLabel;
  for (const MaskLabelShapes& region : regions) {
    const std::string name =
        labelNames.empty() ? "label" + std::to_string(region.value) : labelNames[region.value - 1];
    // A mask gives each pixel one value, so leaving the ignored value out is all it takes.
    if (name == kIgnoreLabel) continue;
    content.pixelsByLabel.emplace(name, CoveredPixels(region.shapes, width, height));
    shapesByLabel.emplace_back(name, region.shapes);
  }
  if (shapesByLabel.empty()) {
    warn_(mask.string() + ": no labelled pixel; the mask adds nothing");
    return;
  }
  AddItem(mask, content, shapesByLabel);
}

std::string TrainingSet::FindSameContent(const ItemContent& content) const {
  // Comparing pixels first is cheap and settles nearly every pair; the covered pixels of an item
  // are worked out only for an item with the very same image.
  for (const auto& item : modelItems_) {
    if (item->Image() && SamePixels(*content.image, *item->Image()) &&
        SameContent(content, ContentOf(*item))) {
      return "the model";
    }
  }
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (SamePixels(*content.image, *items_[i]->Image()) &&
        SameContent(content, ContentOf(*items_[i]))) {
      return itemSources_[i].string();
    }
  }
  return "";
}

void TrainingSet::AddItem(const std::filesystem::path& source, const ItemContent& content,
                          const ShapesByLabel& shapesByLabel) {
  const std::string earlier = FindSameContent(content);
  if (!earlier.empty()) {
    warn_(source.string() + ": the same image with the same labelled pixels is already in " +
          earlier + "; skipped");
    return;
  }
  auto item = std::make_shared<SmartTrainData>(kToken, content.image, true);
  for (const auto& [name, shapes] : shapesByLabel) {
    const auto label = LabelNamed(name);
    for (const auto& shape : shapes) item->AddAssignment(label, shape);
  }
  items_.push_back(std::move(item));
  itemSources_.push_back(source);
}

void TrainingSet::MoveInto(
    Tamrix::Vision::SmartSegmenter::SmartSegmenterOperator& segmenterOperator) {
  for (const auto& [name, use] : labelUses_) {
    if (use.pixels == 0 && modelLabelNames_.count(name) == 0) {
      throw WorkError(use.firstFile,
                      "label " + Quoted(name) +
                          " has no training pixel: each of its shapes covers no pixel of its "
                          "image or lies under " +
                          kIgnoreLabel + "; fix those shapes or remove the label");
    }
  }
  const auto labels = segmenterOperator.Labels();
  for (const auto& label : newLabels_) labels->Add(label);
  const auto database = segmenterOperator.SmartTrainDataDatabase();
  for (const auto& item : items_) database->Add(item);
  // What was moved is now in the model, for annotations added after this.
  modelItems_.insert(modelItems_.end(), items_.begin(), items_.end());
  for (const auto& label : newLabels_) modelLabelNames_.insert(label->Name());
  newLabels_.clear();
  items_.clear();
  itemSources_.clear();
  labelUses_.clear();
}

}  // namespace Smartseg
