#include "tools/smartseg/serve/Session.h"

#include <algorithm>
#include <sstream>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/ObjectArchive.h"
#include "interfaces/smartcore/SmartLabelCollection.h"
#include "interfaces/smartcore/SmartLabelToShapeAssignment.h"
#include "interfaces/smartcore/SmartTrainDataCollection.h"
#include "interfaces/smartcore/SmartTrainDataDatabase.h"
#include "tools/smartseg/AtomicFile.h"
#include "tools/smartseg/Errors.h"
#include "tools/smartseg/LabelMe.h"
#include "tools/smartseg/serve/ApiError.h"

namespace Smartseg::Serve {
namespace {

using Json = nlohmann::json;
using Tamrix::Vision::SmartCore::SmartLabel;
using Tamrix::Vision::SmartCore::SmartLabelToShapeAssignment;
using Tamrix::Vision::SmartCore::SmartTrainData;

const Tamrix::Vorn::IObject::ObjectCreateAccessToken kToken;
constexpr std::size_t kImageCacheSize = 4;
constexpr std::size_t kMaxLabelNameLength = 100;
const char* const kPalette[] = {"#e6194b", "#3cb44b", "#4363d8", "#f58231", "#911eb4",
                                "#42d4f4", "#f032e6", "#bfef45", "#fabed4", "#469990"};

// FNV-1a over the image's size, format and pixel rows: the same pixels give the same value, so
// an item loaded from a model finds the file it was made from.
class PixelHash {
 public:
  void Add(const void* data, std::size_t size) {
    const auto* bytes = static_cast<const unsigned char*>(data);
    for (std::size_t i = 0; i < size; ++i) value_ = (value_ ^ bytes[i]) * 1099511628211ULL;
  }
  std::uint64_t Value() const { return value_; }

