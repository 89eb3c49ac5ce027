// Helpers shared by the geometry tests: masks drawn as text, archive bytes built by hand, a
// save -> load round trip through any base pointer, and a recorder of changed-event flags.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <sstream>
#include <string>
#include <typeinfo>
#include <vector>

#include "interfaces/core/Cereal.h"
#include "interfaces/core/IChangedEvent.h"
#include "interfaces/core/PixelMask.h"
#include "tests/support/ArchiveBytes.h"

namespace GeometryTest {

using Token = Tamrix::Vorn::IObject::ObjectCreateAccessToken;

// A mask drawn row by row, '#' for a set pixel, anything else for a clear one.
inline Tamrix::Vision::PixelMask MaskFromRows(const std::vector<std::string>& rows) {
  const int height = static_cast<int>(rows.size());
  const int width = height == 0 ? 0 : static_cast<int>(rows[0].size());
  Tamrix::Vision::PixelMask mask(width, height);
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) mask.Set(x, y, rows[y][x] == '#');
  }
  return mask;
}

inline std::string MaskToText(const Tamrix::Vision::PixelMask& mask) {
  std::string text;
  for (int y = 0; y < mask.Height(); ++y) {
    for (int x = 0; x < mask.Width(); ++x) text += mask.At(x, y) ? '#' : '.';
    text += '\n';
  }
  return text;
}

// Compares as drawings so that a failure shows both masks.
inline void ExpectMask(const Tamrix::Vision::PixelMask& actual,
                       const std::vector<std::string>& expectedRows) {
  const auto expected = MaskFromRows(expectedRows);
  ASSERT_EQ(actual.Width(), expected.Width());
  ASSERT_EQ(actual.Height(), expected.Height());
  EXPECT_EQ(MaskToText(actual), MaskToText(expected));
}

using Tamrix::Testing::Bytes;

template <class Base>
std::string Save(const std::shared_ptr<Base>& object) {
  std::stringstream stream;
  {
    cereal::PortableBinaryOutputArchive archive(stream);
    archive(object);
  }
  return stream.str();
}

template <class Base>
std::shared_ptr<Base> Load(const std::string& bytes) {
  std::istringstream stream(bytes);
  cereal::PortableBinaryInputArchive archive(stream);
  std::shared_ptr<Base> object;
  archive(object);
  return object;
}

// Saves `object` through a `SaveAs` pointer and loads it back through a `LoadAs` pointer, then
// casts the result to the object's own type (null when the dynamic type did not survive).
template <class SaveAs, class LoadAs = SaveAs, class T>
std::shared_ptr<T> RoundTrip(const std::shared_ptr<T>& object) {
  const auto saved = std::dynamic_pointer_cast<SaveAs>(object);
  EXPECT_NE(saved, nullptr) << "the object is no " << typeid(SaveAs).name();
  const auto loaded = Load<LoadAs>(Save(saved));
  return std::dynamic_pointer_cast<T>(loaded);
}

// Records the flags of every changed event an object raises.
class FlagLog {
 public:
  explicit FlagLog(Tamrix::Vision::IChangedEvent& source) {
    source.ChangedEvent().Connect(
        [this](const std::shared_ptr<Tamrix::Vision::ChangedEventArgs>& args) {
          flags.push_back(args->Flags());
        });
  }
  std::vector<long long> flags;
};

}  // namespace GeometryTest
