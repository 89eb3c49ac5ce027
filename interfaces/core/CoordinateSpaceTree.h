// A tree of named coordinate spaces.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/Transforms.h"

namespace Tamrix::Vision {

// Named coordinate spaces, each with a parent space and the transform that maps its points into
// the parent's. The root space, named RootSpaceName_, always exists and has no parent. A space is
// added under an existing parent and removed only when no space names it as parent, so the
// spaces always form a tree. Every edit raises OnChanged_(SfSpaces). The tree holds the
// transforms it is given (shared, not copied); it does not forward their own changed events.
class CoordinateSpaceTree : public ChangedEventShareableBase, public virtual IChangedEvent {
 public:
  static constexpr long long sf0_ = 1;
  static constexpr long long SfSpaces = sf0_;
  static constexpr long long SfNextSf_ = SfSpaces << 1;
  static constexpr const char* RootSpaceName_ = "root";

  explicit CoordinateSpaceTree(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ChangedEventShareableBase(token) {}

  // Throws ArgumentException for an empty or taken name, an unknown parent or a null transform.
  void AddSpace(const std::string& name, const std::string& parentName,
                std::shared_ptr<ITransform2D> toParent);
  // Throws ArgumentException for an unknown space, the root, or a space that still has children.
  void RemoveSpace(const std::string& name);

  bool ContainsSpace(const std::string& name) const;
  // Every space except the root, parents before their children, in the order they were added.
  std::vector<std::string> SpaceNames() const;
  int Count() const { return static_cast<int>(spaces_.size()); }
  // Throw ArgumentException for an unknown space or the root.
  std::string ParentName(const std::string& name) const;
  std::shared_ptr<ITransform2D> TransformToParent(const std::string& name) const;
  // The point (x, y) of space `name` in root coordinates. Throws ArgumentException for an unknown
  // space.
  Point2D MapToRoot(const std::string& name, double x, double y) const;

 private:
  CoordinateSpaceTree() = default;
  friend class cereal::access;
  // Record: ChangedEventShareableBase part, space count (unsigned 64-bit), then per space its
  // name, its parent's name (byte count and bytes) and its transform (polymorphic pointer).
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  struct Space {
    std::string Name;
    std::string Parent;
    std::shared_ptr<ITransform2D> ToParent;
  };
  const Space* Find(const std::string& name) const;
  const Space& Require(const char* operation, const std::string& name) const;

  std::vector<Space> spaces_;

  RTTR_ENABLE(ChangedEventShareableBase, IChangedEvent)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::CoordinateSpaceTree, 1)