 private:
  std::uint64_t value_ = 14695981039346656037ULL;
};

std::uint64_t ContentHash(const Tamrix::Vision::IImage& image) {
  using namespace Tamrix::Vision;
  PixelHash hash;
  const int header[] = {image.Width(), image.Height(), static_cast<int>(image.Format())};
  hash.Add(header, sizeof(header));
  const auto width = static_cast<std::size_t>(image.Width());
  if (const auto* grey8 = dynamic_cast<const IImage8GreyData*>(&image)) {
    for (int y = 0; y < image.Height(); ++y) hash.Add(grey8->Row(y), width);
  } else if (const auto* grey16 = dynamic_cast<const IImage16GreyData*>(&image)) {
    for (int y = 0; y < image.Height(); ++y) hash.Add(grey16->Row(y), 2 * width);
  } else if (const auto* colour = dynamic_cast<const IImage24PlanarColorData*>(&image)) {
    for (int c = 0; c < 3; ++c) {
      for (int y = 0; y < image.Height(); ++y) hash.Add(colour->Row(c, y), width);
    }
  } else {
    for (int y = 0; y < image.Height(); ++y) {
      for (int x = 0; x < image.Width(); ++x) {
        const double value = image.Value(x, y);
        hash.Add(&value, sizeof(value));
      }
    }
  }
  return hash.Value();
}

std::string FormatName(const Picture& pixels) {
  if (pixels.IsGrey16()) return "grey16";
  if (pixels.IsBgr8()) return "rgb";
  return "grey8";
}

bool IsColour(const Json& value) {
  if (!value.is_string()) return false;
  const std::string text = value.get<std::string>();
  if (text.size() != 7 || text[0] != '#') return false;
  return std::all_of(text.begin() + 1, text.end(),
                     [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

std::string CheckedLabelName(const Json& value) {
  if (!value.is_string() || value.get<std::string>().empty()) {
    throw ApiError(400, "a label needs a \"name\" (a non-empty string)");
  }
  std::string name = value.get<std::string>();
  if (name.size() > kMaxLabelNameLength) {
    throw ApiError(400, "a label name may have at most " + std::to_string(kMaxLabelNameLength) +
                            " characters");
  }
  for (const char c : name) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
      throw ApiError(400, "a label name may not hold control characters");
    }
  }
  return name;
}

std::string AnnotationFileName(const std::string& image) {
  return std::filesystem::path(image).stem().string() + ".json";
}

}  // namespace

Session::Session(const ServedFolder& folder, std::filesystem::path modelPath,
                 std::ostream& warnings)
    : folder_(folder), modelPath_(std::move(modelPath)) {
  std::error_code error;
  model_ = std::filesystem::exists(modelPath_, error) ? LoadModel(modelPath_) : CreateOperator();
  ScanImages(warnings);
  RecoverItems();
  for (ImageEntry& entry : images_) {
    if (entry.item < 0) ImportLabelMe(entry, warnings);
  }
  const auto labels = model_->Labels();
  for (int i = 0; i < labels->Count(); ++i) {
    const auto label = labels->Item(i);
    if (label) colours_.emplace(label->Name(), kPalette[i % std::size(kPalette)]);
  }
}

void Session::setEditObserver(std::function<void()> observer) {
  std::lock_guard<std::mutex> lock(mutex_);
  observer_ = std::move(observer);
}

void Session::ScanImages(std::ostream& warnings) {
  for (const std::string& name : folder_.ImageNames()) {
    try {
      const auto loaded = Image(name);
      ImageEntry entry;
      entry.name = name;
      entry.width = loaded->pixels.Width();
      entry.height = loaded->pixels.Height();
      entry.format = FormatName(loaded->pixels);
      const auto [low, high] = loaded->pixels.SampleRange();
      entry.low = low;
      entry.high = high > low ? high : low + 1.0;
      images_.push_back(std::move(entry));
    } catch (const std::exception& failure) {
      const std::string message = std::string("skipped: ") + failure.what();
      warnings << "smartseg serve: " << message << "\n";
      warnings_.push_back(message);
    }
  }
}

void Session::RecoverItems() {
  const auto items = model_->SmartTrainDataDatabase()->TrainingData();
  std::map<std::uint64_t, int> itemByHash;
  for (int i = 0; i < items->Count(); ++i) {
    const auto image = items->Item(i)->Image();
    if (image) itemByHash.emplace(ContentHash(*image), i);
  }
  if (itemByHash.empty()) return;
  for (ImageEntry& entry : images_) {
    const auto found = itemByHash.find(ContentHash(*Image(entry.name)->image));
    if (found == itemByHash.end()) continue;
    entry.item = found->second;
    for (RecoveredShape& recovered : RecoverShapes(*items->Item(found->second))) {
      entry.shapes.push_back({nextShapeId_++, std::move(recovered.shape), recovered.assignments});
    }
    itemByHash.erase(found);
  }
  if (!itemByHash.empty()) {
    warnings_.push_back(std::to_string(itemByHash.size()) +
                        " training item(s) of the model match no image in the folder; they are "
                        "kept and trained on, but not shown");
  }
}

void Session::ImportLabelMe(ImageEntry& entry, std::ostream& warnings) {
  std::filesystem::path file;
  try {
    file = folder_.ExistingFile(AnnotationFileName(entry.name));
  } catch (const ApiError&) {
    return;  // no annotation beside this image
  }
  try {
    const LabelMeAnnotation annotation = ReadLabelMe(file);
    CheckAgainstImage(annotation, entry.width, entry.height);
    std::vector<AnnotationShape> shapes;
    for (const LabelMeShape& shape : annotation.shapes) shapes.push_back(FromLabelMeShape(shape));
    if (shapes.empty()) return;
    for (const AnnotationShape& shape : shapes) EnsureLabel(shape.label);
    AppendAssignments(entry, shapes);
  } catch (const std::exception& failure) {
    const std::string message = std::string("not imported: ") + failure.what();
    warnings << "smartseg serve: " << message << "\n";
    warnings_.push_back(message);
  }
}

std::shared_ptr<const LoadedImage> Session::Image(const std::string& name) const {
  {
    std::lock_guard<std::mutex> lock(cacheMutex_);
    for (auto entry = cache_.begin(); entry != cache_.end(); ++entry) {
      if (entry->first != name) continue;
      auto image = entry->second;
      std::rotate(cache_.begin(), entry, entry + 1);
      return image;
    }
  }
  ServedFolder::CheckPlainName(name);
  if (!IsImageFileName(name)) throw ApiError(404, "'" + name + "' is not an image of the folder");
  auto loaded = std::make_shared<const LoadedImage>(ReadImage(folder_.ExistingFile(name)));
  std::lock_guard<std::mutex> lock(cacheMutex_);
  cache_.insert(cache_.begin(), {name, loaded});
  if (cache_.size() > kImageCacheSize) cache_.pop_back();
  return loaded;
}

std::vector<std::string> Session::ImageNames() const {
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<std::string> names;
  for (const ImageEntry& entry : images_) names.push_back(entry.name);
  return names;
}

Session::ImageEntry& Session::Find(const std::string& image) {
  for (ImageEntry& entry : images_) {
    if (entry.name == image) return entry;
  }
  throw ApiError(404, "'" + image + "' is not an image of the folder");
}

const Session::ImageEntry& Session::Find(const std::string& image) const {
  return const_cast<Session*>(this)->Find(image);
}

std::shared_ptr<SmartLabel> Session::LabelNamed(const std::string& name) const {
  const auto labels = model_->Labels();
  for (int i = 0; i < labels->Count(); ++i) {
    auto label = labels->Item(i);
    if (label && label->Name() == name) return label;
  }
  return nullptr;
}

std::shared_ptr<SmartLabel> Session::EnsureLabel(const std::string& name) {
  auto label = LabelNamed(name);
  if (label) return label;
  label = std::make_shared<SmartLabel>(kToken, name);
  model_->Labels()->Add(label);
  colours_.emplace(name, kPalette[(model_->Labels()->Count() - 1) % std::size(kPalette)]);
  return label;
}

std::string Session::ColourOf(const std::string& label) const {
  const auto found = colours_.find(label);
  return found == colours_.end() ? kPalette[0] : found->second;
}

void Session::AppendAssignments(ImageEntry& entry, const std::vector<AnnotationShape>& shapes) {
  std::shared_ptr<SmartTrainData> item;
  const auto database = model_->SmartTrainDataDatabase();
  const bool fresh = entry.item < 0;
  // A new item is filled before it enters the database, so that the operator provisions a
  // segmenter for each of its labels when it is added.
  item = fresh ? std::make_shared<SmartTrainData>(kToken, Image(entry.name)->image, true)
               : database->TrainingData()->Item(entry.item);
  for (const AnnotationShape& shape : shapes) {
    const auto label = LabelNamed(shape.label);
    const auto frameworkShapes = ToFrameworkShapes(shape);
    for (const auto& frameworkShape : frameworkShapes) item->AddAssignment(label, frameworkShape);
    entry.shapes.push_back({nextShapeId_++, shape, static_cast<int>(frameworkShapes.size())});
  }
  if (fresh) {
    database->Add(item);
    entry.item = database->TrainingData()->Count() - 1;
  }
}

Json Session::Edited(long long id) {
  ++generation_;
  if (observer_) observer_();
  return {{"id", id}, {"generation", generation_}};
}

Json Session::State() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Json labels = Json::array();
  const auto collection = model_->Labels();
  for (int i = 0; i < collection->Count(); ++i) {
    const auto label = collection->Item(i);
    if (label) labels.push_back({{"name", label->Name()}, {"colour", ColourOf(label->Name())}});
  }
  Json images = Json::array();
  for (const ImageEntry& entry : images_) {
    images.push_back({{"name", entry.name},
                      {"width", entry.width},
                      {"height", entry.height},
                      {"format", entry.format},
                      {"low", entry.low},
                      {"high", entry.high},
                      {"shapes", entry.shapes.size()}});
  }
  return {{"folder", folder_.Root().string()},
          {"model", modelPath_.filename().string()},
          {"labels", labels},
          {"images", images},
          {"generation", generation_},
          {"dirty", model_->IsDirty()},
          {"warnings", warnings_}};
}

Json Session::Shapes(const std::string& image) const {
  std::lock_guard<std::mutex> lock(mutex_);
  const ImageEntry& entry = Find(image);
  Json shapes = Json::array();
  for (const ShapeEntry& shape : entry.shapes) {
    Json value = ShapeToJson(shape.shape);
    value["id"] = shape.id;
    shapes.push_back(std::move(value));
  }
  return {{"image", image}, {"shapes", shapes}, {"generation", generation_}};
}

Json Session::AddShape(const std::string& image, const Json& body) {
  // The image is decoded before the lock is taken, so that other clients wait only for the edit.
  Image(image);
  std::lock_guard<std::mutex> lock(mutex_);
  ImageEntry& entry = Find(image);
  const AnnotationShape shape = ShapeFromJson(body, entry.width, entry.height);
  if (!LabelNamed(shape.label)) {
    throw ApiError(400, "there is no label named '" + shape.label + "'; add it first");
  }
  AppendAssignments(entry, {shape});
  return Edited(entry.shapes.back().id);
}

Json Session::ReplaceShape(const std::string& image, long long id, const Json& body) {
  std::lock_guard<std::mutex> lock(mutex_);
  ImageEntry& entry = Find(image);
  const AnnotationShape shape = ShapeFromJson(body, entry.width, entry.height);
  const auto label = LabelNamed(shape.label);
  if (!label) throw ApiError(400, "there is no label named '" + shape.label + "'; add it first");
  int start = 0;
  for (ShapeEntry& existing : entry.shapes) {
    if (existing.id != id) {
      start += existing.assignments;
      continue;
    }
    const auto assignments =
        model_->SmartTrainDataDatabase()->TrainingData()->Item(entry.item)->Assignments();
    for (int i = 0; i < existing.assignments; ++i) assignments->RemoveAt(start);
    const auto frameworkShapes = ToFrameworkShapes(shape);
    for (std::size_t i = 0; i < frameworkShapes.size(); ++i) {
      assignments->Insert(
          start + static_cast<int>(i),
          std::make_shared<SmartLabelToShapeAssignment>(kToken, label, frameworkShapes[i]));
    }
    existing.shape = shape;
    existing.assignments = static_cast<int>(frameworkShapes.size());
    return Edited(id);
  }
  throw ApiError(404, "no shape " + std::to_string(id) + " on '" + image + "'");
}

Json Session::RemoveShape(const std::string& image, long long id) {
  std::lock_guard<std::mutex> lock(mutex_);
  ImageEntry& entry = Find(image);
  int start = 0;
  for (auto shape = entry.shapes.begin(); shape != entry.shapes.end(); ++shape) {
    if (shape->id != id) {
      start += shape->assignments;
      continue;
    }
    const auto assignments =
        model_->SmartTrainDataDatabase()->TrainingData()->Item(entry.item)->Assignments();
    for (int i = 0; i < shape->assignments; ++i) assignments->RemoveAt(start);
    entry.shapes.erase(shape);
    return Edited(id);
  }
  throw ApiError(404, "no shape " + std::to_string(id) + " on '" + image + "'");
}

Json Session::AddLabel(const Json& body) {
  if (!body.is_object()) throw ApiError(400, "expected a JSON object describing a label");
  const std::string name = CheckedLabelName(body.value("name", Json()));
  if (body.contains("colour") && !IsColour(body["colour"])) {
    throw ApiError(400, "\"colour\" must look like \"#12abef\"");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  if (LabelNamed(name)) throw ApiError(409, "there is already a label named '" + name + "'");
  EnsureLabel(name);
  if (body.contains("colour")) colours_[name] = body["colour"].get<std::string>();
  return {{"name", name}, {"colour", ColourOf(name)}, {"generation", generation_}};
}

Json Session::EditLabel(const std::string& name, const Json& body) {
  if (!body.is_object()) throw ApiError(400, "expected a JSON object with \"name\" or \"colour\"");
  if (body.contains("colour") && !IsColour(body["colour"])) {
    throw ApiError(400, "\"colour\" must look like \"#12abef\"");
  }
  std::lock_guard<std::mutex> lock(mutex_);
  const auto label = LabelNamed(name);
  if (!label) throw ApiError(404, "there is no label named '" + name + "'");
  std::string current = name;
  if (body.contains("name")) {
    const std::string renamed = CheckedLabelName(body["name"]);
    if (renamed != name) {
      if (LabelNamed(renamed)) {
        throw ApiError(409, "there is already a label named '" + renamed + "'");
      }
      label->setName(renamed);
      for (ImageEntry& entry : images_) {
        for (ShapeEntry& shape : entry.shapes) {
          if (shape.shape.label == name) shape.shape.label = renamed;
        }
      }
      colours_[renamed] = ColourOf(name);
      colours_.erase(name);
      current = renamed;
      Edited(0);
    }
  }
  if (body.contains("colour")) colours_[current] = body["colour"].get<std::string>();
  return {{"name", current}, {"colour", ColourOf(current)}, {"generation", generation_}};
}

Json Session::RemoveLabel(const std::string& name) {
  std::lock_guard<std::mutex> lock(mutex_);
  const auto label = LabelNamed(name);
  if (!label) throw ApiError(404, "there is no label named '" + name + "'");
  // The collection's removed event lets the operator drop the label's segmenter and its first
  // assignment in each item; the rest of the label's assignments go here, so that no shape is
  // left pointing at a label that is gone.
  model_->Labels()->Remove(label);
  const auto items = model_->SmartTrainDataDatabase()->TrainingData();
  for (int i = 0; i < items->Count(); ++i) {
    const auto assignments = items->Item(i)->Assignments();
    for (int k = assignments->Count() - 1; k >= 0; --k) {
      const auto assignment = assignments->Item(k);
      if (assignment && assignment->Label() && assignment->Label()->Name() == name) {
        assignments->RemoveAt(k);
      }
    }
  }
  for (ImageEntry& entry : images_) {
    entry.shapes.erase(
        std::remove_if(entry.shapes.begin(), entry.shapes.end(),
                       [&name](const ShapeEntry& shape) { return shape.shape.label == name; }),
        entry.shapes.end());
  }
  colours_.erase(name);
  return Edited(0);
}

bool Session::Trained() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return !model_->IsDirty();
}

long long Session::Generation() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return generation_;
}

