// The framework's changeable collection template.
#pragma once

#include <cstdint>
#include <utility>
#include <vector>

#include "interfaces/core/ChangedEventShareableBase.h"
#include "interfaces/core/CollectionDetail.h"
#include "interfaces/core/CollectionInterfaces.h"
#include "interfaces/core/Settings.h"

namespace Tamrix::Vision::Implementation {

// An ordered, changeable sequence. Every change raises its "-ing" event before and its "-ed"
// event after the change, synchronously on the changing thread; an exception from a "-ing" slot
// cancels the change. Not synchronised: one thread edits at a time.
template <typename T>
class CollectionBase : public ChangedEventShareableBase,
                       public virtual Tamrix::Vorn::ICollection<T> {
  using Events = Tamrix::Vorn::ICollectionEvents<T>;

 public:
  using value_type = T;
  using const_iterator = typename std::vector<T>::const_iterator;
  using ClearEvent = typename Events::ClearEvent;
  using ItemEvent = typename Events::ItemEvent;
  using MoveEvent = typename Events::MoveEvent;
  using ReplaceEvent = typename Events::ReplaceEvent;

  explicit CollectionBase(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ChangedEventShareableBase(token) {}

  int Count() const override { return static_cast<int>(items_.size()); }
  T Item(int index) const override {
    detail::CheckIndex("CollectionBase::Item", index, Count());
    return items_[static_cast<std::size_t>(index)];
  }
  bool Contains(const T& item) const override { return IndexOf(item) >= 0; }
  int IndexOf(const T& item) const override {
    for (std::size_t i = 0; i < items_.size(); ++i) {
      if (items_[i] == item) return static_cast<int>(i);
    }
    return -1;
  }
  const_iterator begin() const { return items_.begin(); }
  const_iterator end() const { return items_.end(); }
  const std::vector<T>& Items() const { return items_; }

  void Add(const T& item) override { Insert(Count(), item); }
  void Insert(int index, const T& item) override {
    detail::CheckIndex("CollectionBase::Insert", index, Count(), true);
    inserting_(index, item);
    items_.insert(items_.begin() + index, item);
    inserted_(index, item);
  }
  bool Remove(const T& item) override {
    const int index = IndexOf(item);
    if (index < 0) return false;
    RemoveAt(index);
    return true;
  }
  void RemoveAt(int index) override {
    detail::CheckIndex("CollectionBase::RemoveAt", index, Count());
    // The removed event hands out the item after it left the collection, so keep it alive here.
    const T item = items_[static_cast<std::size_t>(index)];
    removing_(index, item);
    items_.erase(items_.begin() + index);
    removed_(index, item);
  }
  void Move(int from, int to) override {
    detail::CheckIndex("CollectionBase::Move", from, Count());
    detail::CheckIndex("CollectionBase::Move", to, Count());
    if (from == to) return;
    moving_(from, to);
    T item = std::move(items_[static_cast<std::size_t>(from)]);
    items_.erase(items_.begin() + from);
    items_.insert(items_.begin() + to, std::move(item));
    moved_(from, to);
  }
  void Replace(int index, const T& item) override {
    detail::CheckIndex("CollectionBase::Replace", index, Count());
    const T old = items_[static_cast<std::size_t>(index)];
    replacing_(index, old, item);
    items_[static_cast<std::size_t>(index)] = item;
    replaced_(index, old, item);
  }
  void Clear() override {
    clearing_();
    // Items are released after the vector is empty, so slots of ClearedEvent see an empty
    // collection and destructors of items do not observe a half-cleared one.
    std::vector<T> old;
    old.swap(items_);
    cleared_();
  }

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

 protected:
  CollectionBase() = default;
  // Direct access for loaders and derived classes; raises nothing.
  std::vector<T> items_;

 private:
  friend class cereal::access;
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version) {
    if constexpr (Archive::is_loading::value) {
      CheckSerializationVersionMismatch(version, 1, "Collection<>::serialize()");
      archive(cereal::base_class<ChangedEventShareableBase>(this));
      detail::LoadItems(archive, items_);
    } else {
      archive(cereal::base_class<ChangedEventShareableBase>(this));
      detail::SaveItems(archive, items_);
    }
  }

  ClearEvent clearing_, cleared_;
  ItemEvent inserting_, inserted_;
  MoveEvent moving_, moved_;
  ItemEvent removing_, removed_;
  ReplaceEvent replacing_, replaced_;

  RTTR_ENABLE(ChangedEventShareableBase, Tamrix::Vorn::ICollection<T>)
};

}  // namespace Tamrix::Vision::Implementation
