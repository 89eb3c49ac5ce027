// What the browser host edits: the operator of FOLDER/smartseg.model, its labels and the shapes
// drawn on each image of the folder.
//
// Every shape edit is an edit of the operator's training database (an item per annotated image,
// one assignment per framework shape), so the operator's own change tracking decides what must be
// retrained, as it does for any host. Beside the operator the session keeps what the database
// cannot say: which image file an item came from, stable shape ids for the clients, and label
// colours. Shapes map onto runs of consecutive assignments of their image's item.
//
// Thread-safety: every public member may be called from any thread; one mutex serialises all
// access to the operator. Engine work never runs under it: the trainer works on copies made with
// TakeSnapshot() and hands a trained copy back through Publish().
#pragma once

#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tools/smartseg/ImageFiles.h"
#include "tools/smartseg/ModelFile.h"
#include "tools/smartseg/serve/AnnotationShapes.h"
#include "tools/smartseg/serve/ServedFolder.h"

namespace Smartseg::Serve {

class Session {
 public:
  // Loads `modelPath` (a new operator when the file does not exist), finds the image each of its
  // training items was made from (by pixel content), and imports the LabelMe file beside every
  // image the model holds no item for. Problems with single files are reported on `warnings` and
  // skipped; a model file that exists but cannot be loaded throws WorkError.
  Session(const ServedFolder& folder, std::filesystem::path modelPath, std::ostream& warnings);

  // Called after every edit that changes what training or prediction would give.
  void setEditObserver(std::function<void()> observer);

  // {"folder", "model", "labels": [{name, colour}], "images": [{name, width, height, format,
  // low, high, shapes}], "generation", "dirty", "warnings"}.
  nlohmann::json State() const;
  // {"image", "shapes": [{id, label, type, points}]}.
  nlohmann::json Shapes(const std::string& image) const;

  // Shape edits; each answers {"id", "generation"}. Throw ApiError: 404 for an unknown image or
  // shape id, 400 for a bad shape or an unknown label.
  nlohmann::json AddShape(const std::string& image, const nlohmann::json& body);
  nlohmann::json ReplaceShape(const std::string& image, long long id, const nlohmann::json& body);
  nlohmann::json RemoveShape(const std::string& image, long long id);

  // Label edits; body {"name", "colour"} ("colour" optional, "#rrggbb"). Removing a label goes
  // through the operator's label collection and also removes every shape of the label.
  nlohmann::json AddLabel(const nlohmann::json& body);
  nlohmann::json EditLabel(const std::string& name, const nlohmann::json& body);
  nlohmann::json RemoveLabel(const std::string& name);

  // Counts the edits; a trained copy is current when it was made at the current generation.
  long long Generation() const;
  // Whether the operator needs no training (IsDirty() is false).
  bool Trained() const;

  struct Snapshot {
    std::string archive;
    long long generation = 0;
    bool dirty = false;
    bool hasTrainingData = false;
  };
  // The operator as archive bytes, for a copy that engine work can use without the lock.
  Snapshot TakeSnapshot() const;
  // Makes `trained` the session's operator when nothing was edited since the snapshot of
  // `generation` was taken; answers whether it did. The caller must not touch `trained` after a
  // true answer.
  bool Publish(std::shared_ptr<Operator> trained, long long generation);

  // Writes the model file (all-or-nothing) and a LabelMe file beside every annotated image.
  // Answers {"model", "annotations": [files], "dirty", "generation"}.
  nlohmann::json Save();

  const ServedFolder& Folder() const { return folder_; }
  const std::filesystem::path& ModelPath() const { return modelPath_; }
  std::vector<std::string> ImageNames() const;
  // The decoded image file; throws ApiError(404) for a name that is not one of the images.
  std::shared_ptr<const LoadedImage> Image(const std::string& name) const;

 private:
  struct ShapeEntry {
    long long id = 0;
    AnnotationShape shape;
    int assignments = 1;
  };
  struct ImageEntry {
    std::string name;
    int width = 0;
    int height = 0;
    std::string format;
    double low = 0.0;
    double high = 255.0;
    // Index of the image's training item in the database, -1 while it has none.
    int item = -1;
    std::vector<ShapeEntry> shapes;
  };

  void ScanImages(std::ostream& warnings);
  void RecoverItems();
  void ImportLabelMe(ImageEntry& entry, std::ostream& warnings);
  ImageEntry& Find(const std::string& image);
  const ImageEntry& Find(const std::string& image) const;
  std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel> LabelNamed(const std::string& name) const;
  std::shared_ptr<Tamrix::Vision::SmartCore::SmartLabel> EnsureLabel(const std::string& name);
  // Appends the shapes' assignments to the image's item (making the item when it has none).
  void AppendAssignments(ImageEntry& entry, const std::vector<AnnotationShape>& shapes);
  nlohmann::json Edited(long long id);
  std::string ColourOf(const std::string& label) const;

  const ServedFolder& folder_;
  const std::filesystem::path modelPath_;
  std::vector<std::string> warnings_;

  mutable std::mutex mutex_;
  std::shared_ptr<Operator> model_;
  std::vector<ImageEntry> images_;
  std::map<std::string, std::string> colours_;
  long long nextShapeId_ = 1;
  long long generation_ = 0;
  std::function<void()> observer_;

  mutable std::mutex cacheMutex_;
  mutable std::vector<std::pair<std::string, std::shared_ptr<const LoadedImage>>> cache_;
};

}  // namespace Smartseg::Serve