Session::Snapshot Session::TakeSnapshot() const {
  std::lock_guard<std::mutex> lock(mutex_);
  Snapshot snapshot;
  std::ostringstream stream;
  Tamrix::Vision::Archiving::SaveObject(stream, model_);
  snapshot.archive = stream.str();
  snapshot.generation = generation_;
  snapshot.dirty = model_->IsDirty();
  snapshot.hasTrainingData = model_->SmartTrainDataDatabase()->TrainingData()->Count() > 0;
  return snapshot;
}

bool Session::Publish(std::shared_ptr<Operator> trained, long long generation) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (generation != generation_) return false;
  model_ = std::move(trained);
  return true;
}

Json Session::Save() {
  std::lock_guard<std::mutex> lock(mutex_);
  SaveModel(modelPath_, model_);
  Json annotations = Json::array();
  for (const ImageEntry& entry : images_) {
    if (entry.item < 0) continue;
    std::vector<LabelMeShape> shapes;
    for (const ShapeEntry& shape : entry.shapes) shapes.push_back(ToLabelMeShape(shape.shape));
    const std::string name = AnnotationFileName(entry.name);
    const auto path = folder_.WritableFile(name);
    const Json document = MakeLabelMeDocument(entry.name, entry.width, entry.height, shapes);
    WriteFileAtomically(path, document.dump(2) + "\n");
    annotations.push_back(name);
  }
  return {{"model", modelPath_.filename().string()},
          {"annotations", annotations},
          {"dirty", model_->IsDirty()},
          {"generation", generation_}};
}

}  // namespace Smartseg::Serve
