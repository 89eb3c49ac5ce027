// Stricter loaders for the portable binary input archive, for archives that come from untrusted
// files. Included by interfaces/core/Cereal.h only; the archive format does not change.
//
// cereal's own loaders trust the stored data:
// - strings and vectors resize to the stored count before reading, so a few corrupt bytes can
//   request gigabytes. These loaders grow their storage in bounded steps while the data actually
//   arrives; a stream that ends early fails with "Failed to read" long before memory runs out.
// - any byte is accepted as a bool. Here only 0 and 1 are.
// - a shared pointer's back-reference id is cast to whatever type the reader asks for, so an
//   archive can make an object of one type be read as another. Here each object id remembers the
//   type it was first loaded as, and a back-reference asking for another type is a load error.
//
// Each overload names the portable binary input archive exactly, so overload resolution prefers it
// to cereal's generic template for that archive and leaves every other archive untouched.
#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>
#include <typeinfo>
#include <vector>

namespace cereal {
namespace hardening_detail {

// Bytes allocated ahead of what has been read, at most.
constexpr std::uint64_t kGrowthBytes = 64 * 1024;

// Object ids with this bit are never written by cereal (it numbers objects from 1 upwards); the
// loader below keeps each object's type under its id with this bit added.
constexpr std::uint32_t kTypeRecordBit = 0x40000000u;

inline std::uint64_t LoadSize(PortableBinaryInputArchive& archive) {
  size_type size = 0;
  archive(make_size_tag(size));
  return static_cast<std::uint64_t>(size);
}

// Reads `count` values of a type with a binary form into `values`, growing in bounded steps.
template <class Container>
void LoadBlockGrowing(PortableBinaryInputArchive& archive, Container& values, std::uint64_t count) {
  using Value = typename Container::value_type;
  constexpr std::uint64_t step = std::max<std::uint64_t>(1, kGrowthBytes / sizeof(Value));
  values.clear();
  for (std::uint64_t done = 0; done < count;) {
    const std::uint64_t chunk = std::min(count - done, step);
    values.resize(static_cast<std::size_t>(done + chunk));
    archive(binary_data(&values[static_cast<std::size_t>(done)],
                        static_cast<std::size_t>(chunk * sizeof(Value))));
    done += chunk;
  }
}

inline bool LoadStrictBool(PortableBinaryInputArchive& archive) {
  std::uint8_t byte = 0;
  archive(binary_data(&byte, 1));
  if (byte > 1) {
    throw Exception("Invalid bool value " + std::to_string(byte) + " in archive: expected 0 or 1");
  }
  return byte == 1;
}

}  // namespace hardening_detail

inline void CEREAL_LOAD_FUNCTION_NAME(PortableBinaryInputArchive& archive, bool& value) {
  value = hardening_detail::LoadStrictBool(archive);
}

template <class CharT, class Traits, class Alloc>
void CEREAL_LOAD_FUNCTION_NAME(PortableBinaryInputArchive& archive,
                               std::basic_string<CharT, Traits, Alloc>& text) {
  hardening_detail::LoadBlockGrowing(archive, text, hardening_detail::LoadSize(archive));
}

template <class T, class A>
void CEREAL_LOAD_FUNCTION_NAME(PortableBinaryInputArchive& archive, std::vector<T, A>& values) {
  const std::uint64_t count = hardening_detail::LoadSize(archive);
  if constexpr (std::is_arithmetic<T>::value) {
    hardening_detail::LoadBlockGrowing(archive, values, count);
  } else {
    values.clear();
    values.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(count, 1024)));
    for (std::uint64_t i = 0; i < count; ++i) {
      values.emplace_back();
      archive(values.back());
    }
  }
}

template <class A>
void CEREAL_LOAD_FUNCTION_NAME(PortableBinaryInputArchive& archive, std::vector<bool, A>& values) {
  const std::uint64_t count = hardening_detail::LoadSize(archive);
  values.clear();
  for (std::uint64_t i = 0; i < count; ++i) {
    values.push_back(hardening_detail::LoadStrictBool(archive));
  }
}

template <class T>
typename std::enable_if<!traits::has_load_and_construct<T, PortableBinaryInputArchive>::value>::type
CEREAL_LOAD_FUNCTION_NAME(PortableBinaryInputArchive& archive,
                          memory_detail::PtrWrapper<std::shared_ptr<T>&>& wrapper) {
  using NonConstT = typename std::remove_const<T>::type;
  std::uint32_t id = 0;
  archive(id);
  const std::uint32_t stripped = id & ~detail::msb_32bit;
  if (stripped & hardening_detail::kTypeRecordBit) {
    throw Exception("Invalid shared pointer id " + std::to_string(stripped) + " in archive");
  }
  const std::uint32_t typeRecordId = stripped | hardening_detail::kTypeRecordBit;
  const std::type_info& type = typeid(NonConstT);

  if (id & detail::msb_32bit) {
    std::shared_ptr<NonConstT> object(
        detail::Construct<NonConstT, PortableBinaryInputArchive>::load_andor_construct());
    archive.registerSharedPointer(id, object);
    // Owns nothing: only the address of the type's descriptor is kept.
    archive.registerSharedPointer(
        typeRecordId, std::shared_ptr<void>(std::shared_ptr<void>(),
                                            const_cast<void*>(static_cast<const void*>(&type))));
    archive(*object);
    wrapper.ptr = std::move(object);
    return;
  }

  std::shared_ptr<void> object = archive.getSharedPointer(id);
  if (object) {
    const auto* stored =
        static_cast<const std::type_info*>(archive.getSharedPointer(typeRecordId).get());
    if (stored == nullptr || *stored != type) {
      throw Exception("Shared pointer id " + std::to_string(id) + " refers to an object of type " +
                      (stored ? util::demangle(stored->name()) : std::string("unknown")) +
                      ", read as " + util::demangledName<NonConstT>());
    }
  }
  wrapper.ptr = std::static_pointer_cast<T>(object);
}

}  // namespace cereal
