// Helpers shared by the geometry tests: masks drawn as text and a save -> load round trip through
// any base pointer.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <typeinfo>
#include <utility>

#include "interfaces/core/PixelMask.h"
#include "tests/core/TestSupport.h"
#include "tests/support/ArchiveBytes.h"
#include "tests/support/ArchiveRoundTrip.h"

namespace Tamrix::Testing::GeometryTests {

using Tamrix::Testing::Bytes;
using Tamrix::Testing::CoreTests::FlagLog;
using Tamrix::Testing::CoreTests::Token;
constexpr double kPi = 3.14159265358979323846;

// Compares with a mask drawn as rows separated by spaces ('#' set, '.' clear), so that a failure
// shows both.
inline void ExpectMask(const Tamrix::Vision::PixelMask& actual, const std::string& rows) {
  std::string text;
  for (int y = 0; y < actual.Height(); ++y) {
    for (int x = 0; x < actual.Width(); ++x) text += actual.At(x, y) ? '#' : '.';
    text += y + 1 < actual.Height() ? " " : "";
  }
  EXPECT_EQ(text, rows);
}

// Shapes and other framework objects without the access token.
template <class T, class... Args>
std::shared_ptr<T> Make(Args&&... args) {
  return std::make_shared<T>(Token{}, std::forward<Args>(args)...);
}

// One archive holding `object` as a pointer to Base, the way a host holding a Base saves it.
template <class Base>
std::string Save(const std::shared_ptr<Base>& object) {
  return Tamrix::Testing::SaveArchive(object);
}

template <class Base>
std::shared_ptr<Base> Load(const std::string& bytes) {
  return Tamrix::Testing::LoadArchived<std::shared_ptr<Base>>(bytes);
}

// Saves `object` through a `SaveAs` pointer and loads it back through a `LoadAs` pointer, then
// casts the result to the object's own type (null when the dynamic type did not survive).
template <class SaveAs, class LoadAs = SaveAs, class T>
std::shared_ptr<T> RoundTrip(const std::shared_ptr<T>& object) {
  const auto saved = std::dynamic_pointer_cast<SaveAs>(object);
  EXPECT_NE(saved, nullptr) << "the object is no " << typeid(SaveAs).name();
  return std::dynamic_pointer_cast<T>(Load<LoadAs>(Save(saved)));
}

}  // namespace Tamrix::Testing::GeometryTests
