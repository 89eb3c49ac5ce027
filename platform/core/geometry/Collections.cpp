#include "interfaces/core/Collections.h"

#include <utility>

#include "interfaces/core/ArchiveLimits.h"
#include "interfaces/core/Exceptions.h"
#include "interfaces/core/Settings.h"

namespace Tamrix::Vision {

namespace {

template <class Base, class Derived, class Archive>
void SerializeTemplatePart(Derived* self, Archive& archive, std::uint32_t version,
                           const char* name) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, name);
  }
  archive(cereal::base_class<Base>(self));
}

}  // namespace

template <class Archive>
void StringCollection::serialize(Archive& archive, std::uint32_t version) {
  SerializeTemplatePart<Implementation::CollectionBase<std::string>>(
      this, archive, version, "StringCollection::serialize()");
}

template <class Archive>
void Vect2Collection::serialize(Archive& archive, std::uint32_t version) {
  SerializeTemplatePart<Implementation::CollectionBase<Vect2Ptr>>(this, archive, version,
                                                                  "Vect2Collection::serialize()");
}

template <class Archive>
void GraphicParentChildCollection::serialize(Archive& archive, std::uint32_t version) {
  SerializeTemplatePart<Implementation::CollectionBase<IGraphicParentChildPtr>>(
      this, archive, version, "GraphicParentChildCollection::serialize()");
}

template <class Archive>
void DoubleReadOnlyCollection::serialize(Archive& archive, std::uint32_t version) {
  SerializeTemplatePart<Implementation::ReadOnlyCollectionBase<double>>(
      this, archive, version, "DoubleReadOnlyCollection::serialize()");
}

// GraphicChildren

IGraphicParentChildPtr GraphicChildren::Item(int index) const {
  Implementation::detail::CheckIndex("GraphicChildren::Item", index, Count());
  return items_[static_cast<std::size_t>(index)];
}

int GraphicChildren::IndexOf(const IGraphicParentChildPtr& item) const {
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (items_[i] == item) return static_cast<int>(i);
  }
  return -1;
}

void GraphicChildren::CheckNewChild(const char* operation, const IGraphicParentChildPtr& item,
                                    int except) const {
  if (!item) {
    throw ArgumentException(std::string(operation) + ": expected a child, found null");
  }
  const std::string name = item->Name();
  for (std::size_t i = 0; i < items_.size(); ++i) {
    if (static_cast<int>(i) == except) continue;
    if (items_[i]->Name() == name) {
      throw ArgumentException(std::string(operation) + ": expected a child with a unique name, " +
                              "found \"" + name + "\", the name of the child at index " +
                              std::to_string(i));
    }
  }
}

void GraphicChildren::Insert(int index, const IGraphicParentChildPtr& item) {
  Implementation::detail::CheckIndex("GraphicChildren::Insert", index, Count(), true);
  CheckNewChild("GraphicChildren::Insert", item, -1);
  inserting_(index, item);
  items_.insert(items_.begin() + index, item);
  inserted_(index, item);
}

bool GraphicChildren::Remove(const IGraphicParentChildPtr& item) {
  const int index = IndexOf(item);
  if (index < 0) return false;
  RemoveAt(index);
  return true;
}

void GraphicChildren::RemoveAt(int index) {
  Implementation::detail::CheckIndex("GraphicChildren::RemoveAt", index, Count());
  // The removed event hands out the child after it left the collection; keep it alive for that.
  const IGraphicParentChildPtr item = items_[static_cast<std::size_t>(index)];
  removing_(index, item);
  items_.erase(items_.begin() + index);
  removed_(index, item);
}

void GraphicChildren::Move(int from, int to) {
  Implementation::detail::CheckIndex("GraphicChildren::Move", from, Count());
  Implementation::detail::CheckIndex("GraphicChildren::Move", to, Count());
  if (from == to) return;
  moving_(from, to);
  IGraphicParentChildPtr item = std::move(items_[static_cast<std::size_t>(from)]);
  items_.erase(items_.begin() + from);
  items_.insert(items_.begin() + to, std::move(item));
  moved_(from, to);
}

void GraphicChildren::Replace(int index, const IGraphicParentChildPtr& item) {
  Implementation::detail::CheckIndex("GraphicChildren::Replace", index, Count());
  CheckNewChild("GraphicChildren::Replace", item, index);
  const IGraphicParentChildPtr old = items_[static_cast<std::size_t>(index)];
  replacing_(index, old, item);
  items_[static_cast<std::size_t>(index)] = item;
  replaced_(index, old, item);
}

void GraphicChildren::Clear() {
  clearing_();
  items_.clear();
  cleared_();
}

bool GraphicChildren::ContainsKey(const std::string& name) const {
  for (const auto& item : items_) {
    if (item->Name() == name) return true;
  }
  return false;
}

IGraphicParentChildPtr GraphicChildren::Get(const std::string& name) const {
  for (const auto& item : items_) {
    if (item->Name() == name) return item;
  }
  throw ArgumentException("GraphicChildren::Get: expected the name of a child, found \"" + name +
                          "\", which no child has");
}

std::vector<std::string> GraphicChildren::Keys() const {
  std::vector<std::string> names;
  names.reserve(items_.size());
  for (const auto& item : items_) names.push_back(item->Name());
  return names;
}

template <class Archive>
void GraphicChildren::serialize(Archive& archive, std::uint32_t version) {
  if constexpr (Archive::is_loading::value) {
    CheckSerializationVersionMismatch(version, 1, "GraphicChildren::serialize()");
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    Archiving::LoadVector(archive, items_);
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (!items_[i]) {
        throw VisionException(
            VisionExceptionCodes::InvalidData,
            "Corrupt GraphicChildren record in archive: child " + std::to_string(i) + " is null");
      }
    }
  } else {
    archive(cereal::base_class<ChangedEventShareableBase>(this));
    Archiving::SaveVector(archive, items_);
  }
}

#define TAMRIX_INSTANTIATE_SERIALIZE(Type)                                            \
  template void Type::serialize(cereal::PortableBinaryOutputArchive&, std::uint32_t); \
  template void Type::serialize(cereal::PortableBinaryInputArchive&, std::uint32_t);

TAMRIX_INSTANTIATE_SERIALIZE(StringCollection)
TAMRIX_INSTANTIATE_SERIALIZE(Vect2Collection)
TAMRIX_INSTANTIATE_SERIALIZE(GraphicParentChildCollection)
TAMRIX_INSTANTIATE_SERIALIZE(DoubleReadOnlyCollection)
TAMRIX_INSTANTIATE_SERIALIZE(GraphicChildren)

#undef TAMRIX_INSTANTIATE_SERIALIZE

}  // namespace Tamrix::Vision
