// Saving values into one portable binary archive and loading them back, for the archive tests of
// every library: one implementation, so that all of them write archives the way hosts do.
#pragma once

#include <memory>
#include <sstream>
#include <string>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/ObjectArchive.h"

namespace Tamrix::Testing {

using ArchiveOptions = cereal::PortableBinaryOutputArchive::Options;

// The bytes of one archive holding `values` in order, written in the given byte order.
template <class... T>
std::string SaveArchiveWith(const ArchiveOptions& options, const T&... values) {
  std::ostringstream out;
  {
    // The archive finishes its records when it is destroyed, before the bytes are taken.
    cereal::PortableBinaryOutputArchive archive(out, options);
    archive(values...);
  }
  return out.str();
}

template <class... T>
std::string SaveArchive(const T&... values) {
  return SaveArchiveWith(ArchiveOptions::Default(), values...);
}

// One archive holding every element of `range` in order, as if each was passed to SaveArchive.
template <class Range>
std::string SaveArchiveOfEach(const Range& range,
                              const ArchiveOptions& options = ArchiveOptions::Default()) {
  std::ostringstream out;
  {
    cereal::PortableBinaryOutputArchive archive(out, options);
    for (const auto& value : range) archive(value);
  }
  return out.str();
}

// Reads `values` in order from the archive `bytes`.
template <class... T>
void LoadArchive(const std::string& bytes, T&... values) {
  std::istringstream in(bytes);
  cereal::PortableBinaryInputArchive archive(in);
  archive(values...);
}

// The first value of the archive `bytes`, read as a T.
template <class T>
T LoadArchived(const std::string& bytes) {
  T value{};
  LoadArchive(bytes, value);
  return value;
}

// One object saved the way hosts save a model (Archiving::SaveObject), and loaded back as a T.
inline std::string SaveObject(const std::shared_ptr<Tamrix::Vorn::IObject>& object) {
  std::ostringstream out;
  Tamrix::Vision::Archiving::SaveObject(out, object);
  return out.str();
}

template <class T = Tamrix::Vorn::IObject>
std::shared_ptr<T> LoadObject(const std::string& bytes) {
  std::istringstream in(bytes);
  return std::dynamic_pointer_cast<T>(Tamrix::Vision::Archiving::LoadObject(in));
}

}  // namespace Tamrix::Testing
