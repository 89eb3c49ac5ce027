// Shared pieces of the collection templates: index checks and item archiving.
#pragma once

#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "interfaces/core/ArchiveLimits.h"

namespace Tamrix::Vision::Implementation::detail {

// Throws ArgumentException "<operation>: index <i> is outside [0, <count>)" (or "[0, <count>]"
// when `inclusiveEnd`).
void CheckIndex(const char* operation, long long index, long long count, bool inclusiveEnd = false);

template <typename T>
struct IsSharedPtr : std::false_type {};
template <typename T>
struct IsSharedPtr<std::shared_ptr<T>> : std::true_type {};

// Items: strings as count and bytes, arithmetic values as one block, pointers as cereal records.
template <class Archive, typename T>
void SaveItems(Archive& archive, const std::vector<T>& items) {
  if constexpr (std::is_same_v<T, std::string>) {
    Tamrix::Vision::Archiving::SaveCount(archive, items.size());
    for (const auto& item : items) Tamrix::Vision::Archiving::SaveString(archive, item);
  } else if constexpr (std::is_arithmetic_v<T>) {
    Tamrix::Vision::Archiving::SaveArithmeticVector(archive, items);
  } else {
    Tamrix::Vision::Archiving::SaveVector(archive, items);
  }
}

template <class Archive, typename T>
void LoadItems(Archive& archive, std::vector<T>& items) {
  namespace A = Tamrix::Vision::Archiving;
  if constexpr (std::is_same_v<T, std::string>) {
    A::LoadVector(archive, items, [](Archive& a, std::string& s) { A::LoadString(a, s); });
  } else if constexpr (std::is_arithmetic_v<T>) {
    A::LoadArithmeticVector(archive, items);
  } else {
    A::LoadVector(archive, items);
  }
}

}  // namespace Tamrix::Vision::Implementation::detail
