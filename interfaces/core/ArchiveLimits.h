// Loading helpers that never allocate more than the archive's remaining bytes could fill.
//
// cereal's own container loaders resize to the stored count before reading, so a few corrupt
// bytes can request gigabytes. These helpers keep the archive format (unsigned 64-bit count, then
// the items) but grow their storage in bounded steps while the items actually arrive; a stream
// that ends early fails with cereal's "Failed to read" exception long before memory runs out.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "interfaces/core/Cereal.h"

namespace Tamrix::Vision::Archiving {

// Items allocated ahead of what has been read, at most.
constexpr std::uint64_t kGrowthStep = 4096;

template <class Archive>
std::uint64_t LoadCount(Archive& archive) {
  cereal::size_type count = 0;
  archive(cereal::make_size_tag(count));
  return static_cast<std::uint64_t>(count);
}

template <class Archive>
void SaveCount(Archive& archive, std::uint64_t count) {
  archive(cereal::make_size_tag(static_cast<cereal::size_type>(count)));
}

// Strings: unsigned 64-bit byte count, then the bytes.
template <class Archive>
void SaveString(Archive& archive, const std::string& text) {
  SaveCount(archive, text.size());
  archive(cereal::binary_data(text.data(), text.size()));
}

template <class Archive>
void LoadString(Archive& archive, std::string& text) {
  const std::uint64_t length = LoadCount(archive);
  text.clear();
  std::uint64_t done = 0;
  while (done < length) {
    const std::uint64_t chunk = std::min<std::uint64_t>(length - done, 64 * 1024);
    text.resize(static_cast<std::size_t>(done + chunk));
    archive(cereal::binary_data(&text[static_cast<std::size_t>(done)],
                                static_cast<std::size_t>(chunk)));
    done += chunk;
  }
}

// Arithmetic vectors: count, then one contiguous block, each value in the archive's byte order.
template <class Archive, typename T>
void SaveArithmeticVector(Archive& archive, const std::vector<T>& values) {
  static_assert(std::is_arithmetic_v<T> && !std::is_same_v<T, bool>);
  SaveCount(archive, values.size());
  archive(cereal::binary_data(values.data(), values.size() * sizeof(T)));
}

template <class Archive, typename T>
void LoadArithmeticVector(Archive& archive, std::vector<T>& values) {
  static_assert(std::is_arithmetic_v<T> && !std::is_same_v<T, bool>);
  const std::uint64_t count = LoadCount(archive);
  values.clear();
  std::uint64_t done = 0;
  while (done < count) {
    const std::uint64_t chunk = std::min<std::uint64_t>(count - done, 64 * 1024 / sizeof(T));
    values.resize(static_cast<std::size_t>(done + chunk));
    archive(cereal::binary_data(values.data() + done, static_cast<std::size_t>(chunk * sizeof(T))));
    done += chunk;
  }
}

// Any other vector: count, then each item by `loadItem(archive, item)`, growing as items arrive.
template <class Archive, typename T, typename LoadItem>
void LoadVector(Archive& archive, std::vector<T>& items, LoadItem loadItem) {
  const std::uint64_t count = LoadCount(archive);
  items.clear();
  items.reserve(static_cast<std::size_t>(std::min(count, kGrowthStep)));
  for (std::uint64_t i = 0; i < count; ++i) {
    items.emplace_back();
    loadItem(archive, items.back());
  }
}

template <class Archive, typename T>
void LoadVector(Archive& archive, std::vector<T>& items) {
  LoadVector(archive, items, [](Archive& a, T& item) { a(item); });
}

template <class Archive, typename T>
void SaveVector(Archive& archive, const std::vector<T>& items) {
  SaveCount(archive, items.size());
  for (const auto& item : items) archive(item);
}

// A bool stored as any byte other than 0 or 1 is corrupt data, not a value.
template <class Archive>
void LoadBool(Archive& archive, bool& value) {
  std::uint8_t byte = 0;
  archive(byte);
  if (byte > 1) {
    throw cereal::Exception("Invalid bool value " + std::to_string(byte) +
                            " in archive: expected 0 or 1");
  }
  value = byte == 1;
}

template <class Archive>
void SaveBool(Archive& archive, bool value) {
  archive(static_cast<std::uint8_t>(value ? 1 : 0));
}

}  // namespace Tamrix::Vision::Archiving
