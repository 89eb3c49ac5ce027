// The framework's collection and dictionary interfaces.
#pragma once

#include <string>
#include <vector>

#include "interfaces/core/Event.h"
#include "interfaces/core/IObject.h"

namespace Tamrix::Vorn {

// An ordered sequence that can be read by position.
template <typename T>
class IReadOnlyCollection : public virtual IObject {
 public:
  virtual int Count() const = 0;
  // The item at `index`; throws ArgumentException when index is outside [0, Count()).
  virtual T Item(int index) const = 0;
  virtual bool Contains(const T& item) const = 0;
  // Position of the same item (the same object for pointers), or -1.
  virtual int IndexOf(const T& item) const = 0;

  RTTR_ENABLE(IObject)
};

// The events of a changeable collection, in slot order. "-ing" events come before the change,
// "-ed" events after it; both run synchronously on the changing thread.
template <typename T>
class ICollectionEvents : public virtual IObject {
 public:
  using ClearEvent = Event<>;
  using ItemEvent = Event<int, const T&>;               // index, item
  using MoveEvent = Event<int, int>;                    // from, to
  using ReplaceEvent = Event<int, const T&, const T&>;  // index, old item, new item

  virtual ClearEvent& ClearingEvent() = 0;
  virtual ClearEvent& ClearedEvent() = 0;
  virtual ItemEvent& InsertingItemEvent() = 0;
  virtual ItemEvent& InsertedItemEvent() = 0;
  virtual MoveEvent& MovingItemEvent() = 0;
  virtual MoveEvent& MovedItemEvent() = 0;
  virtual ItemEvent& RemovingItemEvent() = 0;
  virtual ItemEvent& RemovedItemEvent() = 0;
  virtual ReplaceEvent& ReplacingItemEvent() = 0;
  virtual ReplaceEvent& ReplacedItemEvent() = 0;

  RTTR_ENABLE(IObject)
};

template <typename T>
class ICollection : public virtual ICollectionEvents<T>, public virtual IReadOnlyCollection<T> {
 public:
  virtual void Add(const T& item) = 0;
  virtual void Insert(int index, const T& item) = 0;
  // Removes the first occurrence; false when the item is not present.
  virtual bool Remove(const T& item) = 0;
  virtual void RemoveAt(int index) = 0;
  virtual void Move(int from, int to) = 0;
  virtual void Replace(int index, const T& item) = 0;
  virtual void Clear() = 0;

  RTTR_ENABLE(ICollectionEvents<T>, IReadOnlyCollection<T>)
};

template <typename K, typename V>
class IReadOnlyDictionary : public virtual IObject {
 public:
  virtual int Count() const = 0;
  virtual bool ContainsKey(const K& key) const = 0;
  // Throws ArgumentException when the key is absent.
  virtual V Get(const K& key) const = 0;
  virtual std::vector<K> Keys() const = 0;

  RTTR_ENABLE(IObject)
};

template <typename K, typename V>
class IDictionaryEvents : public virtual IObject {
 public:
  using EntryEvent = Event<const K&, const V&>;
  virtual EntryEvent& EntrySetEvent() = 0;
  virtual EntryEvent& EntryRemovedEvent() = 0;

  RTTR_ENABLE(IObject)
};

template <typename K, typename V>
class IDictionary : public virtual IDictionaryEvents<K, V>,
                    public virtual IReadOnlyDictionary<K, V> {
 public:
  virtual void Set(const K& key, const V& value) = 0;
  virtual bool RemoveKey(const K& key) = 0;

  RTTR_ENABLE(IDictionaryEvents<K, V>, IReadOnlyDictionary<K, V>)
};

}  // namespace Tamrix::Vorn
