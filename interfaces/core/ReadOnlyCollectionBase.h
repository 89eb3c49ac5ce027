// The framework's read-only collection template.
#pragma once

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

#include "interfaces/core/CollectionDetail.h"
#include "interfaces/core/CollectionInterfaces.h"
#include "interfaces/core/Meta.h"
#include "interfaces/core/Settings.h"
#include "interfaces/core/ShareableBase.h"

namespace Tamrix::Vision::Implementation {

// An ordered, read-only sequence of items. Derived classes fill `items_`; readers iterate in
// order. Not synchronised: readers and the owner agree on a thread.
template <typename T>
class ReadOnlyCollectionBase : public ShareableBase,
                               public virtual Tamrix::Vorn::IReadOnlyCollection<T>,
                               public virtual Meta::IHaveFakePropertyMeta {
 public:
  using value_type = T;
  using const_iterator = typename std::vector<T>::const_iterator;

  explicit ReadOnlyCollectionBase(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token)
      : ShareableBase(token) {}
  ReadOnlyCollectionBase(const Tamrix::Vorn::IObject::ObjectCreateAccessToken& token,
                         std::vector<T> items)
      : ShareableBase(token), items_(std::move(items)) {}

  int Count() const override { return static_cast<int>(items_.size()); }
  T Item(int index) const override {
    detail::CheckIndex("ReadOnlyCollectionBase::Item", index, Count());
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

  // The pseudo-properties of the type's parameterless methods, then, when the type reflects a
  // method "Item(int)" with a result, one unnamed pseudo-property per index.
  std::vector<std::shared_ptr<Meta::FakePropertyMeta>> GetFakeProperties() const override {
    const rttr::type type = this->get_type();
    auto result = Meta::Implementation::Internal::GetFakePropertiesForNoArgMethods(type);
    const rttr::method item = type.get_method("Item");
    if (!item.is_valid() || item.get_return_type() == rttr::type::get<void>()) return result;
    const auto parameters = item.get_parameter_infos();
    if (parameters.size() != 1 || parameters.begin()->get_type() != rttr::type::get<int>()) {
      return result;
    }
    const Tamrix::Vorn::IObject::ObjectCreateAccessToken token;
    for (int i = 0; i < Count(); ++i) {
      auto getter = std::make_shared<Meta::MethodMeta>(token, item);
      result.push_back(std::make_shared<Meta::FakePropertyMeta>(token, std::move(getter), nullptr,
                                                                rttr::variant(i), std::string()));
    }
    return result;
  }

 protected:
  ReadOnlyCollectionBase() = default;
  std::vector<T> items_;

 private:
  friend class cereal::access;
  template <class Archive>
  void serialize(Archive& archive, std::uint32_t version) {
    if constexpr (Archive::is_loading::value) {
      CheckSerializationVersionMismatch(version, 1, "ReadOnlyCollectionBase::serialize()");
      archive(cereal::base_class<ShareableBase>(this));
      detail::LoadItems(archive, items_);
    } else {
      archive(cereal::base_class<ShareableBase>(this));
      detail::SaveItems(archive, items_);
    }
  }

  RTTR_ENABLE(ShareableBase, Tamrix::Vorn::IReadOnlyCollection<T>, Meta::IHaveFakePropertyMeta)
};

}  // namespace Tamrix::Vision::Implementation
