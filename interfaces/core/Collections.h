// The framework's concrete collections of strings, vectors, graphics and numbers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/CollectionBase.h"
#include "interfaces/core/CollectionInterfaces.h"
#include "interfaces/core/GraphicInterfaces.h"
#include "interfaces/core/ReadOnlyCollectionBase.h"
#include "interfaces/core/Vect2.h"

namespace Tamrix::Vision {

using IGraphicParentChildPtr = std::shared_ptr<IGraphicParentChild>;
using Vect2Ptr = std::shared_ptr<Vect2>;

// Each concrete collection's record is its template base part alone.

class StringCollection : public Implementation::CollectionBase<std::string> {
 public:
  explicit StringCollection(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : CollectionBase(token) {}

 private:
  StringCollection() = default;
  friend class cereal::access;
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(Implementation::CollectionBase<std::string>)
};

// Items may be null; the same Vect2 may be held more than once and stays one object in archives.
class Vect2Collection : public Implementation::CollectionBase<Vect2Ptr> {
 public:
  explicit Vect2Collection(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : CollectionBase(token) {}

 private:
  Vect2Collection() = default;
  friend class cereal::access;
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(Implementation::CollectionBase<Vect2Ptr>)
};

class GraphicParentChildCollection : public Implementation::CollectionBase<IGraphicParentChildPtr> {
 public:
  explicit GraphicParentChildCollection(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : CollectionBase(token) {}

 private:
  GraphicParentChildCollection() = default;
  friend class cereal::access;
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(Implementation::CollectionBase<IGraphicParentChildPtr>)
};

class DoubleReadOnlyCollection : public Implementation::ReadOnlyCollectionBase<double> {
 public:
  explicit DoubleReadOnlyCollection(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ReadOnlyCollectionBase(token) {}
  DoubleReadOnlyCollection(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                           std::vector<double> values)
      : ReadOnlyCollectionBase(token, std::move(values)) {}

 private:
  DoubleReadOnlyCollection() = default;
  friend class cereal::access;
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);

  RTTR_ENABLE(Implementation::ReadOnlyCollectionBase<double>)
};

using GraphicChildrenCollection = Tamrix::Vorn::ICollection<IGraphicParentChildPtr>;
using GraphicChildrenDictionary =
    Tamrix::Vorn::IReadOnlyDictionary<std::string, IGraphicParentChildPtr>;

// The children of a graphic, in order, also reachable by their Name(). Null children are refused
// (ArgumentException), and so is a child whose name another child already has when it is added;
// names changed later are not policed, and Get then returns the first child of that name.
// Events are those of ICollectionEvents, raised as by CollectionBase: "-ing" before, "-ed" after
// each change, synchronously on the changing thread. Not synchronised.
class GraphicChildren : public ChangedEventShareableBase,
                        public virtual GraphicChildrenCollection,
                        public virtual GraphicChildrenDictionary {
  using Events = Tamrix::Vorn::ICollectionEvents<IGraphicParentChildPtr>;

 public:
  using ClearEvent = Events::ClearEvent;
  using ItemEvent = Events::ItemEvent;
  using MoveEvent = Events::MoveEvent;
  using ReplaceEvent = Events::ReplaceEvent;
  using const_iterator = std::vector<IGraphicParentChildPtr>::const_iterator;

  explicit GraphicChildren(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ChangedEventShareableBase(token) {}

  int Count() const override { return static_cast<int>(items_.size()); }
  IGraphicParentChildPtr Item(int index) const override;
  bool Contains(const IGraphicParentChildPtr& item) const override { return IndexOf(item) >= 0; }
  int IndexOf(const IGraphicParentChildPtr& item) const override;
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }

  void Add(const IGraphicParentChildPtr& item) override { Insert(Count(), item); }
  void Insert(int index, const IGraphicParentChildPtr& item) override;
  bool Remove(const IGraphicParentChildPtr& item) override;
  void RemoveAt(int index) override;
  void Move(int from, int to) override;
  void Replace(int index, const IGraphicParentChildPtr& item) override;
  void Clear() override;

  bool ContainsKey(const std::string& name) const override;
  // Throws ArgumentException when no child has that name.
  IGraphicParentChildPtr Get(const std::string& name) const override;
  // The children's names in collection order.
  std::vector<std::string> Keys() const override;

  ClearEvent& ClearingEvent() override { return clearing_; }
  ClearEvent& ClearedEvent() override { return cleared_; }
  ItemEvent& InsertingItemEvent() override { return inserting_; }
  ItemEvent& InsertedItemEvent() override { return inserted_; }
  MoveEvent& MovingItemEvent() override { return moving_; }
  MoveEvent& MovedItemEvent() override { return moved_; }
  ItemEvent& RemovingItemEvent() override { return removing_; }
  ItemEvent& RemovedItemEvent() override { return removed_; }
  ReplaceEvent& ReplacingItemEvent() override { return replacing_; }
  ReplaceEvent& ReplacedItemEvent() override { return replaced_; }

 private:
  GraphicChildren() = default;
  friend class cereal::access;
  // Record: ChangedEventShareableBase part, child count (unsigned 64-bit), then each child as a
  // polymorphic IGraphicParentChild pointer. A null child in an archive is corrupt data.
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version);
  // Throws ArgumentException for a null child or, unless it replaces position `except`, a
  // child whose name is taken.
  void CheckNewChild(const char* operation, const IGraphicParentChildPtr& item, int except) const;

  std::vector<IGraphicParentChildPtr> items_;
  ClearEvent clearing_, cleared_;
  ItemEvent inserting_, inserted_;
  MoveEvent moving_, moved_;
  ItemEvent removing_, removed_;
  ReplaceEvent replacing_, replaced_;

  RTTR_ENABLE(ChangedEventShareableBase, GraphicChildrenCollection, GraphicChildrenDictionary)
};

}  // namespace Tamrix::Vision

CEREAL_CLASS_VERSION(Tamrix::Vision::StringCollection, 1)
CEREAL_CLASS_VERSION(Tamrix::Vision::Vect2Collection, 1)
CEREAL_CLASS_VERSION(Tamrix::Vision::GraphicParentChildCollection, 1)
CEREAL_CLASS_VERSION(Tamrix::Vision::DoubleReadOnlyCollection, 1)
CEREAL_CLASS_VERSION(Tamrix::Vision::GraphicChildren, 1)
