#include "interfaces/core/CoordinateSpaceTree.h"

#include <algorithm>
#include <utility>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"

namespace Tamrix::Vision {

const CoordinateSpaceTree::Space* CoordinateSpaceTree::Find(const std::string& name) const {
  for (const Space& space : spaces_) {
    if (space.Name == name) return &space;
  }
  return nullptr;
}

const CoordinateSpaceTree::Space& CoordinateSpaceTree::Require(const char* operation,
                                                               const std::string& name) const {
  const Space* space = Find(name);
  if (space == nullptr) {
    throw ArgumentException(std::string(operation) + ": expected the name of a space, found \"" +
                            name + "\", which is " +
                            (name == RootSpaceName_ ? "the root" : "not in the tree"));
  }
  return *space;
}

void CoordinateSpaceTree::AddSpace(const std::string& name, const std::string& parentName,
                                   std::shared_ptr<ITransform2D> toParent) {
  if (name.empty()) {
    throw ArgumentException("CoordinateSpaceTree::AddSpace: expected a non-empty space name");
  }
  if (name == RootSpaceName_ || Find(name) != nullptr) {
    throw ArgumentException("CoordinateSpaceTree::AddSpace: a space named \"" + name +
                            "\" already exists");
  }
  if (parentName != RootSpaceName_ && Find(parentName) == nullptr) {
    throw ArgumentException(
        "CoordinateSpaceTree::AddSpace: expected an existing parent space, "
        "found \"" +
        parentName + "\"");
  }
  if (!toParent) {
    throw ArgumentException("CoordinateSpaceTree::AddSpace: expected a transform for space \"" +
                            name + "\", found null");
  }
  spaces_.push_back(Space{name, parentName, std::move(toParent)});
  OnChanged_(SfSpaces);
}

void CoordinateSpaceTree::RemoveSpace(const std::string& name) {
  Require("CoordinateSpaceTree::RemoveSpace", name);
  for (const Space& space : spaces_) {
    if (space.Parent == name) {
      throw ArgumentException("CoordinateSpaceTree::RemoveSpace: space \"" + name +
                              "\" still has the child space \"" + space.Name + "\"");
    }
  }
  spaces_.erase(std::find_if(spaces_.begin(), spaces_.end(),
                             [&](const Space& space) { return space.Name == name; }));
  OnChanged_(SfSpaces);
}

bool CoordinateSpaceTree::ContainsSpace(const std::string& name) const {
  return name == RootSpaceName_ || Find(name) != nullptr;
}

std::vector<std::string> CoordinateSpaceTree::SpaceNames() const {
  std::vector<std::string> names;
  names.reserve(spaces_.size());
  for (const Space& space : spaces_) names.push_back(space.Name);
  return names;
}

std::string CoordinateSpaceTree::ParentName(const std::string& name) const {
  return Require("CoordinateSpaceTree::ParentName", name).Parent;
}

std::shared_ptr<ITransform2D> CoordinateSpaceTree::TransformToParent(
    const std::string& name) const {
  return Require("CoordinateSpaceTree::TransformToParent", name).ToParent;
}

Point2D CoordinateSpaceTree::MapToRoot(const std::string& name, double x, double y) const {
  Point2D point{x, y};
  if (name == RootSpaceName_) return point;
  // Parents precede their children and the chain ends at the root, so this walk terminates.
  const Space* space = &Require("CoordinateSpaceTree::MapToRoot", name);
  while (space != nullptr) {
    point = space->ToParent->Map(point.X, point.Y);
    space = space->Parent == RootSpaceName_ ? nullptr : Find(space->Parent);
  }
  return point;
}

template <class Archive>
void CoordinateSpaceTree::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "CoordinateSpaceTree::serialize()");
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    std::vector<Space> loaded;
    Archiving::LoadVector(archive, loaded, [](Archive& a, Space& space) {
      Archiving::LoadString(a, space.Name);
      Archiving::LoadString(a, space.Parent);
      a(space.ToParent);
    });
    // Rebuild through the same checks AddSpace makes, so a corrupt record cannot produce a cycle,
    // an orphan or a duplicate.
    spaces_.clear();
    for (Space& space : loaded) {
      const bool validParent = space.Parent == RootSpaceName_ || Find(space.Parent) != nullptr;
      const bool validName =
          !space.Name.empty() && space.Name != RootSpaceName_ && Find(space.Name) == nullptr;
      if (!validName || !validParent || !space.ToParent) {
        throw VisionException(VisionExceptionCodes::InvalidData,
                              "Corrupt CoordinateSpaceTree record in archive: space \"" +
                                  space.Name + "\" (parent \"" + space.Parent + "\") " +
                                  (!validName     ? "has an empty, reserved or repeated name"
                                   : !validParent ? "names a parent not defined before it"
                                                  : "has no transform"));
      }
      spaces_.push_back(std::move(space));
    }
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    Archiving::SaveCount(archive, spaces_.size());
    for (const Space& space : spaces_) {
      Archiving::SaveString(archive, space.Name);
      Archiving::SaveString(archive, space.Parent);
      archive(space.ToParent);
    }
  }
}

template void CoordinateSpaceTree::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t);
template void CoordinateSpaceTree::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

}  // namespace Tamrix::Vision
